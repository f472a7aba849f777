#pragma once

#include "core/VObject.h"
#include "core/VString.h"
#include "files/PathStyles.h"

namespace qirn {

class VFolder;

// The name of a file or a folder everywhere in the kernel: a full path held
// as one UTF-16 text in the kernel's own form, the volume name first and ':'
// between elements ("Root:home:ann:notes.txt"); a folder's path ends with
// ':'. A name may hold '/', never ':' (the two swap in POSIX text). Every
// operation works on the text alone and never touches the disk.
//
// Identity and containment (IsChildOf, IsSameOrChildOf, GetRelativePath)
// compare code units: Linux names are case-sensitive and never normalised,
// so two spellings are two files. Extensions match as a person reads them.
class VFilePath : public VObject {
public:
	VFilePath() = default;
	VFilePath(const VFilePath& inPath) = default;
	VFilePath(VFilePath&& inPath) noexcept = default;
	// From full path text (FromFullPath); the flag is accepted and not used.
	explicit VFilePath(const VString& inFullPath, FilePathStyle inStyle = FPS_SYSTEM, bool inFlag = false);
	// From a base folder and a relative text (FromRelativePath).
	VFilePath(const VFilePath& inBase, const VString& inRelativePath, FilePathStyle inStyle = FPS_SYSTEM,
			  bool inRefuseAbsolute = false);
	// The same from a folder's path.
	VFilePath(const VFolder& inBase, const VString& inRelativePath, FilePathStyle inStyle = FPS_SYSTEM,
			  bool inRefuseAbsolute = false);
	~VFilePath() override = default;

	VFilePath& operator=(const VFilePath& inPath) = default;
	VFilePath& operator=(VFilePath&& inPath) noexcept = default;

	// Construction and assignment ------------------------------------------
	VFilePath& FromFilePath(const VFilePath& inPath);
	// POSIX text must begin with '/'; text of the system style must hold a
	// ':' and must not begin with one (a volume's name comes first); neither
	// may hold a NUL. '::' steps are resolved; one that climbs above the
	// volume makes the path invalid, as does an element "." or "..".
	VFilePath& FromFullPath(const VString& inFullPath, FilePathStyle inStyle = FPS_SYSTEM, bool inFlag = false);
	// The base (a valid folder path) followed by the relative text. POSIX text
	// that begins with '/' is a full path that replaces the base, unless
	// inRefuseAbsolute, which makes the path invalid instead.
	VFilePath& FromRelativePath(const VFilePath& inBase, const VString& inRelativePath,
								FilePathStyle inStyle = FPS_SYSTEM, bool inRefuseAbsolute = false);
	VFilePath& FromRelativePath(const VFolder& inBase, const VString& inRelativePath,
								FilePathStyle inStyle = FPS_SYSTEM, bool inRefuseAbsolute = false);
	void Clear();

	// Reading ---------------------------------------------------------------
	bool IsValid() const { return fIsValid; }
	bool IsEmpty() const { return fPath.IsEmpty(); }
	// The kernel's text, also when invalid.
	void GetPath(VString& outPath) const { outPath.FromString(fPath); }
	// Style 0: the kernel's text; any other: the POSIX path, empty when invalid.
	VString GetPath(FilePathStyle inStyle = FPS_SYSTEM) const;
	// The POSIX full path; empty when invalid.
	void GetPosixPath(VString& outPath) const;

	bool IsFolder() const { return fIsValid && !fPath.IsEmpty() && _LastUnit() == u':'; }
	bool IsFile() const { return fIsValid && !fPath.IsEmpty() && _LastUnit() != u':'; }
	// Valid, and a ':' before the last character.
	bool HasParent() const;
	// The number of elements, the volume counted ("Root:" 1, "Root:a:f" 3);
	// 0 when invalid.
	int32 GetDepth() const;

	// The last element without a folder's ':'; the whole text when it holds
	// no ':'.
	void GetName(VString& outName) const;
	// A file path's last element, cut before its last '.' unless
	// inWithExtension; cleared for any other path.
	void GetFileName(VString& outName, bool inWithExtension = true) const;
	// A folder path's last folder, cut before its last '.' unless
	// inWithExtension; the whole text for a volume; cleared for any other path.
	void GetFolderName(VString& outName, bool inWithExtension = true) const;
	// The text after the last '.' of the last element; empty when there is
	// none or nothing follows it.
	void GetExtension(VString& outExtension) const;
	// An empty extension matches a name with no '.'; any other the end of the
	// text after a '.', compared as a person reads it.
	bool MatchExtension(const VString& inExtension, bool inDiacritical = false) const;

	// Both valid, inFolder a folder path, this text beginning with its text
	// and longer.
	bool IsChildOf(const VFilePath& inFolder) const;
	bool IsChildOfRawPath(const VFilePath& inFolder) const;
	// The same, the folder itself included.
	bool IsSameOrChildOf(const VFilePath& inFolder) const;
	// The text after the base folder's when it begins with it (true);
	// otherwise the whole text (false).
	bool GetRelativePath(const VFilePath& inBaseFolder, VString& outRelativePath) const;
	// The same as POSIX relative text; when not below the base, the POSIX
	// full path (empty when invalid) and false.
	bool GetRelativePosixPath(const VFilePath& inBaseFolder, VString& outRelativePath) const;
	// The parent folder, or this path's folder, written into another path;
	// answers its validity.
	bool GetParent(VFilePath& outParent) const;
	bool GetFolder(VFilePath& outFolder) const;

	// Changing: each answers the path's validity ------------------------------
	// The folder holding the file or folder; the volume has none (empty and
	// invalid afterwards).
	bool ToParent();
	// A file path becomes its folder; a folder path stays.
	bool ToFolder();
	// On a valid folder path, the sub-folder or file of that name; any other
	// path is left unchanged. The name is not checked.
	bool ToSubFolder(const VString& inName);
	bool ToSubFile(const VString& inName);
	// The last element replaced (a folder keeps its ':'). An empty name or
	// one holding ':' raises the kernel error 614 and changes nothing.
	bool SetName(const VString& inName);
	// On a folder path, the file of that name in it; on a file path, the last
	// element replaced, keeping the old extension unless inWithExtension.
	// Refuses names as SetName does.
	bool SetFileName(const VString& inName, bool inWithExtension = true);
	// Only on a folder path: the last folder renamed, keeping the old
	// extension unless inWithExtension. Refuses names as SetName does.
	bool SetFolderName(const VString& inName, bool inWithExtension = true);
	// The extension of the last element: replaced, added after a new '.', or
	// removed with its '.' when empty. An extension holding ':' raises the
	// kernel error 614 and changes nothing.
	bool SetExtension(const VString& inExtension);
	bool SetFileExtension(const VString& inExtension);
	bool SetFolderExtension(const VString& inExtension);
	// White space (as the current task's intl manager sees it) at both ends
	// and on both sides of every ':'.
	void RemoveBlanks();

	// Text checks --------------------------------------------------------------
	// './' steps, repeated '/' and "name/../" steps of POSIX text resolved;
	// a step is resolved only when a separator follows it.
	static void ResolveRelativePosix(VString& ioPosixPath);
	static bool ValidFullPath(const VString& inPath, FilePathStyle inStyle);
	static bool ValidRelativePath(const VString& inPath, FilePathStyle inStyle);
	// Whether the text holds a NUL before its end.
	static bool BadChar(const VString& inPath, FilePathStyle inStyle, bool inFlag = false);

	// '::' steps of the kernel's text resolved: "Root:a:b::c" is "Root:a:c".
	// False for an empty text, one beginning with ':' or one climbing above
	// its volume.
	static bool ResolveColonSteps(VString& ioPath);

	using VObject::DebugDump;
	CharSet DebugDump(char* ioBuffer, int32& ioSize) const override;

private:
	UniChar _LastUnit() const { return fPath.GetCPointer()[fPath.GetLength() - 1]; }
	// Where the last element begins and ends (before a folder's ':').
	void _LastElement(VIndex& outStart, VIndex& outEnd) const;
	// The length of the parent's text, and of the folder's; 0 when none.
	VIndex _ParentLength() const;
	VIndex _FolderLength() const;
	bool _ReplaceLastElement(const VString& inName, bool inKeepExtension);
	bool _SetLastExtension(const VString& inExtension);

	VString fPath;
	bool fIsValid = false;
};

} // namespace qirn
