#pragma once

#include "core/IRefCountable.h"
#include "core/VString.h"
#include "files/VFilePath.h"

namespace qirn {

class IFolder;
class VFileSystem;
class VTime;

// What files and folders share, on disk or elsewhere: a path, an optional
// file system, existence and times. The names and extensions come from the
// path alone.
class IFileSystemObject : public IRefCountable {
public:
	virtual const VFilePath& GetPath() const = 0;
	// Not retained; null when the object belongs to no file system.
	virtual VFileSystem* GetFileSystem() const = 0;
	virtual void GetPlatformPath(VString& outPath, FilePathStyle inStyle) const = 0;
	virtual VString GetPathWithFileSystem() const = 0;
	// A new folder, one reference for the caller; null when there is none or,
	// sandboxed, when the file system does not let the object out.
	[[nodiscard]] virtual IFolder* RetainParentFolder(bool inSandboxed) const = 0;
	virtual bool Exists() const = 0;
	virtual void GetNameWithoutExtension(VString& outName) const = 0;
	// Any time may be null; they are given in UTC.
	virtual VError GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const = 0;

	void GetName(VString& outName) const { GetPath().GetName(outName); }
	void GetExtension(VString& outExtension) const { GetPath().GetExtension(outExtension); }
	// As a person types it: accents and case do not count.
	bool MatchExtension(const VString& inExtension) const { return GetPath().MatchExtension(inExtension, false); }
};

} // namespace qirn
