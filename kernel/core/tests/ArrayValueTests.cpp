// What every array shares: counts, insertion, deletion, copies, ownership of
// elements, sorting and creation by kind.
#include "core/VArrayBlob.h"
#include "core/VArrayBoolean.h"
#include "core/VArrayByte.h"
#include "core/VArrayDuration.h"
#include "core/VArrayImage.h"
#include "core/VArrayLong.h"
#include "core/VArrayLong8.h"
#include "core/VArrayReal.h"
#include "core/VArrayString.h"
#include "core/VArrayTime.h"
#include "core/VArrayWord.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

namespace qirn {
namespace {

std::vector<sLONG> Longs(const VArrayLong& inArray)
{
	std::vector<sLONG> values;
	for (sLONG i = 1; i <= inArray.GetCount(); ++i)
		values.push_back(inArray.GetLong(i));
	return values;
}

VArrayLong MakeLongs(const std::vector<sLONG>& inValues)
{
	VArrayLong array;
	for (sLONG v : inValues)
		array.AppendLong(v);
	return array;
}

// The texts of a string array, "<absent>" for an absent element.
std::vector<std::string> Texts(const VArrayString& inArray)
{
	std::vector<std::string> texts;
	VString* const* elements = reinterpret_cast<VString* const*>(inArray.LockAndGetData());
	for (sLONG i = 1; i <= inArray.GetCount(); ++i) {
		VString text;
		inArray.GetString(text, i);
		texts.push_back(elements[i - 1] == nullptr ? "<absent>" : to_string(text));
	}
	return texts;
}

VArrayString MakeStrings(const std::vector<const char*>& inTexts)
{
	VArrayString array(static_cast<sLONG>(inTexts.size()));
	for (size_t i = 0; i < inTexts.size(); ++i) {
		if (inTexts[i] != nullptr)
			array.FromString(VString(inTexts[i]), static_cast<VIndex>(i + 1));
	}
	return array;
}

TEST(ArrayValue, ANewArrayIsEmptyNotNullAndHoldsNoStorage)
{
	VArrayLong array;
	EXPECT_EQ(array.GetCount(), 0);
	EXPECT_FALSE(array.IsNull());
	EXPECT_TRUE(array.IsDirty());
	EXPECT_EQ(array.LockAndGetData(), nullptr);
	EXPECT_EQ(array.GetDataSize(), 0);

	VArrayLong sized(3);
	EXPECT_EQ(Longs(sized), (std::vector<sLONG>{0, 0, 0}));
	EXPECT_EQ(sized.GetDataSize(), 12);
	VArrayLong negative(-4);
	EXPECT_EQ(negative.GetCount(), 0);
}

TEST(ArrayValue, SetCountClampsNegativeCountsAndKeepsTheSameCount)
{
	VArrayLong array = MakeLongs({1, 2, 3});
	EXPECT_TRUE(array.SetCount(3));
	EXPECT_EQ(Longs(array), (std::vector<sLONG>{1, 2, 3}));
	EXPECT_TRUE(array.SetCount(5));
	EXPECT_EQ(Longs(array), (std::vector<sLONG>{1, 2, 3, 0, 0}));
	EXPECT_TRUE(array.SetCount(-5));
	EXPECT_EQ(array.GetCount(), 0);
	EXPECT_EQ(array.GetDataSize(), 0);
	// Growing again after a shrink shows zeros, not what was there before.
	EXPECT_TRUE(array.SetCount(3));
	EXPECT_EQ(Longs(array), (std::vector<sLONG>{0, 0, 0}));
}

TEST(ArrayValue, AStorageBeyondThe32BitSizeIsRefusedNotWrapped)
{
	testing::RaisedErrors errors;
	VArrayLong8 array(2);
	array.FromLong8(7, 1);
	// 8 bytes times 2^28 is 2^31: one more than the storage size holds.
	EXPECT_FALSE(array.SetCount(1 << 28));
	EXPECT_EQ(array.GetCount(), 2);
	EXPECT_EQ(array.GetLong8(1), 7);
	EXPECT_EQ(errors.Last(), VE_MEMORY_FULL);
	EXPECT_FALSE(array.Insert(1, INT_MAX));
	EXPECT_EQ(array.GetCount(), 2);
}

TEST(ArrayValue, InsertMovesTheElementsUpAndZeroesTheNewOnes)
{
	VArrayLong array = MakeLongs({10, 20});
	EXPECT_TRUE(array.Insert(1, 2));
	EXPECT_EQ(Longs(array), (std::vector<sLONG>{0, 0, 10, 20}));
	EXPECT_TRUE(array.Insert(5, 1));
	EXPECT_EQ(Longs(array), (std::vector<sLONG>{0, 0, 10, 20, 0}));
	EXPECT_TRUE(array.Insert(4, 1));
	EXPECT_EQ(Longs(array), (std::vector<sLONG>{0, 0, 10, 0, 20, 0}));
}

TEST(ArrayValue, InsertRefusesPositionsOutsideTheArrayAndNegativeCounts)
{
	struct Case {
		sLONG fPosition;
		sLONG fCount;
		bool fAnswer;
	};
	const Case cases[] = {{0, 1, false}, {-3, 1, false}, {4, 1, false}, {1, -1, false}, {2, 0, true}, {3, 0, true}};
	for (const Case& c : cases) {
		SCOPED_TRACE(::testing::PrintToString(std::vector<sLONG>{c.fPosition, c.fCount}));
		VArrayLong array = MakeLongs({1, 2});
		EXPECT_EQ(array.Insert(c.fPosition, c.fCount), c.fAnswer);
		EXPECT_EQ(Longs(array), (std::vector<sLONG>{1, 2}));
	}
}

TEST(ArrayValue, DeleteRemovesWithinTheArrayOnly)
{
	struct Case {
		sLONG fPosition;
		sLONG fCount;
		std::vector<sLONG> fResult;
	};
	const Case cases[] = {
		{2, 1, {1, 3}},	   {1, 3, {}},			{3, 5, {1, 2}},		 {2, 100, {1}},
		{0, 1, {1, 2, 3}}, {4, 1, {1, 2, 3}},	{1, 0, {1, 2, 3}},	 {1, -2, {1, 2, 3}},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(::testing::PrintToString(std::vector<sLONG>{c.fPosition, c.fCount}));
		VArrayLong array = MakeLongs({1, 2, 3});
		array.Delete(c.fPosition, c.fCount);
		EXPECT_EQ(Longs(array), c.fResult);
		EXPECT_EQ(array.GetDataSize(), static_cast<sLONG>(c.fResult.size() * 4));
	}
}

TEST(ArrayValue, CopyOfItselfOrOfAnotherLayoutChangesNothing)
{
	VArrayLong array = MakeLongs({1, 2, 3});
	EXPECT_TRUE(array.Copy(array));
	VArrayLong& same = array;
	array = same;
	EXPECT_EQ(Longs(array), (std::vector<sLONG>{1, 2, 3}));

	// Pointers read as numbers, bytes as bits: refused.
	VArrayString strings = MakeStrings({"a"});
	VArrayLong8 longs8(1);
	VArrayBoolean booleans(3);
	VArrayByte bytes(3);
	EXPECT_FALSE(strings.Copy(longs8));
	EXPECT_FALSE(longs8.Copy(strings));
	EXPECT_FALSE(bytes.Copy(booleans));
	EXPECT_EQ(Texts(strings), (std::vector<std::string>{"a"}));

	VArrayLong copy;
	EXPECT_TRUE(copy.Copy(array));
	EXPECT_EQ(Longs(copy), (std::vector<sLONG>{1, 2, 3}));
	VArrayLong assigned = MakeLongs({9});
	assigned = array;
	EXPECT_EQ(Longs(assigned), (std::vector<sLONG>{1, 2, 3}));
}

TEST(ArrayValue, StringArraysOwnTheirElementsThroughCopiesShrinksAndDeletions)
{
	VArrayString source = MakeStrings({"x", nullptr, "y", "z"});
	{
		VArrayString copy(source);
		copy.FromString(VString("changed"), 1);
		EXPECT_EQ(Texts(source), (std::vector<std::string>{"x", "<absent>", "y", "z"}));
		EXPECT_EQ(Texts(copy), (std::vector<std::string>{"changed", "<absent>", "y", "z"}));
		std::unique_ptr<VValue> clone(copy.Clone());
		copy.Delete(1, 2);
		EXPECT_EQ(Texts(copy), (std::vector<std::string>{"y", "z"}));
		copy.SetCount(1);
		copy.Insert(1, 1);
		EXPECT_EQ(Texts(copy), (std::vector<std::string>{"<absent>", "y"}));
		EXPECT_EQ(Texts(*static_cast<VArrayString*>(clone.get())),
				  (std::vector<std::string>{"changed", "<absent>", "y", "z"}));
	}
	// The copy and its clone are gone: the source's elements are intact.
	EXPECT_EQ(Texts(source), (std::vector<std::string>{"x", "<absent>", "y", "z"}));
	source.Unsort();
	source.Sort(1, 4, 0);
	EXPECT_EQ(Texts(source), (std::vector<std::string>{"<absent>", "x", "y", "z"}));
	source.Clear();
	EXPECT_EQ(source.GetCount(), 0);
}

TEST(ArrayValue, BlobArraysOwnTheirElementsAndOrderOnlyPresence)
{
	VArrayBlob blobs(3);
	blobs.FromValue(VBlobWithPtr("abc", 3), 3);
	blobs.FromValue(VBlobWithPtr("z", 1), 1);
	blobs.FromValue(VLong(5), 2); // no blob: the element stays absent
	EXPECT_EQ(blobs.CompareTo(VBlobWithPtr(), false, 2), CR_SMALLER);
	EXPECT_EQ(blobs.CompareTo(VBlobWithPtr(), false, 4), CR_SMALLER);
	EXPECT_EQ(blobs.CompareTo(VBlobWithPtr(), false, 1), CR_EQUAL);
	EXPECT_EQ(blobs.Find(VBlobWithPtr("z", 1), 1, 1, CM_EQUAL), -1);
	{
		VArrayBlob copy(blobs);
		copy.FromValue(VBlobWithPtr("changed", 7), 1);
		copy.Delete(2, 1);
		copy.SetCount(1);
	}
	std::unique_ptr<VValueSingle> first(blobs.CloneValue(1));
	EXPECT_EQ(static_cast<VBlob*>(first.get())->GetSize(), 1u);
	blobs.Sort(1, 3, 0);
	std::unique_ptr<VValueSingle> absent(blobs.CloneValue(1));
	EXPECT_EQ(static_cast<VBlob*>(absent.get())->GetSize(), 0u);
	std::unique_ptr<VValueSingle> last(blobs.CloneValue(3));
	EXPECT_GT(static_cast<VBlob*>(last.get())->GetSize(), 0u);
	std::unique_ptr<VValue> clone(blobs.Clone());
	blobs.Clear();
	EXPECT_EQ(static_cast<VArrayBlob*>(clone.get())->GetCount(), 3);
}

TEST(ArrayValue, AppendsGoThroughTheTypedSettersAndAnswerTheCount)
{
	VArrayReal reals;
	EXPECT_EQ(reals.AppendReal(1.5), 1);
	EXPECT_EQ(reals.AppendLong(2), 2); // a long reaches the real setter
	EXPECT_EQ(reals.GetReal(2), 2.0);
	VArrayString strings;
	EXPECT_EQ(strings.AppendString(VString("a")), 1);
	EXPECT_EQ(strings.AppendString(VString("b")), 2);
	EXPECT_EQ(Texts(strings), (std::vector<std::string>{"a", "b"}));
	VArrayLong longs;
	for (sLONG i = 0; i < 10000; ++i)
		ASSERT_EQ(longs.AppendLong(i), i + 1);
	EXPECT_EQ(longs.GetDataSize(), 40000);
	EXPECT_EQ(longs.GetLong(10000), 9999);
}

TEST(ArrayValue, UnsortScramblesInAFixedWayAndStopsAtTheLastElement)
{
	struct Case {
		std::vector<sLONG> fBefore;
		std::vector<sLONG> fAfter;
	};
	const Case cases[] = {
		{{}, {}},
		{{0}, {0}},
		{{0, 1}, {1, 0}},
		{{0, 1, 2}, {2, 1, 0}},
		{{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {2, 1, 6, 4, 3, 5, 9, 7, 0, 8}},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fBefore.size());
		VArrayLong array = MakeLongs(c.fBefore);
		array.Unsort();
		EXPECT_EQ(Longs(array), c.fAfter);
	}
	VArrayBoolean booleans;
	booleans.AppendBoolean(1);
	booleans.AppendBoolean(0);
	booleans.Unsort();
	EXPECT_EQ(booleans.GetBoolean(1), 1);
}

TEST(ArrayValue, SortTakesOnlyValidRanges)
{
	struct Case {
		sLONG fFrom;
		sLONG fTo;
		uBYTE fDescending;
		std::vector<sLONG> fResult;
	};
	const Case cases[] = {
		{1, 4, 0, {1, 2, 3, 4}}, {1, 4, 1, {4, 3, 2, 1}}, {2, 3, 0, {3, 1, 4, 2}}, {0, 4, 0, {3, 4, 1, 2}},
		{1, 5, 0, {3, 4, 1, 2}}, {3, 3, 0, {3, 4, 1, 2}}, {3, 2, 0, {3, 4, 1, 2}},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(::testing::PrintToString(std::vector<sLONG>{c.fFrom, c.fTo, c.fDescending}));
		VArrayLong longs = MakeLongs({3, 4, 1, 2});
		longs.Sort(c.fFrom, c.fTo, c.fDescending);
		EXPECT_EQ(Longs(longs), c.fResult);
		// The same through the interface (durations are not sorted by QSort).
		VArrayDuration durations;
		for (sLONG v : {3, 4, 1, 2})
			durations.AppendDuration(VDuration(v));
		durations.Sort(c.fFrom, c.fTo, c.fDescending);
		for (size_t i = 0; i < c.fResult.size(); ++i) {
			VDuration d;
			durations.GetDuration(d, static_cast<sLONG>(i + 1));
			EXPECT_EQ(d.ConvertToMilliseconds(), c.fResult[i]);
		}
	}
}

TEST(ArrayValue, SynchronizedSortAppliesThePermutationOfTheFirstToTheOthers)
{
	VArrayLong longs = MakeLongs({3, 1, 2});
	VArrayString strings = MakeStrings({"c", "a", "b"});
	VArrayBoolean flags;
	for (uint8 b : {1, 0, 0})
		flags.AppendBoolean(b);
	EXPECT_TRUE(VArrayValue::SynchronizedSort(0, &longs, &strings, &flags, nullptr));
	EXPECT_EQ(Longs(longs), (std::vector<sLONG>{1, 2, 3}));
	EXPECT_EQ(Texts(strings), (std::vector<std::string>{"a", "b", "c"}));
	EXPECT_EQ(flags.GetBoolean(3), 1);

	EXPECT_TRUE(VArrayValue::SynchronizedSort(1, &longs, &strings, nullptr));
	EXPECT_EQ(Longs(longs), (std::vector<sLONG>{3, 2, 1}));
	EXPECT_EQ(Texts(strings), (std::vector<std::string>{"c", "b", "a"}));

	// A shorter companion would be read past its end: nothing is sorted.
	VArrayString shorter = MakeStrings({"x", "y"});
	EXPECT_FALSE(VArrayValue::SynchronizedSort(0, &longs, &shorter, nullptr));
	EXPECT_EQ(Longs(longs), (std::vector<sLONG>{3, 2, 1}));
	EXPECT_EQ(Texts(shorter), (std::vector<std::string>{"x", "y"}));
}

TEST(ArrayValue, BooleansTakeOneBitEach)
{
	VArrayBoolean array;
	for (int i = 0; i < 8; ++i)
		array.AppendBoolean(i % 3 == 0 ? 1 : 0);
	EXPECT_EQ(array.GetDataSize(), 2);
	EXPECT_EQ(array.LockAndGetData()[0], 0x49); // bits 0, 3 and 6
	EXPECT_TRUE(array.Insert(1, 2));
	std::string bits;
	for (sLONG i = 1; i <= array.GetCount(); ++i)
		bits += array.GetBoolean(i) ? '1' : '0';
	EXPECT_EQ(bits, "0010010010");
	array.Delete(1, 3);
	EXPECT_EQ(array.GetCount(), 7);
	EXPECT_EQ(array.GetBoolean(1), 0);
	EXPECT_EQ(array.GetBoolean(3), 1);
	EXPECT_EQ(array.GetBoolean(0), 0);
	EXPECT_EQ(array.GetBoolean(8), 0);
}

TEST(ArrayValue, BooleansGrowOverStaleBitsAsFalse)
{
	VArrayBoolean array(4);
	for (sLONG i = 1; i <= 4; ++i)
		array.FromBoolean(1, i);
	array.SetCount(1);
	array.SetCount(4);
	EXPECT_EQ(array.GetBoolean(1), 1);
	for (sLONG i = 2; i <= 4; ++i)
		EXPECT_EQ(array.GetBoolean(i), 0) << i;
}

TEST(ArrayValue, TheWholeBooleanArraySortsByCounting)
{
	VArrayBoolean array;
	for (uint8 b : {1, 0, 1})
		array.AppendBoolean(b);
	array.Sort(1, 3, 0);
	EXPECT_EQ(std::vector<int>({array.GetBoolean(1), array.GetBoolean(2), array.GetBoolean(3)}),
			  std::vector<int>({0, 1, 1}));
	array.Sort(1, 3, 1);
	EXPECT_EQ(std::vector<int>({array.GetBoolean(1), array.GetBoolean(2), array.GetBoolean(3)}),
			  std::vector<int>({1, 1, 0}));
	// Part of it goes through the interface.
	array.Sort(2, 3, 1);
	EXPECT_EQ(std::vector<int>({array.GetBoolean(1), array.GetBoolean(2), array.GetBoolean(3)}),
			  std::vector<int>({1, 1, 0}));
	array.Sort(1, 2, 0);
	EXPECT_EQ(array.GetBoolean(1), 1);
	VArrayBoolean large;
	for (int i = 0; i < 100; ++i)
		large.AppendBoolean(i % 3 == 0 ? 1 : 0);
	large.Sort(1, 100, 0);
	EXPECT_EQ(large.Find(static_cast<uint8>(1), 1, 1, CM_EQUAL), 67);
}

TEST(ArrayValue, EveryArrayKindIsCreatedByKind)
{
	struct Case {
		uint16 fKind;
		uint16 fElemKind;
		const std::type_info& fClass;
	};
	const Case cases[] = {
		{100, 1, typeid(VArrayBoolean)}, {101, 2, typeid(VArrayByte)},	  {102, 3, typeid(VArrayWord)},
		{103, 4, typeid(VArrayLong)},	 {104, 5, typeid(VArrayLong8)},	  {105, 6, typeid(VArrayReal)},
		{107, 8, typeid(VArrayTime)},	 {108, 9, typeid(VArrayDuration)}, {109, 10, typeid(VArrayString)},
		{110, 11, typeid(VArrayBlob)},	 {111, 12, typeid(VArrayImage)},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fKind);
		std::unique_ptr<VValue> value(VValue::NewValueFromValueKind(c.fKind));
		ASSERT_NE(value, nullptr);
		EXPECT_EQ(typeid(*value), c.fClass);
		VArrayValue* array = dynamic_cast<VArrayValue*>(value.get());
		ASSERT_NE(array, nullptr);
		EXPECT_EQ(array->GetCount(), 0);
		EXPECT_EQ(array->GetElemValueKind(), c.fElemKind);
		EXPECT_EQ(array->GetValueInfo()->GetKind(), c.fKind);
		EXPECT_EQ(array->GetValueKind(), 65535);
		EXPECT_EQ(array->LockAndGetData(), nullptr);
		const void* flat = "abc";
		EXPECT_EQ(array->LoadFromPtr(flat, false), flat);
		std::unique_ptr<VValue> loaded(array->GetValueInfo()->LoadFromPtr(flat, false));
		EXPECT_EQ(typeid(*loaded), c.fClass);
	}
	EXPECT_EQ(VValue::NewValueFromValueKind(106), nullptr);
}

TEST(ArrayValue, PicturesAreHeldButNotClonedComparedOrSearched)
{
	VArrayImage pictures(2);
	EXPECT_EQ(pictures.Clone(), nullptr);
	EXPECT_FALSE(pictures.CanBeEvaluated());
	EXPECT_EQ(pictures.CompareTo(VLong(1), false, 1), CR_UNRELEVANT);
	EXPECT_EQ(pictures.Find(VLong(1), 1, 1, CM_EQUAL), 0);
	EXPECT_EQ(pictures.CloneValue(1), nullptr);
	EXPECT_EQ(pictures.CloneValue(3), nullptr);
	// Only a value of kind 12 is stored; this system has none.
	pictures.FromValue(VLong(4), 1);
	EXPECT_EQ(pictures.CloneValue(1), nullptr);
	pictures.Sort(1, 2, 0);
	pictures.DeleteAllElements();
	EXPECT_EQ(pictures.GetCount(), 0);
}

} // namespace
} // namespace qirn
