#pragma once
// The file operations of the bundle swap that keep the bundle's path filled
// whatever instant the process is killed at.

#include "core/VKernelTypes.h"

#include <functional>

namespace qirn {

class VFolder;

// Swaps the two entries at once (renameat2 with RENAME_EXCHANGE): there is
// no instant at which either path is empty. Answers 0 or the errno of the
// failure, raising nothing.
int ExchangeEntries(const VFolder& inFirst, const VFolder& inSecond);
// Whether an errno of ExchangeEntries means that the file system cannot
// exchange at all, rather than that these two entries could not be.
bool IsExchangeUnsupported(int inErrno);
// Raises a failure of the system on the folder as a file error (of inDefault
// when the errno has no code of its own), the errno beneath it; answers the
// code.
VError ThrowFolderSystemError(const VFolder& inFolder, int inErrno, VError inDefault);

// Copies the source's contents (hidden entries, links as links, modes and
// times) into the destination, an existing folder, then gives the
// destination the source's mode and times. Stops at the first failure,
// raised on the task. inOnFileCopied runs after each file or link copied.
// A destination that is the source, or lies inside it, once links are
// followed, is refused (the kernel's 660) before anything is copied.
VError CopyFolderContentsInto(const VFolder& inSource, const VFolder& inDestination,
							  const std::function<void()>& inOnFileCopied);

} // namespace qirn
