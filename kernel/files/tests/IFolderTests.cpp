#include "files/IFolder.h"
#include "files/tests/MemoryFiles.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

using testing::MemoryFolder;

TEST(IFolderSameFolder, ComparesThePathsUnitForUnit)
{
	struct Case {
		const char* a;
		const char* b;
		bool same;
	};
	const Case cases[] = {
		{"Root:home:ann:", "Root:home:ann:", true},
		{"Root:home:ann:", "Root:home:Ann:", false},
		// The same name composed and decomposed: two folders on Linux.
		{"Root:caf\xC3\xA9:", "Root:cafe\xCC\x81:", false},
		{"Root:home:ann:", "Root:home:", false},
		{"Root:a:", "Root:a:b:", false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.a) + " / " + c.b);
		VRefPtr<MemoryFolder> a = VRefPtr<MemoryFolder>::Adopt(new MemoryFolder(c.a));
		VRefPtr<MemoryFolder> b = VRefPtr<MemoryFolder>::Adopt(new MemoryFolder(c.b));
		EXPECT_EQ(a->IsSameFolder(b.Get()), c.same);
		EXPECT_EQ(b->IsSameFolder(a.Get()), c.same);
	}
	VRefPtr<MemoryFolder> folder = VRefPtr<MemoryFolder>::Adopt(new MemoryFolder("Root:a:"));
	EXPECT_TRUE(folder->IsSameFolder(folder.Get()));
	EXPECT_FALSE(folder->IsSameFolder(nullptr));
}

} // namespace
} // namespace qirn
