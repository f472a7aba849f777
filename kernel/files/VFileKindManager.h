#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "runtime/VCriticalSection.h"

#include <atomic>
#include <map>
#include <vector>

namespace qirn {

class VFileKind;
class VIntlMgr;

// The process-wide registry of file kinds by identifier. It fills itself on
// demand from the platform's type database and holds the private kinds the
// application registers; it also keeps the two labels file dialogs show for
// every file and for every readable document. Any task may use it: its map
// and labels are guarded by its own lock.
class VFileKindManager : public VObject, public IRefCountable {
public:
	// Creates the process's manager unless there is one; true.
	static bool Init();
	// Releases the process's manager and forgets it.
	static void DeInit();
	// The process's manager, not retained; null outside Init and DeInit.
	static VFileKindManager* Get() { return sManager.load(std::memory_order_acquire); }

	// Identifiers are ordered by the collation of the task that makes the
	// manager, fixed for its life whichever task asks later.
	VFileKindManager();
	VFileKindManager(const VFileKindManager&) = delete;
	VFileKindManager& operator=(const VFileKindManager&) = delete;

	// The kind of that identifier: a registered one, or the platform's public
	// kind, remembered. Null when neither exists.
	[[nodiscard]] VFileKind* RetainFileKind(const VString& inIdentifier);

	// Stores a private kind under its identifier, in place of any kind of
	// that identifier.
	void RegisterPrivateFileKind(const VString& inIdentifier, const std::vector<VString>& inOsKinds,
								 const VString& inDescription, const std::vector<VString>& inExtensions,
								 const std::vector<VString>& inParentIdentifiers);
	void RegisterPrivateFileKind(const VString& inIdentifier, const VString& inDescription,
								 const std::vector<VString>& inExtensions,
								 const std::vector<VString>& inParentIdentifiers);

	// The first registered kind, in identifier order, that has the extension
	// (or exactly the OS kind); otherwise the platform's public kind for it.
	// Null when there is none.
	[[nodiscard]] VFileKind* RetainFirstFileKindMatchingWithExtension(const VString& inExtension);
	[[nodiscard]] VFileKind* RetainFirstFileKindMatchingWithOsKind(const VString& inOsKind);

	static constexpr sLONG kLabelAllFiles = 0;
	static constexpr sLONG kLabelAllReadableDocuments = 1;
	// Sets a label; an empty text or an unknown id changes nothing.
	void RegisterLocalizedString(sLONG inID, const VString& inText);
	// Gives a label; an unknown id leaves the text as it is.
	void GetLocalizedString(sLONG inID, VString& ioText) const;

private:
	~VFileKindManager() override;

	// Orders identifiers by the manager's own collator, only ever used under
	// the lock: a map whose order changed with the asking task's language
	// would lose its kinds.
	class IdentifierOrder {
	public:
		explicit IdentifierOrder(const VIntlMgr* inIntlMgr) : fIntlMgr(inIntlMgr) {}
		bool operator()(const VString& inA, const VString& inB) const;

	private:
		const VIntlMgr* fIntlMgr;
	};
	using KindMap = std::map<VString, VRefPtr<VFileKind>, IdentifierOrder>;

	VFileKind* _RetainStored(const VString& inIdentifier) const;

	mutable VCriticalSection fLock;
	VRefPtr<VIntlMgr> fIntlMgr;
	KindMap fKinds;
	VString fLabelAllFiles;
	VString fLabelAllReadableDocuments;

	static std::atomic<VFileKindManager*> sManager;
};

} // namespace qirn
