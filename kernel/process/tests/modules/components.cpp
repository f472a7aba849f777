// A component library: "Main", "GetNthComponentType" and "CreateComponent",
// with components whose requirements blocks the manager's tests read.
//   'CmpA' version 3, no requirements
//   'CmpB' needs 'CmpA' at version 2 at least
//   'CmpC' needs 'CmpA' at version 5 at least (not met)
//   'CmpD' needs 'Nope', which nobody makes
//   'CmpE' counts more requirements than its block holds
#include "core/VKernelTypes.h"
#include "core/VMemory.h"
#include "process/CComponent.h"

#include <atomic>
#include <cstring>

using namespace qirn;

namespace {

std::atomic<int> sRegistered{0};
std::atomic<int> sUnregistered{0};
std::atomic<int> sLive{0};

constexpr OsType kTypes[] = {'CmpA', 'CmpB', 'CmpC', 'CmpD', 'CmpE'};

class Component final : public CComponent {
public:
	Component(OsType inType, OsType inFamily) : fType(inType), fFamily(inFamily) { ++sLive; }

	sLONG Retain(const char*) override { return ++fCount; }
	sLONG Release(const char*) override
	{
		const sLONG count = --fCount;
		if (count == 0)
			delete this;
		return count;
	}
	void* GetRequirements() override
	{
		uint32 words[15] = {0x10000, 52, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0};
		uint32 size = 52;
		switch (fType) {
		case 'CmpB':
			words[10] = 1, words[11] = 'CmpA', words[12] = 2;
			break;
		case 'CmpC':
			words[10] = 1, words[11] = 'CmpA', words[12] = 5;
			break;
		case 'CmpD':
			words[10] = 2, words[11] = 'Nope', words[12] = 0xFFFFFFFF, words[13] = 'CmpA', words[14] = 0xFFFFFFFF;
			size = 60;
			break;
		case 'CmpE':
			words[10] = 1000000;
			break;
		default:
			break;
		}
		words[1] = size;
		void* block = VMemory::NewPtr(size, 'test');
		if (block != nullptr)
			std::memcpy(block, words, size);
		return block;
	}
	OsType GetComponentType() override { return fType; }
	OsType GetComponentFamily() override { return fFamily; }

private:
	~Component() { --sLive; }

	std::atomic<sLONG> fCount{1};
	OsType fType;
	OsType fFamily;
};

} // namespace

extern "C" __attribute__((visibility("default"))) void Main(OsType inMessage, void* /*inLibrary*/)
{
	if (inMessage == 'regs')
		++sRegistered;
	else if (inMessage == 'leav')
		++sUnregistered;
}

extern "C" __attribute__((visibility("default"))) bool GetNthComponentType(sLONG inIndex, OsType& outType)
{
	if (inIndex < 1 || inIndex > static_cast<sLONG>(sizeof(kTypes) / sizeof(kTypes[0])))
		return false;
	outType = kTypes[inIndex - 1];
	return true;
}

extern "C" __attribute__((visibility("default"))) CComponent* CreateComponent(OsType inType, OsType inFamily)
{
	return new Component(inType, inFamily);
}

// What the tests read of the library: the messages its "Main" had and the
// components alive.
extern "C" __attribute__((visibility("default"))) int ComponentsCount(OsType inWhat)
{
	switch (inWhat) {
	case 'regs':
		return sRegistered;
	case 'leav':
		return sUnregistered;
	default:
		return sLive;
	}
}
