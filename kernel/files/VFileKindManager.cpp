#include "files/VFileKindManager.h"

#include "core/VIntlMgr.h"
#include "files/VFileKind.h"
#include "files/platform/XLinuxFile.h"
#include "runtime/VTask.h"

namespace qirn {

std::atomic<VFileKindManager*> VFileKindManager::sManager{nullptr};

bool VFileKindManager::Init()
{
	if (Get() == nullptr) {
		VFileKindManager* manager = new VFileKindManager;
		VFileKindManager* none = nullptr;
		if (!sManager.compare_exchange_strong(none, manager, std::memory_order_acq_rel))
			manager->Release();
	}
	return true;
}

void VFileKindManager::DeInit()
{
	VFileKindManager* manager = sManager.exchange(nullptr, std::memory_order_acq_rel);
	if (manager != nullptr)
		manager->Release();
}

bool VFileKindManager::IdentifierOrder::operator()(const VString& inA, const VString& inB) const
{
	if (fIntlMgr != nullptr)
		return fIntlMgr->CompareString(inA.GetCPointer(), inA.GetLength(), inB.GetCPointer(), inB.GetLength(), false) ==
			   CR_SMALLER;
	// Without any collator the order must still never change.
	return inA.CompareToStringRawCase(inB) == CR_SMALLER;
}

namespace {

// A collator of the manager's own: collators are not shared between tasks.
VIntlMgr* CloneCurrentIntlManager()
{
	VIntlMgr* current = VTask::GetCurrentIntlManager();
	VIntlMgr* clone = current != nullptr ? current->Clone() : nullptr;
	return clone != nullptr ? clone : VIntlMgr::Create(DC_ENGLISH_US, DC_ENGLISH_US, 0);
}

} // namespace

VFileKindManager::VFileKindManager()
	: fIntlMgr(VRefPtr<VIntlMgr>::Adopt(CloneCurrentIntlManager())), fKinds(IdentifierOrder(fIntlMgr.Get())),
	  fLabelAllFiles("All"), fLabelAllReadableDocuments("All readable documents")
{
}

VFileKindManager::~VFileKindManager() = default;

VFileKind* VFileKindManager::_RetainStored(const VString& inIdentifier) const
{
	KindMap::const_iterator found = fKinds.find(inIdentifier);
	return found != fKinds.end() ? found->second.Retain() : nullptr;
}

VFileKind* VFileKindManager::RetainFileKind(const VString& inIdentifier)
{
	{
		StLocker<VCriticalSection> lock(fLock);
		if (VFileKind* stored = _RetainStored(inIdentifier))
			return stored;
	}
	// The platform is asked outside the lock: a type database may take locks
	// of its own, and may register kinds here while it holds them.
	VRefPtr<VFileKind> created = VRefPtr<VFileKind>::Adopt(XLinuxFile::CreatePublicFileKind(inIdentifier));
	if (created == nullptr)
		return nullptr;
	StLocker<VCriticalSection> lock(fLock);
	// A kind stored meanwhile, by another lookup or a registration, wins:
	// every task gets the same object, and a private kind still hides the
	// public one.
	if (VFileKind* stored = _RetainStored(inIdentifier))
		return stored;
	fKinds.insert_or_assign(inIdentifier, created);
	return created.Forget();
}

void VFileKindManager::RegisterPrivateFileKind(const VString& inIdentifier, const std::vector<VString>& inOsKinds,
											   const VString& inDescription,
											   const std::vector<VString>& inExtensions,
											   const std::vector<VString>& inParentIdentifiers)
{
	VRefPtr<VFileKind> kind = VRefPtr<VFileKind>::Adopt(
		VFileKind::Create(inIdentifier, inOsKinds, inDescription, inExtensions, inParentIdentifiers, false));
	StLocker<VCriticalSection> lock(fLock);
	fKinds.insert_or_assign(inIdentifier, kind);
}

void VFileKindManager::RegisterPrivateFileKind(const VString& inIdentifier, const VString& inDescription,
											   const std::vector<VString>& inExtensions,
											   const std::vector<VString>& inParentIdentifiers)
{
	RegisterPrivateFileKind(inIdentifier, {}, inDescription, inExtensions, inParentIdentifiers);
}

VFileKind* VFileKindManager::RetainFirstFileKindMatchingWithExtension(const VString& inExtension)
{
	{
		StLocker<VCriticalSection> lock(fLock);
		for (const auto& [identifier, kind] : fKinds) {
			if (kind->MatchExtension(inExtension))
				return kind.Retain();
		}
	}
	VFileKind* created = XLinuxFile::CreatePublicFileKindFromExtension(inExtension);
	if (created == nullptr)
		return nullptr;
	StLocker<VCriticalSection> lock(fLock);
	if (fKinds.find(created->GetIdentifier()) == fKinds.end())
		fKinds.emplace(created->GetIdentifier(), VRefPtr<VFileKind>(created));
	return created;
}

VFileKind* VFileKindManager::RetainFirstFileKindMatchingWithOsKind(const VString& inOsKind)
{
	{
		StLocker<VCriticalSection> lock(fLock);
		for (const auto& [identifier, kind] : fKinds) {
			if (kind->MatchOsKind(inOsKind))
				return kind.Retain();
		}
	}
	return XLinuxFile::CreatePublicFileKindFromOsKind(inOsKind);
}

void VFileKindManager::RegisterLocalizedString(sLONG inID, const VString& inText)
{
	if (inText.IsEmpty())
		return;
	StLocker<VCriticalSection> lock(fLock);
	if (inID == kLabelAllFiles)
		fLabelAllFiles.FromString(inText);
	else if (inID == kLabelAllReadableDocuments)
		fLabelAllReadableDocuments.FromString(inText);
}

void VFileKindManager::GetLocalizedString(sLONG inID, VString& ioText) const
{
	StLocker<VCriticalSection> lock(fLock);
	if (inID == kLabelAllFiles)
		ioText.FromString(fLabelAllFiles);
	else if (inID == kLabelAllReadableDocuments)
		ioText.FromString(fLabelAllReadableDocuments);
}

} // namespace qirn
