#include "ClientCustomization.h"

#include "UpdaterErrors.h"

#include "bags_xml/BagXMLReadWrite.h"
#include "bags_xml/VValueBag.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "files/platform/XLinuxPathBytes.h"
#include "host/HostBundle.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"

#include <string>

namespace qirn {

namespace StartupParametersBagKeys {
const StPackedDictionaryKey database_shortcut("database_shortcut");
const StPackedDictionaryKey is_remote("is_remote");
const StPackedDictionaryKey server_database_name("server_database_name");
const StPackedDictionaryKey cache_folder_name("cache_folder_name");
const StPackedDictionaryKey remote_shared_resources("remote_shared_resources");
const StPackedDictionaryKey server_path("server_path");
} // namespace StartupParametersBagKeys

namespace {

// The text of a key whose value is a JSON string; false for any other kind.
bool GetText(const VJSONObject& inInfo, const char* inKey, VString& outText)
{
	const VJSONValue value = inInfo.GetProperty(VString(inKey));
	if (!value.IsString())
		return false;
	value.GetString(outText);
	return true;
}

} // namespace

bool FinishClientCustomization(const VFilePath& inCustomizationFile, const VFilePath& inBundle)
{
	StErrorContextInstaller context(true, true);
	VJSONValue info;
	{
		VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(inCustomizationFile));
		// Only the kind of the value counts: a file that breaks off after the
		// top-level object began keeps the pairs read before the fault.
		(void)info.LoadFromFile(file.Get());
	}
	const VJSONObject* object = info.GetObject();
	VString platform;
	if (object == nullptr || !GetText(*object, "ServerPlatform", platform)) {
		_PushRetainedError(new VErrorBase(VE_UPQX_BAD_CLIENT_INFO));
		return false;
	}
	platform.ToLowerCase();
	SetIPAdressOnClientPref(*object, inBundle);
	FinishMacClientCustomization(inBundle);
	return context.GetContext()->IsEmpty();
}

bool SetIPAdressOnClientPref(const VJSONObject& inInfo, const VFilePath& inBundle)
{
	VString serverPath;
	if (!GetText(inInfo, "BuildIPAdress", serverPath))
		return true;
	VString port;
	if (GetText(inInfo, "BuildIPPort", port))
		serverPath.AppendPrintf(":%S", &port);
	VString databaseName;
	GetText(inInfo, "PublishName", databaseName);
	VString cacheFolderName;
	GetText(inInfo, "BuildCacheFolderNameClient", cacheFolderName);

	VFilePath folderPath(inBundle);
	folderPath.ToSubFolder(VString("Contents"));
	folderPath.ToSubFolder(VString("Database"));
	VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(folderPath));
	if (!folder->Exists() && folder->CreateRecursive(false) != VE_OK)
		return true;

	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	bag->SetBool(StartupParametersBagKeys::is_remote, true);
	bag->SetString(StartupParametersBagKeys::server_database_name, databaseName);
	bag->SetString(StartupParametersBagKeys::server_path, serverPath);
	bag->SetString(StartupParametersBagKeys::cache_folder_name, cacheFolderName);
	bag->SetBool(StartupParametersBagKeys::remote_shared_resources, false);

	VFilePath linkPath(folderPath);
	linkPath.ToSubFile(VString("RoruzazUdivad.QXlink"));
	VRefPtr<VFile> link = VRefPtr<VFile>::Adopt(new VFile(linkPath));
	WriteBagToFileInXML(*bag, VString("database_shortcut"), link.Get(), false);
	return true;
}

bool FinishMacClientCustomization(const VFilePath& inBundle)
{
	StErrorContextInstaller context(true, true);
	VString bundleText;
	inBundle.GetPosixPath(bundleText);
	std::string bundleBytes;
	if (!XLinuxPathBytes::ToBytes(bundleText, bundleBytes))
		return true;
	while (bundleBytes.size() > 1 && bundleBytes.back() == '/')
		bundleBytes.pop_back();
	char executableName[1024] = {};
	if (!host::CopyBundleInfoString(bundleBytes.c_str(), "CFBundleExecutable", executableName, sizeof executableName))
		return true;
	// A name that is no plain file name would lead outside the bundle.
	const std::string exeName(executableName);
	if (exeName.empty() || exeName.find('/') != std::string::npos || exeName == "." || exeName == "..")
		return true;
	VFilePath executablePath(inBundle);
	executablePath.ToSubFolder(VString("Contents"));
	executablePath.ToSubFolder(VString("MacOS"));
	VString name;
	XLinuxPathBytes::ToText(executableName, std::char_traits<char>::length(executableName), name);
	executablePath.ToSubFile(name);
	VRefPtr<VFile> executable = VRefPtr<VFile>::Adopt(new VFile(executablePath));
	if (!executable->Exists())
		return true;
	uint16 mode = 0;
	if (executable->MAC_GetPermissions(&mode) == VE_OK && (mode & 0111) != 0111)
		executable->MAC_SetPermissions(static_cast<uint16>(mode | 0111));
	return context.GetContext()->IsEmpty();
}

} // namespace qirn
