#include "process/VProcess.h"

#include "core/VIntlMgr.h"
#include "host/HostBundle.h"
#include "json/VJSONClassStore.h"
#include "process/VLogger.h"
#include "runtime/VDebugMgr.h"
#include "runtime/VMetricsManager.h"
#include "runtime/VProgressManager.h"
#include "runtime/VSystem.h"
#include "runtime/VTaskMgr.h"

namespace qirn {

std::atomic<VProcess*> VProcess::sInstance{nullptr};

namespace {

// How the JSON objects find the process's class store.
IJSONClassStore* ProcessClassStore()
{
	VProcess* process = VProcess::sInstance.load(std::memory_order_acquire);
	return process != nullptr ? process->GetClassStore() : nullptr;
}

} // namespace

VProcess::VProcess()
	: fLastActivityTime(VSystem::GetCurrentTime()), fMetrics(std::make_unique<VMetricsManager>())
{
	char name[1024];
	if (host::CopyMainBundleInfoString("CFBundleName", name, sizeof(name)))
		fProductName.FromCString(name);
}

VProcess::~VProcess()
{
	if (fInitCalled)
		_DeInit();
	// Objects made from now on have no class; those still alive keep theirs.
	IJSONClassStore::SetProcessStoreGetter(nullptr);
	fClassStore.Clear();
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
	if (!VProgressManager::Init())
		return false;
	_Init_ClassStore();
	if ((inFlags & kInitLogger) != 0) {
		fLogger = VRefPtr<VLogger>::Adopt(new VLogger());
		fLogger->Start();
	}
	return true;
}

void VProcess::_DeInit()
{
	// No task may go on running against a process and a task manager that
	// are going away: the others are killed and waited for first, while
	// their activity tokens can still leave the process.
	if (VTaskMgr::IsInited())
		VTaskMgr::Get()->KillAllTasks(kTaskEndMilliseconds);
	// The logger's task is gone with the others: what is still queued goes
	// with the logger.
	if (fLogger != nullptr) {
		fLogger->Stop();
		fLogger.Clear();
	}
	VDebugMgr::Get().DeInit();
	VProcess* self = this;
	sInstance.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
	VTaskMgr::DeInit();
	VProgressManager::Deinit();
}

void VProcess::_Init_ClassStore()
{
	auto store = VRefPtr<VJSONClassStore>::Adopt(new VJSONClassStore(VString("qx")));
	store->AddRootClasses();
	fClassStore = store;
	IJSONClassStore::SetProcessStoreGetter(&ProcessClassStore);
}

VRefPtr<VJSONObject> VProcess::GetClassObject(const VString& inStoreName, const VString& inClassName) const
{
	if (fClassStore == nullptr || !fClassStore->GetName().EqualToStringRaw(inStoreName))
		return nullptr;
	return fClassStore->GetClassObject(inClassName);
}

void VProcess::SetLocalizer(ILocalizer* inLocalizer, IRefCountable* inOwner)
{
	fLocalizerOwner.Set(inOwner);
	fLocalizer = inLocalizer;
}

VLogger* VProcess::GetLogger(EMessageLevel inLevel) const
{
	return fLogger != nullptr && fLogger->ShouldLog(inLevel) ? fLogger.Get() : nullptr;
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
