#include "files/VFileError.h"
#include "files/tests/MemoryFiles.h"
#include "json/VJSONObject.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

using testing::MemoryFile;
using testing::MemoryFolder;
using testing::SystemPath;

std::string Parameter(const VErrorBase& inError, const char* inName)
{
	VString value;
	inError.GetParameters()->GetProperty(VString(inName)).GetString(value);
	return to_string(value);
}

TEST(FileError, NamesTheFileOrFolderOrSaysNA)
{
	constexpr VError kCode = MAKE_VERROR('qirn', 602);
	VRefPtr<MemoryFile> file = VRefPtr<MemoryFile>::Adopt(new MemoryFile("Root:home:notes.txt"));
	VRefPtr<MemoryFolder> folder = VRefPtr<MemoryFolder>::Adopt(new MemoryFolder("Root:home:x.bundle:"));
	struct Case {
		const char* label;
		VRefPtr<VFileError> error;
		const char* name;
		const char* path;
	};
	const Case cases[] = {
		{"file", VRefPtr<VFileError>::Adopt(new VFileError(file.Get(), kCode)), "notes.txt", "Root:home:notes.txt"},
		{"folder", VRefPtr<VFileError>::Adopt(new VFileError(folder.Get(), kCode)), "x.bundle",
		 "Root:home:x.bundle:"},
		{"path", VRefPtr<VFileError>::Adopt(new VFileError(SystemPath("Root:a:b"), kCode)), "b", "Root:a:b"},
		{"null file", VRefPtr<VFileError>::Adopt(new VFileError(static_cast<const IFile*>(nullptr), kCode)), "n/a",
		 "n/a"},
		{"empty path", VRefPtr<VFileError>::Adopt(new VFileError(VFilePath(), kCode)), "n/a", "n/a"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.label);
		EXPECT_EQ(c.error->GetError(), kCode);
		EXPECT_EQ(Parameter(*c.error, "name"), c.name);
		EXPECT_EQ(Parameter(*c.error, "path"), c.path);
	}
	VString path;
	cases[0].error->GetPath().GetPath(path);
	EXPECT_EQ(to_string(path), "Root:home:notes.txt");
}

} // namespace
} // namespace qirn
