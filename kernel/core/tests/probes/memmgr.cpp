// Reports which back end the memory manager made before main, and the bundle
// it read that choice from.
#include "core/VCppMemMgr.h"
#include "core/VMemory.h"
#include "core/VObject.h"
#include "host/HostBundle.h"

#include <cstdio>

int main()
{
	using namespace qirn;
	char bundle[4096] = "";
	host::CopyMainBundlePath(bundle, sizeof(bundle));
	bool created = VObject::sCppMemMgr != nullptr;
	EAllocatorKind asked = VCppMemMgr::ChooseAllocatorKind(eAllocator_FromInfoPlist);
	std::printf("created=%d asked=%s single=%d bundle=%s\n", created, asked == eAllocator_Pools ? "pools" : "system",
				created && VObject::sCppMemMgr->IsSingleAllocator(), bundle);
	return created && VMemory::InitMemoryManager() ? 0 : 1;
}
