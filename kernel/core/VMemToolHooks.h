#pragma once

// What the memory tools must be told about memory the kernel carves itself:
// blocks handed out and given back (valgrind's memcheck, the address
// sanitizer's poisoning) and areas mapped outside the C allocator, which the
// sanitizer's leak checker would otherwise not scan. Every hook is a no-op
// when no such tool is there.

#include <cstddef>

#if __has_include(<valgrind/memcheck.h>)
#include <valgrind/memcheck.h>
#define QIRN_MEMTOOLS_MEMCHECK 1
#endif

// Weak, and asked for at run time: the allocator itself is built without
// the sanitizer's checks, so it cannot tell at compile time.
extern "C" void __asan_poison_memory_region(void const volatile* inAddress, size_t inSize) __attribute__((weak));
extern "C" void __asan_unpoison_memory_region(void const volatile* inAddress, size_t inSize) __attribute__((weak));
extern "C" void __lsan_register_root_region(const void* inBegin, size_t inSize) __attribute__((weak));
extern "C" void __lsan_unregister_root_region(const void* inBegin, size_t inSize) __attribute__((weak));

namespace qirn::memtools {

// An area mapped for the kernel's own use: scanned for pointers by the leak
// checker, and out of bounds for the caller until blocks are handed out.
inline void AreaMapped(void* inArea, size_t inSize, bool inPoison)
{
	if (__lsan_register_root_region != nullptr)
		__lsan_register_root_region(inArea, inSize);
	if (inPoison && __asan_poison_memory_region != nullptr)
		__asan_poison_memory_region(inArea, inSize);
}

// Called before the area is unmapped: pages mapped there later by anyone
// must not inherit its poison.
inline void AreaUnmapping(void* inArea, size_t inSize)
{
	if (__asan_unpoison_memory_region != nullptr)
		__asan_unpoison_memory_region(inArea, inSize);
	if (__lsan_unregister_root_region != nullptr)
		__lsan_unregister_root_region(inArea, inSize);
}

inline void BlockHandedOut(void* inBlock, size_t inUsable)
{
	if (__asan_unpoison_memory_region != nullptr)
		__asan_unpoison_memory_region(inBlock, inUsable);
#if defined(QIRN_MEMTOOLS_MEMCHECK)
	VALGRIND_MALLOCLIKE_BLOCK(inBlock, inUsable, 0, 0);
#endif
	(void)inBlock;
	(void)inUsable;
}

// The allocator keeps its links in freed blocks: memcheck hands the bytes
// back to it as defined memory once the caller's block is gone.
inline void BlockGivenBack(void* inBlock, size_t inUsable)
{
#if defined(QIRN_MEMTOOLS_MEMCHECK)
	VALGRIND_FREELIKE_BLOCK(inBlock, 0);
	VALGRIND_MAKE_MEM_DEFINED(inBlock, inUsable);
#endif
	if (__asan_poison_memory_region != nullptr)
		__asan_poison_memory_region(inBlock, inUsable);
	(void)inBlock;
	(void)inUsable;
}

} // namespace qirn::memtools
