#include "bags_xml/BagXMLReadWrite.h"
#include "bags_xml/VValueBag.h"
#include "bags_xml/VXMLParser.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace qirn {
namespace {

// root/ents/a.txt, root/ents/sub/b.txt, root/ents/out.txt (a link to
// root/secret.txt), root/ents/dir (a folder), and root/secret.txt outside.
class EntityFolder : public ::testing::Test {
protected:
	void SetUp() override
	{
		std::filesystem::create_directories(fRoot / "ents/sub");
		std::filesystem::create_directories(fRoot / "ents/dir");
		Write(fRoot / "ents/a.txt", "inside-a");
		Write(fRoot / "ents/sub/b.txt", "inside-b");
		Write(fRoot / "secret.txt", "SECRET");
		std::filesystem::create_symlink(fRoot / "secret.txt", fRoot / "ents/out.txt");
		fFolder = VRefPtr<VFolder>::Adopt(new VFolder(VString((fRoot / "ents/").c_str()), FPS_POSIX));
	}

	static void Write(const std::string& inPath, const char* inText) { std::ofstream(inPath) << inText; }

	// The resolved file's last name, or empty.
	static std::string Resolved(const VString& inPath, VFolder* inFolder, const char* inSystemID)
	{
		VRefPtr<VFile> file =
			VRefPtr<VFile>::Adopt(VXMLParser::ResolveEntityFromFolder(inPath, inFolder, VString(inSystemID)));
		if (file == nullptr)
			return {};
		VString name;
		file->GetName(name);
		return to_string(name);
	}

	testing::TempFolder fRoot;
	VRefPtr<VFolder> fFolder;
};

TEST_F(EntityFolder, ResolvesOnlyPlainNamesInsideTheFolder)
{
	const VString path("ents/");
	struct Row {
		const char* fSystemID;
		const char* fFound;
	};
	const Row rows[] = {
		{"ents/a.txt", "a.txt"},
		{"ents/sub/b.txt", "b.txt"},
		{"ents/sub:b.txt", "b.txt"},
		{"ents/missing.txt", ""},
		{"other/a.txt", ""},
		{"a.txt", ""},
		{"ents//a.txt", ""},
		{"ents/./a.txt", ""},
		{"ents/sub/../a.txt", ""},
		{"ents/../secret.txt", ""},
		{"ents/sub/", ""},
		{"ents/", ""},
		{"ents/dir", ""},
		{"ents/out.txt", ""},
	};
	for (const Row& row : rows)
		EXPECT_EQ(Resolved(path, fFolder.Get(), row.fSystemID), row.fFound) << row.fSystemID;
	EXPECT_EQ(Resolved(path, nullptr, "ents/a.txt"), "");
	// Without a path, every system identifier is the rest.
	EXPECT_EQ(Resolved(VString(), fFolder.Get(), "a.txt"), "a.txt");
	const std::string absolute = fRoot / "ents/a.txt";
	EXPECT_EQ(Resolved(VString(), fFolder.Get(), absolute.c_str()), "");
}

// Hostile documents, loaded with the entities folder set: only entities of
// the folder are read; every other one is a fatal error and nothing of it
// reaches the bag. (Entity bombs are refused by the parser whatever its
// handlers: the parser's own tests hold them, slow under sanitizers.)
TEST_F(EntityFolder, HostileDocumentsReadNothingOutside)
{
	const std::string secret = fRoot / "secret.txt";
	struct Row {
		const char* fName;
		std::string fDeclaration; // declares the entity x
		VError fError;
		const char* fText; // what the bag's text starts with
	};
	const Row rows[] = {
		{"entity of the folder", "<!ENTITY x SYSTEM 'ents/a.txt'>", VE_OK, "inside-a"},
		{"entity in a sub-folder", "<!ENTITY x SYSTEM 'ents/sub/b.txt'>", VE_OK, "inside-b"},
		{"absolute path outside", "<!ENTITY x SYSTEM '" + secret + "'>", VE_XML_FATAL_ERROR, ""},
		{"file URL outside", "<!ENTITY x SYSTEM 'file://" + secret + "'>", VE_XML_FATAL_ERROR, ""},
		{"network URL", "<!ENTITY x SYSTEM 'http://127.0.0.1:1/x'>", VE_XML_FATAL_ERROR, ""},
		{"steps out of the folder", "<!ENTITY x SYSTEM 'ents/../secret.txt'>", VE_XML_FATAL_ERROR, ""},
		{"link out of the folder", "<!ENTITY x SYSTEM 'ents/out.txt'>", VE_XML_FATAL_ERROR, ""},
		{"not under the entities path", "<!ENTITY x SYSTEM 'secret.txt'>", VE_XML_FATAL_ERROR, ""},
	};
	const VString path("ents/");
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fName);
		const std::string xml = "<!DOCTYPE bag [" + row.fDeclaration + "]><bag>&x;</bag>";
		VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
		testing::RaisedErrors errors;
		EXPECT_EQ(LoadBagFromXML(VString(xml.c_str()), VString("bag"), *bag, XML_VALIDATE_NEVER, &path, fFolder.Get()),
				  row.fError);
		VString text;
		bag->GetCData(text);
		EXPECT_EQ(to_string(text).rfind(row.fText, 0), 0u) << to_string(text).substr(0, 40);
		EXPECT_EQ(to_string(text).find("SECRET"), std::string::npos);
	}
	// Without the folder the same entity is refused.
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
	testing::RaisedErrors errors;
	EXPECT_EQ(LoadBagFromXML(VString("<!DOCTYPE bag [<!ENTITY x SYSTEM 'ents/a.txt'>]><bag>&x;</bag>"),
							 VString("bag"), *bag, XML_VALIDATE_NEVER, &path, nullptr),
			  VE_XML_FATAL_ERROR);
}

} // namespace
} // namespace qirn
