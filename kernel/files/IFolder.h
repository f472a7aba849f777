#pragma once

#include "core/VRefPtr.h"
#include "files/IFileSystemObject.h"

#include <functional>
#include <vector>

namespace qirn {

class IFile;
class IFileAttributeAccessor;

// A folder and its contents, on disk or elsewhere.
class IFolder : public IFileSystemObject {
public:
	// A new folder below this one (one reference for the caller); null when
	// the text names no folder or the file system refuses it.
	[[nodiscard]] virtual IFolder* RetainRelativeFolder(const VString& inRelativePath, FilePathStyle inStyle,
														VFileSystem* inFileSystem = nullptr) const = 0;
	// Appends the files and folders directly inside (either list may be
	// null); false when the folder does not exist.
	virtual bool GetElements(std::vector<VRefPtr<IFile>>* outFiles, std::vector<VRefPtr<IFolder>>* outFolders,
							 bool inWithInvisible) const = 0;
	// Calls the function on each file (or folder) until it answers false;
	// false when the folder does not exist.
	virtual bool IterateFiles(const std::function<bool(IFile*, IFileAttributeAccessor*)>& inFunction,
							  uint32 inOptions) const = 0;
	virtual bool IterateFolders(const std::function<bool(IFolder*, IFileAttributeAccessor*)>& inFunction,
								uint32 inOptions) const = 0;
	[[nodiscard]] virtual IFile* _RetainRelativeIFile(const VString& inRelativePath, FilePathStyle inStyle) const = 0;

	// The folder name without its extension.
	void GetNameWithoutExtension(VString& outName) const override;

	// Whether the other names the same folder, unit for unit: names differing
	// only in case or composition are different folders on Linux.
	bool IsSameFolder(const IFolder* inOther) const;
};

} // namespace qirn
