#include "core/VMemory.h"
#include "files/VFilePath.h"
#include "files/platform/XLinuxFile.h"
#include "files/tests/PathUnits.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <set>
#include <string>

namespace qirn {
namespace {

using testing::Text;
using testing::Units;

// The C text of AllocatePosixPath..., freed by the memory manager.
struct PosixText {
	explicit PosixText(char* inText) : fText(inText) {}
	~PosixText() { VMemory::DisposePtr(fText); }
	PosixText(const PosixText&) = delete;
	PosixText& operator=(const PosixText&) = delete;
	std::string Get() const { return fText != nullptr ? std::string(fText) : std::string("(null)"); }
	char* fText;
};

std::string BytesOf(const VFilePath& inPath)
{
	return PosixText(XLinuxFile::AllocatePosixPathFromFilePath(inPath)).Get();
}

VFilePath PathOf(const std::string& inBytes, bool inFolder = false)
{
	VFilePath path;
	XLinuxFile::GetFilePathFromPosixPath(inBytes.c_str(), inFolder, path);
	return path;
}

TEST(LinuxFilePaths, PosixBytesAsKernelText)
{
	struct Case {
		std::string fPosix;
		bool fConverted;
		std::u16string_view fKernel;
	};
	const Case cases[] = {
		{"/", true, u"Root:"},
		{"/a/b", true, u"Root:a:b"},
		{"/a/b/", true, u"Root:a:b:"},
		{"/a:b/c", true, u"Root:a/b:c"},
		{"/a/../b", true, u"Root:a::b"},
		{"/a/./b/.", true, u"Root:a:b:"},
		{"/caf\xC3\xA9/\xFF", true, u"Root:caf\u00E9:\xDCFF"},
		{"a/b", false, u""},
		{"", false, u""},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fPosix);
		VString hfs;
		// Nothing is asked of the disk: whether the path must exist changes nothing.
		for (bool mustExist : {false, true}) {
			hfs.Clear();
			EXPECT_EQ(XLinuxFile::PosixFullPathToHFS(c.fPosix.c_str(), mustExist, hfs), c.fConverted);
			if (c.fConverted) {
				EXPECT_EQ(Units(hfs), c.fKernel);
			}
		}
	}
}

TEST(LinuxFilePaths, KernelTextAsPosixText)
{
	struct Case {
		std::u16string_view fKernel;
		bool fKnown;
		std::u16string_view fPosix;
	};
	const Case cases[] = {
		{u"Root:", true, u"/"},
		{u"Root:a/b:c:", true, u"/a:b/c/"},
		{u"Root", true, u"/"},
		{u"Data:a", false, u"/Data/a"},
		{u"root:a", false, u"/root/a"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fKernel.begin(), c.fKernel.end()));
		VString posix;
		EXPECT_EQ(XLinuxFile::HFSFullPathToPosix(Text(c.fKernel), posix), c.fKnown);
		EXPECT_EQ(Units(posix), c.fPosix);
	}
}

TEST(LinuxFilePaths, NamesOnDiskComeBackAsTheSameFiles)
{
	// Each name is a different file; each must come back as itself, never as
	// another, and none may be lost.
	const std::string names[] = {
		"plain.txt",  "a:b",		  "caf\xC3\xA9", "cafe\xCC\x81", "CAF\xC3\x89", "\xFF\xFE",
		"x\xC3",	  "\xED\xA0\x80", "\xC0\xAF",	 "back\\slash",	 " spaced ",	".hidden",
		"\xF0\x9F\x98\x80", "100%", "a?b#c", "\xC3\xA9\xA9",
	};
	testing::TempFolder temp;
	ASSERT_FALSE(temp.Path().empty());
	for (const std::string& name : names) {
		const int fd = ::open((temp / name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
		ASSERT_GE(fd, 0) << name;
		ASSERT_EQ(::write(fd, name.data(), name.size()), static_cast<ssize_t>(name.size()));
		::close(fd);
	}
	const VFilePath folder = PathOf(temp.Path(), true);
	ASSERT_TRUE(folder.IsFolder());

	std::set<std::u16string> kernelPaths;
	std::set<std::string> found;
	DIR* dir = ::opendir(temp.Path().c_str());
	ASSERT_NE(dir, nullptr);
	while (const dirent* entry = ::readdir(dir)) {
		const std::string name = entry->d_name;
		if (name == "." || name == "..")
			continue;
		SCOPED_TRACE(name);
		const VFilePath path = PathOf(temp / name);
		ASSERT_TRUE(path.IsFile());
		EXPECT_TRUE(path.IsChildOf(folder));
		kernelPaths.insert(Units(path));
		const std::string back = BytesOf(path);
		EXPECT_EQ(back, temp / name);
		// The file reached through the kernel path holds its own name.
		char content[64] = {};
		const int fd = ::open(back.c_str(), O_RDONLY | O_CLOEXEC);
		ASSERT_GE(fd, 0);
		const ssize_t read = ::read(fd, content, sizeof(content));
		::close(fd);
		EXPECT_EQ(std::string(content, read > 0 ? static_cast<size_t>(read) : 0), name);
		found.insert(name);
	}
	::closedir(dir);
	EXPECT_EQ(found, std::set<std::string>(std::begin(names), std::end(names)));
	EXPECT_EQ(kernelPaths.size(), std::size(names));
}

TEST(LinuxFilePaths, PathsLongerThanTheSystemLimit)
{
	// PATH_MAX bounds a single system call, not a path: the conversions hold
	// none, whatever the length.
	std::string posix;
	for (int i = 0; i < 40; ++i) {
		const std::string element = "d" + std::to_string(i) + std::string(150, 'x') + "\xC3\xA9" + "\xFF:";
		posix += "/" + element;
	}
	ASSERT_GT(posix.size(), 4096u);
	const VFilePath path = PathOf(posix + "/");
	ASSERT_TRUE(path.IsFolder());
	EXPECT_EQ(path.GetDepth(), 41);
	EXPECT_EQ(BytesOf(path), posix + "/");
	VString name;
	path.GetName(name);
	EXPECT_EQ(Units(name), u"d39" + std::u16string(150, u'x') + u"\u00E9\xDCFF/");

	VFilePath parent;
	ASSERT_TRUE(path.GetParent(parent));
	EXPECT_EQ(BytesOf(parent), posix.substr(0, posix.rfind('/') + 1));
	EXPECT_TRUE(path.IsChildOf(parent));
}

TEST(LinuxFilePaths, TextThatNamesNoBytesGivesAnEmptyPath)
{
	for (std::u16string_view text : {std::u16string_view(u"/tmp/a\xD800"), std::u16string_view(u"/tmp/\xDCC3\xDCA9"),
									 std::u16string_view(u"/tmp/a\0b", 8)}) {
		SCOPED_TRACE(std::string(text.begin(), text.end()));
		EXPECT_EQ(PosixText(XLinuxFile::AllocatePosixPathFromString(Text(text))).Get(), "");
	}
	EXPECT_EQ(PosixText(XLinuxFile::AllocatePosixPathFromString(Text(u"/tmp/\xDCFF"))).Get(), "/tmp/\xFF");
	// An invalid path has no POSIX text.
	EXPECT_EQ(BytesOf(VFilePath(Text(u":a"))), "");
}

TEST(LinuxFilePaths, FilePathFromPosixBytes)
{
	EXPECT_EQ(Units(PathOf("/a/b", true)), u"Root:a:b:");
	EXPECT_EQ(Units(PathOf("/a/b/", true)), u"Root:a:b:");
	EXPECT_EQ(Units(PathOf("/a/b", false)), u"Root:a:b");
	EXPECT_EQ(Units(PathOf("/", true)), u"Root:");

	VFilePath path = PathOf("/a");
	XLinuxFile::GetFilePathFromPosixPath(nullptr, false, path);
	EXPECT_TRUE(path.IsEmpty());
	EXPECT_FALSE(path.IsValid());

	EXPECT_FALSE(PathOf("relative/name").IsValid());
}

TEST(LinuxFilePaths, NamesBeginningWithADot)
{
	struct Case {
		const char* fPath;
		bool fDot;
	};
	const Case cases[] = {
		{".a", true},	 {"/x/.a", true}, {"/x/.a/", true}, {"/x/a", false}, {"/.x/a", false},
		{"..", true},	 {"/x/..", true}, {".", false},		{"", false},	 {"a", false},
		{nullptr, false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fPath != nullptr ? c.fPath : "(null)");
		EXPECT_EQ(XLinuxFile::PosixNameBeginsWithDot(c.fPath), c.fDot);
	}
}

} // namespace
} // namespace qirn
