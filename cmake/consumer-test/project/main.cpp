#include "Kernel.h"

#include <cstdio>
#include <cstring>

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
	std::printf("consumer ok\n");
	return 0;
}
