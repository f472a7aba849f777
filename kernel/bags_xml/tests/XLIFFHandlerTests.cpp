#include "bags_xml/LocalizationPlatform.h"
#include "bags_xml/VBagArray.h"
#include "bags_xml/VLocalizationManager.h"
#include "bags_xml/VValueBag.h"
#include "bags_xml/tests/LocalizationFixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qirn {
namespace {

using namespace qirn::testing;

// Loads one XLIFF document into a new manager of the dialect, as a
// language folder's file (inAnyLanguage false) or a resources folder's.
class XLIFF : public ::testing::Test {
protected:
	VRefPtr<VLocalizationManager> Load(DialectCode inDialect, const std::vector<std::string>& inDocuments,
									   bool inAnyLanguage = false)
	{
		VRefPtr<VLocalizationManager> manager = NewManager(inDialect);
		int index = 0;
		for (const std::string& document : inDocuments) {
			const std::string path = fFolder / ("f" + std::to_string(index++) + ".xlf");
			EXPECT_TRUE(WriteBytes(path, document));
			EXPECT_EQ(manager->LoadFile(FileAt(path).Get(), inAnyLanguage), VE_OK);
		}
		return manager;
	}
	VRefPtr<VLocalizationManager> Load(DialectCode inDialect, const std::string& inDocument,
									   bool inAnyLanguage = false)
	{
		return Load(inDialect, std::vector<std::string>{inDocument}, inAnyLanguage);
	}

	TempFolder fFolder;
};

std::vector<std::string> GroupStrings(VLocalizationManager& inManager, const char* inGroup)
{
	std::vector<VString> texts;
	inManager.GetOrderedStringsOfGroup(VString(inGroup), texts);
	std::vector<std::string> out;
	for (const VString& text : texts)
		out.push_back(to_string(text));
	return out;
}

std::string Attribute(const VValueBag& inBag, const char* inName)
{
	VString value;
	return inBag.GetString(inName, value) ? to_string(value) : "<none>";
}

TEST_F(XLIFF, TargetLanguageDecidesAcceptAndOverride)
{
	// A first file in the manager's own language stores "shared"; the file
	// under test stores "shared" again (kept only with override) and "own"
	// (kept only when accepted).
	struct Case {
		DialectCode fDialect;
		const char* fOurTag;
		const char* fTargetLanguage;
		bool fAccepted;
		bool fOverrides;
	};
	const Case cases[] = {
		{kFrenchCanada, "fr-CA", "fr-CA", true, true},
		{kFrenchCanada, "fr-CA", "fr-ca", true, true}, // letter case ignored
		{kFrenchCanada, "fr-CA", "FR-CA", true, true},
		{kFrenchCanada, "fr-CA", "fr", true, false},	// ours has a region, the file's none
		{kFrenchCanada, "fr-CA", "fr-BE", true, false}, // another region
		{kFrench, "fr", "fr-CA", true, false},			// the file's has a region, ours none
		{kFrenchCanada, "fr-CA", "de", false, false},
		{kFrenchCanada, "fr-CA", "zz-qq", false, false}, // no known language
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fOurTag) + " against " + c.fTargetLanguage);
		VRefPtr<VLocalizationManager> manager =
			Load(c.fDialect, {Xliff(c.fOurTag, Unit("shared", "first")),
							  Xliff(c.fTargetLanguage, Unit("shared", "second") + Unit("own", "mine"))});
		EXPECT_EQ(Text(*manager, "own"), c.fAccepted ? "mine" : "<none>");
		EXPECT_EQ(Text(*manager, "shared"), c.fOverrides ? "second" : "first");
	}
}

TEST_F(XLIFF, AFileWithoutTargetLanguageFollowsTheLastDecision)
{
	const std::string bare = Xliff("", Unit("bare", "taken"));
	// In a language folder: refused at first, taken after an accepted file,
	// refused after a refused one.
	EXPECT_EQ(Text(*Load(kGerman, bare), "bare"), "<none>");
	EXPECT_EQ(Text(*Load(kGerman, {Xliff("de", Unit("x", "y")), bare}), "bare"), "taken");
	EXPECT_EQ(Text(*Load(kGerman, {Xliff("de", Unit("x", "y")), Xliff("fr", Unit("z", "w")), bare}), "bare"),
			  "<none>");
	// A resources folder's own file is taken whatever its language.
	EXPECT_EQ(Text(*Load(kGerman, bare, true), "bare"), "taken");
	EXPECT_EQ(Text(*Load(kGerman, Xliff("fr", Unit("fr", "pris")), true), "fr"), "pris");
}

TEST_F(XLIFF, UnitsOutsideGroupsNeedAResname)
{
	VRefPtr<VLocalizationManager> manager =
		Load(kGerman, Xliff("de", "<trans-unit resname=\"k\" id=\"4\"><source>S</source><target>T</target></trans-unit>"
								  "<trans-unit id=\"5\"><source>alone</source></trans-unit>"));
	EXPECT_EQ(Text(*manager, "k"), "T");
	// An id without a group gives no numbered string.
	VString text("untouched");
	EXPECT_FALSE(manager->LocalizeStringWithSTRSharpCodes(STRSharpCodes(0, 5), text));
	EXPECT_FALSE(manager->LocalizeStringWithSTRSharpCodes(STRSharpCodes(0, 4), text));
	EXPECT_EQ(to_string(text), "untouched");
}

TEST_F(XLIFF, TextsOfAUnit)
{
	struct Case {
		const char* fUnit;
		const char* fExpected;
	};
	const Case cases[] = {
		{"<source>S</source><target>T</target>", "T"},
		{"<source>S</source>", "S"},
		{"<source>S</source><target></target>", "S"}, // an empty target leaves the source
		{"<source>S</source><target/>", "S"},
		{"<target>a&amp;b<![CDATA[<c>]]>d</target>", "a&b<c>d"}, // pieces appended
		{"<note>n</note><source>S</source>", "S"},
		// Markup inside the source: the unit still takes its target.
		{"<source>a<g id=\"1\">b</g></source><target>T</target>", "T"},
		{"<source>S</source><target>T</target><alt-trans><target>alt</target></alt-trans>", "T"},
		{"", "<none>"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fUnit);
		VRefPtr<VLocalizationManager> manager =
			Load(kGerman, Xliff("de", std::string("<trans-unit resname=\"k\">") + c.fUnit + "</trans-unit>"));
		EXPECT_EQ(Text(*manager, "k"), c.fExpected);
	}
}

TEST(LocalizationPlatform, ThisSystemIsLinux)
{
	struct Case {
		const char* fAttribute;
		const char* fList;
		bool fExcluded;
	};
	const Case cases[] = {
		{"kq:excludeIf", "linux", true},
		{"kq:excludeIf", " win  Linux ", true},
		{"kq:excludeIf", "mac", false},
		{"kq:excludeIf", "mac win", false},
		{"kq:includeIf", "linux", false},
		{"kq:includeIf", "mac linux", false},
		{"kq:includeIf", "mac", true},
		{"kq:includeIf", "win mac", true},
		{"kq:includeIf", "beos", false}, // names no platform: excludes nothing
		{"kq:includeIf", "", false},
		{"excludeIf", "linux", false}, // the attribute is matched whole
		{"kq:excludeif", "linux", false},
		{"kq:excludeIf", "linuxes", false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fAttribute) + "=" + c.fList);
		EXPECT_EQ(IsExcludedOnThisPlatform(VString(c.fAttribute), VString(c.fList)), c.fExcluded);
	}
	EXPECT_STREQ(kLocalizationPlatformName, "linux");
}

TEST_F(XLIFF, PlatformListsKeepUnitsFromThisSystem)
{
	// The prefixed attributes arrive under their whole names: the parse
	// does not process namespaces.
	VRefPtr<VLocalizationManager> manager =
		Load(kGerman, Xliff("de", Unit("onlyOthers", "x", " kq:includeIf=\"win mac\"") +
									  Unit("withUs", "x", " kq:includeIf=\"mac linux\"") +
									  Unit("notUs", "x", " kq:excludeIf=\"linux\"") +
									  Unit("notMac", "x", " kq:excludeIf=\"mac\"") +
									  "<trans-unit resname=\"onSource\"><source kq:excludeIf=\"linux\">s</source>"
									  "</trans-unit>"));
	EXPECT_EQ(Text(*manager, "onlyOthers"), "<none>");
	EXPECT_EQ(Text(*manager, "withUs"), "x");
	EXPECT_EQ(Text(*manager, "notUs"), "<none>");
	EXPECT_EQ(Text(*manager, "notMac"), "x");
	// A child's attributes count for its unit.
	EXPECT_EQ(Text(*manager, "onSource"), "<none>");
}

TEST_F(XLIFF, NumberedStringsComeFromGroupAndUnitIds)
{
	VRefPtr<VLocalizationManager> manager = Load(
		kGerman, Xliff("de", "<group id=\"7\" resname=\"list\">"
							 "<trans-unit id=\"2\"><source>two</source></trans-unit>"
							 "<trans-unit id=\"1\"><source>one</source></trans-unit>"
							 "<trans-unit id=\"4\"><source>four</source></trans-unit>"
							 "<trans-unit id=\"-3\"><source>negative</source></trans-unit>"
							 "<trans-unit id=\"x\"><source>not a number</source></trans-unit>"
							 "</group>"
							 "<group id=\"-2\"><trans-unit id=\"1\"><source>minus</source></trans-unit></group>"));
	VString text;
	EXPECT_TRUE(manager->LocalizeStringWithSTRSharpCodes(STRSharpCodes(7, 4), text));
	EXPECT_EQ(to_string(text), "four");
	// Negative group ids are ids; the unit's are not.
	EXPECT_TRUE(manager->LocalizeStringWithSTRSharpCodes(STRSharpCodes(-2, 1), text));
	EXPECT_EQ(to_string(text), "minus");
	std::vector<VString> list;
	EXPECT_TRUE(manager->LocalizeGroupOfStringsWithAStrSharpID(7, list));
	ASSERT_EQ(list.size(), 2u); // stops at the missing 3
	EXPECT_EQ(to_string(list[0]), "one");
	EXPECT_EQ(to_string(list[1]), "two");
	EXPECT_FALSE(manager->LocalizeGroupOfStringsWithAStrSharpID(8, list));
	EXPECT_TRUE(list.empty());
	// The group table: ids in order, units without an id under 0 (the last
	// one of them wins).
	EXPECT_EQ(GroupStrings(*manager, "list"), (std::vector<std::string>{"not a number", "one", "two", "four"}));
	EXPECT_TRUE(GroupStrings(*manager, "List").empty()); // exact names
}

TEST_F(XLIFF, NestedAndBracketedGroups)
{
	VRefPtr<VLocalizationManager> manager = Load(
		kGerman,
		Xliff("de", "<group resname=\"[form]\">"
					"  <group resname=\"button\">"
					"    <trans-unit resname=\"title\" id=\"1\"><source>OK</source></trans-unit>"
					"  </group>"
					"  <trans-unit resname=\"outer\" id=\"2\"><source>direct</source></trans-unit>"
					"</group>"
					"<group resname=\"plain\">"
					"  <group resname=\"inner\">"
					"    <trans-unit resname=\"label\" id=\"3\"><source>Name</source></trans-unit>"
					"  </group>"
					"  <trans-unit id=\"4\"><source>after</source></trans-unit>"
					"</group>"));
	// Under a bracketed group: one joined key, nothing else.
	EXPECT_EQ(Text(*manager, "[form]#}[{@button#}[{@title"), "OK");
	EXPECT_EQ(Text(*manager, "title"), "<none>");
	EXPECT_TRUE(GroupStrings(*manager, "button").empty());
	// A unit directly in the bracketed group is stored as usual.
	EXPECT_EQ(Text(*manager, "outer"), "direct");
	EXPECT_EQ(GroupStrings(*manager, "[form]"), std::vector<std::string>{"direct"});
	// Without brackets: its own resname and both groups.
	EXPECT_EQ(Text(*manager, "label"), "Name");
	EXPECT_EQ(Text(*manager, "plain#}[{@inner#}[{@label"), "<none>");
	EXPECT_EQ(GroupStrings(*manager, "inner"), std::vector<std::string>{"Name"});
	// The outer group is back to its own name once the inner one ended.
	EXPECT_EQ(GroupStrings(*manager, "plain"), (std::vector<std::string>{"Name", "after"}));
}

TEST_F(XLIFF, OverrideDecidesBetweenUnitsOfOneResname)
{
	const std::string twice = Unit("k", "first") + Unit("k", "second");
	EXPECT_EQ(Text(*Load(kFrenchCanada, Xliff("fr-CA", twice)), "k"), "second");
	EXPECT_EQ(Text(*Load(kFrenchCanada, Xliff("fr", twice)), "k"), "first");
	// Group strings are replaced whatever the override says.
	VRefPtr<VLocalizationManager> manager =
		Load(kFrenchCanada, Xliff("fr", "<group resname=\"g\"><trans-unit id=\"1\"><source>a</source></trans-unit>"
										"<trans-unit id=\"1\"><source>b</source></trans-unit></group>"));
	EXPECT_EQ(GroupStrings(*manager, "g"), std::vector<std::string>{"b"});
}

TEST_F(XLIFF, GroupsWithARestypeAreKeptAsBags)
{
	VRefPtr<VLocalizationManager> manager = Load(
		kGerman,
		Xliff("de", "<group resname=\"menu\" restype=\"x-menu\" id=\"9\" extra=\"e\">"
					"  <trans-unit resname=\"open\" id=\"1\"><source>Open</source><target>Öffnen</target>"
					"    <alt-trans origin=\"old\"><target>Aufmachen</target></alt-trans>"
					"  </trans-unit>"
					"  <trans-unit resname=\"skip\" kq:excludeIf=\"linux\"><source>no</source></trans-unit>"
					"  <trans-unit resname=\"close\"><source>Close</source></trans-unit>"
					"</group>"
					"<group resname=\"MENU\" restype=\"x-menu\"><trans-unit resname=\"z\"><source>z</source>"
					"</trans-unit></group>"
					"<group resname=\"plain\"><trans-unit resname=\"p\"><source>p</source></trans-unit></group>"));
	VRefPtr<const VValueBag> bag = VRefPtr<const VValueBag>::Adopt(manager->RetainGroupBag(VString("menu")));
	ASSERT_TRUE(bag);
	EXPECT_EQ(Attribute(*bag, "resname"), "menu");
	EXPECT_EQ(Attribute(*bag, "restype"), "x-menu");
	EXPECT_EQ(Attribute(*bag, "id"), "9");
	EXPECT_EQ(Attribute(*bag, "extra"), "e");
	VBagArray* units = bag->GetElements("trans-unit");
	ASSERT_NE(units, nullptr);
	ASSERT_EQ(units->GetCount(), 2); // the excluded unit is left out
	const VValueBag* open = units->GetNth(1);
	EXPECT_EQ(Attribute(*open, "resname"), "open");
	EXPECT_EQ(Attribute(*open, "target"), "Öffnen");
	VBagArray* alternatives = open->GetElements("alt-trans");
	ASSERT_NE(alternatives, nullptr);
	ASSERT_EQ(alternatives->GetCount(), 1);
	EXPECT_EQ(Attribute(*alternatives->GetNth(1), "target"), "Aufmachen");
	EXPECT_EQ(Attribute(*alternatives->GetNth(1), "origin"), "old");
	EXPECT_EQ(Attribute(*units->GetNth(2), "target"), "Close");
	// Alternatives stay out of the tables; the units themselves go in.
	EXPECT_EQ(Text(*manager, "open"), "Öffnen");
	// A second group of the same resname as a person reads it keeps the
	// first bag, but both are found by their restype, in order.
	std::vector<VRefPtr<const VValueBag>> byType;
	manager->RetainGroupBagsByRestype(VString("x-menu"), byType);
	ASSERT_EQ(byType.size(), 2u);
	EXPECT_EQ(byType[0].Get(), bag.Get());
	EXPECT_EQ(Attribute(*byType[1], "resname"), "MENU");
	// Appended, not replaced.
	manager->RetainGroupBagsByRestype(VString("x-menu"), byType);
	EXPECT_EQ(byType.size(), 4u);
	// Without a restype no bag is kept.
	EXPECT_EQ(manager->RetainGroupBag(VString("plain")), nullptr);
}

} // namespace
} // namespace qirn
