#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "files/VFilePath.h"

namespace qirn {

class IFolder;
class VFileAttributesCache;
class VFolder;

// A named root folder that files and folders may belong to: they ask it
// whether a path lies inside (IsAuthorized) and share its attributes cache.
// Immutable once made.
class VFileSystem : public VObject, public IRefCountable {
public:
	// The option bits.
	static constexpr uint32 kWritable = 0x01;
	static constexpr uint32 kDeleteRootAtEnd = 0x04; // the root folder deleted, contents and all, at the end
	static constexpr uint32 kHidden = 0x10;
	static constexpr uint32 kAttributesCache = 0x20;

	// A new file system (one reference for the caller); null, with the
	// kernel error 686 raised and written to outError, when the name is empty
	// or holds '/'.
	[[nodiscard]] static VFileSystem* Create(const VString& inName, IFolder* inRoot, uint32 inOptions,
											 VError* outError = nullptr);

	const VString& GetName() const { return fName; }
	uint32 GetOptions() const { return fOptions; }
	const VFilePath& GetRoot() const;
	// The root bound to this file system (one reference for the caller);
	// null when the root is not a folder on disk.
	[[nodiscard]] VFolder* RetainRootFolder() const;
	// The root itself or a path inside it.
	bool IsAuthorized(const VFilePath& inPath) const;
	// "/<name>/<path relative to the root>" for a path inside this file
	// system; false, outText unchanged, for any other.
	bool GetPathWithName(const VFilePath& inPath, VString& outText) const;
	// Null unless made with option 0x20.
	VFileAttributesCache* GetAttributesCache() const { return fCache; }

private:
	VFileSystem(const VString& inName, IFolder* inRoot, uint32 inOptions);
	~VFileSystem() override;

	VString fName;
	IFolder* fRoot = nullptr;
	VFileAttributesCache* fCache = nullptr;
	uint32 fOptions = 0;
};

} // namespace qirn
