#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "files/VFilePath.h"
#include "process/platform/XLinuxLibrary.h"
#include "runtime/VCriticalSection.h"

namespace qirn {

class VFile;
class VFolder;
class VString;

// The library could not be loaded (a VFileError with the library's path; a
// failed dlopen adds "reason", the loader's message).
constexpr VError VE_LIBRARY_CANNOT_LOAD = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 1010);

// The folders of a loaded bundle RetainFolder knows.
enum BundleFolderKind : int32 {
	kBUNDLE_FOLDER = 1,
	kBUNDLE_EXECUTABLE_FOLDER = 2,
	kBUNDLE_RESOURCES_FOLDER = 3,
	kBUNDLE_PLUGINS_FOLDER = 5,
	kBUNDLE_FRAMEWORKS_FOLDER = 6,
	kBUNDLE_SUPPORT_FOLDER = 7,
};

// A shared library or a bundle (a folder, a ".framework" say) loaded at run
// time, whose entry points are found by name. Every operation holds the
// library's lock.
class VLibrary : public VObject, public IRefCountable {
public:
	explicit VLibrary(const VFilePath& inPath);
	~VLibrary() override;
	VLibrary(const VLibrary&) = delete;
	VLibrary& operator=(const VLibrary&) = delete;

	// Loads it once; whether it is loaded. A failure raises its error and
	// leaves it unloaded.
	bool Load();
	void Unload();
	bool IsLoaded() const;

	// An entry point; null when not loaded or absent.
	void* GetProcAddress(const VString& inName) const;

	// Whether the path's text is the given path's, exactly.
	bool IsSameFile(const VFilePath& inPath) const;
	const VFilePath& GetPath() const { return fPath; }

	// Folders and files of a loaded bundle (null otherwise): a new reference
	// for the caller. Kind 4 and unknown kinds give null.
	[[nodiscard]] VFolder* RetainFolder(BundleFolderKind inKind) const;
	[[nodiscard]] VFile* RetainExecutableFile() const;
	// A separate resource file: none on this platform, asked once.
	[[nodiscard]] VFile* RetainResourceFile() const;

private:
	mutable VCriticalSection fLock;
	const VFilePath fPath;
	XLinuxLibrary fImpl;
	mutable VFile* fResourceFile = nullptr;
	mutable bool fResourceFileRead = false;
	bool fLoaded = false;
};

} // namespace qirn
