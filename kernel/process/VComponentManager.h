#pragma once

#include "core/VArrayOf.h"
#include "core/VArrayRetainedPtrOf.h"
#include "core/VIntlMgr.h"
#include "core/VKernelTypes.h"
#include "process/CComponent.h"

#include <atomic>

namespace qirn {

class VCriticalSection;
class VFilePath;
class VFolder;
class VLibrary;

constexpr VError VE_COMP_NULL_ARGUMENT = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 3);
constexpr VError VE_COMP_UNITIALISED = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 1000);
constexpr VError VE_COMP_PROC_PTR_NULL = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 1001);
constexpr VError VE_COMP_ALLREADY_REGISTRED = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 1002);
constexpr VError VE_COMP_NOT_REGISTRED = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 1003);
constexpr VError VE_COMP_BAD_LIB_TYPE = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 1004);
constexpr VError VE_COMP_LIBRARY_NOT_FOUND = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 1008);
// What RegisterComponentLibrary answers when the library does not load (the
// load's errors and 1008 are raised, this one is not): the kernel's 100,
// callers test for it.
constexpr VError VE_COMP_CANNOT_LOAD_LIBRARY = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 100);

// The family that matches every family in RetainComponent.
constexpr OsType kCOMPONENT_ANY_FAMILY = 'BBBB';

// The messages a component library's "Main" receives.
constexpr OsType kCOMPONENT_LIBRARY_REGISTERED = 'regs';
constexpr OsType kCOMPONENT_LIBRARY_UNREGISTERED = 'leav';

// The entry points of a component library.
extern const char* const kDEFAULT_MAIN_SYMBOL;			// void Main(OsType message, VLibrary* library)
extern const char* const kDEFAULT_LOCK_SYMBOL;			// looked up by nobody here
extern const char* const kDEFAULT_UNLOCK_SYMBOL;
extern const char* const kDEFAULT_CAN_UNLOAD_SYMBOL;
extern const char* const kDEFAULT_CREATE_SYMBOL;		// CComponent* CreateComponent(OsType type, OsType family)
extern const char* const kDEFAULT_GET_TYPES_SYMBOL;		// bool GetNthComponentType(sLONG n, OsType& type), n from 1

using ComponentCreator = CComponent* (*)(OsType inType, OsType inFamily);
using ComponentLibraryMain = void (*)(OsType inMessage, VLibrary* inLibrary);
using ComponentLibraryCreate = CComponent* (*)(OsType inType, OsType inFamily);
using ComponentLibraryGetNthType = bool (*)(sLONG inIndex, OsType& outType);

// A component's requirements block, 32-bit words: the block's version
// (0x10000 at least), its size in bytes (52 at least, and room for every
// requirement it counts), the component's own version at word 5, the count
// of requirements at word 10, then from word 11 the requirements as pairs:
// the type required and its minimal version (0xFFFFFFFF for any).
namespace ComponentRequirementsBlock {
constexpr uint32 kMinVersion = 0x10000;
constexpr uint32 kMinSize = 52;
constexpr size_t kVersionWord = 0;
constexpr size_t kSizeWord = 1;
constexpr size_t kComponentVersionWord = 5;
constexpr size_t kCountWord = 10;
constexpr size_t kFirstRequirementWord = 11;
constexpr uint32 kAnyVersion = 0xFFFFFFFF;
} // namespace ComponentRequirementsBlock

// The process-wide registry of plug-in components: the types, the creator or
// library that makes each, the live instances, and which types have their
// requirements met. Init before any other use and DeInit after the last, with
// no other call under way.
//
// Locks: the types' before the checked types'; the instances' and the
// checking types' alone. Creators and library entry points run under the
// types' lock.
class VComponentManager {
public:
	VComponentManager() = delete;

	static bool Init();
	static void DeInit();
	static bool IsInitialized() { return sIsInitialized.load(std::memory_order_acquire); }

	static VError RegisterComponentLibrary(const VFilePath& inPath);
	static VError UnRegisterComponentLibrary(const VFilePath& inPath);
	static VError RegisterComponentCreator(OsType inType, ComponentCreator inCreator, bool inOverwrite);
	static VError UnRegisterComponentCreator(OsType inType, ComponentCreator inCreator);
	static VError UnRegisterComponentType(OsType inType);
	// The registry keeps a reference of each instance until it is
	// unregistered.
	static VError RegisterComponentInstance(CComponent* inComponent);
	static VError UnRegisterComponentInstance(CComponent* inComponent);

	// A registered instance of the type (and family, unless 'BBBB'), else a
	// new one that is registered; a reference for the caller, null for none.
	[[nodiscard]] static CComponent* RetainComponent(OsType inType, OsType inFamily);
	// A new component of the type; unless inNoCheck, null when its
	// requirements are not met.
	[[nodiscard]] static CComponent* RetainUniqueComponent(OsType inType, OsType inFamily, bool inNoCheck);
	// RetainComponent for every registered type, the components appended to
	// ioComponents (their references with them); whether any was.
	static bool RetainComponentsOfFamily(OsType inFamily, VArrayOf<CComponent*>* ioComponents);
	// Whether the type is registered.
	static bool IsComponentAvailable(OsType inType);

	// Whether the component's requirements are met, cached by type. With
	// inKeepRequired the components made for them stay loaded when they are.
	static bool CheckComponentRequirements(CComponent* inComponent, bool inKeepRequired);
	// Forgets the cached answer of a type; false when there was none.
	static bool ResetComponentRequirements(OsType inType, bool inUnused = false);

	// The language of the ".lproj" folders of a folder (of its
	// "Contents/Resources" with inBundle). Without a wanted language (0) the
	// main bundle's preferred localization decides when it has
	// localizations; otherwise the wanted one (US English without either) is
	// looked for: a folder of that language gives it, else an English
	// folder gives US English, else the last language folder seen. -2 for a
	// missing folder or one without language folders.
	static DialectCode GetLocalizationLanguage(VFolder* inFolder, bool inBundle, DialectCode inWanted);

private:
	static bool _ResetRequirements(OsType inType);
	static void _RemoveType(sLONG inPos);
	static bool _CheckRequirementsBlock(CComponent* inComponent, OsType inType, bool inKeepRequired,
										bool& outHasRequirements);

	static VArrayOf<OsType>* sComponentTypes;
	static VArrayOf<ComponentCreator>* sComponentProcs;
	static VArrayOf<VLibrary*>* sComponentLibraries;
	static VArrayRetainedPtrOf<CComponent*>* sComponentInstances;
	static VArrayOf<OsType>* sComponentChecked;
	static VArrayOf<uBYTE>* sComponentIsAvailable;
	static VArrayOf<uBYTE>* sComponentHasRequirements;
	static VArrayOf<OsType>* sComponentChecking;
	static VCriticalSection* sAccessingTypes;
	static VCriticalSection* sAccessingInstances;
	static VCriticalSection* sAccessingChecked;
	static VCriticalSection* sAccessingChecking;
	static std::atomic<bool> sIsInitialized;
};

} // namespace qirn
