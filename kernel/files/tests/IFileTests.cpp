#include "core/VTextConverters.h"
#include "files/IFile.h"
#include "files/VStream.h"
#include "files/tests/MemoryFiles.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

using testing::MemoryFile;
using testing::MemoryFolder;
using testing::RaisedErrors;

constexpr VError kDiskFull = MAKE_VERROR('qirn', 216);

VRefPtr<MemoryFile> NewFile(const char* inPath, std::string inContent = {})
{
	VRefPtr<MemoryFile> file = VRefPtr<MemoryFile>::Adopt(new MemoryFile(inPath));
	file->fContent = std::move(inContent);
	return file;
}

TEST(IFileNames, ComeFromThePathAlone)
{
	struct Case {
		const char* path;
		bool folder;
		const char* name;
		const char* extension;
		const char* withoutExtension;
	};
	const Case cases[] = {
		{"Root:home:notes.txt", false, "notes.txt", "txt", "notes"},
		{"Root:home:archive.tar.gz", false, "archive.tar.gz", "gz", "archive.tar"},
		{"Root:home:README", false, "README", "", "README"},
		{"Root:home:a/b.txt", false, "a/b.txt", "txt", "a/b"},
		{"Root:x.bundle:", true, "x.bundle", "bundle", "x"},
		{"Root:a.b:c:", true, "c", "", "c"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.path);
		VRefPtr<IFileSystemObject> object;
		if (c.folder)
			object = VRefPtr<IFileSystemObject>::Adopt(new MemoryFolder(c.path));
		else
			object = VRefPtr<IFileSystemObject>::Adopt(new MemoryFile(c.path));
		VString text;
		object->GetName(text);
		EXPECT_EQ(to_string(text), c.name);
		object->GetExtension(text);
		EXPECT_EQ(to_string(text), c.extension);
		object->GetNameWithoutExtension(text);
		EXPECT_EQ(to_string(text), c.withoutExtension);
		VString upper(c.extension);
		upper.ToUpperCase();
		EXPECT_EQ(object->MatchExtension(upper), true);
	}
}

// Bytes of a file and the text read from them.
TEST(IFileContentAsString, ByteOrderMarkDecidesOtherwiseTheCharSet)
{
	struct Case {
		const char* label;
		std::string bytes;
		CharSet charSet;
		ECarriageReturnMode mode;
		const char* text;
	};
	const Case cases[] = {
		{"UTF-8 mark read as Latin-1", "\xEF\xBB\xBFn\xC3\xA9", VTC_ISO_8859_1, eCRM_NONE, "n\xC3\xA9"},
		{"UTF-16 BE mark", std::string("\xFE\xFF\0n\0\xE9", 6), VTC_UTF_8, eCRM_NONE, "n\xC3\xA9"},
		{"UTF-16 LE mark", std::string("\xFF\xFEn\0\xE9\0", 6), VTC_ISO_8859_1, eCRM_NONE, "n\xC3\xA9"},
		{"Latin-1, byte for code point", "n\xE9\xFF", VTC_ISO_8859_1, eCRM_NONE, "n\xC3\xA9\xC3\xBF"},
		{"line ends made LF", "a\r\nb\rc\n", VTC_UTF_8, eCRM_LF, "a\nb\nc\n"},
		{"line ends made CRLF", "a\nb", VTC_UTF_8, eCRM_CRLF, "a\r\nb"},
		{"line ends kept", "a\r\nb\r", VTC_UTF_8, eCRM_NONE, "a\r\nb\r"},
		{"empty", "", VTC_UTF_8, eCRM_NONE, ""},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.label);
		RaisedErrors raised;
		VRefPtr<MemoryFile> file = NewFile("Root:f.txt", c.bytes);
		VString text("stale");
		EXPECT_EQ(file->GetContentAsString(text, c.charSet, c.mode), VE_OK);
		EXPECT_EQ(to_string(text), c.text);
		EXPECT_TRUE(raised.Codes().empty());
	}
}

TEST(IFileContentAsString, AFailedReadGivesNoTextAndItsError)
{
	RaisedErrors raised;
	VRefPtr<MemoryFile> file = NewFile("Root:f.txt", "kept");
	file->fReadError = MAKE_VERROR('qirn', 600);
	VString text("stale");
	EXPECT_EQ(file->GetContentAsString(text, VTC_UTF_8, eCRM_NONE), MAKE_VERROR('qirn', 600));
	EXPECT_TRUE(text.IsEmpty());
	// The error stays on the task for the caller.
	EXPECT_EQ(raised.Codes(), std::vector<VError>{MAKE_VERROR('qirn', 600)});
}

TEST(IFileContentAsString, WritingEncodesWithTheMarkAskedFor)
{
	struct Case {
		const char* label;
		const char* text;
		CharSet charSet;
		ECarriageReturnMode mode;
		bool withBOM;
		std::string bytes;
	};
	const Case cases[] = {
		{"UTF-8 with mark and CRLF", "a\nb", VTC_UTF_8, eCRM_CRLF, true, "\xEF\xBB\xBF" "a\r\nb"},
		{"UTF-8 without mark", "n\xC3\xA9", VTC_UTF_8, eCRM_NONE, false, "n\xC3\xA9"},
		{"UTF-16 LE with mark", "n\xC3\xA9", VTC_UTF_16_SMALLENDIAN, eCRM_NONE, true,
		 std::string("\xFF\xFEn\0\xE9\0", 6)},
		{"UTF-16 BE with mark", "n", VTC_UTF_16_BIGENDIAN, eCRM_NONE, true, std::string("\xFE\xFF\0n", 4)},
		{"Latin-1 has no mark", "n\xC3\xA9", VTC_ISO_8859_1, eCRM_NONE, true, "n\xE9"},
		{"empty text, no mark", "", VTC_UTF_8, eCRM_NONE, true, ""},
		{"line ends made CR", "a\r\nb\n", VTC_UTF_8, eCRM_CR, false, "a\rb\r"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.label);
		RaisedErrors raised;
		VRefPtr<MemoryFile> file = NewFile("Root:f.txt", "old content");
		EXPECT_EQ(file->SetContentAsString(VString(c.text), c.charSet, c.mode, c.withBOM), VE_OK);
		EXPECT_EQ(file->fContent, c.bytes);
		EXPECT_TRUE(raised.Codes().empty());
	}
}

TEST(IFileContentAsString, TextComesBackInEveryUnicodeForm)
{
	const CharSet sets[] = {VTC_UTF_8, VTC_UTF_16_BIGENDIAN, VTC_UTF_16_SMALLENDIAN, VTC_UTF_32_BIGENDIAN,
							VTC_UTF_32_SMALLENDIAN};
	const VString text("line \xC3\xA9t\xC3\xA9\n\xF0\x9F\x98\x80 end");
	for (CharSet set : sets) {
		SCOPED_TRACE(set);
		VRefPtr<MemoryFile> file = NewFile("Root:f.txt");
		ASSERT_EQ(file->SetContentAsString(text, set, eCRM_NONE, true), VE_OK);
		VString back;
		// Read as Latin-1: the mark must win.
		ASSERT_EQ(file->GetContentAsString(back, VTC_ISO_8859_1, eCRM_NONE), VE_OK);
		EXPECT_TRUE(back.EqualToStringRaw(text)) << to_string(back);
	}
}

TEST(IFileContentAsString, NothingIsWrittenWithoutAConverter)
{
	RaisedErrors raised;
	VRefPtr<MemoryFile> file = NewFile("Root:f.txt", "old content");
	EXPECT_EQ(file->SetContentAsString(VString("new"), static_cast<CharSet>(4242), eCRM_NONE, true),
			  VE_STREAM_NO_TEXT_CONVERTER);
	EXPECT_EQ(file->fContent, "old content");
	EXPECT_EQ(file->fWrites, 0);
	EXPECT_EQ(raised.Last(), VE_STREAM_NO_TEXT_CONVERTER);
}

TEST(IFileContentAsString, AFailedWriteIsAnswered)
{
	RaisedErrors raised;
	VRefPtr<MemoryFile> file = NewFile("Root:f.txt");
	file->fWriteError = kDiskFull;
	EXPECT_EQ(file->SetContentAsString(VString("new"), VTC_UTF_8, eCRM_NONE, false), kDiskFull);
	EXPECT_EQ(raised.Codes(), std::vector<VError>{kDiskFull});
}

TEST(IFileCopyContent, CopiesOnlyWhatWasRead)
{
	RaisedErrors raised;
	VRefPtr<MemoryFile> source = NewFile("Root:a", std::string("bytes\0and more", 14));
	VRefPtr<MemoryFile> destination = NewFile("Root:b", "old");
	EXPECT_EQ(source->CopyContentTo(destination.Get()), VE_OK);
	EXPECT_EQ(destination->fContent, source->fContent);
	EXPECT_EQ(source->CopyContentTo(nullptr), VE_OK);

	source->fReadError = MAKE_VERROR('qirn', 600);
	destination->fContent = "old";
	EXPECT_EQ(source->CopyContentTo(destination.Get()), MAKE_VERROR('qirn', 600));
	EXPECT_EQ(destination->fContent, "old");
	EXPECT_EQ(destination->fWrites, 1);

	source->fReadError = VE_OK;
	destination->fWriteError = kDiskFull;
	EXPECT_EQ(source->CopyContentTo(destination.Get()), kDiskFull);
}

} // namespace
} // namespace qirn
