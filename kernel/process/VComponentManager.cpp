// The registry of plug-in components.
#include "process/VComponentManager.h"

#include "core/VMemory.h"
#include "core/VString.h"
#include "files/VFileError.h"
#include "process/VLibrary.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VError.h"

#include <vector>

namespace qirn {

const char* const kDEFAULT_MAIN_SYMBOL = "Main";
const char* const kDEFAULT_LOCK_SYMBOL = "Lock";
const char* const kDEFAULT_UNLOCK_SYMBOL = "UnLock";
const char* const kDEFAULT_CAN_UNLOAD_SYMBOL = "CanUnloadLibrary";
const char* const kDEFAULT_CREATE_SYMBOL = "CreateComponent";
const char* const kDEFAULT_GET_TYPES_SYMBOL = "GetNthComponentType";

VArrayOf<OsType>* VComponentManager::sComponentTypes = nullptr;
VArrayOf<ComponentCreator>* VComponentManager::sComponentProcs = nullptr;
VArrayOf<VLibrary*>* VComponentManager::sComponentLibraries = nullptr;
VArrayRetainedPtrOf<CComponent*>* VComponentManager::sComponentInstances = nullptr;
VArrayOf<OsType>* VComponentManager::sComponentChecked = nullptr;
VArrayOf<uBYTE>* VComponentManager::sComponentIsAvailable = nullptr;
VArrayOf<uBYTE>* VComponentManager::sComponentHasRequirements = nullptr;
VArrayOf<OsType>* VComponentManager::sComponentChecking = nullptr;
VCriticalSection* VComponentManager::sAccessingTypes = nullptr;
VCriticalSection* VComponentManager::sAccessingInstances = nullptr;
VCriticalSection* VComponentManager::sAccessingChecked = nullptr;
VCriticalSection* VComponentManager::sAccessingChecking = nullptr;
std::atomic<bool> VComponentManager::sIsInitialized{false};

namespace {

VError Raise(VError inError)
{
	_ThrowError(inError);
	return inError;
}

template <class T>
void DeleteAndClear(T*& ioObject)
{
	delete ioObject;
	ioObject = nullptr;
}

// The words of a requirements block, or null when the block is refused: an
// old version, a size below the minimum, or a count of requirements (or a
// size) larger than the block really is.
const uint32* CheckedBlock(const void* inBlock)
{
	using namespace ComponentRequirementsBlock;
	if (inBlock == nullptr)
		return nullptr;
	const uint32* words = static_cast<const uint32*>(inBlock);
	const size_t allocated = VMemory::GetPtrSize(inBlock);
	if (allocated < kMinSize || words[kVersionWord] < kMinVersion || words[kSizeWord] < kMinSize ||
		words[kSizeWord] > allocated)
		return nullptr;
	const uint64 needed = 4 * (kFirstRequirementWord + 2 * static_cast<uint64>(words[kCountWord]));
	if (needed > words[kSizeWord])
		return nullptr;
	return words;
}

// Whether a component's version (word 5 of its own block) reaches a minimum.
bool HasVersion(CComponent* inComponent, uint32 inMinimal)
{
	using namespace ComponentRequirementsBlock;
	void* block = inComponent->GetRequirements();
	if (block == nullptr)
		return false;
	const bool reaches = VMemory::GetPtrSize(block) >= 4 * (kComponentVersionWord + 1) &&
		static_cast<const uint32*>(block)[kComponentVersionWord] >= inMinimal;
	VMemory::DisposePtr(block);
	return reaches;
}

} // namespace

bool VComponentManager::Init()
{
	if (IsInitialized())
		return true;
	sComponentTypes = new VArrayOf<OsType>;
	sComponentProcs = new VArrayOf<ComponentCreator>;
	sComponentLibraries = new VArrayOf<VLibrary*>;
	sComponentInstances = new VArrayRetainedPtrOf<CComponent*>;
	sComponentChecked = new VArrayOf<OsType>;
	sComponentIsAvailable = new VArrayOf<uBYTE>;
	sComponentHasRequirements = new VArrayOf<uBYTE>;
	sComponentChecking = new VArrayOf<OsType>;
	sAccessingTypes = new VCriticalSection;
	sAccessingInstances = new VCriticalSection;
	sAccessingChecked = new VCriticalSection;
	sAccessingChecking = new VCriticalSection;
	sIsInitialized.store(true, std::memory_order_release);
	return true;
}

void VComponentManager::DeInit()
{
	if (!IsInitialized())
		return;
	sIsInitialized.store(false, std::memory_order_release);
	// The instances go first: their code may lie in the libraries.
	DeleteAndClear(sComponentInstances);
	// A type without a library holds null: the walk goes by position.
	for (sLONG pos = 1; pos <= sComponentLibraries->GetCount(); ++pos) {
		if (VLibrary* library = sComponentLibraries->GetNth(pos))
			library->Release();
	}
	DeleteAndClear(sComponentLibraries);
	DeleteAndClear(sComponentProcs);
	DeleteAndClear(sComponentTypes);
	DeleteAndClear(sComponentChecked);
	DeleteAndClear(sComponentIsAvailable);
	DeleteAndClear(sComponentHasRequirements);
	DeleteAndClear(sComponentChecking);
	DeleteAndClear(sAccessingTypes);
	DeleteAndClear(sAccessingInstances);
	DeleteAndClear(sAccessingChecked);
	DeleteAndClear(sAccessingChecking);
}

// ---- Types -------------------------------------------------------------------------------------

void VComponentManager::_RemoveType(sLONG inPos)
{
	sComponentTypes->DeleteNth(inPos);
	sComponentProcs->DeleteNth(inPos);
	sComponentLibraries->DeleteNth(inPos);
}

VError VComponentManager::RegisterComponentLibrary(const VFilePath& inPath)
{
	if (!IsInitialized())
		return Raise(VE_COMP_UNITIALISED);
	StLocker<VCriticalSection> types(*sAccessingTypes);
	for (sLONG pos = 1; pos <= sComponentLibraries->GetCount(); ++pos) {
		VLibrary* library = sComponentLibraries->GetNth(pos);
		if (library != nullptr && library->IsSameFile(inPath))
			return Raise(VE_COMP_ALLREADY_REGISTRED);
	}
	VLibrary* library = new VLibrary(inPath);
	if (!library->Load()) {
		library->Release();
		_PushRetainedError(new VFileError(inPath, VE_COMP_LIBRARY_NOT_FOUND));
		return VE_COMP_CANNOT_LOAD_LIBRARY;
	}
	const auto main = reinterpret_cast<ComponentLibraryMain>(library->GetProcAddress(VString(kDEFAULT_MAIN_SYMBOL)));
	const auto getType =
		reinterpret_cast<ComponentLibraryGetNthType>(library->GetProcAddress(VString(kDEFAULT_GET_TYPES_SYMBOL)));
	const auto create = library->GetProcAddress(VString(kDEFAULT_CREATE_SYMBOL));
	if (main == nullptr || getType == nullptr || create == nullptr) {
		library->Release();
		return Raise(VE_COMP_BAD_LIB_TYPE);
	}
	StLocker<VCriticalSection> checked(*sAccessingChecked);
	main(kCOMPONENT_LIBRARY_REGISTERED, library);
	OsType type = 0;
	for (sLONG n = 1; getType(n, type); ++n) {
		const sLONG pos = sComponentTypes->FindPos(type);
		if (pos != 0) {
			// One reference per type: the library it replaces lets go of its own.
			if (VLibrary* previous = sComponentLibraries->GetNth(pos); previous != library) {
				sComponentLibraries->SetNth(library, pos);
				library->Retain();
				if (previous != nullptr)
					previous->Release();
			}
		} else if (sComponentTypes->AddTail(type)) {
			if (!sComponentProcs->AddTail(nullptr) || !sComponentLibraries->AddTail(library)) {
				_RemoveType(sComponentTypes->GetCount());
				continue;
			}
			library->Retain();
		}
		_ResetRequirements(type);
	}
	library->Release();
	return VE_OK;
}

VError VComponentManager::UnRegisterComponentLibrary(const VFilePath& inPath)
{
	if (!IsInitialized())
		return Raise(VE_COMP_UNITIALISED);
	StLocker<VCriticalSection> types(*sAccessingTypes);
	StLocker<VCriticalSection> checked(*sAccessingChecked);
	bool found = false;
	for (sLONG pos = sComponentLibraries->GetCount(); pos >= 1; --pos) {
		VLibrary* library = sComponentLibraries->GetNth(pos);
		if (library == nullptr || !library->IsSameFile(inPath))
			continue;
		if (!found) {
			// Told once, while every reference is still held.
			if (const auto main = reinterpret_cast<ComponentLibraryMain>(
					library->GetProcAddress(VString(kDEFAULT_MAIN_SYMBOL))))
				main(kCOMPONENT_LIBRARY_UNREGISTERED, nullptr);
			found = true;
		}
		_ResetRequirements(sComponentTypes->GetNth(pos));
		if (sComponentProcs->GetNth(pos) != nullptr)
			sComponentLibraries->SetNth(nullptr, pos);
		else
			_RemoveType(pos);
		library->Release();
	}
	return found ? VE_OK : Raise(VE_COMP_PROC_PTR_NULL);
}

VError VComponentManager::RegisterComponentCreator(OsType inType, ComponentCreator inCreator, bool inOverwrite)
{
	if (!IsInitialized())
		return Raise(VE_COMP_UNITIALISED);
	if (inCreator == nullptr)
		return Raise(VE_COMP_NULL_ARGUMENT);
	StLocker<VCriticalSection> types(*sAccessingTypes);
	StLocker<VCriticalSection> checked(*sAccessingChecked);
	const sLONG pos = sComponentTypes->FindPos(inType);
	if (pos != 0) {
		if (sComponentProcs->GetNth(pos) == inCreator && !inOverwrite)
			return Raise(VE_COMP_ALLREADY_REGISTRED);
		sComponentProcs->SetNth(inCreator, pos);
		return VE_OK;
	}
	if (!sComponentTypes->AddTail(inType))
		return Raise(VE_MEMORY_FULL);
	if (!sComponentProcs->AddTail(inCreator) || !sComponentLibraries->AddTail(nullptr)) {
		_RemoveType(sComponentTypes->GetCount());
		return Raise(VE_MEMORY_FULL);
	}
	_ResetRequirements(inType);
	return VE_OK;
}

VError VComponentManager::UnRegisterComponentCreator(OsType inType, ComponentCreator inCreator)
{
	if (!IsInitialized())
		return Raise(VE_COMP_UNITIALISED);
	StLocker<VCriticalSection> types(*sAccessingTypes);
	StLocker<VCriticalSection> checked(*sAccessingChecked);
	const sLONG pos = sComponentTypes->FindPos(inType);
	if (pos == 0 || inCreator == nullptr || sComponentProcs->GetNth(pos) != inCreator)
		return Raise(VE_COMP_PROC_PTR_NULL);
	if (sComponentLibraries->GetNth(pos) != nullptr)
		sComponentProcs->SetNth(nullptr, pos);
	else
		_RemoveType(pos);
	_ResetRequirements(inType);
	return VE_OK;
}

VError VComponentManager::UnRegisterComponentType(OsType inType)
{
	if (!IsInitialized())
		return Raise(VE_COMP_UNITIALISED);
	StLocker<VCriticalSection> types(*sAccessingTypes);
	StLocker<VCriticalSection> checked(*sAccessingChecked);
	const sLONG pos = sComponentTypes->FindPos(inType);
	if (pos == 0)
		return Raise(VE_COMP_NOT_REGISTRED);
	VLibrary* library = sComponentLibraries->GetNth(pos);
	_RemoveType(pos);
	_ResetRequirements(inType);
	if (library != nullptr)
		library->Release();
	return VE_OK;
}

bool VComponentManager::IsComponentAvailable(OsType inType)
{
	if (!IsInitialized())
		return false;
	StLocker<VCriticalSection> types(*sAccessingTypes);
	return sComponentTypes->Contains(inType);
}

// ---- Instances ---------------------------------------------------------------------------------

VError VComponentManager::RegisterComponentInstance(CComponent* inComponent)
{
	if (!IsInitialized())
		return Raise(VE_COMP_UNITIALISED);
	if (inComponent == nullptr)
		return Raise(VE_COMP_NULL_ARGUMENT);
	StLocker<VCriticalSection> instances(*sAccessingInstances);
	if (sComponentInstances->Contains(inComponent))
		return Raise(VE_COMP_ALLREADY_REGISTRED);
	if (!sComponentInstances->AddTail(inComponent))
		return Raise(VE_MEMORY_FULL);
	inComponent->Retain();
	return VE_OK;
}

VError VComponentManager::UnRegisterComponentInstance(CComponent* inComponent)
{
	if (!IsInitialized())
		return Raise(VE_COMP_UNITIALISED);
	if (inComponent == nullptr)
		return Raise(VE_COMP_NULL_ARGUMENT);
	StLocker<VCriticalSection> instances(*sAccessingInstances);
	return sComponentInstances->DeleteItem(inComponent) ? VE_OK : Raise(VE_COMP_NOT_REGISTRED);
}

CComponent* VComponentManager::RetainComponent(OsType inType, OsType inFamily)
{
	if (!IsInitialized())
		return nullptr;
	{
		StLocker<VCriticalSection> instances(*sAccessingInstances);
		for (sLONG pos = 1; pos <= sComponentInstances->GetCount(); ++pos) {
			CComponent* component = sComponentInstances->GetNth(pos);
			if (component->GetComponentType() == inType &&
				(inFamily == kCOMPONENT_ANY_FAMILY || component->GetComponentFamily() == inFamily)) {
				component->Retain();
				return component;
			}
		}
	}
	CComponent* component = RetainUniqueComponent(inType, inFamily, false);
	if (component != nullptr) {
		StLocker<VCriticalSection> instances(*sAccessingInstances);
		if (!sComponentInstances->Contains(component) && sComponentInstances->AddTail(component))
			component->Retain();
	}
	return component;
}

CComponent* VComponentManager::RetainUniqueComponent(OsType inType, OsType inFamily, bool inNoCheck)
{
	if (!IsInitialized())
		return nullptr;
	CComponent* component = nullptr;
	{
		StLocker<VCriticalSection> types(*sAccessingTypes);
		const sLONG pos = sComponentTypes->FindPos(inType);
		if (pos == 0)
			return nullptr;
		if (ComponentCreator creator = sComponentProcs->GetNth(pos)) {
			component = creator(inType, inFamily);
		} else if (VLibrary* library = sComponentLibraries->GetNth(pos)) {
			if (const auto create = reinterpret_cast<ComponentLibraryCreate>(
					library->GetProcAddress(VString(kDEFAULT_CREATE_SYMBOL))))
				component = create(inType, inFamily);
		}
	}
	if (component != nullptr && !inNoCheck && !CheckComponentRequirements(component, false)) {
		component->Release();
		component = nullptr;
	}
	return component;
}

bool VComponentManager::RetainComponentsOfFamily(OsType inFamily, VArrayOf<CComponent*>* ioComponents)
{
	if (!IsInitialized() || ioComponents == nullptr)
		return false;
	// A copy: making components takes the types' lock again, and may
	// register more.
	std::vector<OsType> types;
	{
		StLocker<VCriticalSection> locker(*sAccessingTypes);
		types.assign(sComponentTypes->GetData(), sComponentTypes->GetData() + sComponentTypes->GetCount());
	}
	bool any = false;
	for (OsType type : types) {
		if (CComponent* component = RetainComponent(type, inFamily)) {
			if (ioComponents->AddTail(component))
				any = true;
			else
				component->Release();
		}
	}
	return any;
}

// ---- Requirements ------------------------------------------------------------------------------

bool VComponentManager::_ResetRequirements(OsType inType)
{
	StLocker<VCriticalSection> checked(*sAccessingChecked);
	const sLONG pos = sComponentChecked->FindPos(inType);
	if (pos == 0)
		return false;
	sComponentChecked->DeleteNth(pos);
	sComponentIsAvailable->DeleteNth(pos);
	sComponentHasRequirements->DeleteNth(pos);
	return true;
}

bool VComponentManager::ResetComponentRequirements(OsType inType, bool /*inUnused*/)
{
	return IsInitialized() && _ResetRequirements(inType);
}

bool VComponentManager::_CheckRequirementsBlock(CComponent* inComponent, OsType inType, bool inKeepRequired,
												bool& outHasRequirements)
{
	using namespace ComponentRequirementsBlock;
	outHasRequirements = false;
	void* block = inComponent->GetRequirements();
	const uint32* words = CheckedBlock(block);
	if (words == nullptr) {
		VMemory::DisposePtr(block);
		return false;
	}
	const uint32 count = words[kCountWord];
	bool available = true;
	outHasRequirements = count > 0;
	VArrayRetainedPtrOf<CComponent*> kept;
	for (uint32 index = 0; index < count && available; ++index) {
		const OsType required = words[kFirstRequirementWord + 2 * index];
		const uint32 minimal = words[kFirstRequirementWord + 2 * index + 1];
		if (required == inType)
			continue;
		sLONG cachedPos = 0;
		bool cachedAvailable = false;
		{
			StLocker<VCriticalSection> checked(*sAccessingChecked);
			cachedPos = sComponentChecked->FindPos(required);
			cachedAvailable = cachedPos != 0 && sComponentIsAvailable->GetNth(cachedPos) != 0;
		}
		bool beingChecked = false;
		{
			StLocker<VCriticalSection> checking(*sAccessingChecking);
			beingChecked = sComponentChecking->Contains(required);
		}
		// A requirement known to be unmet leaves this one unmet.
		if (cachedPos != 0 && !cachedAvailable) {
			available = false;
			break;
		}
		if ((cachedPos == 0 && !beingChecked) || minimal != kAnyVersion) {
			CComponent* made = RetainUniqueComponent(required, kCOMPONENT_ANY_FAMILY, cachedPos != 0 || beingChecked);
			if (made == nullptr) {
				available = false;
				if (index == 0)
					outHasRequirements = false;
				break;
			}
			if (minimal != kAnyVersion && !HasVersion(made, minimal))
				available = false;
			if (inKeepRequired && kept.AddTail(made))
				continue;
			made->Release();
		}
	}
	if (available && inKeepRequired) {
		// They stay loaded: their references are let go of without release.
		kept.SetDeleteData(false);
		kept.DeleteAll();
	}
	VMemory::DisposePtr(block);
	return available;
}

bool VComponentManager::CheckComponentRequirements(CComponent* inComponent, bool inKeepRequired)
{
	if (inComponent == nullptr || !IsInitialized())
		return false;
	const OsType type = inComponent->GetComponentType();
	{
		StLocker<VCriticalSection> checked(*sAccessingChecked);
		if (const sLONG pos = sComponentChecked->FindPos(type))
			return sComponentIsAvailable->GetNth(pos) != 0;
	}
	{
		StLocker<VCriticalSection> checking(*sAccessingChecking);
		sComponentChecking->AddTail(type);
	}
	bool hasRequirements = false;
	const bool available = _CheckRequirementsBlock(inComponent, type, inKeepRequired, hasRequirements);
	{
		StLocker<VCriticalSection> checked(*sAccessingChecked);
		if (!sComponentChecked->Contains(type) && sComponentChecked->AddTail(type)) {
			if (!sComponentIsAvailable->AddTail(available ? 1 : 0) ||
				!sComponentHasRequirements->AddTail(hasRequirements ? 1 : 0)) {
				// Short of memory: the three stay parallel, the answer uncached.
				const sLONG last = sComponentChecked->GetCount();
				sComponentChecked->DeleteNth(last);
				if (sComponentIsAvailable->GetCount() == last)
					sComponentIsAvailable->DeleteNth(last);
			}
		}
	}
	{
		StLocker<VCriticalSection> checking(*sAccessingChecking);
		sComponentChecking->DeleteItem(type);
	}
	return available;
}

} // namespace qirn
