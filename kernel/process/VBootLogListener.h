#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "process/ILogListener.h"
#include "runtime/VCriticalSection.h"

#include <deque>
#include <vector>

namespace qirn {

class VValueBag;

// Keeps the entries logged while the process starts, before the application
// has attached a listener of its own; VProcess::CleanBootLogListener hands
// them back to the logger then. A process that never does would otherwise
// keep every entry for its whole life: only the newest kMaxEntries are kept.
class VBootLogListener : public VObject, public ILogListener {
public:
	static constexpr size_t kMaxEntries = 1000;

	VBootLogListener() = default;
	~VBootLogListener() override;

	VBootLogListener(const VBootLogListener&) = delete;
	VBootLogListener& operator=(const VBootLogListener&) = delete;

	// Called on the logger's task.
	void Put(const std::vector<const VValueBag*>& inBags) override;

	// The kept entries, oldest first; the caller releases each. The listener
	// is left empty.
	std::vector<const VValueBag*> TakeEntries();
	size_t CountEntries() const;

private:
	mutable VCriticalSection fLock;
	std::deque<const VValueBag*> fEntries;
};

} // namespace qirn
