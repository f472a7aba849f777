#pragma once

#include <cstddef>
#include <sys/types.h>

namespace qirn {

// Reaps the children that launchers left running, each as soon as it exits,
// so that none stays a zombie. It waits for those pids only (through pidfds
// on one thread of its own): other children of the process, which their own
// code waits for, are never taken from it. That thread and its descriptors
// exist only while there is a child to watch.
class XPosixChildReaper {
public:
	// Takes over an unreaped child.
	static void Watch(pid_t inPid);
	// 0 once every child taken over is reaped: the reaper then holds no
	// descriptor.
	static size_t GetWatchedCount();
};

} // namespace qirn
