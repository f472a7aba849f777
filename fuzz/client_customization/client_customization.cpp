// The updater's client customisation: the input is the customisation file,
// written into a temporary folder made once beside a client bundle. What
// must hold: the step succeeds exactly when the file is a JSON object with
// a text "ServerPlatform" read without fault, and answers an error code
// otherwise; the server
// link file is written exactly when the object has a text "BuildIPAdress",
// and reads back, as the kernel's bag XML, to the values it was made from.
#include "FuzzSupport.h"

#include "ClientCustomization.h"

#include "bags_xml/BagXMLReadWrite.h"
#include "bags_xml/VValueBag.h"
#include "core/VString.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

using namespace qirn;

struct Fixture {
	std::string fFolder;
	std::string fInfo;
	std::string fBundle;
	std::string fLink;
	std::string fExecutable;
};

const Fixture& TheFixture()
{
	static const Fixture fixture = [] {
		char pattern[] = "/tmp/qirn-fuzz-client-XXXXXX";
		const char* made = mkdtemp(pattern);
		QIRN_FUZZ_CHECK(made != nullptr);
		Fixture f;
		f.fFolder = made;
		f.fInfo = f.fFolder + "/info.json";
		f.fBundle = f.fFolder + "/Client.app";
		f.fLink = f.fBundle + "/Contents/Database/RoruzazUdivad.QXlink";
		f.fExecutable = f.fBundle + "/Contents/MacOS/Client";
		std::filesystem::create_directories(f.fBundle + "/Contents/MacOS");
		std::ofstream(f.fBundle + "/Contents/Info.plist")
			<< "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
			   "<key>CFBundleExecutable</key><string>Client</string></dict></plist>";
		std::ofstream(f.fExecutable) << "#!/bin/sh\n";
		return f;
	}();
	return fixture;
}

VFilePath PosixPath(const std::string& inText)
{
	return VFilePath(VString(inText.c_str()), FPS_POSIX);
}

// The text of a key whose value is a JSON string.
bool Text(const VJSONObject& inObject, const char* inKey, VString& outText)
{
	const VJSONValue value = inObject.GetProperty(VString(inKey));
	if (!value.IsString())
		return false;
	value.GetString(outText);
	return true;
}

// Text that XML carries: no controls but tab and line ends, no lone
// surrogate, no U+FFFE or U+FFFF.
bool XMLText(const VString& inText)
{
	const UniChar* units = inText.GetCPointer();
	const VIndex length = inText.GetLength();
	for (VIndex i = 0; i < length; ++i) {
		const UniChar unit = units[i];
		if ((unit < 0x20 && unit != 0x09 && unit != 0x0A && unit != 0x0D) || unit == 0xFFFE || unit == 0xFFFF)
			return false;
		if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
			++i;
		else if (unit >= 0xD800 && unit <= 0xDFFF)
			return false;
	}
	return true;
}

void CheckAttribute(const VValueBag& inBag, const StPackedDictionaryKey& inKey, const VString& inExpected)
{
	VString value;
	QIRN_FUZZ_CHECK(inBag.GetString(inKey, value));
	QIRN_FUZZ_CHECK(value.EqualToStringRaw(inExpected));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	const Fixture& fixture = TheFixture();
	{
		std::ofstream info(fixture.fInfo, std::ios::binary | std::ios::trunc);
		info.write(reinterpret_cast<const char*>(inData), static_cast<std::streamsize>(inSize));
	}
	std::remove(fixture.fLink.c_str());
	::chmod(fixture.fExecutable.c_str(), 0644);

	fuzz::StFuzzInput input;
	const VFilePath infoPath = PosixPath(fixture.fInfo);
	const bool done = FinishClientCustomization(infoPath, PosixPath(fixture.fBundle + "/"));

	VJSONValue info;
	VError loadError;
	{
		fuzz::StFuzzInput reading;
		VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(infoPath));
		loadError = info.LoadFromFile(file.Get());
	}
	const VJSONObject* object = info.GetObject();
	VString platform;
	const bool customisation = object != nullptr && Text(*object, "ServerPlatform", platform);
	if (!customisation) {
		QIRN_FUZZ_CHECK(!done);
		QIRN_FUZZ_CHECK(input.LastError() != VE_OK);
		QIRN_FUZZ_CHECK(!std::filesystem::exists(fixture.fLink));
		return 0;
	}
	// A file that breaks off keeps the pairs read before the fault, and its
	// error: the step goes on and answers the failure.
	if (loadError == VE_OK)
		QIRN_FUZZ_CHECK(done);
	else
		QIRN_FUZZ_CHECK(!done && input.LastError() != VE_OK);
	struct stat status = {};
	QIRN_FUZZ_CHECK(::stat(fixture.fExecutable.c_str(), &status) == 0 && (status.st_mode & 0111) == 0111);

	VString address;
	if (!Text(*object, "BuildIPAdress", address)) {
		QIRN_FUZZ_CHECK(!std::filesystem::exists(fixture.fLink));
		return 0;
	}
	VString port, name, cache;
	if (Text(*object, "BuildIPPort", port)) {
		address.AppendUniChar(u':');
		address.AppendString(port);
	}
	Text(*object, "PublishName", name);
	Text(*object, "BuildCacheFolderNameClient", cache);

	VRefPtr<VFile> link = VRefPtr<VFile>::Adopt(new VFile(PosixPath(fixture.fLink)));
	QIRN_FUZZ_CHECK(link->Exists());
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	// Characters XML cannot hold make no file XML reads back.
	if (!XMLText(address) || !XMLText(name) || !XMLText(cache))
		return 0;
	QIRN_FUZZ_CHECK(LoadBagFromXML(link.Get(), VString("database_shortcut"), *bag) == VE_OK);
	CheckAttribute(*bag, StartupParametersBagKeys::server_path, address);
	CheckAttribute(*bag, StartupParametersBagKeys::server_database_name, name);
	CheckAttribute(*bag, StartupParametersBagKeys::cache_folder_name, cache);
	return 0;
}
