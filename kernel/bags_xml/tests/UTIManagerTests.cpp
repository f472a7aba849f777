#include "bags_xml/VLocalizationManager.h"
#include "bags_xml/VUTI.h"
#include "bags_xml/VUTIManager.h"
#include "bags_xml/tests/LocalizationFixtures.h"
#include "files/VFileKind.h"
#include "files/VFileKindManager.h"
#include "runtime/VErrorContext.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qirn {
namespace {

using namespace qirn::testing;

// A property list declaring the given types (each a "dict" body) as
// exported ones, and optionally others as imported ones.
std::string PropertyList(const std::vector<std::string>& inExported, const std::vector<std::string>& inImported = {})
{
	std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
					   "<plist version=\"1.0\">\n<dict>\n"
					   "\t<key>CFBundleIdentifier</key><string>com.example.app</string>\n";
	auto array = [&](const char* inKey, const std::vector<std::string>& inTypes) {
		if (inTypes.empty())
			return;
		text += std::string("\t<key>") + inKey + "</key>\n\t<array>\n";
		for (const std::string& type : inTypes)
			text += "\t\t<dict>\n" + type + "\t\t</dict>\n";
		text += "\t</array>\n";
	};
	array("UTExportedTypeDeclarations", inExported);
	array("UTImportedTypeDeclarations", inImported);
	return text + "</dict>\n</plist>\n";
}

// One declaration: identifier, parents and extensions (an array of
// strings when there are several, else one string).
std::string Type(const std::string& inIdentifier, const std::vector<std::string>& inParents,
				 const std::vector<std::string>& inExtensions, const std::string& inMore = "")
{
	std::string text = "<key>UTTypeIdentifier</key><string>" + inIdentifier + "</string>\n" +
					   "<key>UTTypeDescription</key><string>About " + inIdentifier + "</string>\n";
	if (!inParents.empty()) {
		text += "<key>UTTypeConformsTo</key><array>";
		for (const std::string& parent : inParents)
			text += "<string>" + parent + "</string>";
		text += "</array>\n";
	}
	if (!inExtensions.empty()) {
		text += "<key>UTTypeTagSpecification</key><dict><key>public.filename-extension</key>";
		if (inExtensions.size() == 1) {
			text += "<string>" + inExtensions[0] + "</string>";
		} else {
			text += "<array>";
			for (const std::string& extension : inExtensions)
				text += "<string>" + extension + "</string>";
			text += "</array>";
		}
		text += "</dict>\n";
	}
	return text + inMore;
}

class UTIFixture : public ::testing::Test {
protected:
	UTIFixture() : fManager(VRefPtr<VUTIManager>::Adopt(new VUTIManager)) {}

	bool Load(const std::string& inText, const char* inName = "Info.plist")
	{
		EXPECT_TRUE(WriteBytes(fFolder / inName, inText));
		return fManager->LoadXMLFile(FileAt(fFolder / inName).Get());
	}

	VRefPtr<VUTI> UTI(const char* inIdentifier) const
	{
		return VRefPtr<VUTI>::Adopt(fManager->RetainUTI(VString(inIdentifier)));
	}

	std::string Preferred(const char* inTagClass, const char* inTag, const char* inConformingTo = "") const
	{
		VRefPtr<VUTI> found = VRefPtr<VUTI>::Adopt(
			fManager->UTTypeCreatePreferredIdentifierForTag(VString(inTagClass), VString(inTag), VString(inConformingTo)));
		return found != nullptr ? to_string(found->GetIdentifier()) : "<none>";
	}

	static std::vector<std::string> Strings(const std::vector<VString>& inStrings)
	{
		std::vector<std::string> texts;
		for (const VString& text : inStrings)
			texts.push_back(to_string(text));
		return texts;
	}

	static std::vector<std::string> Keys(const VUTI::UTIMap& inMap)
	{
		std::vector<std::string> keys;
		for (const auto& [identifier, uti] : inMap)
			keys.push_back(to_string(identifier) + (uti->IsTemporary() ? " (temporary)" : ""));
		return keys;
	}

	TempFolder fFolder;
	VRefPtr<VUTIManager> fManager;
};

using Names = std::vector<std::string>;

TEST(UTIManager, ProcessManagerIsMadeOnceAndForgottenByDeInit)
{
	VUTIManager* manager = VUTIManager::GetUTIManager();
	ASSERT_NE(manager, nullptr);
	EXPECT_EQ(VUTIManager::GetUTIManager(), manager);
	EXPECT_EQ(manager->GetLocalizationManager(), nullptr);

	VRefPtr<VLocalizationManager> localizer = NewManager(kFrench);
	manager->SetLocalizationManager(localizer.Get());
	EXPECT_EQ(VUTIManager::GetUTIManager()->GetLocalizationManager(), localizer.Get());

	EXPECT_TRUE(VUTIManager::DeInit());
	VUTIManager* fresh = VUTIManager::GetUTIManager();
	ASSERT_NE(fresh, nullptr);
	EXPECT_EQ(fresh->GetLocalizationManager(), nullptr);
	EXPECT_TRUE(VUTIManager::DeInit());
	EXPECT_TRUE(VUTIManager::DeInit());
}

TEST_F(UTIFixture, DeclarationsAreReadAndLinkedToTypesDeclaredLater)
{
	ASSERT_TRUE(Load(PropertyList({Type("com.example.doc", {"com.example.base", "com.example.undeclared"}, {"exd"}),
								   Type("com.example.base", {}, {"exb"})})));
	VRefPtr<VUTI> doc = UTI("com.example.doc");
	VRefPtr<VUTI> base = UTI("com.example.base");
	ASSERT_NE(doc, nullptr);
	ASSERT_NE(base, nullptr);
	EXPECT_EQ(to_string(doc->GetDescription()), "About com.example.doc");
	EXPECT_EQ(Keys(doc->GetParentUTIsMap()), (Names{"com.example.base", "com.example.undeclared (temporary)"}));
	EXPECT_EQ(Keys(base->GetChildrenUTIsMap()), (Names{"com.example.doc"}));
	EXPECT_TRUE(doc->ConformsToIdentifier(VString("com.example.base")));
	EXPECT_FALSE(doc->ConformsToIdentifier(VString("com.example.undeclared")));
	VUTI::StringVector extensions;
	doc->GetAllExtensionsVector(extensions);
	EXPECT_EQ(Strings(extensions), (Names{"exd", "exb"}));
}

TEST_F(UTIFixture, ImportedDeclarationsAndLaterFilesLinkToo)
{
	ASSERT_TRUE(Load(PropertyList({Type("com.example.child", {"com.example.parent"}, {"exc"})}), "first.plist"));
	ASSERT_TRUE(Load(PropertyList({}, {Type("com.example.parent", {}, {"exp"})}), "second.plist"));
	VRefPtr<VUTI> child = UTI("com.example.child");
	ASSERT_NE(child, nullptr);
	EXPECT_EQ(Keys(child->GetParentUTIsMap()), (Names{"com.example.parent"}));
	EXPECT_TRUE(child->ConformsToExtension(VString("exp")));
}

// A type that names both a type and that type's own parent keeps both
// links: the second is no cycle.
TEST_F(UTIFixture, ATypeNamingAParentAndItsAncestorConformsToBoth)
{
	ASSERT_TRUE(Load(PropertyList({Type("public.data", {}, {}), Type("public.image", {"public.data"}, {}),
								   Type("public.jpeg", {"public.data", "public.image"}, {"jpg"})})));
	VRefPtr<VUTI> jpeg = UTI("public.jpeg");
	ASSERT_NE(jpeg, nullptr);
	EXPECT_EQ(Keys(jpeg->GetParentUTIsMap()), (Names{"public.data", "public.image"}));
	EXPECT_TRUE(jpeg->ConformsToIdentifier(VString("public.image")));
}

TEST_F(UTIFixture, DeclarationsThatConformToEachOtherMakeNoCycle)
{
	ASSERT_TRUE(Load(PropertyList({Type("com.example.a", {"com.example.b"}, {"exa"}),
								   Type("com.example.b", {"com.example.a"}, {"exb"}),
								   Type("com.example.self", {"com.example.self"}, {})})));
	VRefPtr<VUTI> a = UTI("com.example.a");
	VRefPtr<VUTI> b = UTI("com.example.b");
	EXPECT_TRUE(a->ConformsToIdentifier(VString("com.example.b")));
	EXPECT_EQ(Keys(b->GetParentUTIsMap()), (Names{"com.example.a (temporary)"}));
	EXPECT_EQ(Keys(UTI("com.example.self")->GetParentUTIsMap()), (Names{"com.example.self (temporary)"}));
}

TEST_F(UTIFixture, TagSpecificationsTakeStringsAndArraysOfTheirClassesOnly)
{
	std::string tags = "<key>UTTypeIdentifier</key><string>com.example.tags</string>\n"
					   "<key>UTTypeTagSpecification</key><dict>\n"
					   "<key>public.filename-extension</key><array><string>tg</string><string>TG</string>"
					   "<string>tag</string></array>\n"
					   "<key>com.apple.ostype</key><string>TAGS</string>\n"
					   "<key>public.other</key><string>dropped</string>\n"
					   "<string>alone</string>\n"
					   "<key>public.mime-type</key><array><string>application/x-tag</string></array>\n"
					   "</dict>\n"
					   "<key>UTTypeConformsTo</key><string>public.single</string>\n"
					   "<key>UTTypeIconFile</key><string>icon.png</string>\n";
	ASSERT_TRUE(Load(PropertyList({tags})));
	VRefPtr<VUTI> type = UTI("com.example.tags");
	ASSERT_NE(type, nullptr);
	EXPECT_EQ(Strings(type->GetExtensionsVector()), (Names{"tg", "tag"}));
	EXPECT_EQ(Strings(type->GetOSTypesVector()), (Names{"TAGS"}));
	EXPECT_EQ(Strings(type->GetMIMETypesVector()), (Names{"application/x-tag"}));
	EXPECT_TRUE(type->GetParentUTIsMap().empty());
	EXPECT_TRUE(type->GetDescription().IsEmpty());
}

// Keys of a value nested under another key say nothing of the type.
TEST_F(UTIFixture, KeysOfNestedValuesAreNotTheTypesOwn)
{
	std::string type = "<key>UTTypeIdentifier</key><string>com.example.outer</string>\n"
					   "<key>UTTypeReferenceURL</key><dict><key>UTTypeIdentifier</key><string>.inner</string>"
					   "<key>UTTypeDescription</key><string>inner</string></dict>\n"
					   "<key>UTTypeDescription</key><string>Outer</string>\n";
	ASSERT_TRUE(Load(PropertyList({type})));
	VRefPtr<VUTI> outer = UTI("com.example.outer");
	ASSERT_NE(outer, nullptr);
	EXPECT_EQ(to_string(outer->GetDescription()), "Outer");
}

TEST_F(UTIFixture, TypesWithoutIdentifierOrAlreadyKnownAreDropped)
{
	ASSERT_TRUE(Load(PropertyList({Type("com.example.one", {}, {"one"}), Type("com.example.one", {}, {"two"}),
								   "<key>UTTypeDescription</key><string>nameless</string>\n"})));
	VRefPtr<VUTI> one = UTI("com.example.one");
	EXPECT_EQ(Strings(one->GetExtensionsVector()), (Names{"one"}));
	EXPECT_EQ(Preferred(kUTTagClassFilenameExtension, "two"), "<none>");
}

TEST_F(UTIFixture, MissingFilesAnswerFalseAndMalformedOnesLeaveNoError)
{
	EXPECT_FALSE(fManager->LoadXMLFile(nullptr));
	EXPECT_FALSE(fManager->LoadXMLFile(FileAt(fFolder / "missing.plist").Get()));

	StErrorContextInstaller errors;
	std::string broken = PropertyList({Type("com.example.before", {}, {"bef"})});
	broken.resize(broken.size() - 20);
	broken += "<unclosed";
	EXPECT_TRUE(Load(broken));
	EXPECT_TRUE(errors.GetContext()->GetErrors().empty());
}

TEST_F(UTIFixture, BinaryPropertyListsAreRead)
{
	static const char kBinary[] =
	"\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x5f\x10\x1a\x55\x54\x45\x78\x70\x6f\x72\x74\x65\x64"
	"\x54\x79\x70\x65\x44\x65\x63\x6c\x61\x72\x61\x74\x69\x6f\x6e\x73\xa1\x03\xd4\x04\x05\x06\x07\x08"
	"\x0a\x0b\x0c\x5f\x10\x10\x55\x54\x54\x79\x70\x65\x43\x6f\x6e\x66\x6f\x72\x6d\x73\x54\x6f\x5f\x10"
	"\x11\x55\x54\x54\x79\x70\x65\x44\x65\x73\x63\x72\x69\x70\x74\x69\x6f\x6e\x5f\x10\x10\x55\x54\x54"
	"\x79\x70\x65\x49\x64\x65\x6e\x74\x69\x66\x69\x65\x72\x5f\x10\x16\x55\x54\x54\x79\x70\x65\x54\x61"
	"\x67\x53\x70\x65\x63\x69\x66\x69\x63\x61\x74\x69\x6f\x6e\xa1\x09\x5b\x70\x75\x62\x6c\x69\x63\x2e"
	"\x64\x61\x74\x61\x5a\x42\x69\x6e\x61\x72\x79\x20\x64\x6f\x63\x5f\x10\x0f\x63\x6f\x6d\x2e\x65\x78"
	"\x61\x6d\x70\x6c\x65\x2e\x62\x69\x6e\xd1\x0d\x0e\x5f\x10\x19\x70\x75\x62\x6c\x69\x63\x2e\x66\x69"
	"\x6c\x65\x6e\x61\x6d\x65\x2d\x65\x78\x74\x65\x6e\x73\x69\x6f\x6e\xa1\x0f\x54\x62\x64\x6f\x63\x08"
	"\x0b\x28\x2a\x33\x46\x5a\x6d\x86\x88\x94\x9f\xb1\xb4\xd0\xd2\x00\x00\x00\x00\x00\x00\x01\x01\x00"
	"\x00\x00\x00\x00\x00\x00\x10\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xd7";
	ASSERT_TRUE(Load(std::string(kBinary, sizeof(kBinary) - 1)));
	VRefPtr<VUTI> type = UTI("com.example.bin");
	ASSERT_NE(type, nullptr);
	EXPECT_EQ(to_string(type->GetDescription()), "Binary doc");
	EXPECT_EQ(Strings(type->GetExtensionsVector()), (Names{"bdoc"}));
	EXPECT_EQ(Keys(type->GetParentUTIsMap()), (Names{"public.data (temporary)"}));
}

TEST_F(UTIFixture, TypesAreRegisteredAsFileKinds)
{
	bool made = VFileKindManager::Get() == nullptr;
	VFileKindManager::Init();
	ASSERT_TRUE(Load(PropertyList({Type("com.example.kindparent", {}, {"kpa"}),
								   Type("com.example.kind", {"com.example.kindparent", "com.example.elsewhere"},
										{"knd", "knd2"})})));
	VRefPtr<VFileKind> kind =
		VRefPtr<VFileKind>::Adopt(VFileKindManager::Get()->RetainFileKind(VString("com.example.kind")));
	ASSERT_NE(kind, nullptr);
	EXPECT_FALSE(kind->IsPublic());
	EXPECT_EQ(to_string(kind->GetDescription()), "About com.example.kind");
	EXPECT_TRUE(kind->MatchExtension(VString("KND2")));
	std::vector<VString> parents;
	kind->GetParentIDs(parents);
	EXPECT_EQ(Strings(parents), (Names{"com.example.elsewhere", "com.example.kindparent"}));
	EXPECT_TRUE(kind->ConformsTo(VString("com.example.kindparent")));
	if (made)
		VFileKindManager::DeInit();
}

TEST_F(UTIFixture, PreferredIdentifierForATag)
{
	std::string mime = "<key>UTTypeTagSpecification</key><dict><key>public.mime-type</key>"
					   "<string>text/x-shared</string><key>com.apple.ostype</key><string>SHRD</string></dict>\n";
	ASSERT_TRUE(Load(PropertyList({Type("com.example.private", {}, {"shared"}, mime),
								   Type("public.shared", {}, {"shared"}),
								   Type("com.example.sub", {"com.example.private"}, {"sub"}),
								   Type("com.example.other", {}, {"other"})})));
	struct Case {
		const char* fClass;
		const char* fTag;
		const char* fConformingTo;
		const char* fExpected;
	} cases[] = {
		{kUTTagClassFilenameExtension, "shared", "", "public.shared"},
		{kUTTagClassFilenameExtension, "SHARED", "", "public.shared"},
		{kUTTagClassFilenameExtension, "shared", "com.example.private", "com.example.private"},
		{kUTTagClassFilenameExtension, "sub", "", "com.example.sub"},
		{kUTTagClassFilenameExtension, "other", "public.shared", "<none>"},
		{kUTTagClassFilenameExtension, "none", "", "<none>"},
		{kUTTagClassMIMEType, "text/x-shared", "", "com.example.private"},
		{kUTTagClassOSType, "SHRD", "", "com.example.private"},
		{kUTTagClassOSType, "", "", "<none>"},
		{"", "shared", "", "<none>"},
		{"public.unknown-class", "shared", "", "<none>"},
	};
	for (const Case& c : cases)
		EXPECT_EQ(Preferred(c.fClass, c.fTag, c.fConformingTo), c.fExpected) << c.fClass << " " << c.fTag;
}

TEST_F(UTIFixture, AllIdentifiersForATagIncludeInheritedTags)
{
	ASSERT_TRUE(Load(PropertyList({Type("com.example.base", {}, {"bse"}), Type("com.example.derived", {"com.example.base"}, {"drv"}),
								   Type("com.example.unrelated", {}, {"unr"})})));
	auto identifiers = [&](const char* inClass, const char* inTag) {
		std::unique_ptr<std::vector<VUTI*>> found(
			fManager->UTTypeCreateAllIdentifiersForTag(VString(inClass), VString(inTag), VString()));
		if (found == nullptr)
			return Names{"<none>"};
		Names names;
		for (VUTI* uti : *found) {
			names.push_back(to_string(uti->GetIdentifier()));
			uti->Release();
		}
		return names;
	};
	EXPECT_EQ(identifiers(kUTTagClassFilenameExtension, "bse"), (Names{"com.example.base", "com.example.derived"}));
	EXPECT_EQ(identifiers(kUTTagClassFilenameExtension, "drv"), (Names{"com.example.derived"}));
	EXPECT_EQ(identifiers(kUTTagClassFilenameExtension, "zzz"), Names{});
	EXPECT_EQ(identifiers(kUTTagClassFilenameExtension, ""), (Names{"<none>"}));
}

TEST_F(UTIFixture, FilesConformByTheirExtension)
{
	ASSERT_TRUE(Load(PropertyList({Type("com.example.base", {}, {"bse"}), Type("com.example.derived", {"com.example.base"}, {"drv"})})));
	for (const char* name : {"a.drv", "a.bse", "a.DRV", "noextension", "a.zzz"})
		ASSERT_TRUE(WriteBytes(fFolder / name, "x"));
	struct Case {
		std::string fName;
		const char* fIdentifier;
		bool fExpected;
	} cases[] = {
		{"a.drv", "com.example.base", true},
		{"a.drv", "com.example.derived", true},
		{"a.DRV", "com.example.derived", true},
		{"a.bse", "com.example.derived", false},
		{"a.bse", "com.example.base", true},
		{"noextension", "com.example.base", false},
		{"a.zzz", "com.example.base", false},
		{"a.drv", "", false},
		{"missing.drv", "com.example.base", false},
	};
	for (const Case& c : cases)
		EXPECT_EQ(fManager->UTTypeConformsTo(FileAt(fFolder / c.fName).Get(), VString(c.fIdentifier)), c.fExpected)
			<< c.fName << " " << c.fIdentifier;
	EXPECT_FALSE(fManager->UTTypeConformsTo(nullptr, VString("com.example.base")));
}

// The pick between the type a file's extension names and the one its OS
// type names, with given types: the OS type's wins only when it is the more
// specific of two related types.
TEST_F(UTIFixture, TheMoreSpecificOfTheTwoFileTypesJudges)
{
	ASSERT_TRUE(Load(PropertyList({Type("public.text", {}, {"txt"}), Type("com.example.notes", {"public.text"}, {}),
								   Type("com.example.apart", {}, {})})));
	VRefPtr<VUTI> general = UTI("public.text");
	VRefPtr<VUTI> specific = UTI("com.example.notes");
	VRefPtr<VUTI> apart = UTI("com.example.apart");
	struct Case {
		VUTI* fByExtension;
		VUTI* fByOSType;
		VUTI* fExpected;
	} cases[] = {
		{nullptr, nullptr, nullptr},
		{general.Get(), nullptr, general.Get()},
		{nullptr, specific.Get(), specific.Get()},
		{general.Get(), general.Get(), general.Get()},
		{general.Get(), specific.Get(), specific.Get()},
		{specific.Get(), general.Get(), specific.Get()},
		{general.Get(), apart.Get(), general.Get()},
	};
	for (const Case& c : cases)
		EXPECT_EQ(VUTIManager::ChooseFileUTI(c.fByExtension, c.fByOSType), c.fExpected);
}

} // namespace
} // namespace qirn
