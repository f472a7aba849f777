#include "json/VJSONErrors.h"
#include "json/VJSONFunctionContext.h"
#include "json/tests/JSONTestSupport.h"
#include "testing/RaisedErrors.h"

#include <cmath>
#include <functional>
#include <limits>

namespace qirn {
namespace {

using testing::NewArray;
using testing::NewObject;
using testing::RaisedErrors;
using testing::U;

// One typed getter on one parameter: what it answers, the error it raises
// (VE_OK: none) and whether the parameters are still valid after.
struct ParamCase {
	const char* fWhat;
	VJSONValue fParameter;
	std::function<double(IJSONFunctionContext&)> fGet;
	double fAnswer;
	VError fError;
	bool fValidAfter;
};

TEST(JSONFunctionParam, TypedGettersCheckKindsAndConvert)
{
	const double nan = std::numeric_limits<double>::quiet_NaN();
	auto number = [](IJSONFunctionContext& c) { return c.GetNumberParam(1); };
	auto integer = [](IJSONFunctionContext& c) { return static_cast<double>(c.GetLongParam(1)); };
	auto boolean = [](IJSONFunctionContext& c) { return c.GetBoolParam(1) ? 1.0 : 0.0; };
	auto string = [](IJSONFunctionContext& c) { return static_cast<double>(c.GetStringParam(1).GetLength()); };
	auto object = [](IJSONFunctionContext& c) { return c.GetObjectParam(1) != nullptr ? 1.0 : 0.0; };
	auto array = [](IJSONFunctionContext& c) { return c.GetArrayParam(1) != nullptr ? 1.0 : 0.0; };
	auto optional = [](IJSONFunctionContext& c) {
		double out = -1;
		return c.GetNumberOptParam(1, &out) ? out : -100.0;
	};
	const std::vector<ParamCase> cases = {
		{"number", VJSONValue(2.5), number, 2.5, VE_OK, true},
		{"number of a string converts", VJSONValue(U("4")), number, 4, VE_JSON_PARAM_NOT_NUMBER, false},
		{"long truncates toward zero", VJSONValue(2.9), integer, 2, VE_OK, true},
		{"long of a negative", VJSONValue(-2.9), integer, -2, VE_OK, true},
		{"long of a string", VJSONValue(U("3")), integer, 3, VE_JSON_PARAM_NOT_NUMBER, false},
		{"long saturates above", VJSONValue(1e20), integer, 2147483647.0, VE_OK, true},
		{"long saturates below", VJSONValue(-1e20), integer, -2147483648.0, VE_OK, true},
		{"long of NaN", VJSONValue(nan), integer, 0, VE_OK, true},
		{"long of an infinity", VJSONValue(std::numeric_limits<double>::infinity()), integer, 2147483647.0, VE_OK,
		 true},
		{"optional number", VJSONValue(7.0), optional, 7, VE_OK, true},
		{"optional missing", VJSONValue(JSON_undefined), optional, -100, VE_OK, false},
		{"optional of a string", VJSONValue(U("7")), optional, -100, VE_JSON_PARAM_NOT_NUMBER, false},
		{"bool", VJSONValue(JSON_true), boolean, 1, VE_OK, true},
		{"bool of a number", VJSONValue(1.0), boolean, 1, VE_JSON_PARAM_NOT_BOOLEAN, false},
		{"string", VJSONValue(U("abc")), string, 3, VE_OK, true},
		{"string of a number is empty", VJSONValue(12.0), string, 0, VE_JSON_PARAM_NOT_STRING, false},
		{"object", VJSONValue(NewObject().Get()), object, 1, VE_OK, true},
		{"object of an array", VJSONValue(NewArray().Get()), object, 0, VE_JSON_PARAM_NOT_CONTAINER, false},
		{"array", VJSONValue(NewArray().Get()), array, 1, VE_OK, true},
		{"array of null", VJSONValue(JSON_null), array, 0, VE_JSON_PARAM_NOT_CONTAINER, false},
	};
	for (const ParamCase& c : cases) {
		SCOPED_TRACE(c.fWhat);
		std::vector<VJSONValue> parameters;
		if (!c.fParameter.IsUndefined())
			parameters.push_back(c.fParameter);
		VJSONFunctionContext context(nullptr, nullptr, nullptr);
		context.SetParameters(&parameters);
		RaisedErrors errors;
		EXPECT_EQ(c.fGet(context), c.fAnswer);
		EXPECT_EQ(errors.Codes(), c.fError == VE_OK ? std::vector<VError>{} : std::vector<VError>{c.fError});
		EXPECT_EQ(context.AreParametersValid(), c.fValidAfter);
	}
}

TEST(JSONFunctionParam, GettersReachTheOuterContextsParameters)
{
	std::vector<VJSONValue> parameters{VJSONValue(5.0), VJSONValue(U("x"))};
	VJSONFunctionContext outer(nullptr, nullptr, nullptr);
	outer.SetParameters(&parameters);
	VJSONFunctionContext inner(nullptr, nullptr, &outer);
	RaisedErrors errors;
	EXPECT_EQ(inner.GetLongParam(1), 5);
	EXPECT_EQ(to_string(inner.GetStringParam(2)), "x");
	// Beyond the count: a missing number.
	EXPECT_EQ(inner.GetNumberParam(3), 0);
	EXPECT_EQ(errors.Codes(), std::vector<VError>{VE_JSON_PARAM_NOT_NUMBER});
	EXPECT_FALSE(inner.AreParametersValid());
	EXPECT_TRUE(outer.AreParametersValid());
}

} // namespace
} // namespace qirn
