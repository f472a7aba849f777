#include "core/VCompareOptions.h"
#include "json/VJSONErrors.h"
#include "json/tests/JSONTestSupport.h"
#include "testing/RaisedErrors.h"

namespace qirn {
namespace {

using testing::NewArray;
using testing::U;

VRefPtr<VJSONArray> ArrayOf(std::initializer_list<VJSONValue> inValues)
{
	VRefPtr<VJSONArray> array = NewArray();
	for (const VJSONValue& value : inValues)
		array->Push(value);
	return array;
}

std::vector<double> Numbers(const VJSONArray* inArray)
{
	std::vector<VJSONValue> values;
	inArray->GetValues(values);
	std::vector<double> numbers;
	for (const VJSONValue& value : values)
		numbers.push_back(value.GetNumber());
	return numbers;
}

TEST(JSONArray, ReadingBeyondTheEndGivesUndefined)
{
	VRefPtr<VJSONArray> array = ArrayOf({VJSONValue(1.0), VJSONValue(2.0), VJSONValue(3.0)});
	VJSONValue value(1.0);
	EXPECT_FALSE(array->GetAt(5, value));
	EXPECT_TRUE(value.IsUndefined());
	EXPECT_TRUE(array->GetAt(3).IsUndefined());
	EXPECT_TRUE(array->GetAt(2, value));
	EXPECT_EQ(value.GetNumber(), 3);
}

TEST(JSONArray, SetAtExpandsOnlyWhenAsked)
{
	VRefPtr<VJSONArray> array = ArrayOf({VJSONValue(1.0), VJSONValue(2.0), VJSONValue(3.0)});
	testing::RaisedErrors raised;
	EXPECT_FALSE(array->SetAt(5, VJSONValue(6.0), false));
	EXPECT_EQ(raised.Last(), VE_JSON_ARRAY_INDEX_BEYOND_END);
	EXPECT_EQ(array->GetCount(), 3u);
	EXPECT_TRUE(array->SetAt(5, VJSONValue(6.0), true));
	ASSERT_EQ(array->GetCount(), 6u);
	EXPECT_TRUE(array->GetAt(3).IsNull());
	EXPECT_TRUE(array->GetAt(4).IsNull());
	EXPECT_EQ(array->GetAt(5).GetNumber(), 6);
	EXPECT_TRUE(array->SetAt(0, VJSONValue(U("first"))));
	EXPECT_TRUE(array->GetAt(0).IsString());
}

TEST(JSONArray, RemoveAtClampsTheCountAndIgnoresIndicesPastTheEnd)
{
	VRefPtr<VJSONArray> array = ArrayOf({VJSONValue(1.0), VJSONValue(2.0), VJSONValue(3.0)});
	array->RemoveAt(3, 1);
	EXPECT_EQ(array->GetCount(), 3u);
	array->RemoveAt(1, 100);
	EXPECT_EQ(Numbers(array.Get()), std::vector<double>{1});
}

TEST(JSONArray, JoinAsStringKeepsEmptyAndNullItemsOnlyWhenAsked)
{
	VRefPtr<VJSONArray> array = ArrayOf({VJSONValue(U("a")), VJSONValue(U("")), VJSONValue(JSON_null), VJSONValue(3.0)});
	struct Case {
		bool fKeepEmpty;
		bool fKeepNull;
		const char* fText;
	};
	const Case cases[] = {
		{false, true, "a,null,3"},
		{true, true, "a,,null,3"},
		{false, false, "a,3"},
		{true, false, "a,,3"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VString text(U("old"));
		array->JoinAsString(U(","), text, c.fKeepEmpty, c.fKeepNull);
		EXPECT_EQ(to_string(text), c.fText);
	}
}

TEST(JSONArray, SelectedRowsComeAsInclusiveRanges)
{
	VRefPtr<VJSONArray> rows =
		ArrayOf({VJSONValue(1.0), VJSONValue(2.0), VJSONValue(3.0), VJSONValue(5.0), VJSONValue(6.0)});
	VRefPtr<VJSONArray> selection = ArrayOf({VJSONValue(2.0), VJSONValue(3.0), VJSONValue(6.0)});
	VJSONValue result = rows->GetSelectedRows(VJSONValue(selection.Get()));
	VJSONValue ranges = result.GetProperty(U("ranges"));
	ASSERT_TRUE(ranges.IsArray());
	ASSERT_EQ(ranges.GetArray()->GetCount(), 2u);
	EXPECT_EQ(ranges.GetArray()->GetAt(0).GetProperty(U("start")).GetNumber(), 1);
	EXPECT_EQ(ranges.GetArray()->GetAt(0).GetProperty(U("end")).GetNumber(), 2);
	EXPECT_EQ(ranges.GetArray()->GetAt(1).GetProperty(U("start")).GetNumber(), 4);
	EXPECT_EQ(ranges.GetArray()->GetAt(1).GetProperty(U("end")).GetNumber(), 4);

	VJSONValue none = rows->GetSelectedRows(VJSONValue(2.0)).GetProperty(U("ranges"));
	ASSERT_TRUE(none.IsArray());
	EXPECT_EQ(none.GetArray()->GetCount(), 0u);
}

TEST(JSONArray, ObjectRowsAreSelectedByIdentity)
{
	VJSONValue a(JSON_object);
	VJSONValue twin(JSON_object);
	VRefPtr<VJSONArray> rows = ArrayOf({a, twin});
	VRefPtr<VJSONArray> selection = ArrayOf({a});
	VJSONValue ranges = rows->GetSelectedRows(VJSONValue(selection.Get())).GetProperty(U("ranges"));
	ASSERT_EQ(ranges.GetArray()->GetCount(), 1u);
	EXPECT_EQ(ranges.GetArray()->GetAt(0).GetProperty(U("end")).GetNumber(), 0);
}

class Ascending : public IJSONValueComparator {
public:
	bool IsLessThan(const VJSONValue& inA, const VJSONValue& inB) override { return inA.GetNumber() < inB.GetNumber(); }
};

// No strict order at all: sorting must still stay within the array.
class Contrary : public IJSONValueComparator {
public:
	bool IsLessThan(const VJSONValue&, const VJSONValue&) override { return true; }
};

TEST(JSONArray, SortOrdersByTheComparatorAndKeepsEveryElement)
{
	VRefPtr<VJSONArray> array = ArrayOf({VJSONValue(3.0), VJSONValue(1.0), VJSONValue(2.0), VJSONValue(1.0)});
	uint32 stamp = array->GetStampAt(1);
	Ascending ascending;
	EXPECT_TRUE(array->Sort(&ascending));
	EXPECT_EQ(Numbers(array.Get()), (std::vector<double>{1, 1, 2, 3}));
	EXPECT_TRUE(array->GetStampAt(0) == stamp || array->GetStampAt(1) == stamp);
	VRefPtr<VJSONArray> many = NewArray();
	for (int i = 0; i < 100; ++i)
		many->Push(VJSONValue(static_cast<double>(i)));
	Contrary contrary;
	EXPECT_TRUE(many->Sort(&contrary));
	std::vector<double> numbers = Numbers(many.Get());
	std::sort(numbers.begin(), numbers.end());
	for (int i = 0; i < 100; ++i)
		EXPECT_EQ(numbers[i], i);
}

TEST(JSONArray, ResizeGrowsWithOneSharedContainerAndShrinks)
{
	VRefPtr<VJSONArray> array = ArrayOf({VJSONValue(1.0)});
	EXPECT_TRUE(array->Resize(3, JSON_object));
	ASSERT_EQ(array->GetCount(), 3u);
	EXPECT_EQ(array->GetAt(1).GetObject(), array->GetAt(2).GetObject());
	EXPECT_TRUE(array->Resize(1, JSON_null));
	EXPECT_EQ(Numbers(array.Get()), std::vector<double>{1});
	EXPECT_TRUE(array->Resize(2, JSON_null));
	EXPECT_TRUE(array->GetAt(1).IsNull());
}

TEST(JSONArray, ConcatenateAppendsCopiesEvenOfItself)
{
	VRefPtr<VJSONArray> array = ArrayOf({VJSONValue(1.0), VJSONValue(2.0)});
	VRefPtr<VJSONArray> other = ArrayOf({VJSONValue(3.0)});
	EXPECT_TRUE(array->Concatenate(*other));
	EXPECT_TRUE(array->Concatenate(*NewArray()));
	EXPECT_TRUE(array->Concatenate(*array));
	EXPECT_EQ(Numbers(array.Get()), (std::vector<double>{1, 2, 3, 1, 2, 3}));
}

TEST(JSONArray, SwapValuesMovesTheVectorIn)
{
	VRefPtr<VJSONArray> array = ArrayOf({VJSONValue(1.0)});
	std::vector<VJSONValue> values{VJSONValue(7.0), VJSONValue(JSON_object)};
	array->SwapValues(values);
	EXPECT_TRUE(values.empty());
	ASSERT_EQ(array->GetCount(), 2u);
	EXPECT_EQ(array->GetAt(0).GetNumber(), 7);
	EXPECT_TRUE(array->GetAt(1).IsObject());
}

TEST(JSONArray, DeepEqualityComparesElementsInOrder)
{
	VCompareOptions options;
	VRefPtr<VJSONArray> a = ArrayOf({VJSONValue(1.0), VJSONValue(JSON_array)});
	VRefPtr<VJSONArray> b = ArrayOf({VJSONValue(1.0), VJSONValue(JSON_array)});
	EXPECT_TRUE(a->DeepEqualTo(b.Get(), options));
	b->GetAt(1).GetArray()->Push(VJSONValue(JSON_null));
	EXPECT_FALSE(a->DeepEqualTo(b.Get(), options));
	EXPECT_FALSE(a->DeepEqualTo(ArrayOf({VJSONValue(1.0)}).Get(), options));
	EXPECT_FALSE(ArrayOf({VJSONValue(JSON_null)})->DeepEqualTo(ArrayOf({VJSONValue(JSON_undefined)}).Get(), options));
}

} // namespace
} // namespace qirn
