#include "runtime/IIdleable.h"

#include "runtime/VTask.h"

#include <utility>

namespace qirn {

IIdleable::~IIdleable()
{
	StopIdling();
}

void IIdleable::StartIdling(VTask* inTask)
{
	if (inTask == nullptr)
		return;
	fIdling = true;
	if (fTask != inTask) {
		if (fTask != nullptr)
			fTask->UnregisterIdler(this);
		inTask->Retain();
		VTask* old = std::exchange(fTask, inTask);
		if (old != nullptr)
			old->Release();
	}
	fTask->RegisterIdler(this);
}

void IIdleable::StartIdling()
{
	StartIdling(VTask::GetCurrent());
}

void IIdleable::StopIdling()
{
	if (fTask == nullptr)
		return;
	fIdling = false;
	fTask->UnregisterIdler(this);
	std::exchange(fTask, nullptr)->Release();
}

void IIdleable::Idle()
{
	if (fIdling)
		DoIdle();
}

} // namespace qirn
