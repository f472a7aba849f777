#pragma once

// Opening a document with the desktop's default application for its kind:
// "xdg-open", found on PATH, started detached. Plain C++ only.

namespace qirn::host {

// Starts "xdg-open <path>" in a session of its own, with its standard
// streams on /dev/null and no other descriptor of ours, and returns without
// waiting for it. Answers 0 once it was started, else an errno value
// (ENOENT when no xdg-open is on PATH).
int OpenWithDefaultApplication(const char* inPath);

} // namespace qirn::host
