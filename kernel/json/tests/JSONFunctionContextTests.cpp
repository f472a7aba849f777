#include "json/VJSONFunctionContext.h"
#include "json/tests/JSONTestSupport.h"

namespace qirn {
namespace {

using testing::NewObject;
using testing::U;

TEST(JSONFunctionContext, ParametersCountFromOne)
{
	std::vector<VJSONValue> parameters{VJSONValue(1.0), VJSONValue(2.0)};
	VJSONFunctionContext context(nullptr, nullptr, nullptr);
	EXPECT_EQ(context.GetParamCount(), 0);
	EXPECT_TRUE(context.GetParam(1).IsUndefined());
	context.SetParameters(&parameters);
	EXPECT_EQ(context.GetParamCount(), 2);
	EXPECT_TRUE(context.GetParam(0).IsUndefined());
	EXPECT_EQ(context.GetParam(1).GetNumber(), 1);
	EXPECT_EQ(context.GetParam(2).GetNumber(), 2);
	EXPECT_TRUE(context.GetParam(3).IsUndefined());
	std::vector<VJSONValue>* list = nullptr;
	EXPECT_EQ(context.GetParametersAsJSONValues(&list), VE_OK);
	EXPECT_EQ(list, &parameters);
}

TEST(JSONFunctionContext, AWrappingContextHandsParametersAndResultToTheOuter)
{
	std::vector<VJSONValue> parameters{VJSONValue(7.0)};
	VRefPtr<VJSONObject> self = NewObject();
	VJSONFunctionContext outer(self.Get(), nullptr, nullptr);
	outer.SetParameters(&parameters);
	VJSONFunctionContext inner(nullptr, nullptr, &outer);
	EXPECT_EQ(inner.GetThisObject(), nullptr);
	EXPECT_EQ(inner.GetParamCount(), 1);
	EXPECT_EQ(inner.GetParam(1).GetNumber(), 7);
	inner.SetResult(VJSONValue(3.0), 9);
	VJSONValue result;
	outer.GetResult(result);
	EXPECT_EQ(result.GetNumber(), 3);
	EXPECT_EQ(outer.GetResultLegacyValueKind(), 5);
	inner.GetResult(result);
	EXPECT_EQ(result.GetNumber(), 3);
	// Without outer, the kind is kept.
	VJSONFunctionContext alone(nullptr, nullptr, nullptr);
	EXPECT_TRUE(alone.GetResultIsExpected());
	alone.SetResult(VJSONValue(U("x")), 9);
	EXPECT_EQ(alone.GetResultLegacyValueKind(), 9);
}

} // namespace
} // namespace qirn
