#pragma once

// Moving to the trash: the freedesktop trash through GIO, which keeps the
// place each item came from. Plain C++ only.
//
// GLib reads HOME and XDG_DATA_HOME once, at its first use in the process,
// to find the trash: a program (or test) that moves its own trash elsewhere
// sets them before the first call.

namespace qirn::host {

// Moves a file, link or folder to the trash of the file system it is on.
// Answers 0 or an errno value: GIO's refusals are mapped to the nearest
// (no trash on that file system is ENOTSUP, a missing item ENOENT, a refused
// one EACCES), so that a caller can fall back to deleting.
int MoveToTrash(const char* inPath);

// The errno value that stands for a GIO error code (GIOErrorEnum).
int ErrnoFromGIOError(int inCode);

} // namespace qirn::host
