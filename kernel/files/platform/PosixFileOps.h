#pragma once

// The POSIX layer under files and folders. XLinuxFile and XLinuxFileDesc
// (open, create, copy, move, exclusive rename, times), XLinuxFolder (copy,
// move, forced delete, times) and XLinuxFSObjectIterator call these
// functions and wrap what they answer as 'POSX' causes; nothing else should.
// Internal to the library: the header is not installed.
//
// Paths are byte strings, passed to the system as they are (no
// normalisation), of any length: a path past PATH_MAX is reached through
// directory descriptors one piece at a time. Every function answers 0 or an
// errno value and leaves errno itself undefined.
//
// What every operation keeps to, because the updater's users cannot afford
// less:
// - descriptors are close-on-exec;
// - a final symbolic link is never followed unless the caller asks;
// - nothing that exists is replaced unless the caller asks, and a folder is
//   never replaced at all;
// - a copy is built under a temporary name beside its target and renamed
//   into place, so a failure (disk full, file too large, permission) leaves
//   no partial target and the source as it was;
// - a move across file systems removes its source only once the whole copy
//   is on disk;
// - a walk stays inside its tree: links are copied or removed as links, and
//   a folder already on the walked path is never entered again.

#include "core/VKernelTypes.h"

#include <ctime>
#include <string>

namespace qirn::PosixFileOps {

// ---- Opening -------------------------------------------------------------

// The kernel's file access values.
enum class EAccess : int32 {
	kRead = 0,
	kReadWriteExclusive = 1, // an exclusive flock; a lock held elsewhere is EACCES
	kReadWriteShared = 2,	 // a shared flock
	kReadWriteElseRead = 3,	 // 1, and when that fails 0
};

// The kernel's open option bits.
constexpr uint32 kOpenResourceFork = 0x01; // no forks on Linux: ENOTSUP
constexpr uint32 kOpenCreate = 0x02;	   // create when missing, 0644 less the umask
constexpr uint32 kOpenTruncate = 0x04;	   // emptied once the lock is held (writing accesses only)
constexpr uint32 kOpenReadAhead = 0x08;	   // sequential read-ahead advice
constexpr uint32 kOpenFollowLink = 0x80;   // without it a final link fails with ELOOP

// Opens with O_CLOEXEC, locks with flock (never waiting), and only then
// truncates, so that a truncating open never empties a file another
// descriptor holds. outReadOnly tells whether access 3 fell back to reading.
int32 Open(const char* inPath, EAccess inAccess, uint32 inOptions, int& outDescriptor, bool* outReadOnly = nullptr);

// Creates a regular file: with inReplace an existing entry (never a folder)
// is unlinked first, otherwise an existing one is EEXIST. A final link is
// never followed.
int32 Create(const char* inPath, bool inReplace, uint32 inMode = 0644);

// ---- Copy, rename, move --------------------------------------------------

// Copies a file (its bytes, mode and times) or a link (as a link, with its
// times) to inTarget. An existing target is EEXIST unless inReplace; a
// folder target is EISDIR; a target that is the source itself (the same
// path, another path or a hard link to it) is EINVAL, touching nothing. A
// source folder is EISDIR: folders go through CopyTree.
int32 CopyFile(const char* inSource, const char* inTarget, bool inReplace);

// Copies a folder and everything below it to inTarget, which must not
// exist (EEXIST). Links are copied as links, modes and times kept, other
// kinds (FIFOs, sockets, devices) made again with mknod. A target that is
// the source or lies inside it is EINVAL before anything is created. A
// source that is a link or a file is copied as by CopyFile.
int32 CopyTree(const char* inSource, const char* inTarget);

// Renames without ever replacing: an existing target is EEXIST. Where the
// file system cannot rename exclusively, a placeholder made exclusively at
// the target is renamed over instead.
int32 RenameExclusive(const char* inSource, const char* inTarget);

// Moves a file, link or folder. An existing target is EEXIST unless
// inReplace, and a folder is never replaced (EEXIST, or EISDIR for a file
// moved onto a folder); a target that is the source itself is EINVAL. Across
// file systems the source is copied (files and links by CopyFile, folders
// by CopyTree), the target file system synced, and only then the source
// removed (a folder by force, as a rename takes it whatever its contents'
// modes); when that removal fails the complete copy stays and the error is
// answered. A source whose folder this process cannot write is not copied.
int32 Move(const char* inSource, const char* inTarget, bool inReplace);

// ---- Removal -------------------------------------------------------------

// Removes a folder and everything below it. A path that is a link (with or
// without a final '/') removes the link only. Links inside are removed as
// links, never followed, and no other file system mounted below is entered
// (EBUSY). With inForced, a folder or file that resists is unlocked (its
// immutable and append-only flags cleared, its owner given full access, for
// root or the owner) and tried again, and a parent the owner cannot write is
// opened up for the walk and given its mode back afterwards, whatever the
// walk gave. Stops at the first failure. outRestoreError receives what
// putting the parent back failed with (the answer stays the walk's).
int32 RemoveTree(const char* inPath, bool inForced, int32* outRestoreError = nullptr);

// ---- Times ---------------------------------------------------------------

struct Times {
	timespec fModification{};
	timespec fCreation{}; // the birth time, or the modification time where the file system keeps none
	timespec fAccess{};
};

int32 GetTimes(const char* inPath, bool inFollowLinks, Times& outTimes);

// Writes the modification and access times given (null leaves one as it
// is), never following a final link. Linux has no way to set a birth time.
int32 SetTimes(const char* inPath, const timespec* inModification, const timespec* inAccess);

// ---- Exposed for tests ---------------------------------------------------

// The exclusive rename a file system without RENAME_NOREPLACE gets: a
// placeholder of the source's kind made exclusively at the target, then
// renamed over.
int32 RenameOverPlaceholder(const char* inSource, const char* inTarget);

} // namespace qirn::PosixFileOps
