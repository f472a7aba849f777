#include "core/VCompareOptions.h"
#include "core/VLong.h"
#include "core/VString.h"

#include "testing/TestDialect.h"

#include <gtest/gtest.h>

#include <vector>

namespace qirn {
namespace {

// The expected orders are those of US English.
class StringCompare : public testing::InUSEnglish {};

// A string's flat form, placed at an odd address when asked: records store
// flat data wherever they fall.
class FlatForm {
public:
	FlatForm(const VString& inString, bool inMisaligned) : fBytes(inString.GetSpace(0) + 2)
	{
		fData = fBytes.data() + (inMisaligned ? 1 : 0);
		inString.WriteToPtr(fData, false, 0);
	}
	const void* Get() const { return fData; }

private:
	std::vector<char> fBytes;
	char* fData;
};

enum class Slot {
	CompareToSameKind,
	EqualToSameKind,
	CompareBegining,
	CompareLike,
	CompareBeginingLike,
	EqualLike,
	CompareTo,
	EqualTo,
	ComparePtr,
	SwapComparePtr,
	CompareBeginingPtr,
	IsTheBeginingPtr,
	EqualPtr,
	ComparePtrLike,
	SwapComparePtrLike,
	CompareBeginingPtrLike,
	IsTheBeginingPtrLike,
	EqualPtrLike,
	SwapEqualPtrLike,
	InfoCompare,
	InfoBegining,
	InfoLike,
	InfoBeginingLike,
};

// The answer of one slot with a as this string (or the first flat form) and
// b as the other; Boolean answers as 1 and 0.
int RunSlot(Slot inSlot, const VString& inA, const VString& inB, bool inDiacritical, bool inMisaligned)
{
	FlatForm flatA(inA, inMisaligned);
	FlatForm flatB(inB, inMisaligned);
	const void* b = flatB.Get();
	const bool d = inDiacritical;
	switch (inSlot) {
		case Slot::CompareToSameKind: return inA.CompareToSameKind(&inB, d);
		case Slot::EqualToSameKind: return inA.EqualToSameKind(&inB, d);
		case Slot::CompareBegining: return inA.CompareBeginingToSameKind(&inB, d);
		case Slot::CompareLike: return inA.CompareToSameKind_Like(&inB, d);
		case Slot::CompareBeginingLike: return inA.CompareBeginingToSameKind_Like(&inB, d);
		case Slot::EqualLike: return inA.EqualToSameKind_Like(&inB, d);
		case Slot::CompareTo: return inA.CompareTo(inB, d);
		case Slot::EqualTo: return inA.EqualTo(inB, d);
		case Slot::ComparePtr: return inA.CompareToSameKindPtr(b, d);
		case Slot::SwapComparePtr: return inA.Swap_CompareToSameKindPtr(b, d);
		case Slot::CompareBeginingPtr: return inA.CompareBeginingToSameKindPtr(b, d);
		case Slot::IsTheBeginingPtr: return inA.IsTheBeginingToSameKindPtr(b, d);
		case Slot::EqualPtr: return inA.EqualToSameKindPtr(b, d);
		case Slot::ComparePtrLike: return inA.CompareToSameKindPtr_Like(b, d);
		case Slot::SwapComparePtrLike: return inA.Swap_CompareToSameKindPtr_Like(b, d);
		case Slot::CompareBeginingPtrLike: return inA.CompareBeginingToSameKindPtr_Like(b, d);
		case Slot::IsTheBeginingPtrLike: return inA.IsTheBeginingToSameKindPtr_Like(b, d);
		case Slot::EqualPtrLike: return inA.EqualToSameKindPtr_Like(b, d);
		case Slot::SwapEqualPtrLike: return inA.Swap_EqualToSameKindPtr_Like(b, d);
		case Slot::InfoCompare: return VString::sInfo.CompareTwoPtrToData(flatA.Get(), b, d);
		case Slot::InfoBegining: return VString::sInfo.CompareTwoPtrToDataBegining(flatA.Get(), b, d);
		case Slot::InfoLike: return VString::sInfo.CompareTwoPtrToData_Like(flatA.Get(), b, d);
		case Slot::InfoBeginingLike: return VString::sInfo.CompareTwoPtrToDataBegining_Like(flatA.Get(), b, d);
	}
	return -2;
}

struct SlotCase {
	const char* fName;
	Slot fSlot;
	const char* fA;
	const char* fB;
	bool fDiacritical;
	int fExpected;
};

TEST_F(StringCompare, EverySlotComparesTheTexts)
{
	// "@" is the wildcard of the like forms. Without the diacritical flag
	// neither case nor accents count; with it, US English puts a lower-case
	// letter before its capital and a plain letter before its accented forms.
	const SlotCase cases[] = {
		{"apple before zebra", Slot::CompareToSameKind, "apple", "zebra", false, -1},
		{"zebra after apple", Slot::CompareToSameKind, "zebra", "apple", false, 1},
		{"equal texts", Slot::CompareToSameKind, "apple", "apple", false, 0},
		{"case ignored", Slot::CompareToSameKind, "Apple", "apple", false, 0},
		{"case counts when diacritical", Slot::CompareToSameKind, "Apple", "apple", true, 1},
		{"accents ignored", Slot::CompareToSameKind, "\xC3\xA9t\xC3\xA9", "ete", false, 0},
		{"accents count when diacritical", Slot::CompareToSameKind, "\xC3\xA9t\xC3\xA9", "ete", true, 1},
		{"empty first", Slot::CompareToSameKind, "", "a", false, -1},
		{"prefix first", Slot::CompareToSameKind, "ab", "abc", false, -1},
		{"equal", Slot::EqualToSameKind, "apple", "apple", true, 1},
		{"equal but for case", Slot::EqualToSameKind, "APPLE", "apple", false, 1},
		{"not equal but for case when diacritical", Slot::EqualToSameKind, "APPLE", "apple", true, 0},
		{"different", Slot::EqualToSameKind, "apple", "zebra", false, 0},
		{"begins with the other", Slot::CompareBegining, "abcdef", "abc", false, 0},
		{"shorter than the other", Slot::CompareBegining, "abc", "abcdef", false, -1},
		{"begins otherwise", Slot::CompareBegining, "abxdef", "abc", false, 1},
		{"wildcard at the end", Slot::CompareLike, "abc", "a@", false, 0},
		{"wildcard first", Slot::CompareLike, "abc", "@c", false, 0},
		{"wildcards around", Slot::CompareLike, "abc", "@b@", false, 0},
		{"wildcard in the middle", Slot::CompareLike, "abc", "a@c", false, 0},
		{"wildcard alone", Slot::CompareLike, "abc", "@", false, 0},
		{"wildcard alone on empty text", Slot::CompareLike, "", "@", false, 0},
		{"text not beginning so", Slot::CompareLike, "abc", "b@", false, -1},
		{"text longer than the pattern", Slot::CompareLike, "abcd", "abc", false, 1},
		{"last piece must end the text", Slot::CompareLike, "abcab", "@b", false, 0},
		{"last piece missing", Slot::CompareLike, "abca", "@b", false, -1},
		{"like ignores case", Slot::CompareLike, "ABC", "a@", false, 0},
		{"like keeps case when diacritical", Slot::CompareLike, "ABC", "a@", true, 1},
		{"like cut to the pattern", Slot::CompareBeginingLike, "abcdef", "a@c", false, 0},
		{"like equal", Slot::EqualLike, "abc", "a@c", false, 1},
		{"like not equal", Slot::EqualLike, "abc", "b@", false, 0},
		{"like looks through controls", Slot::EqualLike, "a\x01" "bc", "abc", false, 1},
		{"like keeps tabs", Slot::EqualLike, "a\tbc", "abc", false, 0},
		{"like beyond ASCII", Slot::EqualLike, "\xC3\xA9t\xC3\xA9", "\xC3\xA9@", false, 1},
		{"like beyond ASCII, no match", Slot::EqualLike, "\xC3\xA9t\xC3\xA9", "@x", false, 0},
		{"text of a string", Slot::CompareTo, "apple", "zebra", false, -1},
		{"equal through CompareTo", Slot::EqualTo, "apple", "Apple", false, 1},
		{"flat form", Slot::ComparePtr, "abc", "abd", false, -1},
		{"flat form first", Slot::SwapComparePtr, "abc", "abd", false, 1},
		{"this begins with the flat form", Slot::CompareBeginingPtr, "abcdef", "abc", false, 0},
		{"flat form begins with this", Slot::IsTheBeginingPtr, "abc", "abcdef", false, 0},
		{"flat form does not begin with this", Slot::IsTheBeginingPtr, "abcdef", "abc", false, 1},
		{"equal to the flat form", Slot::EqualPtr, "abc", "ABC", false, 1},
		{"different from the flat form", Slot::EqualPtr, "abc", "ABC", true, 0},
		{"flat pattern", Slot::ComparePtrLike, "abc", "a@", false, 0},
		{"this as the pattern", Slot::SwapComparePtrLike, "a@", "abc", false, 0},
		{"this as the pattern, no match", Slot::SwapComparePtrLike, "b@", "abc", false, -1},
		{"like, this cut", Slot::CompareBeginingPtrLike, "abcdef", "a@c", false, 0},
		{"like, flat form cut", Slot::IsTheBeginingPtrLike, "abc", "a@cdef", false, 0},
		{"like equal to the flat form", Slot::EqualPtrLike, "abc", "@c", false, 1},
		{"flat text equal to this pattern", Slot::SwapEqualPtrLike, "@c", "abc", false, 1},
		{"two flat forms", Slot::InfoCompare, "apple", "zebra", false, -1},
		{"two equal flat forms", Slot::InfoCompare, "Apple", "apple", false, 0},
		{"first flat form begins with the second", Slot::InfoBegining, "abcdef", "abc", false, 0},
		{"second flat form longer", Slot::InfoBegining, "abc", "abcdef", false, -1},
		{"flat text and flat pattern", Slot::InfoLike, "abc", "@b@", false, 0},
		{"flat text cut to the pattern", Slot::InfoBeginingLike, "abcdef", "ab@", false, 0},
	};
	for (const SlotCase& c : cases) {
		for (bool misaligned : {false, true}) {
			SCOPED_TRACE(std::string(c.fName) + (misaligned ? " (flat form at an odd address)" : ""));
			EXPECT_EQ(RunSlot(c.fSlot, VString(c.fA), VString(c.fB), c.fDiacritical, misaligned), c.fExpected);
		}
	}
}

struct OptionsCase {
	const char* fName;
	const char* fA;
	const char* fB;
	bool fLike;
	bool fDiacritical;
	bool fBeginsWith;
	int fValue;		  // CompareToSameKindWithOptions
	int fFlat;		  // CompareToSameKindPtrWithOptions, and two flat forms
	int fSwappedFlat; // Swap_CompareToSameKindPtrWithOptions
	bool fEqual;	  // EqualToSameKindWithOptions and its flat form
};

TEST_F(StringCompare, OptionsChooseLikeCaseAndBeginning)
{
	const OptionsCase cases[] = {
		{"plain order", "apple", "zebra", false, false, false, -1, -1, 1, false},
		{"case ignored", "Apple", "apple", false, false, false, 0, 0, 0, true},
		{"case counts", "Apple", "apple", false, true, false, 1, 1, -1, false},
		{"begins with: this longer", "abcdef", "abc", false, false, true, 0, 0, 0, false},
		{"begins with: this shorter", "abc", "abcdef", false, false, true, -1, 0, 0, false},
		{"like", "abc", "a@c", true, false, false, 0, 0, -1, true},
		{"like keeps case when diacritical", "ABC", "a@", true, true, false, 1, 1, -1, false},
	};
	for (const OptionsCase& c : cases) {
		SCOPED_TRACE(c.fName);
		VCompareOptions options;
		options.SetLike(c.fLike);
		options.SetDiacritical(c.fDiacritical);
		options.SetBeginsWith(c.fBeginsWith);
		VString a(c.fA);
		VString b(c.fB);
		FlatForm flatA(a, true);
		FlatForm flatB(b, true);
		EXPECT_EQ(a.CompareToSameKindWithOptions(&b, options), c.fValue);
		EXPECT_EQ(a.CompareToSameKindPtrWithOptions(flatB.Get(), options), c.fFlat);
		EXPECT_EQ(VString::sInfo.CompareTwoPtrToDataWithOptions(flatA.Get(), flatB.Get(), options), c.fFlat);
		EXPECT_EQ(a.Swap_CompareToSameKindPtrWithOptions(flatB.Get(), options), c.fSwappedFlat);
		EXPECT_EQ(a.EqualToSameKindWithOptions(&b, options), c.fEqual);
		EXPECT_EQ(a.EqualToSameKindPtrWithOptions(flatB.Get(), options), c.fEqual);
	}
}

TEST_F(StringCompare, AValueOfAnotherKindIsComparedByItsText)
{
	EXPECT_EQ(VString("5").CompareTo(VLong(5)), CR_EQUAL);
	EXPECT_EQ(VString("10").CompareTo(VLong(9)), CR_SMALLER);	// as texts: "10" before "9"
	EXPECT_TRUE(VString("-3").EqualTo(VLong(-3)));
}

TEST_F(StringCompare, SameKindSlotsRefuseAValueThatIsNoString)
{
	VString text("5");
	VLong number(5);
	EXPECT_EQ(text.CompareToSameKind(&number), CR_UNRELEVANT);
	EXPECT_EQ(text.CompareToSameKind(nullptr), CR_UNRELEVANT);
	EXPECT_FALSE(text.EqualToSameKind(&number));
	EXPECT_FALSE(text.EqualToSameKind_Like(&number));
	EXPECT_EQ(text.CompareToSameKindWithOptions(&number, VCompareOptions()), CR_UNRELEVANT);
	EXPECT_FALSE(text.FromValueSameKind(&number));
	EXPECT_TRUE(text.EqualToStringRaw(VString("5")));
}

TEST_F(StringCompare, FromValueSameKindCopiesTheTextAndTheNullFlag)
{
	VString target("old text");
	target.SetDirty(false);
	const VString source("new text, long enough for a heap buffer");
	EXPECT_TRUE(target.FromValueSameKind(&source));
	EXPECT_TRUE(target.EqualToStringRaw(source));
	EXPECT_FALSE(target.IsNull());
	EXPECT_TRUE(target.IsDirty());

	const VString null(true);
	EXPECT_TRUE(target.FromValueSameKind(&null));
	EXPECT_TRUE(target.IsNull());
	EXPECT_TRUE(target.IsEmpty());

	VStr<15> inlineTarget;
	EXPECT_TRUE(inlineTarget.FromValueSameKind(&source));
	EXPECT_TRUE(inlineTarget.EqualToStringRaw(source));
}

} // namespace
} // namespace qirn
