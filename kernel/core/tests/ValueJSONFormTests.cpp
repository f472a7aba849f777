// Values as JSON values and back: what each kind gives, what it reads, and
// the kinds that have no JSON form.
#include "RefusingMemory.h"
#include "core/tests/JSONFormTestSupport.h"

#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VCompareOptions.h"
#include "core/VDuration.h"
#include "core/VEmpty.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "core/VUUID.h"
#include "core/VValueInfo.h"
#include "core/VWord.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace qirn {
namespace {

using testing::NullValue;
using testing::StRefusingMemory;

std::string TextOf(const VJSONValue& inValue)
{
	VString text;
	inValue.GetString(text);
	return to_string(text);
}

// A single value that overrides nothing, counting the clears that the
// default reader makes.
class VBare : public VValueSingle {
public:
	VBare* Clone() const override { return new VBare(*this); }
	void Clear() override { ++fClears; }
	int fClears = 0;
};

// A value that is not even single.
class VRoot : public VValue {
public:
	VRoot* Clone() const override { return new VRoot(*this); }
};

TEST(ValueJSONForms, EachKindGivesItsJSONValue)
{
	VBoolean two;
	two.FromByte(2);
	const VUUID id{VString("0123456789abcdef0123456789ABCDEF")};
	const VEmpty empty;
	const VBare bare;
	const VRoot root;
	struct Case {
		const char* fName;
		const VValue& fValue;
		JSONType fType;
		std::string fText;
		VError fError;
	};
	const Case cases[] = {
		{"true", VBoolean(true), JSON_true, "true", VE_OK},
		{"false", VBoolean(false), JSON_false, "false", VE_OK},
		{"a Boolean byte of 2", two, JSON_true, "true", VE_OK},
		{"a null Boolean", NullValue<VBoolean>(), JSON_null, "", VE_OK},
		{"a byte", VByte(-7), JSON_number, "-7", VE_OK},
		{"a word", VWord(-300), JSON_number, "-300", VE_OK},
		{"a long", VLong(123456), JSON_number, "123456", VE_OK},
		{"a null long", NullValue<VLong>(), JSON_null, "", VE_OK},
		{"a long8 of 2^53", VLong8(9007199254740992LL), JSON_number, "9.007199254741E+15", VE_OK},
		{"a real", VReal(1.5), JSON_number, "1.5", VE_OK},
		{"a NaN", VReal(std::nan("")), JSON_number, "null", VE_OK},
		{"a null real", NullValue<VReal>(), JSON_null, "", VE_OK},
		{"a string", VString("say \"hi\"\n"), JSON_string, "say \"hi\"\n", VE_OK},
		{"the empty string", VString(""), JSON_string, "", VE_OK},
		{"a null string", VString(true), JSON_null, "", VE_OK},
		{"an identifier", id, JSON_string, "0123456789ABCDEF0123456789ABCDEF", VE_OK},
		{"a null identifier", VUUID(), JSON_null, "", VE_OK},
		{"the empty value", empty, JSON_null, "", VE_UNIMPLEMENTED},
		{"a single kind without a JSON form", bare, JSON_null, "", VE_UNIMPLEMENTED},
		{"a value that is not single", root, JSON_undefined, "", VE_UNIMPLEMENTED},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		// Whatever the JSON value held is replaced.
		VJSONValue json(VString("old"));
		EXPECT_EQ(c.fValue.GetJSONValue(json, 0), c.fError);
		EXPECT_EQ(json.GetType(), c.fType);
		EXPECT_EQ(TextOf(json), c.fText);
	}
}

TEST(ValueJSONForms, ScalarsReadJSONValuesByTheirWidth)
{
	constexpr Real kTwo40 = 1099511627776.0;
	constexpr Real kTwo63 = 9223372036854775808.0;
	struct Case {
		const char* fName;
		VJSONValue fJSON;
		uint16 fKind;
		bool fNull;
		Real fDatum;
	};
	// Every value holds 99 before it reads; the datum is read back as a real.
	const std::vector<Case> cases = {
		{"2.5 to a long", VJSONValue(2.5), 4, false, 2},
		{"-2.5 to a long", VJSONValue(-2.5), 4, false, -3},
		{"-0.5 to a long", VJSONValue(-0.5), 4, false, -1},
		{"2^40 to a long", VJSONValue(kTwo40), 4, false, 0},
		{"2^31 to a long", VJSONValue(2147483648.0), 4, false, 0},
		{"-2^31 to a long", VJSONValue(-2147483648.0), 4, false, -2147483648.0},
		{"null to a long", VJSONValue(JSON_null), 4, true, 0},
		{"undefined to a long", VJSONValue(JSON_undefined), 4, false, 0},
		{"text to a long", VJSONValue(VString("12")), 4, false, 12},
		{"hexadecimal text to a long", VJSONValue(VString("0x1F")), 4, false, 31},
		{"true to a long", VJSONValue(JSON_true), 4, false, 1},
		{"200 to a byte", VJSONValue(200.0), 2, false, 0},
		{"-128 to a byte", VJSONValue(-128.0), 2, false, -128},
		{"127.9 to a byte", VJSONValue(127.9), 2, false, 127},
		{"32768 to a word", VJSONValue(32768.0), 3, false, 0},
		{"-32768.5 to a word", VJSONValue(-32768.5), 3, false, 0},
		{"2^53 to a long8", VJSONValue(9007199254740992.0), 5, false, 9007199254740992.0},
		{"2^63 to a long8", VJSONValue(kTwo63), 5, false, 0},
		{"-2^63 to a long8", VJSONValue(-kTwo63), 5, false, -kTwo63},
		{"NaN to a long8", VJSONValue(std::nan("")), 5, false, 0},
		{"infinity to a long8", VJSONValue(std::numeric_limits<Real>::infinity()), 5, false, 0},
		{"text to a Boolean", VJSONValue(VString("no")), 1, false, 1},
		{"0 to a Boolean", VJSONValue(0.0), 1, false, 0},
		{"an object to a Boolean", VJSONValue(JSON_object), 1, false, 1},
		{"null to a Boolean", VJSONValue(JSON_null), 1, true, 0},
		{"null to a real keeps its datum", VJSONValue(JSON_null), 6, true, 99},
		{"text to a real", VJSONValue(VString("1.5")), 6, false, 1.5},
		{"infinity to a real", VJSONValue(std::numeric_limits<Real>::infinity()), 6, false,
		 std::numeric_limits<Real>::infinity()},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		std::unique_ptr<VValue> created(VValue::NewValueFromValueKind(c.fKind));
		VValueSingle* value = created->IsVValueSingle();
		value->FromReal(99);
		value->SetDirty(false);
		EXPECT_EQ(value->FromJSONValue(c.fJSON), VE_OK);
		EXPECT_EQ(value->IsNull(), c.fNull);
		EXPECT_TRUE(value->IsDirty());
		EXPECT_EQ(value->GetReal(), c.fDatum);
	}
}

TEST(ValueJSONForms, EachKindComesBackFromItsOwnJSONValue)
{
	std::vector<std::unique_ptr<VValueSingle>> values;
	values.emplace_back(new VBoolean(true));
	values.emplace_back(new VBoolean(false));
	values.emplace_back(new VBoolean(NullValue<VBoolean>()));
	values.emplace_back(new VByte(-7));
	values.emplace_back(new VWord(-300));
	values.emplace_back(new VLong(-2147483647 - 1));
	values.emplace_back(new VLong8(-9007199254740992LL));
	values.emplace_back(new VLong8(NullValue<VLong8>()));
	values.emplace_back(new VReal(0.1));
	values.emplace_back(new VReal(-1e300));
	values.emplace_back(new VString("tab\t, quote \", backslash \\, \xC3\xA9"));
	values.emplace_back(new VString(""));
	values.emplace_back(new VString(true));
	values.emplace_back(new VUUID(true));
	values.emplace_back(new VUUID());
	for (const std::unique_ptr<VValueSingle>& value : values) {
		const uint16 kind = value->GetValueInfo()->GetKind();
		VString text;
		value->GetString(text);
		SCOPED_TRACE("kind " + std::to_string(kind) + (value->IsNull() ? " null" : " " + to_string(text)));
		VJSONValue json;
		ASSERT_EQ(value->GetJSONValue(json, 0), VE_OK);
		std::unique_ptr<VValue> created(VValue::NewValueFromValueKind(kind));
		VValueSingle* back = created->IsVValueSingle();
		EXPECT_EQ(back->FromJSONValue(json), VE_OK);
		EXPECT_EQ(back->IsNull(), value->IsNull());
		if (!value->IsNull()) {
			EXPECT_TRUE(back->EqualTo(*value, true));
		}
	}
}

TEST(ValueJSONForms, StringsShareTheirHeapBufferWithTheJSONValue)
{
	VString text("a text long enough to live on the heap");
	VJSONValue json;
	ASSERT_EQ(text.GetJSONValue(json, 0), VE_OK);
	EXPECT_EQ(json.GetInlineString()->fString, text.GetCPointer());

	// Reading the JSON value back into the string that gave it keeps the text.
	EXPECT_EQ(text.FromJSONValue(json), VE_OK);
	EXPECT_EQ(to_string(text), "a text long enough to live on the heap");
	text.AppendCString("!");
	EXPECT_EQ(TextOf(json), "a text long enough to live on the heap");
}

TEST(ValueJSONForms, StringsReadTheTextOfAnyJSONValue)
{
	VJSONValue array(JSON_array);
	array.GetArray()->Push(VJSONValue(1.0));
	array.GetArray()->Push(VJSONValue(VString("a")));
	struct Case {
		const char* fName;
		VJSONValue fJSON;
		bool fNull;
		std::string fText;
	};
	const std::vector<Case> cases = {
		{"null", VJSONValue(JSON_null), true, ""},
		{"undefined", VJSONValue(JSON_undefined), false, ""},
		{"true", VJSONValue(JSON_true), false, "true"},
		{"a number", VJSONValue(2.5), false, "2.5"},
		{"a string", VJSONValue(VString("text")), false, "text"},
		{"an object", VJSONValue(JSON_object), false, "[object Object]"},
		{"an array", array, false, "1,a"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VString text("old");
		text.SetDirty(false);
		EXPECT_EQ(text.FromJSONValue(c.fJSON), VE_OK);
		EXPECT_EQ(text.IsNull(), c.fNull);
		EXPECT_TRUE(text.IsDirty());
		EXPECT_EQ(to_string(text), c.fText);
	}
}

TEST(ValueJSONForms, AStringThatFindsNoMemoryToShareSaysSoInsteadOfGivingEmptyText)
{
	// An inline buffer cannot be shared: the JSON value needs a copy.
	VStr<15> text("inline text");
	VJSONValue json(1.0);
	VError error = VE_OK;
	{
		StRefusingMemory refusing;
		ASSERT_TRUE(refusing.IsRefusing());
		error = text.GetJSONValue(json, 0);
	}
	EXPECT_EQ(error, VE_MEMORY_FULL);
	EXPECT_EQ(to_string(text), "inline text");

	EXPECT_EQ(text.GetJSONValue(json, 0), VE_OK);
	EXPECT_EQ(TextOf(json), "inline text");
}

TEST(ValueJSONForms, IdentifiersReadTheirTextFromAnyJSONValue)
{
	VUUID id(true);
	EXPECT_EQ(id.FromJSONValue(VJSONValue(VString("{01234567-89ab-cdef-0123-456789abcdef}"))), VE_OK);
	VString text;
	id.GetString(text);
	EXPECT_EQ(to_string(text), "0123456789ABCDEF0123456789ABCDEF");

	// Text without 32 digits is taken as bytes.
	EXPECT_EQ(id.FromJSONValue(VJSONValue(5.0)), VE_OK);
	EXPECT_FALSE(id.IsNull());
	EXPECT_EQ(id.GetBuffer().fBytes[0], '5');
	EXPECT_EQ(id.GetBuffer().fBytes[15], ' ');

	EXPECT_EQ(id.FromJSONValue(VJSONValue(JSON_null)), VE_OK);
	EXPECT_TRUE(id.IsNull());
	EXPECT_EQ(id, VUUID::sNullUUID);
}

TEST(ValueJSONForms, ReadersOfKindsWithoutAJSONFormClearOrChangeNothing)
{
	VBare bare;
	EXPECT_EQ(bare.FromJSONValue(VJSONValue(1.0)), VE_UNIMPLEMENTED);
	EXPECT_EQ(bare.fClears, 1);
	VEmpty empty;
	EXPECT_EQ(empty.FromJSONValue(VJSONValue(1.0)), VE_UNIMPLEMENTED);
	EXPECT_TRUE(empty.IsNull());
	VRoot root;
	EXPECT_EQ(root.FromJSONValue(VJSONValue(1.0)), VE_UNIMPLEMENTED);
}

// A duration in all but name: its descriptor reports kind 9 (registered
// under a kind of its own so the real one stays), its numbers are seconds and
// its milliseconds come apart.
class VFakeDuration : public VValueSingle {
public:
	explicit VFakeDuration(sLONG8 inMilliseconds = 0) : fMilliseconds(inMilliseconds) {}
	const VValueInfo* GetValueInfo() const override
	{
		static const VValueInfo_default<VFakeDuration, 9> sInfo(9, 60009);
		return &sInfo;
	}
	VFakeDuration* Clone() const override { return new VFakeDuration(*this); }
	sLONG8 GetLong8() const override { return fMilliseconds / 1000; }
	sLONG8 GetLong8OrMilliSeconds() const override { return fMilliseconds; }

private:
	sLONG8 fMilliseconds;
};

TEST(ValueJSONForms, ConvertVValueToJSONScalarGivesWhatJSONCarries)
{
	const VUUID id{VString("0123456789ABCDEF0123456789ABCDEF")};
	VFakeDuration nullDuration(1500);
	nullDuration.SetNull(true);
	VTime time;
	time.FromUTCTime(2021, 3, 4, 5, 6, 7, 8);
	// Its text form follows the system's settings.
	VString timeString;
	time.GetString(timeString);
	const std::string timeText = to_string(timeString);
	struct Case {
		const char* fName;
		const VValueSingle& fValue;
		bool fMilliseconds;
		uint16 fKind;
		bool fNull;
		std::string fText;
	};
	const Case cases[] = {
		{"a long becomes a real", VLong(3), false, 6, false, "3"},
		{"a null word stays null", NullValue<VWord>(), false, 6, true, ""},
		{"a long8 becomes a real", VLong8(-5), false, 6, false, "-5"},
		{"an identifier becomes text", id, false, 10, false, "0123456789ABCDEF0123456789ABCDEF"},
		{"a duration in seconds", VFakeDuration(1500), false, 6, false, "1.5"},
		{"a duration in milliseconds", VFakeDuration(1500), true, 6, false, "1500"},
		{"a null duration", nullDuration, true, 6, true, ""},
		{"a duration of the kernel in seconds", VDuration(1500), false, 6, false, "1.5"},
		{"a duration of the kernel in milliseconds", VDuration(1500), true, 6, false, "1500"},
		{"a time is cloned", time, false, 8, false, timeText},
		{"a Boolean is cloned", VBoolean(true), false, 1, false, "true"},
		{"a real is cloned", VReal(0.25), false, 6, false, "0.25"},
		{"a string is cloned", VString("text"), true, 10, false, "text"},
		{"a null string is cloned", VString(true), false, 10, true, ""},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		std::unique_ptr<VValueSingle> result(VValueSingle::ConvertVValueToJSONScalar(c.fValue, c.fMilliseconds));
		ASSERT_NE(result, nullptr);
		EXPECT_EQ(result->GetValueInfo()->GetKind(), c.fKind);
		EXPECT_EQ(result->IsNull(), c.fNull);
		EXPECT_TRUE(result->IsDirty());
		VString text;
		if (!result->IsNull())
			result->GetString(text);
		EXPECT_EQ(to_string(text), c.fText);
	}
}

TEST(ValueJSONForms, ValueKindsMapToJSONKinds)
{
	struct Case {
		uint16 fKind;
		JSONType fType;
	};
	const Case cases[] = {{0, JSON_null},	 {1, JSON_true},	{2, JSON_null},	  {4, JSON_null},
						  {5, JSON_null},	 {6, JSON_number},	{8, JSON_date},	  {9, JSON_null},
						  {10, JSON_string}, {11, JSON_null},	{13, JSON_null},  {200, JSON_null}};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fKind);
		EXPECT_EQ(VValueSingle::ValueKindToJsonType(c.fKind), c.fType);
	}
}

TEST(ValueJSONForms, CompareOptionsKeepOnlyTheDiacriticalFlagInJSON)
{
	VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	VCompareOptions options;
	options.SetDiacritical(true);
	options.SetLike(true);
	EXPECT_EQ(options.ToJSON(object.Get()), VE_OK);
	EXPECT_EQ(object->GetOwnPropertyCount(), 1u);
	EXPECT_EQ(object->GetProperty(VString("diacritical")).GetType(), JSON_true);

	struct Case {
		const char* fName;
		VJSONValue fProperty;
		bool fBefore;
		bool fAfter;
	};
	const std::vector<Case> cases = {
		{"false", VJSONValue(JSON_false), true, false},
		{"true", VJSONValue(JSON_true), false, true},
		{"the number 1", VJSONValue(1.0), false, false},
		{"the text true", VJSONValue(VString("true")), false, false},
		{"no property", VJSONValue(JSON_undefined), true, true},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VRefPtr<VJSONObject> source = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
		source->SetProperty(VString("diacritical"), c.fProperty);
		VCompareOptions read;
		read.SetDiacritical(c.fBefore);
		EXPECT_EQ(read.FromJSON(source.Get()), VE_OK);
		EXPECT_EQ(read.IsDiacritical(), c.fAfter);
	}
	EXPECT_EQ(options.ToJSON(nullptr), VE_OK);
	EXPECT_EQ(options.FromJSON(nullptr), VE_OK);
	EXPECT_TRUE(options.IsDiacritical());
}

} // namespace
} // namespace qirn
