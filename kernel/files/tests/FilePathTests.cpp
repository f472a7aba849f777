#include "files/FileErrorCodes.h"
#include "files/VFilePath.h"
#include "files/tests/PathUnits.h"
#include "testing/RaisedErrors.h"
#include "testing/TestDialect.h"
#include "testing/TestThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace qirn {
namespace {

using testing::PosixUnits;
using testing::Text;
using testing::Units;

VFilePath Kernel(std::u16string_view inText)
{
	return VFilePath(Text(inText));
}

VFilePath Posix(std::u16string_view inText)
{
	return VFilePath(Text(inText), FPS_POSIX);
}

TEST(FilePath, FullPathsOfTheSystemStyle)
{
	struct Case {
		std::u16string_view fText;
		std::u16string_view fPath; // after '::' steps
		bool fValid;
		bool fFolder;
		int32 fDepth;
	};
	const Case cases[] = {
		{u"Data:a:b:", u"Data:a:b:", true, true, 3},
		{u"Data:a:f", u"Data:a:f", true, false, 3},
		{u"Data:", u"Data:", true, true, 1},
		{u"Data:a::", u"Data:", true, true, 1},
		{u"Data:a:b::c", u"Data:a:c", true, false, 3},
		{u"Data:a:b:c:::d:", u"Data:a:d:", true, true, 3},
		{u"Data::", u"Data::", false, false, 0},
		// Two steps up from one folder climb above the volume.
		{u"Data:a:::", u"Data:a:::", false, false, 0},
		{u":a:b", u":a:b", false, false, 0},
		// A text without ':' names no volume.
		{u"Data", u"Data", false, false, 0},
		// "." and ".." would step in POSIX text: "/a/../b" is "/b".
		{u"Root:a:..:b", u"Root:a:..:b", false, false, 0},
		{u"Root:a:.", u"Root:a:.", false, false, 0},
		{u"Root:.:", u"Root:.:", false, false, 0},
		{u"..:a", u"..:a", false, false, 0},
		{u"Root:a:...:.b:c.", u"Root:a:...:.b:c.", true, false, 5},
		{u"", u"", false, false, 0},
		{std::u16string_view(u"Data:a\0b", 8), std::u16string_view(u"Data:a\0b", 8), false, false, 0},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fText.begin(), c.fText.end()));
		const VFilePath path = Kernel(c.fText);
		EXPECT_EQ(Units(path), c.fPath);
		EXPECT_EQ(path.IsValid(), c.fValid);
		EXPECT_EQ(path.IsFolder(), c.fValid && c.fFolder);
		EXPECT_EQ(path.IsFile(), c.fValid && !c.fFolder);
		EXPECT_EQ(path.GetDepth(), c.fDepth);
	}
}

TEST(FilePath, PosixFullPathsLieOnTheRootVolume)
{
	struct Case {
		std::u16string_view fPosix;
		std::u16string_view fPath;
		bool fValid;
	};
	const Case cases[] = {
		{u"/", u"Root:", true},
		{u"/a/b", u"Root:a:b", true},
		{u"/a/b/", u"Root:a:b:", true},
		{u"/a/b/../c", u"Root:a:c", true},
		{u"/a/..", u"Root:", true},
		{u"/a/./b", u"Root:a:b", true},
		// "." names the folder it stands in; repeated '/' is one.
		{u"/a/.", u"Root:a:", true},
		{u"//a//b", u"Root:a:b", true},
		{u"/a//b", u"Root:a:b", true},
		{u"/a:b/c/", u"Root:a/b:c:", true},
		{u"/...", u"Root:...", true},
		{u"/..", u"Root::", false},
		{u"/a/../..", u"Root:a:::", false},
		// Text that is not absolute keeps a form that is never a full path.
		{u"a/b", u"a:b", false},
		{u"", u"", false},
		{std::u16string_view(u"/a\0b", 4), std::u16string_view(u"Root:a\0b", 8), false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fPosix.begin(), c.fPosix.end()));
		const VFilePath path = Posix(c.fPosix);
		EXPECT_EQ(Units(path), c.fPath);
		EXPECT_EQ(path.IsValid(), c.fValid);
	}
}

TEST(FilePath, PosixTextComesBackAsItWent)
{
	// Names with ':' and '/' swap them; composed and decomposed accents stay
	// two different names; an escaped byte stays itself.
	struct Case {
		std::u16string_view fPosix;
		std::u16string_view fPath;
	};
	const Case cases[] = {
		{u"/home/ann/notes.txt", u"Root:home:ann:notes.txt"},
		{u"/home/ann/", u"Root:home:ann:"},
		{u"/a:b/c:d:", u"Root:a/b:c/d/"},
		{u"/tmp/caf\u00E9", u"Root:tmp:caf\u00E9"},
		{u"/tmp/cafe\u0301", u"Root:tmp:cafe\u0301"},
		{u"/tmp/\xDCFF\xDCFE", u"Root:tmp:\xDCFF\xDCFE"},
		{u"/tmp/\U0001F600/", u"Root:tmp:\U0001F600:"},
		{u"/tmp/back\\slash", u"Root:tmp:back\\slash"},
	};
	std::vector<std::u16string> seen;
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fPosix.begin(), c.fPosix.end()));
		const VFilePath path = Posix(c.fPosix);
		ASSERT_TRUE(path.IsValid());
		EXPECT_EQ(Units(path), c.fPath);
		EXPECT_EQ(PosixUnits(path), c.fPosix);
		EXPECT_EQ(Units(path.GetPath(FPS_POSIX)), c.fPosix);
		seen.push_back(Units(path));
	}
	EXPECT_NE(seen[3], seen[4]);
}

TEST(FilePath, AnInvalidPathHasNoPosixText)
{
	const VFilePath path = Kernel(u":a:b");
	EXPECT_EQ(PosixUnits(path), u"");
	EXPECT_EQ(Units(path.GetPath(FPS_POSIX)), u"");
	EXPECT_EQ(Units(path.GetPath(FPS_SYSTEM)), u":a:b");
	EXPECT_FALSE(path.HasParent());
	EXPECT_EQ(path.GetDepth(), 0);
}

TEST(FilePath, AVolumeThatIsNotKnownGivesAPathFromTheRoot)
{
	// Only "Root" is mounted: "Data" reads as a folder at the root, whose
	// path in turn lies on Root.
	EXPECT_EQ(PosixUnits(Kernel(u"Data:a:b")), u"/Data/a/b");
	EXPECT_EQ(Units(Posix(u"/Data/a/b")), u"Root:Data:a:b");
	// Its name swaps '/' and ':' as any folder's does.
	EXPECT_EQ(PosixUnits(Kernel(u"Da/ta:a")), u"/Da:ta/a");
	EXPECT_EQ(Units(Posix(u"/Da:ta/a")), u"Root:Da/ta:a");
}

TEST(FilePath, RelativeText)
{
	struct Case {
		std::u16string_view fBase;
		std::u16string_view fRelative;
		FilePathStyle fStyle;
		bool fRefuseAbsolute;
		std::u16string_view fPath;
		bool fValid;
	};
	const Case cases[] = {
		{u"Data:a:b:", u"../x", FPS_POSIX, false, u"Data:a:x", true},
		{u"Data:a:b:", u":x", FPS_SYSTEM, false, u"Data:a:x", true},
		{u"Data:a:b:", u"c/d/", FPS_POSIX, false, u"Data:a:b:c:d:", true},
		{u"Data:a:b:", u"c:d", FPS_SYSTEM, false, u"Data:a:b:c:d", true},
		{u"Data:a:b:", u"./c//d", FPS_POSIX, false, u"Data:a:b:c:d", true},
		{u"Data:a:b:", u"c/..", FPS_POSIX, false, u"Data:a:b:", true},
		{u"Data:a:b:", u"..", FPS_POSIX, false, u"Data:a:", true},
		{u"Data:a:b:", u"", FPS_POSIX, false, u"Data:a:b:", true},
		{u"Data:a:b:", u"n:m", FPS_POSIX, false, u"Data:a:b:n/m", true},
		{u"Data:a:b:", u"../../../x", FPS_POSIX, false, u"Data:a:b::::x", false},
		// An absolute text replaces the base, unless refused.
		{u"Data:a:b:", u"/x", FPS_POSIX, false, u"Root:x", true},
		{u"Data:a:b:", u"/x", FPS_POSIX, true, u"Data:a:b::x", false},
		// The base must be a valid folder.
		{u"Data:a:f", u"x", FPS_POSIX, false, u"Data:a:fx", false},
		{u":a:", u"x", FPS_POSIX, false, u":a:x", false},
		{u"Data:a:", std::u16string_view(u"x\0y", 3), FPS_POSIX, false, std::u16string_view(u"Data:a:x\0y", 10), false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fRelative.begin(), c.fRelative.end()));
		const VFilePath path(Kernel(c.fBase), Text(c.fRelative), c.fStyle, c.fRefuseAbsolute);
		EXPECT_EQ(Units(path), c.fPath);
		EXPECT_EQ(path.IsValid(), c.fValid);
	}
}

TEST(FilePath, RelativeTextOnItselfAsBase)
{
	VFilePath path = Kernel(u"Data:a:");
	path.FromRelativePath(path, Text(u"b/c"), FPS_POSIX);
	EXPECT_EQ(Units(path), u"Data:a:b:c");
}

TEST(FilePath, Names)
{
	struct Case {
		std::u16string_view fPath;
		std::u16string_view fName;
		std::u16string_view fFileName;	  // with its extension
		std::u16string_view fFileBase;	  // without
		std::u16string_view fFolderName;  // with its extension
		std::u16string_view fFolderBase;  // without
		std::u16string_view fExtension;
	};
	const Case cases[] = {
		{u"Data:a:notes.txt", u"notes.txt", u"notes.txt", u"notes", u"", u"", u"txt"},
		{u"Data:a:f.tar.gz", u"f.tar.gz", u"f.tar.gz", u"f.tar", u"", u"", u"gz"},
		{u"Data:a.b:c", u"c", u"c", u"c", u"", u"", u""},
		{u"Data:f.", u"f.", u"f.", u"f", u"", u"", u""},
		{u"Data:x.bundle:", u"x.bundle", u"", u"", u"x.bundle", u"x", u"bundle"},
		{u"Data:a:", u"a", u"", u"", u"a", u"a", u""},
		{u"Data:", u"Data", u"", u"", u"Data:", u"Data:", u""},
		{u"Data:a:b/c", u"b/c", u"b/c", u"b/c", u"", u"", u""},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fPath.begin(), c.fPath.end()));
		const VFilePath path = Kernel(c.fPath);
		VString text;
		path.GetName(text);
		EXPECT_EQ(Units(text), c.fName);
		path.GetFileName(text, true);
		EXPECT_EQ(Units(text), c.fFileName);
		path.GetFileName(text, false);
		EXPECT_EQ(Units(text), c.fFileBase);
		path.GetFolderName(text, true);
		EXPECT_EQ(Units(text), c.fFolderName);
		path.GetFolderName(text, false);
		EXPECT_EQ(Units(text), c.fFolderBase);
		path.GetExtension(text);
		EXPECT_EQ(Units(text), c.fExtension);
	}
}

TEST(FilePath, NamesOfTextsThatAreNoPath)
{
	VString name;
	VFilePath(Text(u":")).GetName(name);
	EXPECT_EQ(Units(name), u"");
	VFilePath(Text(u"Data")).GetName(name);
	EXPECT_EQ(Units(name), u"Data");
	VFilePath(Text(u":a:b")).GetFileName(name);
	EXPECT_EQ(Units(name), u"");
}

using FilePathInEnglish = testing::InUSEnglish;

TEST_F(FilePathInEnglish, ExtensionsMatchAsAPersonReadsThem)
{
	struct Case {
		std::u16string_view fPath;
		std::u16string_view fExtension;
		bool fDiacritical;
		bool fMatch;
	};
	const Case cases[] = {
		{u"Data:notes.txt", u"txt", false, true},
		{u"Data:notes.TXT", u"txt", false, true},
		{u"Data:notes.TXT", u"txt", true, false},
		{u"Data:x.bundle:", u"bundle", false, true},
		{u"Data:x.bundle:", u"txt", false, false},
		{u"Data:notes", u"", false, true},
		{u"Data:notes.txt", u"", false, false},
		{u"Data:a.b:notes", u"", false, true},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fPath.begin(), c.fPath.end()));
		EXPECT_EQ(Kernel(c.fPath).MatchExtension(Text(c.fExtension), c.fDiacritical), c.fMatch);
	}
}

TEST_F(FilePathInEnglish, ContainmentComparesCodeUnits)
{
	struct Case {
		std::u16string_view fPath;
		std::u16string_view fFolder;
		bool fChild;
		bool fSameOrChild;
	};
	const Case cases[] = {
		{u"Root:a:b", u"Root:a:", true, true},
		{u"Root:a:b:c:", u"Root:a:", true, true},
		{u"Root:a:", u"Root:a:", false, true},
		{u"Root:ab", u"Root:a:", false, false},
		// Case and composition make other names on Linux.
		{u"Root:A:b", u"Root:a:", false, false},
		{u"Root:cafe\u0301:x", u"Root:caf\u00E9:", false, false},
		{u"Root:caf\u00E9:x", u"Root:caf\u00E9:", true, true},
		// The other must be a valid folder.
		{u"Root:a:b", u"Root:a", false, false},
		{u":a:b", u":a:", false, false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fPath.begin(), c.fPath.end()));
		const VFilePath path = Kernel(c.fPath);
		const VFilePath folder = Kernel(c.fFolder);
		EXPECT_EQ(path.IsChildOf(folder), c.fChild);
		EXPECT_EQ(path.IsChildOfRawPath(folder), c.fChild);
		EXPECT_EQ(path.IsSameOrChildOf(folder), c.fSameOrChild);
	}
}

TEST_F(FilePathInEnglish, RelativePathsBelowABase)
{
	struct Case {
		std::u16string_view fPath;
		std::u16string_view fBase;
		bool fBelow;
		std::u16string_view fRelative;
		std::u16string_view fRelativePosix;
	};
	const Case cases[] = {
		{u"Root:a:b:c", u"Root:a:", true, u"b:c", u"b/c"},
		{u"Root:a:b:", u"Root:a:", true, u"b:", u"b/"},
		{u"Root:a:", u"Root:a:", true, u"", u""},
		{u"Root:a:x/y", u"Root:a:", true, u"x/y", u"x:y"},
		{u"Root:x:y", u"Root:a:", false, u"Root:x:y", u"/x/y"},
		{u"Root:A:y", u"Root:a:", false, u"Root:A:y", u"/A/y"},
		{u"Root:a:y", u"Root:a", false, u"Root:a:y", u"/a/y"},
		{u":a:y", u"Root:a:", false, u":a:y", u""},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fPath.begin(), c.fPath.end()));
		const VFilePath path = Kernel(c.fPath);
		const VFilePath base = Kernel(c.fBase);
		VString text;
		EXPECT_EQ(path.GetRelativePath(base, text), c.fBelow);
		EXPECT_EQ(Units(text), c.fRelative);
		EXPECT_EQ(path.GetRelativePosixPath(base, text), c.fBelow);
		EXPECT_EQ(Units(text), c.fRelativePosix);
	}
}

TEST(FilePath, ParentsAndFolders)
{
	struct Case {
		std::u16string_view fPath;
		bool fHasParent;
		std::u16string_view fParent;
		std::u16string_view fFolder;
	};
	const Case cases[] = {
		{u"Data:a:b:", true, u"Data:a:", u"Data:a:b:"},
		{u"Data:a:f", true, u"Data:a:", u"Data:a:"},
		{u"Data:a:", true, u"Data:", u"Data:a:"},
		{u"Data:", false, u"", u"Data:"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fPath.begin(), c.fPath.end()));
		const VFilePath path = Kernel(c.fPath);
		EXPECT_EQ(path.HasParent(), c.fHasParent);
		VFilePath other;
		EXPECT_EQ(path.GetParent(other), !c.fParent.empty());
		EXPECT_EQ(Units(other), c.fParent);
		EXPECT_EQ(other.IsValid(), !c.fParent.empty());
		EXPECT_EQ(path.GetFolder(other), !c.fFolder.empty());
		EXPECT_EQ(Units(other), c.fFolder);

		VFilePath changed = path;
		EXPECT_EQ(changed.ToParent(), !c.fParent.empty());
		EXPECT_EQ(Units(changed), c.fParent);
		changed = path;
		EXPECT_EQ(changed.ToFolder(), !c.fFolder.empty());
		EXPECT_EQ(Units(changed), c.fFolder);
		// The path asked is left as it was.
		EXPECT_EQ(Units(path), c.fPath);
	}
}

TEST(FilePath, AnInvalidPathHasNoParentAndStaysAsItIs)
{
	VFilePath path = Kernel(u":a:b:");
	VFilePath parent = Kernel(u"Data:");
	EXPECT_FALSE(path.GetParent(parent));
	EXPECT_FALSE(parent.IsValid());
	EXPECT_FALSE(path.ToParent());
	EXPECT_EQ(Units(path), u":a:b:");
	// Nor has a text without a volume.
	VFilePath noVolume = Kernel(u"Data");
	EXPECT_FALSE(noVolume.IsValid());
	EXPECT_FALSE(noVolume.ToParent());
	EXPECT_FALSE(noVolume.ToFolder());
	EXPECT_EQ(Units(noVolume), u"Data");
}

TEST(FilePath, SubFoldersAndFiles)
{
	VFilePath path = Kernel(u"Data:a:");
	EXPECT_TRUE(path.ToSubFolder(Text(u"b")));
	EXPECT_EQ(Units(path), u"Data:a:b:");
	EXPECT_TRUE(path.ToSubFile(Text(u"f.txt")));
	EXPECT_EQ(Units(path), u"Data:a:b:f.txt");
	// A file has neither.
	EXPECT_TRUE(path.ToSubFolder(Text(u"c")));
	EXPECT_TRUE(path.ToSubFile(Text(u"g")));
	EXPECT_EQ(Units(path), u"Data:a:b:f.txt");
}

TEST(FilePath, Renaming)
{
	struct Case {
		std::u16string_view fPath;
		int fOperation; // 0 SetName, 1 SetFileName, 2 SetFolderName
		std::u16string_view fName;
		bool fWithExtension;
		std::u16string_view fResult;
		bool fAnswer;
	};
	const Case cases[] = {
		{u"Data:a:old.txt", 0, u"new.md", true, u"Data:a:new.md", true},
		{u"Data:a:old:", 0, u"new", true, u"Data:a:new:", true},
		{u"Data:a:old.txt", 1, u"new", false, u"Data:a:new.txt", true},
		{u"Data:a:old.txt", 1, u"new", true, u"Data:a:new", true},
		{u"Data:a:old", 1, u"new", false, u"Data:a:new", true},
		{u"Data:a:", 1, u"f.txt", false, u"Data:a:f.txt", true},
		{u"Data:a:x.bundle:", 2, u"y", false, u"Data:a:y.bundle:", true},
		{u"Data:a:x.bundle:", 2, u"y", true, u"Data:a:y:", true},
		{u"Data:a:f", 2, u"y", true, u"Data:a:f", false},
		{u":a:f", 0, u"g", true, u":a:f", false},
		{u":a:f", 1, u"g", true, u":a:f", false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fPath.begin(), c.fPath.end()));
		VFilePath path = Kernel(c.fPath);
		testing::RaisedErrors raised;
		bool answer = false;
		if (c.fOperation == 0)
			answer = path.SetName(Text(c.fName));
		else if (c.fOperation == 1)
			answer = path.SetFileName(Text(c.fName), c.fWithExtension);
		else
			answer = path.SetFolderName(Text(c.fName), c.fWithExtension);
		EXPECT_EQ(answer, c.fAnswer);
		EXPECT_EQ(Units(path), c.fResult);
		EXPECT_TRUE(raised.Codes().empty());
	}
}

TEST(FilePath, NamesThatAreNoElementAreRefused)
{
	// A ':' would add an element, an empty name would make "Data:a::".
	for (std::u16string_view name : {u"x:y", u""}) {
		SCOPED_TRACE(std::string(name.begin(), name.end()));
		for (int operation = 0; operation < 3; ++operation) {
			VFilePath path = Kernel(operation == 1 ? u"Data:a:f.txt" : u"Data:a:b:");
			const std::u16string before = Units(path);
			testing::RaisedErrors raised;
			bool answer = operation == 0   ? path.SetName(Text(name))
						  : operation == 1 ? path.SetFileName(Text(name))
										   : path.SetFolderName(Text(name));
			EXPECT_FALSE(answer);
			EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_FILE_BAD_NAME});
			EXPECT_EQ(Units(path), before);
		}
	}
}

TEST(FilePath, Extensions)
{
	struct Case {
		std::u16string_view fPath;
		std::u16string_view fExtension;
		std::u16string_view fResult;
	};
	const Case cases[] = {
		{u"Data:a:f.txt", u"md", u"Data:a:f.md"},
		{u"Data:a:f", u"md", u"Data:a:f.md"},
		{u"Data:a:f.", u"md", u"Data:a:f.md"},
		{u"Data:a:f.txt", u"", u"Data:a:f"},
		{u"Data:a:f", u"", u"Data:a:f"},
		{u"Data:a.b:f", u"md", u"Data:a.b:f.md"},
		{u"Data:x.bundle:", u"app", u"Data:x.app:"},
		{u"Data:x:", u"app", u"Data:x.app:"},
		{u"Data:x.app:", u"", u"Data:x:"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fPath.begin(), c.fPath.end()));
		VFilePath path = Kernel(c.fPath);
		EXPECT_TRUE(path.SetExtension(Text(c.fExtension)));
		EXPECT_EQ(Units(path), c.fResult);
	}
	VFilePath file = Kernel(u"Data:a:f.txt");
	VFilePath folder = Kernel(u"Data:a:");
	EXPECT_FALSE(file.SetFolderExtension(Text(u"x")));
	EXPECT_FALSE(folder.SetFileExtension(Text(u"x")));
	EXPECT_EQ(Units(file), u"Data:a:f.txt");
	EXPECT_EQ(Units(folder), u"Data:a:");

	testing::RaisedErrors raised;
	EXPECT_FALSE(file.SetExtension(Text(u"a:b")));
	EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_FILE_BAD_NAME});
	EXPECT_EQ(Units(file), u"Data:a:f.txt");
}

TEST_F(FilePathInEnglish, BlanksAroundElements)
{
	VFilePath path = Kernel(u" Data : my folder\u00A0: f.txt  ");
	path.RemoveBlanks();
	EXPECT_EQ(Units(path), u"Data:my folder:f.txt");
	EXPECT_TRUE(path.IsFile());

	VFilePath folder = Kernel(u"Data: a :");
	folder.RemoveBlanks();
	EXPECT_EQ(Units(folder), u"Data:a:");
	EXPECT_TRUE(folder.IsFolder());
}

TEST(FilePath, TextChecks)
{
	EXPECT_TRUE(VFilePath::ValidFullPath(Text(u"/a"), FPS_POSIX));
	EXPECT_FALSE(VFilePath::ValidFullPath(Text(u"a"), FPS_POSIX));
	EXPECT_FALSE(VFilePath::ValidFullPath(Text(u""), FPS_POSIX));
	EXPECT_TRUE(VFilePath::ValidFullPath(Text(u"Data:a"), FPS_SYSTEM));
	EXPECT_FALSE(VFilePath::ValidFullPath(Text(u":a"), FPS_SYSTEM));
	EXPECT_FALSE(VFilePath::ValidFullPath(Text(u"Data"), FPS_SYSTEM));
	EXPECT_FALSE(VFilePath::ValidFullPath(Text(u""), FPS_SYSTEM));

	EXPECT_FALSE(VFilePath::ValidRelativePath(Text(u"/a"), FPS_POSIX));
	EXPECT_TRUE(VFilePath::ValidRelativePath(Text(u"a/b"), FPS_POSIX));
	EXPECT_TRUE(VFilePath::ValidRelativePath(Text(u""), FPS_POSIX));
	EXPECT_TRUE(VFilePath::ValidRelativePath(Text(u"/a"), FPS_SYSTEM));

	EXPECT_TRUE(VFilePath::BadChar(Text(std::u16string_view(u"a\0b", 3)), FPS_POSIX));
	EXPECT_FALSE(VFilePath::BadChar(Text(u"a:b"), FPS_SYSTEM));
}

TEST(FilePath, PosixStepsResolvedInText)
{
	struct Case {
		std::u16string_view fText;
		std::u16string_view fResolved;
	};
	const Case cases[] = {
		{u"/a/./b", u"/a/b"},
		{u"/a/././b/", u"/a/b/"},
		{u"/a//b", u"/a/b"},
		{u"/a/b/../c", u"/a/c"},
		{u"a/b/../../c", u"c"},
		{u"a/../../c", u"../c"},
		{u"../../c", u"../../c"},
		// A step counts only with a separator after it.
		{u"./a", u"./a"},
		{u"a/.", u"a/."},
		{u"a/..", u"a/.."},
		{u"", u""},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fText.begin(), c.fText.end()));
		VString text = Text(c.fText);
		VFilePath::ResolveRelativePosix(text);
		EXPECT_EQ(Units(text), c.fResolved);
	}
}

TEST(FilePath, CopiesAreIndependent)
{
	VFilePath path = Kernel(u"Data:a:f");
	VFilePath copy(path);
	copy.SetName(Text(u"g"));
	EXPECT_EQ(Units(path), u"Data:a:f");
	EXPECT_EQ(Units(copy), u"Data:a:g");
	VFilePath assigned;
	assigned.FromFilePath(copy);
	EXPECT_TRUE(assigned.IsValid());
	assigned.Clear();
	EXPECT_FALSE(assigned.IsValid());
	EXPECT_TRUE(assigned.IsEmpty());
	EXPECT_EQ(Units(copy), u"Data:a:g");
}

TEST(FilePath, ConversionsFromManyThreadsAtOnce)
{
	std::atomic<int> wrong{0};
	testing::RunOnThreads(8, [&wrong](int inThread) {
		for (int i = 0; i < 500; ++i) {
			const std::u16string posix = u"/t" + std::u16string(1, static_cast<char16_t>(u'a' + inThread)) + u"/f:" +
										 std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
			const VFilePath path = Posix(posix);
			if (!path.IsFile() || PosixUnits(path) != posix)
				++wrong;
		}
	});
	EXPECT_EQ(wrong.load(), 0);
}

} // namespace
} // namespace qirn
