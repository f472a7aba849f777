#pragma once

// What the tests of values' JSON forms share: null values of a kind, JSON
// dates, and a JSON value told as its kind and text.

#include "core/VString.h"
#include "json/VJSONValue.h"

#include <string>

namespace qirn::testing {

template <class T>
T NullValue()
{
	T value;
	value.SetNull(true);
	return value;
}

inline VJSONValue JSONDate(int16 inYear, int16 inMonth, int16 inDay)
{
	VJSONValue date(JSON_null);
	date.SetDate(inYear, inMonth, inDay);
	return date;
}

// "null", "date 2021-03-04", "string 25:01:01", "number 1.5", or the kind's
// number and the text.
inline std::string Describe(const VJSONValue& inValue)
{
	VString text;
	inValue.GetString(text);
	switch (inValue.GetType()) {
		case JSON_null:
			return "null";
		case JSON_date:
			return "date " + to_string(text);
		case JSON_string:
			return "string " + to_string(text);
		case JSON_number:
			return "number " + to_string(text);
		default:
			return "kind " + std::to_string(inValue.GetType()) + " " + to_string(text);
	}
}

} // namespace qirn::testing
