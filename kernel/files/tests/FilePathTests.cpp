#include "files/VFilePath.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

std::string Text(const VString& inText)
{
	return to_string(inText);
}

TEST(FilePath, PosixTextBecomesTheRootVolume)
{
	struct Case {
		const char* fPosix;
		const char* fKernel;
		bool fValid;
	};
	const Case cases[] = {
		{"/", "Root:", true},
		{"/a/b", "Root:a:b", true},
		{"/a/b/", "Root:a:b:", true},
		{"/a/b/../c", "Root:a:c", true},
		{"/a/..", "Root:", true},
		{"/a/.", "Root:a:", true},
		{"//a//b", "Root:a:b", true},
		{"/a:b/c", "Root:a/b:c", true},
		{"/..", "Root::", false},
		{"a/b", "a:b", false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fPosix);
		VFilePath path(VString(c.fPosix), FPS_POSIX);
		EXPECT_EQ(Text(path.GetPath()), c.fKernel);
		EXPECT_EQ(path.IsValid(), c.fValid);
		if (c.fValid) {
			VString back;
			path.GetPosixPath(back);
			VFilePath again(back, FPS_POSIX);
			EXPECT_EQ(Text(again.GetPath()), c.fKernel);
		}
	}
}

} // namespace
} // namespace qirn
