#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFileSystem.h"
#include "runtime/VCriticalSection.h"

#include <unordered_map>

namespace qirn {

class IFile;
class IFolder;
class VFolder;
class VJSONArray;
class VJSONValue;

// File systems' names are identifiers: matched unit for unit.
struct VFileSystemNameHash {
	size_t operator()(const VString& inName) const { return inName.ComputeHashValue(); }
};
struct VFileSystemNameEqual {
	bool operator()(const VString& inA, const VString& inB) const { return inA.EqualToStringRaw(inB); }
};

// A table of file systems by name, with an optional parent table searched
// after it. It turns texts "/<name>/<rest>" into files and folders that
// belong to the named file system, and loads file systems from a JSON file
// of definitions. Every operation may be called from any task.
class VFileSystemNamespace : public VObject, public IRefCountable {
public:
	using FileSystemMap = std::unordered_map<VString, VRefPtr<VFileSystem>, VFileSystemNameHash, VFileSystemNameEqual>;

	// Lookup options.
	static constexpr uint32 kSkipHidden = 0x01;
	static constexpr uint32 kSearchParents = 0x02;

	// The parent, when given, is retained.
	explicit VFileSystemNamespace(VFileSystemNamespace* inParent = nullptr);

	VFileSystemNamespace* GetParent() const { return fParent; }

	// Under its own name, replacing (and releasing) one of the same name; a
	// null file system is ignored.
	void RegisterFileSystem(VFileSystem* inFileSystem);
	// A new file system without quota, registered; the creation's error
	// (686 for a bad name).
	VError RegisterFileSystem(const VString& inName, IFolder* inRoot, uint32 inOptions);
	void UnregisterFileSystem(const VString& inName);

	// One reference for the caller, or null. A hidden file system found
	// under kSkipHidden gives null: the parents are not searched then.
	[[nodiscard]] VFileSystem* RetainFileSystem(const VString& inName, uint32 inOptions) const;
	// Its root folder bound to it (one reference), or null.
	[[nodiscard]] VFolder* RetainFileSystemRootFolder(const VString& inName, uint32 inOptions) const;
	// Adds each file system to the map, a namespace's own hiding its
	// parents' of the same name (parents under kSearchParents).
	void RetainMapOfFileSystems(FileSystemMap& ioMap, uint32 inOptions) const;

	// "/<name>/<rest>": the named file system and the rest, normalised, as a
	// POSIX path relative to its root. False when the text has no such
	// form, no file system has the name, or the rest climbs out of the root.
	bool ParsePathWithFileSystem(const VString& inText, VRefPtr<VFileSystem>& outFileSystem, VString& outRest,
								 uint32 inOptions) const;

	// A file (or folder) from a text: relative POSIX text under inBase,
	// "/<name>/<rest>" inside a file system, or, with inAllowFullPosixPath
	// and no base, a full POSIX path. One reference for the caller, or null.
	[[nodiscard]] IFile* RetainFile(const VString& inText, IFolder* inBase, uint32 inOptions,
									bool inAllowFullPosixPath) const;
	[[nodiscard]] IFolder* RetainFolder(const VString& inText, IFolder* inBase, uint32 inOptions,
										bool inAllowFullPosixPath) const;
	// The same through a namespace that may be null: without one only the
	// base-relative and full forms resolve.
	[[nodiscard]] static IFile* RetainFile(const VFileSystemNamespace* inNamespace, const VString& inText,
										   IFolder* inBase, uint32 inOptions, bool inAllowFullPosixPath);
	[[nodiscard]] static IFolder* RetainFolder(const VFileSystemNamespace* inNamespace, const VString& inText,
											   IFolder* inBase, uint32 inOptions, bool inAllowFullPosixPath);

	// Registers the file systems a JSON file defines: an array of objects
	// with "name", "path", "parent" (a known file system "path" is relative
	// to) and "writable". 1 without a file; a file that does not parse
	// raises 687 ("path") and answers the parse error. Definitions that
	// cannot be made are skipped.
	VError LoadFromDefinitionFile(IFile* inFile);
	void LoadFromJSONArray(const VJSONArray* inArray);

private:
	~VFileSystemNamespace() override;

	void _LoadDefinition(const VJSONValue& inDefinition);

	mutable VCriticalSection fLock;
	FileSystemMap fFileSystems;
	VFileSystemNamespace* fParent = nullptr;
};

} // namespace qirn
