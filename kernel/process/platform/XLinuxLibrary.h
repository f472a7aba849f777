#pragma once

#include "core/VKernelTypes.h"

#include <string>

namespace qirn {

class VFile;
class VFilePath;
class VFolder;
class VString;

// The loader under VLibrary: a shared library, or a bundle folder whose
// executable it opens, both with dlopen (RTLD_LAZY | RTLD_GLOBAL: Linux
// wants a binding mode, and a component's symbols serve the libraries it
// loads in turn). Bundle layout comes from the host layer.
class XLinuxLibrary {
public:
	XLinuxLibrary() = default;
	~XLinuxLibrary() { Unload(); }
	XLinuxLibrary(const XLinuxLibrary&) = delete;
	XLinuxLibrary& operator=(const XLinuxLibrary&) = delete;

	// A file is opened as a shared library, a folder as a bundle; false, with
	// the error raised, when it cannot be.
	bool Load(const VFilePath& inPath);
	void Unload();

	void* GetProcAddress(const VString& inName) const;

	// The POSIX path of the loaded bundle, empty for a plain library or when
	// nothing is loaded.
	const std::string& GetBundlePath() const { return fBundlePath; }
	// The loaded bundle's executable; null otherwise.
	[[nodiscard]] VFile* RetainExecutableFile() const;
	// A folder of the loaded bundle by VLibrary's BundleFolderKind; null
	// otherwise.
	[[nodiscard]] VFolder* RetainFolder(int32 inKind) const;
	// Libraries carry no separate resource file here.
	[[nodiscard]] VFile* RetainResourceFile() const { return nullptr; }

	// A ".framework" copied by a tool that knows no symbolic links carries
	// them as "XSym" text files: each of "Versions/Current", "Resources" and
	// the framework's name that is one becomes the link it describes. Stops
	// at the first failure (617 for a text of fewer than four lines).
	static VError RepairFrameworkLinks(const VFolder& inFramework);

private:
	// dlopen the POSIX path; a failure raises 1010 with the loader's reason
	// for the given path.
	bool _Open(const std::string& inPosixPath, const VFilePath& inReportedPath);

	void* fHandle = nullptr;
	std::string fBundlePath;
};

} // namespace qirn
