#include "runtime/VProgressManager.h"

#include "bags_xml/VValueBag.h"
#include "runtime/VProgressIndicator.h"

namespace qirn {

std::atomic<VProgressManager*> VProgressManager::sProgressManager{nullptr};

bool VProgressManager::Init()
{
	if (Get() == nullptr)
		sProgressManager.store(new VProgressManager(), std::memory_order_release);
	return true;
}

bool VProgressManager::Deinit()
{
	// The indicators are left alone: they find no manager when they go.
	delete sProgressManager.exchange(nullptr, std::memory_order_acq_rel);
	return true;
}

VProgressIndicator* VProgressManager::_RetainLive(VProgressIndicator* inIndicator)
{
	return inIndicator->RetainIfAlive() ? inIndicator : nullptr;
}

void VProgressManager::RegisterProgress(VProgressIndicator* inIndicator)
{
	VProgressManager* manager = Get();
	if (manager == nullptr)
		return;
	StLocker<VCriticalSection> lock(manager->fLock);
	manager->fRegistry.emplace(inIndicator->GetUUID(), inIndicator);
}

void VProgressManager::UnregisterProgress(VProgressIndicator* inIndicator)
{
	VProgressManager* manager = Get();
	if (manager == nullptr)
		return;
	StLocker<VCriticalSection> lock(manager->fLock);
	auto found = manager->fRegistry.find(inIndicator->GetUUID());
	// A second indicator of the same UUID was never registered: its end
	// must not take the first one's entry.
	if (found == manager->fRegistry.end() || found->second != inIndicator)
		return;
	inIndicator->DoMetrics();
	manager->fRegistry.erase(found);
}

VProgressIndicator* VProgressManager::RetainProgress(const VUUID& inUUID)
{
	VProgressManager* manager = Get();
	if (manager == nullptr)
		return nullptr;
	StLocker<VCriticalSection> lock(manager->fLock);
	auto found = manager->fRegistry.find(inUUID);
	return found == manager->fRegistry.end() ? nullptr : _RetainLive(found->second);
}

VProgressIndicator* VProgressManager::CreateStdProgress(int32 inKind, uint32 inFlags)
{
	VProgressManager* manager = Get();
	if (manager == nullptr)
		return nullptr;
	VStdProgressFactory factory;
	{
		StLocker<VCriticalSection> lock(manager->fLock);
		factory = manager->fFactory;
	}
	return factory ? factory(inKind, inFlags) : nullptr;
}

void VProgressManager::SetStdProgressFactory(VStdProgressFactory inFactory)
{
	VProgressManager* manager = Get();
	if (manager == nullptr)
		return;
	StLocker<VCriticalSection> lock(manager->fLock);
	manager->fFactory = std::move(inFactory);
}

VError VProgressManager::GetAllProgressInfo(std::vector<VRefPtr<VRefCountedSessionInfo>>& outSnapshots)
{
	// Released after the lock: a last release destroys the indicator, which
	// leaves the registry being walked.
	std::vector<VRefPtr<VProgressIndicator>> held;
	StLocker<VCriticalSection> lock(fLock);
	for (auto& [uuid, indicator] : fRegistry) {
		VRefPtr<VProgressIndicator> live = VRefPtr<VProgressIndicator>::Adopt(_RetainLive(indicator));
		held.push_back(live);
		if (!live || live->GetSessionCount() < 1)
			continue;
		live->_RequestSnapshot();
		VRefPtr<VRefCountedSessionInfo> snapshot = VRefPtr<VRefCountedSessionInfo>::Adopt(live->RetainSessionsInfos());
		if (snapshot)
			outSnapshots.push_back(snapshot);
	}
	return VE_OK;
}

VProgressIndicator* VProgressManager::_RetainProgressIndicator(const VString& inUserInfo)
{
	// Released after the lock: a last release destroys the indicator, which
	// leaves the registry being walked.
	std::vector<VRefPtr<VProgressIndicator>> held;
	StLocker<VCriticalSection> lock(fLock);
	for (auto& [uuid, indicator] : fRegistry) {
		VRefPtr<VProgressIndicator> live = VRefPtr<VProgressIndicator>::Adopt(_RetainLive(indicator));
		held.push_back(live);
		if (!live)
			continue;
		VString userInfo;
		live->GetUserInfo(userInfo);
		if (userInfo.EqualToString(inUserInfo, false))
			return RetainRefCountable(live.Get());
	}
	return nullptr;
}

VError VProgressManager::_GetProgressInfo(VValueBag& ioBag, const VString* inUserInfo)
{
	// Released after the lock: a last release destroys the indicator, which
	// leaves the registry being walked.
	std::vector<VRefPtr<VProgressIndicator>> held;
	StLocker<VCriticalSection> lock(fLock);
	for (auto& [uuid, indicator] : fRegistry) {
		VRefPtr<VProgressIndicator> live = VRefPtr<VProgressIndicator>::Adopt(_RetainLive(indicator));
		held.push_back(live);
		if (!live)
			continue;
		if (inUserInfo == nullptr) {
			_ProgressInfoToBag(ioBag, live.Get());
			continue;
		}
		VString userInfo;
		live->GetUserInfo(userInfo);
		if (userInfo.EqualToString(*inUserInfo, false)) {
			_ProgressInfoToBag(ioBag, live.Get());
			break;
		}
	}
	return VE_OK;
}

VError _ProgressInfoToBag(VValueBag& ioBag, VProgressIndicator* inIndicator)
{
	VRefPtr<VValueBag> element = VRefPtr<VValueBag>::Adopt(new VValueBag());
	ioBag.AddElement(ProgressBagKeys::ProgressInfo, element.Get());
	return inIndicator->SaveInfoToBag(*element);
}

} // namespace qirn
