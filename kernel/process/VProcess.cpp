#include "process/VProcess.h"

#include "core/VIntlMgr.h"
#include "process/ILogger.h"
#include "runtime/VDebugMgr.h"
#include "runtime/VMetricsManager.h"
#include "runtime/VProgressManager.h"
#include "runtime/VSystem.h"
#include "runtime/VTaskMgr.h"

namespace qirn {

std::atomic<VProcess*> VProcess::sInstance{nullptr};

VProcess::VProcess()
	: fLastActivityTime(VSystem::GetCurrentTime()), fMetrics(std::make_unique<VMetricsManager>())
{
}

VProcess::~VProcess()
{
	if (fInitCalled)
		_DeInit();
}

bool VProcess::Init(uint32 inFlags)
{
	if (!fInitCalled) {
		fInitCalled = true;
		fInitOK = _Init(inFlags);
	}
	return fInitOK;
}

bool VProcess::_Init(uint32 inFlags)
{
	sInstance.store(this, std::memory_order_release);
	fFibered = (inFlags & kInitFibered) != 0;
	fIntlMgr = VRefPtr<VIntlMgr>::Adopt(VIntlMgr::Create(DC_SYSTEM, DC_SYSTEM, 0));
	if (fIntlMgr == nullptr)
		return false;
	if (!VTaskMgr::Init(this))
		return false;
	if (!VDebugMgr::Get().Init())
		return false;
	return VProgressManager::Init();
}

void VProcess::_DeInit()
{
	// No task may go on running against a process and a task manager that
	// are going away: the others are killed and waited for first, while
	// their activity tokens can still leave the process.
	if (VTaskMgr::IsInited())
		VTaskMgr::Get()->KillAllTasks(kTaskEndMilliseconds);
	VDebugMgr::Get().DeInit();
	SetLogger(nullptr);
	VProcess* self = this;
	sInstance.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
	VTaskMgr::DeInit();
	VProgressManager::Deinit();
}

void VProcess::SetLocalizer(ILocalizer* inLocalizer, IRefCountable* inOwner)
{
	fLocalizerOwner.Set(inOwner);
	fLocalizer = inLocalizer;
}

void VProcess::SetLogger(ILogger* inLogger)
{
	ILogger* old = fLogger;
	fLogger = RetainRefCountable(inLogger);
	if (old != nullptr)
		old->Release();
}

bool VProcess::HasSomeActivityTokens(uint32 inMilliseconds) const
{
	StLocker<VCriticalSection> lock(fActivityLock);
	if (!fActivityTokens.empty())
		return true;
	return VSystem::GetCurrentTime() - fLastActivityTime < inMilliseconds;
}

void VProcess::_RegisterActivityToken(VActivityToken* inToken)
{
	StLocker<VCriticalSection> lock(fActivityLock);
	fActivityTokens.insert(inToken);
}

void VProcess::_UnregisterActivityToken(VActivityToken* inToken)
{
	StLocker<VCriticalSection> lock(fActivityLock);
	if (fActivityTokens.erase(inToken) != 0 && fActivityTokens.empty())
		fLastActivityTime = VSystem::GetCurrentTime();
}

} // namespace qirn
