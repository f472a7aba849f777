#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "files/VFilePath.h"

#include <atomic>

namespace qirn {

class IFolder;
class VFileAttributesCache;
class VFolder;

// A named root folder that files and folders may belong to: they ask it
// whether a path lies inside (IsAuthorized) and share its attributes cache.
// Immutable once made, but for the bytes counted against its quota.
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
	// The same with a quota in bytes (0: none) of which inUsed are already
	// taken.
	[[nodiscard]] static VFileSystem* Create(const VString& inName, IFolder* inRoot, uint32 inOptions, uint64 inQuota,
											 uint64 inUsed, VError* outError = nullptr);

	const VString& GetName() const { return fName; }
	uint32 GetOptions() const { return fOptions; }
	bool IsWritable() const { return (fOptions & kWritable) != 0; }
	bool IsHidden() const { return (fOptions & kHidden) != 0; }
	// 0 when there is no quota.
	uint64 GetQuota() const { return fQuota; }
	// The quota less the bytes in use, 0 when they exceed it; 0 without a
	// quota.
	uint64 GetFreeQuota() const;

	// Counts bytes against the quota, at once for any number of tasks: 684
	// when not writable; 685, nothing counted, when fewer than inBytes are
	// free; with no quota any request is granted.
	VError Request(uint64 inBytes);
	// Gives bytes back (684 when not writable); the bytes in use never go
	// below 0.
	VError Relinquish(uint64 inBytes);
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
	VFileSystem(const VString& inName, IFolder* inRoot, uint32 inOptions, uint64 inQuota, uint64 inUsed);
	~VFileSystem() override;

	VString fName;
	IFolder* fRoot = nullptr;
	VFileAttributesCache* fCache = nullptr;
	uint64 fQuota = 0;
	uint32 fOptions = 0;
	// Bytes in use: kept rather than the free count so that a file system
	// made over its quota gets room back only once enough is relinquished.
	std::atomic<uint64> fUsed{0};
};

} // namespace qirn
