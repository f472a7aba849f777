#include "Kernel.h"

#include <atomic>
#include <cstdio>

namespace {

class VConsumerProcess : public qirn::VProcess {};

} // namespace

int main()
{
	using namespace qirn;
	void* block = VMemory::NewPtrClear(64, 'test');
	if (block == nullptr)
		return 1;
	bool zeroed = static_cast<unsigned char*>(block)[63] == 0;
	VMemory::DisposePtr(block);
	if (!zeroed)
		return 1;

	VConsumerProcess process;
	if (!process.Init(0))
		return 1;
	std::atomic<bool> ran{false};
	VTask* task = new VTask(0, ETaskStyle::kPreemptive, [&ran] { ran = true; });
	bool started = task->Run();
	bool died = started && task->WaitForDeath(60000);
	task->Release();
	if (!died || !ran)
		return 1;

	std::printf("consumer ok\n");
	return 0;
}
