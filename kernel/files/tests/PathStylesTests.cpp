#include "files/PathStyles.h"
#include "files/tests/PathUnits.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

using testing::Text;
using testing::Units;

struct Conversion {
	std::u16string_view fFrom;
	std::u16string_view fTo;
};

TEST(PathStyles, RelativePosixTextAsKernelText)
{
	const Conversion cases[] = {
		{u"a/b", u"a:b"},
		{u"a/b/", u"a:b:"},
		{u"../x", u":x"},
		{u"../../x", u"::x"},
		{u"a/../b", u"a::b"},
		{u"./a", u"a"},
		{u"a/./b", u"a:b"},
		{u"a//b", u"a:b"},
		{u"a/.//b", u"a:b"},
		{u"a:b/c", u"a/b:c"},
		// A final "." or ".." is a step as it is before '/'.
		{u"a/.", u"a:"},
		{u"a/..", u"a::"},
		{u"..", u":"},
		{u".", u""},
		{u"...", u"..."},
		{u"a/.b/..c", u"a:.b:..c"},
		// Text from the root climbs from a volume with no name.
		{u"/a/b", u":a:b"},
		{u"", u""},
	};
	for (const Conversion& c : cases) {
		SCOPED_TRACE(std::string(c.fFrom.begin(), c.fFrom.end()));
		VString text = Text(c.fFrom);
		PosixPathToHFS(text, true);
		EXPECT_EQ(Units(text), c.fTo);
	}
}

TEST(PathStyles, RelativeKernelTextAsPosixText)
{
	const Conversion cases[] = {
		{u"a:b", u"a/b"},
		{u"a:b:", u"a/b/"},
		{u"a::b", u"a/../b"},
		{u"a:::b", u"a/../../b"},
		{u"a::", u"a/../"},
		{u"a/b:c", u"a:b/c"},
		// Leading separators climb from the start, never from the root.
		{u":x", u"x"},
		{u"::x", u"../x"},
		{u":::x", u"../../x"},
		{u"::", u"../"},
		{u":", u""},
		{u"", u""},
	};
	for (const Conversion& c : cases) {
		SCOPED_TRACE(std::string(c.fFrom.begin(), c.fFrom.end()));
		VString text = Text(c.fFrom);
		HFSPathToPosix(text, true);
		EXPECT_EQ(Units(text), c.fTo);
	}
}

TEST(PathStyles, RelativeTextGoesBothWays)
{
	// Leading steps are left out: "../x" is ":x", to follow a folder's ':',
	// and ":x" alone reads as "x".
	for (std::u16string_view posix : {u"a/b", u"a/b/", u"x/../../y/", u"a/../b", u"n:m/o"}) {
		SCOPED_TRACE(std::string(posix.begin(), posix.end()));
		VString text = Text(posix);
		PosixPathToHFS(text, true);
		HFSPathToPosix(text, true);
		EXPECT_EQ(Units(text), posix);
	}
}

TEST(PathStyles, ConversionsByStyle)
{
	struct Case {
		EURLPathStyle fFrom;
		EURLPathStyle fTo;
		bool fRelative;
		std::u16string_view fText;
		std::u16string_view fResult;
	};
	const Case cases[] = {
		{eURL_POSIX_STYLE, eURL_HFS_STYLE, false, u"/a/b:c", u"Root:a:b/c"},
		{eURL_POSIX_STYLE, eURL_HFS_STYLE, false, u"/", u"Root:"},
		{eURL_POSIX_STYLE, eURL_HFS_STYLE, false, u"a/b", u"a:b"},
		{eURL_POSIX_STYLE, eURL_HFS_STYLE, true, u"a/b/", u"a:b:"},
		{eURL_HFS_STYLE, eURL_POSIX_STYLE, false, u"Root:a:b/c", u"/a/b:c"},
		{eURL_HFS_STYLE, eURL_POSIX_STYLE, false, u"Root:", u"/"},
		{eURL_HFS_STYLE, eURL_POSIX_STYLE, false, u"Data:a", u"/Data/a"},
		{eURL_HFS_STYLE, eURL_POSIX_STYLE, true, u"a::b", u"a/../b"},
		{eURL_POSIX_STYLE, eURL_WIN_STYLE, false, u"/a/b", u"\\a\\b"},
		{eURL_WIN_STYLE, eURL_POSIX_STYLE, true, u"a\\b", u"a/b"},
		{eURL_WIN_STYLE, eURL_HFS_STYLE, false, u"a\\b", u"a\\b"},
		{eURL_HFS_STYLE, eURL_WIN_STYLE, false, u"a:b", u"a:b"},
		{eURL_POSIX_STYLE, eURL_POSIX_STYLE, false, u"a/b", u"a/b"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fText.begin(), c.fText.end()));
		VString text = Text(c.fText);
		ConvertPathStyle(text, c.fFrom, c.fTo, c.fRelative);
		EXPECT_EQ(Units(text), c.fResult);
	}
}

} // namespace
} // namespace qirn
