// Asks the kernel for the calling thread's task id and takes a section with
// it: loading this module with dlopen loads the kernel library too.
#include "runtime/VCriticalSection.h"
#include "runtime/VTaskMgr.h"

extern "C" int QirnModuleTaskID();

extern "C" int QirnModuleTaskID()
{
	qirn::VCriticalSection section;
	qirn::StLocker<qirn::VCriticalSection> locker(section);
	return section.GetOwner() == qirn::VTaskMgr::GetCurrentTaskID() ? section.GetOwner() : 0;
}
