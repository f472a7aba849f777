#pragma once

#include "TestPool.h"

#include "core/VObject.h"

#include <memory>

namespace qirn::testing {

// Puts a manager whose pools have no memory in the process's place for a
// scope. Only operations that take new blocks may run inside it.
class StRefusingMemory {
public:
	StRefusingMemory() : fManager(new VCppMemMgr(eAllocator_Pools)), fPrevious(VObject::sCppMemMgr)
	{
		VObject::sCppMemMgr = fManager.get();
	}
	~StRefusingMemory() { VObject::sCppMemMgr = fPrevious; }
	bool IsRefusing() const { return !fManager->IsSingleAllocator(); }

private:
	StTestPools fPools;
	std::unique_ptr<VCppMemMgr> fManager;
	VCppMemMgr* fPrevious;
};

} // namespace qirn::testing
