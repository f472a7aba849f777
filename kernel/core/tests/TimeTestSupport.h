#pragma once

// What the time tests share: a time made from UTC fields, and its UTC text.

#include "core/VTime.h"

#include <cstdio>
#include <string>

namespace qirn::testing {

// "2021-03-04 05:06:07.008", or "null".
inline std::string UTC(const VTime& inTime)
{
	if (inTime.IsNull())
		return "null";
	sWORD y, mo, d, h, mi, s, ms;
	inTime.GetUTCTime(y, mo, d, h, mi, s, ms);
	char text[64];
	std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
	return text;
}

inline VTime MakeUTC(sWORD inYear, sWORD inMonth, sWORD inDay, sWORD inHour = 0, sWORD inMinute = 0,
					 sWORD inSecond = 0, sWORD inMillisecond = 0)
{
	VTime time;
	time.FromUTCTime(inYear, inMonth, inDay, inHour, inMinute, inSecond, inMillisecond);
	return time;
}

} // namespace qirn::testing
