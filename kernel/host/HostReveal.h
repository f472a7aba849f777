#pragma once

// Showing an item in the desktop's file manager: the freedesktop
// FileManager1 interface on the session bus, through GIO's D-Bus. Plain C++
// only.

namespace qirn::host {

// Asks the file manager to show the item selected. Answers 0 or an errno
// value: no session bus is ENOTCONN (never an attempt to start one), a bus
// without a file manager or a refusal the nearest errno value. The call
// waits a few seconds at most.
int RevealItem(const char* inPath);

} // namespace qirn::host
