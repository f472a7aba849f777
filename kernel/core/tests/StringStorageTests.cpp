#include "core/VString.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace qirn {
namespace {

std::string U8(const VString& inString)
{
	return to_string(inString);
}

TEST(StringStorage, NewStringIsEmptyNotNullDirtyAndTerminated)
{
	VString s;
	EXPECT_EQ(s.GetLength(), 0);
	EXPECT_FALSE(s.IsNull());
	EXPECT_TRUE(s.IsDirty());
	EXPECT_EQ(s.GetCPointer()[0], 0);
	EXPECT_TRUE(s.IsOnInlineBuffer());
	VString null(true);
	EXPECT_TRUE(null.IsNull());
}

TEST(StringStorage, GrowthRule)
{
	EXPECT_EQ(VString::ComputeProgressiveResize(0, 5), 8u);
	// Set once: little spare room.
	EXPECT_EQ(VString::ComputeProgressiveResize(0, 100), (100u + 2 + 8) & ~7u);
	// Growing: about a fifth more.
	EXPECT_EQ(VString::ComputeProgressiveResize(90, 100), (100u + 20 + 8) & ~7u);
	// Near the limit the block holds the length and the count, never more.
	uint32 nearLimit = VString::ComputeProgressiveResize(1, 0x7FFFFFF0);
	EXPECT_EQ(nearLimit, (0x7FFFFFF0u | 1) + 3);
	EXPECT_EQ(VString::ComputeProgressiveResize(1, 0x7FFFFFFF), 0u);
	EXPECT_EQ(VString::ComputeProgressiveResize(0, -1), 0u);
	// The count always lies inside the block, whatever the parity.
	for (VIndex length : {6, 7, 100, 101, 4095, 4096, 0x7FFFFF00, 0x7FFFFF01}) {
		for (VIndex old : {0, 1, length}) {
			uint32 units = VString::ComputeProgressiveResize(old, length);
			ASSERT_GT(units, 0u);
			int64 maxLength = static_cast<int64>(units) - 3;
			EXPECT_GE(maxLength, length);
			EXPECT_LE(((maxLength | 1) + 1) + 2, static_cast<int64>(units)) << length;
		}
	}
}

TEST(StringStorage, AppendingFiveUnitsTakesAnEightUnitBlock)
{
	VString s;
	s.AppendCString("abcde");
	EXPECT_EQ(s.GetMaxLength(), 5);
	EXPECT_EQ(s.GetBufferRefCount(), 1);
	// The sixth unit no longer fits: the block is resized (in place or not,
	// as the allocator can) to the next step, 16 units, and the count moves
	// with the end of the block.
	s.AppendUniChar(u'f');
	EXPECT_EQ(VString::ComputeProgressiveResize(5, 6), 16u);
	EXPECT_EQ(s.GetMaxLength(), 13);
	EXPECT_EQ(s.GetBufferRefCount(), 1);
	EXPECT_EQ(U8(s), "abcdef");
}

TEST(StringStorage, CopiesShareHeapBuffersUntilWritten)
{
	VString a("some text that lives on the heap");
	VString b(a);
	EXPECT_EQ(a.GetCPointer(), b.GetCPointer());
	EXPECT_EQ(a.GetBufferRefCount(), 2);
	b.AppendCString("!");
	EXPECT_NE(a.GetCPointer(), b.GetCPointer());
	EXPECT_EQ(a.GetBufferRefCount(), 1);
	EXPECT_EQ(U8(a), "some text that lives on the heap");
	EXPECT_EQ(U8(b), "some text that lives on the heap!");

	VString c;
	c.FromString(a);
	EXPECT_EQ(c.GetCPointer(), a.GetCPointer());
	c.SetUniChar(1, u'S');
	EXPECT_EQ(U8(a), "some text that lives on the heap");
	EXPECT_EQ(U8(c), "Some text that lives on the heap");
}

TEST(StringStorage, NullTravelsWithCopies)
{
	VString null(true);
	VString copy(null);
	EXPECT_TRUE(copy.IsNull());
	VString target("x");
	target.FromString(null);
	EXPECT_TRUE(target.IsNull());
	EXPECT_EQ(target.GetLength(), 0);
	target.AppendUniChar(u'y');
	EXPECT_FALSE(target.IsNull());
}

TEST(StringStorage, MoveTakesTheBufferOver)
{
	VString a("a string long enough for the heap");
	const UniChar* buffer = a.GetCPointer();
	VString b(std::move(a));
	EXPECT_EQ(b.GetCPointer(), buffer);
	EXPECT_TRUE(a.IsOnInlineBuffer());
	EXPECT_EQ(a.GetLength(), 0);
	VString c;
	c = std::move(b);
	EXPECT_EQ(c.GetCPointer(), buffer);
	c = std::move(c);
	EXPECT_EQ(U8(c), "a string long enough for the heap");
}

TEST(StringStorage, VStrKeepsShortTextInline)
{
	VStr<15> s("fifteen chars!!");
	EXPECT_TRUE(s.IsOnInlineBuffer());
	EXPECT_EQ(s.GetMaxLength(), 15);
	EXPECT_EQ(U8(s), "fifteen chars!!");
	s.AppendUniChar(u'?');
	EXPECT_FALSE(s.IsOnInlineBuffer());
	s.Truncate(3);
	EXPECT_EQ(U8(s), "fif");
	VStr<15> copy(s);
	EXPECT_EQ(U8(copy), "fif");
	VString* heap = VString::NewString(40);
	heap->AppendCString("forty units fit inline in this one here.");
	EXPECT_TRUE(heap->IsOnInlineBuffer());
	delete heap;
	VOsTypeString type('TEXT');
	EXPECT_EQ(U8(type), "TEXT");
}

TEST(StringStorage, WrappedCallerBuffer)
{
	UniChar buffer[10] = {u'a', u'b', u'c', u'd', u'e', u'f', u'g', u'h', u'i', 0};
	VString s(buffer, 9, sizeof(buffer));
	EXPECT_EQ(s.GetMaxLength(), 9);
	EXPECT_EQ(s.GetCPointer(), buffer);
	s.AppendUniChar(u'j');
	EXPECT_NE(s.GetCPointer(), buffer);
	EXPECT_EQ(U8(s), "abcdefghij");
	EXPECT_EQ(buffer[9], 0);
	VString null(static_cast<UniChar*>(nullptr), 0, 0);
	EXPECT_TRUE(null.IsNull());
}

TEST(StringStorage, WrappedBufferIsTerminatedAfterItsText)
{
	UniChar buffer[8] = {u'a', u'b', u'c', u'd', u'e', u'f', u'g', u'h'};
	VString s(buffer, 3, sizeof(buffer));
	EXPECT_EQ(buffer[3], 0);
	EXPECT_TRUE(s.IsStringValid());
	EXPECT_EQ(s.GetLength(), 3);

	// A length beyond the room is cut to it, and the terminator follows.
	UniChar small[4] = {u'w', u'x', u'y', u'z'};
	VString cut(small, 10, sizeof(small));
	EXPECT_EQ(cut.GetLength(), 3);
	EXPECT_EQ(small[3], 0);
}

TEST(StringStorage, ConstantLiteralIsCopiedOnWrite)
{
	VString s = CVSTR("&lt;");
	EXPECT_EQ(s.GetLength(), 4);
	VString literal = CVSTR("constant");
	literal.AppendUniChar(u'!');
	EXPECT_EQ(U8(literal), "constant!");
	EXPECT_EQ(U8(VString(CVSTR("constant"))), "constant");
}

TEST(StringStorage, InlineStringsShareCountedBuffers)
{
	VString source("shared between strings and JSON values");
	VInlineString inlineString;
	inlineString.InitWithString(source);
	EXPECT_EQ(inlineString.fString, source.GetCPointer());
	EXPECT_EQ(source.GetBufferRefCount(), 2);
	{
		VString view(inlineString);
		EXPECT_EQ(source.GetBufferRefCount(), 3);
		VString borrowed(inlineString, true);
		EXPECT_EQ(source.GetBufferRefCount(), 3);
		borrowed.AppendUniChar(u'!');
		EXPECT_EQ(U8(source), "shared between strings and JSON values");
	}
	inlineString.Dispose();
	EXPECT_EQ(source.GetBufferRefCount(), 1);

	// An inline buffer is copied into a block of its own.
	VStr<31> small("short");
	VIndex length = 0, maxLength = 0;
	UniChar* block = small.RetainBuffer(&length, &maxLength);
	ASSERT_NE(block, nullptr);
	EXPECT_EQ(length, 5);
	EXPECT_EQ(maxLength, 5);
	VString fromBlock(VInlineString{length, block, maxLength});
	EXPECT_EQ(U8(fromBlock), "short");
	VString::ReleaseBuffer(block, maxLength);
	EXPECT_EQ(VString().RetainBuffer(&length, &maxLength), nullptr);
	EXPECT_EQ(length, 0);
}

TEST(StringStorage, SharedBuffersAcrossThreads)
{
	VString source;
	for (int i = 0; i < 1000; ++i)
		source.AppendUniChar(static_cast<UniChar>(u'a' + i % 26));
	std::vector<std::thread> threads;
	for (int t = 0; t < 4; ++t) {
		threads.emplace_back([&source] {
			for (int i = 0; i < 2000; ++i) {
				VString copy(source);
				copy.SetUniChar(1, u'Z');
				ASSERT_EQ(copy.GetUniChar(1), u'Z');
			}
		});
	}
	for (std::thread& thread : threads)
		thread.join();
	EXPECT_EQ(source.GetUniChar(1), u'a');
	EXPECT_EQ(source.GetBufferRefCount(), 1);
}

struct EditCase {
	const char* fName;
	void (*fEdit)(VString&);
	const char* fExpected;
};

class StringEditing : public ::testing::TestWithParam<EditCase> {};

TEST_P(StringEditing, Result)
{
	VString s("abcdef");
	GetParam().fEdit(s);
	EXPECT_EQ(U8(s), GetParam().fExpected);
	EXPECT_TRUE(s.IsStringValid());
}

INSTANTIATE_TEST_SUITE_P(
	Cases, StringEditing,
	::testing::Values(
		EditCase{"RemoveToEnd", [](VString& s) { s.Remove(2, 100); }, "a"},
		EditCase{"RemoveMiddle", [](VString& s) { s.Remove(2, 2); }, "adef"},
		EditCase{"RemoveAtZero", [](VString& s) { s.Remove(0, 1); }, "abcdef"},
		EditCase{"RemovePastEnd", [](VString& s) { s.Remove(7, 1); }, "abcdef"},
		EditCase{"InsertCharPastEnd", [](VString& s) { s.Insert(u'c', 10); }, "abcdefc"},
		EditCase{"InsertCharFirst", [](VString& s) { s.Insert(u'X', 1); }, "Xabcdef"},
		EditCase{"InsertZeroChar", [](VString& s) { s.Insert(UniChar(0), 1); }, "abcdef"},
		EditCase{"InsertString", [](VString& s) { s.Insert(VString("XY"), 3); }, "abXYcdef"},
		EditCase{"InsertSelf", [](VString& s) { s.Insert(s, 2); }, "aabcdefbcdef"},
		EditCase{"ReplaceShorter", [](VString& s) { s.Replace(VString("XY"), 2, 3); }, "aXYef"},
		EditCase{"ReplacePastEnd", [](VString& s) { s.Replace(VString("XY"), 5, 9); }, "abcdXY"},
		EditCase{"ReplaceLonger", [](VString& s) { s.Replace(VString("WXYZ"), 2, 1); }, "aWXYZcdef"},
		EditCase{"ReplaceZeroCount", [](VString& s) { s.Replace(VString("XY"), 2, 0); }, "abcdef"},
		EditCase{"SubString", [](VString& s) { s.SubString(2, 3); }, "bcd"},
		EditCase{"SubStringClipped", [](VString& s) { s.SubString(5, 10); }, "ef"},
		EditCase{"Truncate", [](VString& s) { s.Truncate(2); }, "ab"},
		EditCase{"TruncateNegative", [](VString& s) { s.Truncate(-4); }, ""},
		EditCase{"AppendSelf", [](VString& s) { s.AppendString(s); }, "abcdefabcdef"},
		EditCase{"FromOwnPiece", [](VString& s) { s.FromUniString(s.GetCPointer() + 2, 3); }, "cde"},
		EditCase{"Plus", [](VString& s) { s = s + VString("gh"); }, "abcdefgh"}),
	[](const ::testing::TestParamInfo<EditCase>& inInfo) { return std::string(inInfo.param.fName); });

TEST(StringStorage, TruncateKeepsSurrogatePairs)
{
	const UniChar units[] = {u'a', u'b', 0xD83D, 0xDE00};
	VString s(units, 4);
	s.Truncate(3, true);
	EXPECT_EQ(s.GetLength(), 2);
}

TEST(StringStorage, TruncateGivesUpOversizedBuffers)
{
	VString s;
	for (int i = 0; i < 1000; ++i)
		s.AppendUniChar(u'x');
	s.Truncate(10);
	EXPECT_LT(s.GetMaxLength(), 100);
	EXPECT_EQ(s.GetLength(), 10);
	VString shared(s);
	shared.Truncate(5);
	EXPECT_EQ(s.GetLength(), 10);
	EXPECT_EQ(shared.GetLength(), 5);
}

TEST(StringStorage, SubStringGetters)
{
	VString s("abcdef");
	EXPECT_EQ(U8(s.GetSubString(0, 2)), "");
	EXPECT_EQ(U8(s.GetSubString(2, 0)), "");
	EXPECT_EQ(U8(s.GetSubString(2, 3)), "bcd");
	EXPECT_EQ(U8(s.GetSubString(5, 30)), "ef");
	EXPECT_EQ(U8(s.After(0)), "abcdef");
	EXPECT_EQ(U8(s.After(2)), "cdef");
	EXPECT_EQ(U8(s.After(6)), "");
	EXPECT_EQ(U8(s.Before(1)), "");
	EXPECT_EQ(U8(s.Before(3)), "ab");
	EXPECT_EQ(U8(s.Before(7)), "abcdef");
	EXPECT_EQ(s.GetUniChar(1), u'a');
	EXPECT_EQ(s.GetUniChar(7), 0);
	EXPECT_FALSE(s.SetUniChar(7, u'x'));
}

TEST(StringStorage, SwapAllBufferKinds)
{
	VString heapA("a heap string of some length");
	VString heapB("another heap string, longer still");
	heapA.Swap(heapB);
	EXPECT_EQ(U8(heapA), "another heap string, longer still");
	EXPECT_EQ(U8(heapB), "a heap string of some length");
	VStr<15> small("tiny");
	small.Swap(heapA);
	EXPECT_EQ(U8(small), "another heap string, longer still");
	EXPECT_EQ(U8(heapA), "tiny");
	VStr<15> other("other");
	VStr<15> mine("mine");
	mine.Swap(other);
	EXPECT_EQ(U8(mine), "other");
	EXPECT_EQ(U8(other), "mine");
}

TEST(StringStorage, ValidateAfterWritingDirectly)
{
	VString s;
	UniChar* buffer = s.GetCPointerForWrite(20);
	ASSERT_NE(buffer, nullptr);
	buffer[0] = u'o';
	buffer[1] = u'k';
	EXPECT_TRUE(s.Validate(2));
	EXPECT_EQ(U8(s), "ok");
	EXPECT_FALSE(s.Validate(s.GetMaxLength() + 1));
	EXPECT_FALSE(s.Validate(-1));
}

TEST(StringStorage, FlatForm)
{
	VString s("flat");
	std::vector<char> data(s.GetSpace(0));
	EXPECT_EQ(data.size(), 4u + 8u);
	EXPECT_EQ(s.WriteToPtr(data.data(), false, 0), data.data() + data.size());
	VString loaded;
	EXPECT_EQ(loaded.LoadFromPtr(data.data(), false), data.data() + data.size());
	EXPECT_TRUE(loaded.EqualToStringRaw(s));
	EXPECT_EQ(s.GetSpace(8), 8u);
	// A size limit cuts the text and stores the count written.
	std::vector<char> limited(8);
	s.WriteToPtr(limited.data(), false, 8);
	VString cut;
	cut.LoadFromPtr(limited.data(), false);
	EXPECT_EQ(U8(cut), "fl");
	// Byte-swapping twice gives the data back.
	std::vector<char> copy = data;
	VString::ByteSwapPtr(copy.data(), true);
	EXPECT_NE(copy, data);
	EXPECT_EQ(VString::ByteSwapPtr(copy.data(), false), copy.data() + copy.size());
	EXPECT_EQ(copy, data);
}

TEST(StringStorage, ConstructorsDecodeTheirSources)
{
	EXPECT_EQ(U8(VString("plain")), "plain");
	EXPECT_EQ(U8(VString("d\xC3\xA9j\xC3\xA0")), "d\xC3\xA9j\xC3\xA0");
	EXPECT_EQ(VString("d\xC3\xA9j\xC3\xA0").GetLength(), 4);
	EXPECT_EQ(VString(static_cast<const char*>(nullptr)).GetLength(), 0);
	EXPECT_EQ(VString(u"wide").GetLength(), 4);
	VString wide(L"a\U0001F600");
	ASSERT_EQ(wide.GetLength(), 3);
	EXPECT_EQ(wide.GetUniChar(2), 0xD83D);
	EXPECT_EQ(wide.GetUniChar(3), 0xDE00);
	EXPECT_EQ(VString(u'x').GetLength(), 1);
	VString debug("dump");
	char buffer[6];
	int32 size = sizeof(buffer);
	EXPECT_EQ(debug.DebugDump(buffer, size), VTC_UTF_16);
	EXPECT_EQ(size, 4);
}

} // namespace
} // namespace qirn
