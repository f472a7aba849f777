#include "process/platform/XLinuxLibrary.h"

#include "core/VMemoryBuffer.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/FileErrorCodes.h"
#include "files/VFile.h"
#include "files/VFileError.h"
#include "files/VFolder.h"
#include "files/platform/XLinuxPathBytes.h"
#include "host/HostBundleLayout.h"
#include "process/VLibrary.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"

#include <cstring>
#include <dlfcn.h>
#include <string_view>
#include <vector>

namespace qirn {

namespace {

constexpr uint16 kLibraryModeBits = 0555;
constexpr uint16 kFrameworkExecutableModeBits = 0500;

void RaiseCannotLoad(const VFilePath& inPath, const char* inReason)
{
	VFileError* error = new VFileError(inPath, VE_LIBRARY_CANNOT_LOAD);
	if (inReason != nullptr)
		error->SetString(VString("reason"), VString(inReason, static_cast<VSize>(std::strlen(inReason)), VTC_UTF_8));
	_PushRetainedError(error);
}

// Adds the missing mode bits. A file the process may not change (another
// user's) is loaded as it is: the loader may well read it anyway.
void AddModeBits(const VFile& inFile, uint16 inBits)
{
	StErrorContextInstaller silent(false, true);
	uint16 mode = 0;
	if (inFile.MAC_GetPermissions(&mode) == VE_OK && (mode & inBits) != inBits)
		inFile.MAC_SetPermissions(static_cast<uint16>(mode | inBits));
}

std::string PosixBytes(const VFilePath& inPath)
{
	VString text;
	inPath.GetPosixPath(text);
	std::string bytes;
	if (!XLinuxPathBytes::ToBytes(text, bytes))
		bytes.clear();
	return bytes;
}

// The lines of a text file, its line ends dropped; a final line end opens
// no line of its own.
std::vector<std::string_view> SplitLines(std::string_view inText)
{
	std::vector<std::string_view> lines;
	size_t start = 0;
	while (start < inText.size()) {
		size_t end = inText.find('\n', start);
		if (end == std::string_view::npos)
			end = inText.size();
		std::string_view line = inText.substr(start, end - start);
		if (!line.empty() && line.back() == '\r')
			line.remove_suffix(1);
		lines.push_back(line);
		start = end + 1;
	}
	return lines;
}

// One possibly broken link of a framework: VE_OK when there is nothing to
// mend or it is mended.
VError RepairLink(const VFolder& inFramework, const VString& inRelativePath)
{
	VFilePath path(inFramework.GetPath(), inRelativePath, FPS_POSIX, true);
	if (!path.IsValid() || !path.IsFile())
		return VE_OK;
	const VFile file(path);
	VMemoryBuffer<> content;
	{
		StErrorContextInstaller silent(false, true);
		if (file.MAC_IsSymbolicLink() || file.GetContent(content) != VE_OK)
			return VE_OK;
	}
	const std::string_view text(static_cast<const char*>(content.GetDataPtr()), content.GetDataSize());
	if (text.substr(0, 4) != "XSym")
		return VE_OK;
	const std::vector<std::string_view> lines = SplitLines(text);
	if (lines.size() < 4) {
		VFileError* error = new VFileError(path, VE_FILE_CANNOT_RESOLVE_ALIAS_TO_FILE);
		_PushRetainedError(error);
		return VE_FILE_CANNOT_RESOLVE_ALIAS_TO_FILE;
	}
	VString target;
	XLinuxPathBytes::ToText(lines[3].data(), lines[3].size(), target);
	VFilePath folder;
	path.GetFolder(folder);
	const VFilePath targetPath(folder, target, FPS_POSIX);
	if (!targetPath.IsValid()) {
		VFileError* error = new VFileError(path, VE_FILE_CANNOT_RESOLVE_ALIAS_TO_FILE);
		_PushRetainedError(error);
		return VE_FILE_CANNOT_RESOLVE_ALIAS_TO_FILE;
	}
	return file.MAC_CreateSymbolicLink(targetPath, true);
}

} // namespace

VError XLinuxLibrary::RepairFrameworkLinks(const VFolder& inFramework)
{
	VString name;
	inFramework.GetPath().GetFolderName(name, false);
	for (const VString& relative : {VString("Versions/Current"), VString("Resources"), name}) {
		if (relative.IsEmpty())
			continue;
		if (const VError error = RepairLink(inFramework, relative); error != VE_OK)
			return error;
	}
	return VE_OK;
}

bool XLinuxLibrary::_Open(const std::string& inPosixPath, const VFilePath& inReportedPath)
{
	fHandle = ::dlopen(inPosixPath.c_str(), RTLD_LAZY | RTLD_GLOBAL);
	if (fHandle == nullptr) {
		const char* reason = ::dlerror();
		RaiseCannotLoad(inReportedPath, reason != nullptr ? reason : "");
		return false;
	}
	return true;
}

bool XLinuxLibrary::Load(const VFilePath& inPath)
{
	Unload();
	if (inPath.IsFile()) {
		const VFile file(inPath);
		AddModeBits(file, kLibraryModeBits);
		return _Open(PosixBytes(inPath), inPath);
	}
	if (!inPath.IsFolder())
		return false;
	const VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(inPath));
	if (!folder->Exists()) {
		RaiseCannotLoad(inPath, "no such bundle folder");
		return false;
	}
	const std::string bundlePath = PosixBytes(inPath);
	const bool isFramework = host::IsFrameworkPath(bundlePath);
	if (isFramework)
		RepairFrameworkLinks(*folder);
	const std::string executable = host::GetBundleExecutablePath(bundlePath);
	if (executable.empty()) {
		RaiseCannotLoad(inPath, "the bundle names no executable");
		return false;
	}
	if (isFramework) {
		VString text;
		XLinuxPathBytes::ToText(executable.data(), executable.size(), text);
		AddModeBits(VFile(text, FPS_POSIX), kFrameworkExecutableModeBits);
	}
	if (!_Open(executable, inPath))
		return false;
	fBundlePath = bundlePath;
	while (fBundlePath.size() > 1 && fBundlePath.back() == '/')
		fBundlePath.pop_back();
	return true;
}

void XLinuxLibrary::Unload()
{
	if (fHandle != nullptr)
		::dlclose(fHandle);
	fHandle = nullptr;
	fBundlePath.clear();
}

void* XLinuxLibrary::GetProcAddress(const VString& inName) const
{
	if (fHandle == nullptr)
		return nullptr;
	std::string name;
	if (!XLinuxPathBytes::ToBytes(inName, name) || name.find('\0') != std::string::npos)
		return nullptr;
	return ::dlsym(fHandle, name.c_str());
}

VFile* XLinuxLibrary::RetainExecutableFile() const
{
	if (fBundlePath.empty())
		return nullptr;
	const std::string executable = host::GetBundleExecutablePath(fBundlePath);
	if (executable.empty())
		return nullptr;
	VString text;
	XLinuxPathBytes::ToText(executable.data(), executable.size(), text);
	return new VFile(text, FPS_POSIX);
}

VFolder* XLinuxLibrary::RetainFolder(int32 inKind) const
{
	if (fBundlePath.empty())
		return nullptr;
	std::string path;
	switch (inKind) {
	case kBUNDLE_FOLDER:
		path = fBundlePath;
		break;
	case kBUNDLE_EXECUTABLE_FOLDER: {
		path = host::GetBundleExecutablePath(fBundlePath);
		const size_t slash = path.rfind('/');
		if (slash == std::string::npos)
			return nullptr;
		path.resize(slash == 0 ? 1 : slash);
		break;
	}
	case kBUNDLE_RESOURCES_FOLDER:
		path = host::GetBundleResourcesPath(fBundlePath);
		break;
	case kBUNDLE_PLUGINS_FOLDER:
		path = host::GetBundlePlugInsPath(fBundlePath);
		break;
	case kBUNDLE_FRAMEWORKS_FOLDER:
		path = host::GetBundleFrameworksPath(fBundlePath);
		break;
	case kBUNDLE_SUPPORT_FOLDER:
		path = host::GetBundleContentsPath(fBundlePath);
		break;
	default:
		return nullptr;
	}
	if (path.back() != '/')
		path.push_back('/');
	VString text;
	XLinuxPathBytes::ToText(path.data(), path.size(), text);
	return new VFolder(text, FPS_POSIX);
}

} // namespace qirn
