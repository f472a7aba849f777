#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <elf.h>
#include <link.h>

namespace qirn {
namespace {

struct FlagsSearch {
	uintptr_t fAddress = 0;
	bool fFound = false;
	uint64 fFlags = 0;
};

// The DT_FLAGS of the loaded object that holds inSearch->fAddress.
int FindFlags(dl_phdr_info* inInfo, size_t /*inSize*/, void* inSearch)
{
	FlagsSearch* search = static_cast<FlagsSearch*>(inSearch);
	const ElfW(Phdr)* dynamic = nullptr;
	bool holds = false;
	for (ElfW(Half) i = 0; i < inInfo->dlpi_phnum; ++i) {
		const ElfW(Phdr)& header = inInfo->dlpi_phdr[i];
		const uintptr_t start = inInfo->dlpi_addr + header.p_vaddr;
		if (header.p_type == PT_LOAD && search->fAddress >= start && search->fAddress < start + header.p_memsz)
			holds = true;
		if (header.p_type == PT_DYNAMIC)
			dynamic = &header;
	}
	if (!holds || dynamic == nullptr)
		return 0;
	search->fFound = true;
	const ElfW(Dyn)* entry = reinterpret_cast<const ElfW(Dyn)*>(inInfo->dlpi_addr + dynamic->p_vaddr);
	for (; entry->d_tag != DT_NULL; ++entry) {
		if (entry->d_tag == DT_FLAGS)
			search->fFlags = entry->d_un.d_val;
	}
	return 1;
}

// Every lock reads the current task's id from a thread-local: the library
// must not ask for the static TLS block, which a module loaded later may find
// full.
TEST(LibraryLoading, TheKernelNeedsNoStaticTLS)
{
	FlagsSearch search;
	search.fAddress = reinterpret_cast<uintptr_t>(&VTaskMgr::Init);
	dl_iterate_phdr(&FindFlags, &search);
	ASSERT_TRUE(search.fFound);
	EXPECT_EQ(search.fFlags & DF_STATIC_TLS, 0u);
}

// A program without the kernel loads a module that uses it, the kernel
// library coming with it, and takes a section there.
TEST(LibraryLoading, AModuleUsingTheKernelLoadsWithDlopen)
{
	const int status =
		std::system("'" QIRN_PROBE_DIR "/qirn_loader_taskid' '" QIRN_PROBE_DIR "/libqirn_module_taskid.so'");
	ASSERT_TRUE(WIFEXITED(status));
	EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
} // namespace qirn
