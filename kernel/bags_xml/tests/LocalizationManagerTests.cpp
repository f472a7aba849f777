#include "bags_xml/VLocalizationManager.h"
#include "bags_xml/tests/LocalizationFixtures.h"
#include "core/LocalizeString.h"
#include "core/VIntlMgr.h"
#include "files/FileErrorCodes.h"
#include "process/VProcess.h"
#include "runtime/VErrorBase.h"
#include "testing/RaisedErrors.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TestChild.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace qirn {
namespace {

using namespace qirn::testing;

// Time stamps of the files, in seconds: far from now, so that no write of
// the test's own can land on one of them.
constexpr time_t kFirstDate = 1'600'000'000;
constexpr time_t kLaterDate = 1'600'000'100;

TEST(LocalizationManager, ErrorKeysAreBuiltWhole)
{
	TempFolder folder;
	ASSERT_TRUE(WriteBytes(folder / "errors.xlf",
						   Xliff("de", Unit("ERR_qirn_613", "kernel 613") + Unit("ERR_QXRT_-10702", "runtime") +
										   Unit("ERR_xmlc_2", "xml"))));
	VRefPtr<VLocalizationManager> manager = NewManager(kGerman);
	ASSERT_EQ(manager->LoadFile(FileAt(folder / "errors.xlf").Get(), false), VE_OK);
	struct Case {
		VError fError;
		const char* fExpected;
	};
	const Case cases[] = {
		{MAKE_VERROR('qirn', 613), "kernel 613"},
		{MAKE_VERROR('QXRT', -10702), "runtime"},
		{MAKE_VERROR('xmlc', 2), "xml"},
		// Longer numbers whose first digits name another key.
		{MAKE_VERROR('QXRT', -107021), nullptr},
		{MAKE_VERROR('qirn', 6130000), nullptr},
		{MAKE_VERROR('qirn', 61), nullptr},
		{MAKE_VERROR('QXRT', 10702), nullptr},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(ERRCODE_FROM_VERROR(c.fError));
		VString text("untouched");
		EXPECT_EQ(manager->LocalizeErrorMessage(c.fError, text), c.fExpected != nullptr);
		EXPECT_EQ(to_string(text), c.fExpected != nullptr ? c.fExpected : "untouched");
	}
}

TEST(LocalizationManager, StringsFileLines)
{
	struct Case {
		const char* fLine;
		const char* fKey;
		const char* fValue; // null: nothing stored
	};
	const Case cases[] = {
		{"\"plain\" = \"value\";", "plain", "value"},
		{"bare = unquoted;", "bare", "unquoted"},
		{"\"tight\"=\"v\";", "tight", "v"},
		{"\"trailing\" = \"blanks\";   \t", "trailing", "blanks"},
		{"\"noSemicolon\" = \"kept\"", "noSemicolon", "kept"},
		{"\"semi\" = \"a;\";", "semi", "a;"},
		{"\"half = \"v\";", "\"half", "v"}, // quotes only in pairs
		{"\"q\" = \"a\"b\";", "q", "a\"b"},
		{"\"equals\" = \"a=b\";", "equals", nullptr},
		{"/* a comment */", "/* a comment */", nullptr},
		{"\"empty\" = \"\";", "empty", nullptr},
		{"\"\" = \"noKey\";", "", nullptr},
		{"\"spaces\" =   ;", "spaces", nullptr},
		// A blank before the first '=' is a part of its own: three parts.
		{" = \"blankKey\"=\"v\";", "blankKey", nullptr},
	};
	for (bool littleEndian : {false, true}) {
		TempFolder folder;
		std::string text;
		for (const Case& c : cases)
			text += std::string(c.fLine) + "\r\n";
		const std::string path = folder / "Localizable.strings";
		ASSERT_TRUE(WriteBytes(path, UTF16(text, littleEndian)));
		VRefPtr<VLocalizationManager> manager = NewManager(kGerman);
		EXPECT_EQ(manager->LoadFile(FileAt(path).Get(), false), VE_OK);
		for (const Case& c : cases) {
			SCOPED_TRACE(std::string(c.fLine) + (littleEndian ? " (LE)" : " (BE)"));
			EXPECT_EQ(Text(*manager, c.fKey), c.fValue != nullptr ? c.fValue : "<none>");
		}
		// The pairs are keys like any other: the dot-strings lookup has none.
		VString out;
		EXPECT_FALSE(manager->LocalizeStringWithDotStringsKey(VString("plain"), out));
	}
}

TEST(LocalizationManager, LoadAnswers)
{
	TempFolder folder;
	ASSERT_TRUE(WriteBytes(folder / "a.strings", UTF16("\"a\" = \"b\";\n", false)));
	ASSERT_TRUE(WriteBytes(folder / "a.xlf", Xliff("de", Unit("x", "y"))));
	ASSERT_TRUE(WriteBytes(folder / "broken.xlf", "<xliff><file target-language=\"de\"><body><trans-unit"));
	ASSERT_TRUE(WriteBytes(folder / "a.txt", "\"k\" = \"v\";"));
	VRefPtr<VLocalizationManager> manager = NewManager(kGerman);
	RaisedErrors raised;
	struct Case {
		const char* fName;
		VError fExpected;
	};
	const Case cases[] = {
		{"a.strings", VE_OK},
		{"a.xlf", VE_OK},
		{"broken.xlf", VE_OK}, // read, though its parse fails
		{"a.txt", VE_LOCALIZATION_FILE_KIND},
		{"missing.xlf", VE_FILE_NOT_FOUND},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		EXPECT_EQ(manager->LoadFile(FileAt(folder / c.fName).Get(), false), c.fExpected);
	}
	const VError kNull = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 3);
	EXPECT_EQ(manager->LoadFile(nullptr, false), kNull);
	EXPECT_EQ(manager->ScanAndLoadFolder(nullptr, false), kNull);
	EXPECT_EQ(manager->ScanAndLoadFolder(FolderAt(folder / "none").Get(), false), VE_FILE_NOT_FOUND);
	EXPECT_EQ(manager->AnalyzeDotStringsFile(nullptr), kNull);
	EXPECT_EQ(manager->AnalyzeDotStringsFile(FileAt(folder / "none.strings").Get()), VE_FILE_NOT_FOUND);
	// A folder without localization files loads nothing and still answers 0.
	ASSERT_TRUE(WriteBytes(folder / "empty/readme.txt", "x"));
	EXPECT_EQ(manager->ScanAndLoadFolder(FolderAt(folder / "empty").Get(), true), VE_OK);
	EXPECT_FALSE(manager->LoadDefaultLocalizationFolders(nullptr));
	EXPECT_FALSE(manager->LoadDefaultLocalizationFoldersForComponentOrPlugin(FolderAt(folder / "none").Get()));
	// The answers are the loaders' own: nothing is left on the task.
	EXPECT_TRUE(raised.Codes().empty());
	EXPECT_EQ(Text(*manager, "a"), "b");
	EXPECT_EQ(Text(*manager, "x"), "y");
	// Lookups that find nothing leave their output alone.
	VString out("untouched");
	EXPECT_FALSE(manager->LocalizeStringWithKey(VString("X"), out));
	EXPECT_FALSE(manager->LocalizeStringWithSTRSharpCodes(STRSharpCodes(1, 1), out));
	EXPECT_EQ(to_string(out), "untouched");
	EXPECT_EQ(manager->RetainGroupBag(VString("none")), nullptr);
}

TEST(LocalizationManager, AnUnreadableXLIFFFileAnswersItsReadError)
{
	TempFolder folder;
	const std::string path = folder / "locked.xlf";
	ASSERT_TRUE(WriteBytes(path, Xliff("de", Unit("k", "v"))));
	ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);
	ASSERT_EQ(::chmod(path.c_str(), 0), 0);
	UserIds nobody;
	std::string whyNot;
	if (!FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	// Root reads any file: the reader is nobody.
	const std::string answer = RunInChild([&]() -> std::string {
		if (!BecomeUser(nobody))
			return "cannot become nobody";
		VRefPtr<VLocalizationManager> manager = NewManager(kGerman);
		VRefPtr<VFile> file = FileAt(path);
		VString ignored;
		VError readError;
		{
			RaisedErrors quiet;
			readError = file->GetContentAsString(ignored, VTC_UTF_8, eCRM_NONE);
		}
		RaisedErrors raised;
		const VError loaded = manager->LoadFile(file.Get(), false);
		if (readError == VE_OK)
			return "the file could be read";
		if (loaded != readError)
			return "answered " + std::to_string(ERRCODE_FROM_VERROR(loaded));
		if (!raised.Codes().empty())
			return "errors left on the task";
		// Nothing was recorded: a reload has nothing to look at.
		return manager->DoesNeedAnUpdate() ? "recorded" : "ok";
	});
	EXPECT_EQ(answer, "ok");
}

// A bundle with files in its resources folder and in language folders.
class BundleFixture : public ::testing::Test {
protected:
	void SetUp() override
	{
		fResources = fFolder / "Demo.app/Contents/Resources";
		Write("Resources.xlf", Xliff("", Unit("any", "from resources") + Unit("shared", "resources")));
		Write("fr_CA.lproj/a.xlf", Xliff("fr-CA", Unit("shared", "canada") + Unit("ca", "ca")));
		Write("fr.lproj/a.xlf", Xliff("fr", Unit("shared", "france") + Unit("fr", "fr")));
		Write("fr.lproj/Localizable.strings", UTF16("\"dot\" = \"strings\";\n", true));
		Write("de.lproj/a.xlf", Xliff("de", Unit("de", "de")));
		for (const char* name : {"Resources.xlf", "fr_CA.lproj/a.xlf", "fr.lproj/a.xlf"})
			ASSERT_TRUE(SetModified(fResources + "/" + name, kFirstDate));
	}
	void Write(const std::string& inName, const std::string& inBytes)
	{
		ASSERT_TRUE(WriteBytes(fResources + "/" + inName, inBytes));
	}

	TempFolder fFolder;
	std::string fResources;
};

TEST_F(BundleFixture, TheUsersLanguageChoosesTheFolders)
{
	ScopedEnvironment environment;
	environment.Set("LANGUAGE", "fr_CA:fr");
	environment.Set("LANG", "fr_CA.UTF-8");
	environment.Remove("LC_ALL");
	environment.Remove("LC_MESSAGES");
	const DialectCode dialect = VIntlMgr::GetSystemUIDialectCode();
	ASSERT_EQ(dialect, kFrenchCanada);
	VRefPtr<VLocalizationManager> manager = NewManager(dialect);
	EXPECT_TRUE(manager->LoadDefaultLocalizationFoldersForComponentOrPlugin(FolderAt(fFolder / "Demo.app").Get()));
	EXPECT_EQ(manager->GetLocalizationLanguage(), kFrenchCanada);
	EXPECT_EQ(Text(*manager, "any"), "from resources");
	// The closest folder's file overrides the resources; the language's
	// general folder adds to it without replacing.
	EXPECT_EQ(Text(*manager, "shared"), "canada");
	EXPECT_EQ(Text(*manager, "ca"), "ca");
	EXPECT_EQ(Text(*manager, "fr"), "fr");
	EXPECT_EQ(Text(*manager, "dot"), "strings");
	EXPECT_EQ(Text(*manager, "de"), "<none>");
	// No language folder of its own: only the resources.
	VRefPtr<VLocalizationManager> japanese = NewManager(1041);
	EXPECT_FALSE(japanese->LoadDefaultLocalizationFolders(FolderAt(fResources).Get()));
	EXPECT_EQ(Text(*japanese, "any"), "from resources");
}

TEST_F(BundleFixture, ChangesOnDiskAreSeenOnce)
{
	VRefPtr<VLocalizationManager> manager = NewManager(kFrenchCanada);
	ASSERT_TRUE(manager->LoadDefaultLocalizationFolders(FolderAt(fResources).Get()));
	EXPECT_FALSE(manager->DoesNeedAnUpdate());
	// A new "strings" file is not looked for.
	Write("fr.lproj/More.strings", UTF16("\"more\" = \"x\";\n", true));
	EXPECT_FALSE(manager->DoesNeedAnUpdate());
	// A changed date: once.
	ASSERT_TRUE(SetModified(fResources + "/fr.lproj/a.xlf", kLaterDate));
	EXPECT_TRUE(manager->DoesNeedAnUpdate());
	EXPECT_FALSE(manager->DoesNeedAnUpdate());
	// A new XLIFF file in a scanned folder, until a reload reads it.
	Write("fr.lproj/b.xlf", Xliff("fr", Unit("new", "nouveau")));
	EXPECT_TRUE(manager->DoesNeedAnUpdate());
	EXPECT_TRUE(manager->DoesNeedAnUpdate());
	EXPECT_TRUE(manager->UpdateIfNeeded());
	EXPECT_EQ(Text(*manager, "new"), "nouveau");
	EXPECT_FALSE(manager->DoesNeedAnUpdate());
	EXPECT_FALSE(manager->UpdateIfNeeded());
	// A file that went.
	ASSERT_EQ(::unlink((fResources + "/fr.lproj/b.xlf").c_str()), 0);
	EXPECT_TRUE(manager->UpdateIfNeeded());
	EXPECT_EQ(Text(*manager, "new"), "<none>");
}

TEST_F(BundleFixture, AReloadReadsEachSourceAsItsFirstLoadDid)
{
	VRefPtr<VLocalizationManager> manager = NewManager(kFrenchCanada);
	ASSERT_TRUE(manager->LoadDefaultLocalizationFolders(FolderAt(fResources).Get()));
	// A file loaded alone in a foreign language, taken whatever its language.
	const std::string alone = fFolder / "alone.xlf";
	ASSERT_TRUE(WriteBytes(alone, Xliff("de", Unit("alone", "allein"))));
	ASSERT_EQ(manager->LoadFile(FileAt(alone).Get(), true), VE_OK);
	EXPECT_EQ(Text(*manager, "alone"), "allein");

	Write("fr_CA.lproj/a.xlf", Xliff("fr-CA", Unit("shared", "canada 2") + Unit("ca", "ca")));
	ASSERT_TRUE(SetModified(fResources + "/fr_CA.lproj/a.xlf", kLaterDate));
	EXPECT_TRUE(manager->UpdateIfNeeded());
	EXPECT_EQ(Text(*manager, "shared"), "canada 2");
	// Unchanged files keep their strings: the resources' file has no
	// language and the lone file another one.
	EXPECT_EQ(Text(*manager, "any"), "from resources");
	EXPECT_EQ(Text(*manager, "alone"), "allein");
	EXPECT_EQ(Text(*manager, "fr"), "fr");
	EXPECT_EQ(Text(*manager, "dot"), "strings");
}

TEST_F(BundleFixture, ClearingKeepsWhatAReloadNeeds)
{
	VRefPtr<VLocalizationManager> manager = NewManager(kFrenchCanada);
	ASSERT_TRUE(manager->LoadDefaultLocalizationFolders(FolderAt(fResources).Get()));
	EXPECT_TRUE(manager->ClearLocalizations());
	EXPECT_EQ(Text(*manager, "shared"), "<none>");
	ASSERT_TRUE(SetModified(fResources + "/fr.lproj/a.xlf", kLaterDate));
	EXPECT_TRUE(manager->UpdateIfNeeded());
	EXPECT_EQ(Text(*manager, "shared"), "canada");
}

TEST(LocalizationManager, ScansGoInNameOrder)
{
	// Each file leaves its language decision to the next: "a" is accepted,
	// "b" has no language of its own and so is taken after "a", "c" is
	// refused. Made in name order, which a directory that lists its newest
	// entries first gives backwards.
	TempFolder folder;
	ASSERT_TRUE(WriteBytes(folder / "a.xlf", Xliff("fr-CA", Unit("a", "a"))));
	ASSERT_TRUE(WriteBytes(folder / "b.xlf", Xliff("", Unit("b", "b"))));
	ASSERT_TRUE(WriteBytes(folder / "c.xlf", Xliff("de", Unit("c", "c"))));
	VRefPtr<VLocalizationManager> manager = NewManager(kFrenchCanada);
	EXPECT_EQ(manager->ScanAndLoadFolder(FolderAt(folder.Path()).Get(), false), VE_OK);
	EXPECT_EQ(Text(*manager, "a"), "a");
	EXPECT_EQ(Text(*manager, "b"), "b");
	EXPECT_EQ(Text(*manager, "c"), "<none>");
}

TEST_F(BundleFixture, LocalizeStringAndErrorDescriptionsFindTheTexts)
{
	Write("fr_CA.lproj/errors.xlf",
		  Xliff("fr-CA", Unit("ERR_tst2_5", "impossible d'ouvrir {path}") +
							 Unit("MoreInformationsAvailableInLogFile", "Voir '{LogFilePath}'")));
	VRefPtr<VLocalizationManager> manager = NewManager(kFrenchCanada);
	ASSERT_TRUE(manager->LoadDefaultLocalizationFolders(FolderAt(fResources).Get()));
	VProcess* process = VProcess::sInstance.load();
	ASSERT_NE(process, nullptr);
	process->SetLocalizer(manager.Get(), manager.Get());
	EXPECT_EQ(to_string(LocalizeString(VString("MoreInformationsAvailableInLogFile"), "fallback")),
			  "Voir '{LogFilePath}'");
	EXPECT_EQ(to_string(LocalizeString(VString("absent"), "fallback")), "fallback");
	process->SetLocalizer(nullptr, nullptr);
	EXPECT_EQ(to_string(LocalizeString(VString("MoreInformationsAvailableInLogFile"), "fallback")), "fallback");

	VErrorBase::RegisterLocalizer('tst2', manager.Get());
	VRefPtr<VErrorBase> error = VRefPtr<VErrorBase>::Adopt(new VErrorBase(MAKE_VERROR('tst2', 5)));
	error->SetString(VString("path"), VString("/tmp/x"));
	VString description;
	error->GetErrorDescription(description);
	VErrorBase::UnregisterLocalizer('tst2');
	EXPECT_EQ(to_string(description), "impossible d'ouvrir /tmp/x");
}

TEST_F(BundleFixture, LookupsDuringReloadsSeeWholeTables)
{
	VRefPtr<VLocalizationManager> manager = NewManager(kFrenchCanada);
	ASSERT_TRUE(manager->LoadDefaultLocalizationFolders(FolderAt(fResources).Get()));
	std::atomic<bool> done{false};
	std::atomic<int> misses{0};
	std::atomic<int> lookups{0};
	std::vector<std::thread> readers;
	for (int t = 0; t < 2; ++t) {
		readers.emplace_back([&]() {
			VString text;
			while (!done.load()) {
				if (!manager->LocalizeStringWithKey(VString("fr"), text))
					++misses;
				++lookups;
			}
		});
	}
	for (int round = 0; round < 20; ++round) {
		ASSERT_TRUE(SetModified(fResources + "/fr.lproj/a.xlf", kFirstDate + 1 + round));
		EXPECT_TRUE(manager->UpdateIfNeeded());
	}
	// Let the readers meet at least a few reloads' worth of lookups.
	while (lookups.load() < 100)
		std::this_thread::yield();
	done = true;
	for (std::thread& reader : readers)
		reader.join();
	EXPECT_EQ(misses.load(), 0);
}

} // namespace
} // namespace qirn
