#pragma once
// Crash-injection points, compiled in only by the test build of the updater
// (QX_UPDATER_FAULT_POINTS=1). There, the environment variable
// QX_UPDATER_FAULT names one point as "<name>" or "<name>:<k>"; the k-th
// time the run reaches it (k defaults to 1) the process kills itself with
// SIGKILL, so that tests can check what a crash at that instant leaves on
// disk. Unknown names never fire. The normal build has no points at all.

namespace qirn {

#if defined(QX_UPDATER_FAULT_POINTS) && QX_UPDATER_FAULT_POINTS
void ReachFaultPoint(const char* inName);
#define QX_UPDATER_FAULT_POINT(name) ::qirn::ReachFaultPoint(name)
#else
#define QX_UPDATER_FAULT_POINT(name) ((void)0)
#endif

} // namespace qirn
