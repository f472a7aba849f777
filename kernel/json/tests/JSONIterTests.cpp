#include "json/VJSONIter.h"
#include "json/tests/JSONTestSupport.h"

namespace qirn {
namespace {

using testing::NewArray;
using testing::NewObject;
using testing::U;

TEST(JSONIter, YieldsNamesInOrderOrElementsInRange)
{
	VRefPtr<VJSONObject> object = NewObject();
	object->SetProperty(U("b"), VJSONValue(1.0));
	object->SetProperty(U("a"), VJSONValue(2.0));
	VRefPtr<VJSONIter> names = VRefPtr<VJSONIter>::Adopt(new VJSONIter(object.Get(), 0, 0, false));
	VJSONValue value;
	std::string seen;
	while (names->NextValue(value)) {
		VString name;
		value.GetString(name);
		seen += to_string(name);
	}
	EXPECT_EQ(seen, "ba");
	EXPECT_TRUE(value.IsUndefined());

	VRefPtr<VJSONArray> array = NewArray();
	for (int i = 0; i < 5; ++i)
		array->Push(VJSONValue(static_cast<double>(i)));
	VRefPtr<VJSONIter> elements = VRefPtr<VJSONIter>::Adopt(new VJSONIter(array.Get(), 1, 3, false));
	double sum = 0;
	while (elements->NextValue(value))
		sum += value.GetNumber();
	EXPECT_EQ(sum, 3);
	VRefPtr<VJSONIter> beyond = VRefPtr<VJSONIter>::Adopt(new VJSONIter(array.Get(), 4, 100, false));
	EXPECT_TRUE(beyond->NextValue(value));
	EXPECT_FALSE(beyond->NextValue(value));
}

} // namespace
} // namespace qirn
