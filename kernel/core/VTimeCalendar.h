#pragma once

// The calendar arithmetic of times: day numbers in the Gregorian and Julian
// calendars, field checks, times of day. Shared by the value and its text
// forms; not a public interface.

#include "core/VKernelTypes.h"

#include <limits>

namespace qirn::calendar {

constexpr sLONG8 kMsPerSecond = 1000;
constexpr sLONG8 kMsPerMinute = 60000;
constexpr sLONG8 kMsPerHour = 3600000;
constexpr sLONG8 kMsPerDay = 86400000;

// Days from 1 March to the first of each month, and the months' lengths
// (February at its leap-year length), indexed by month 1 to 12.
constexpr sLONG kDaysFromMarch[13] = {0, 306, 337, 0, 31, 61, 92, 122, 153, 184, 214, 245, 275};
constexpr sLONG kMonthLength[13] = {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

inline sLONG8 FloorDiv(sLONG8 inA, sLONG8 inB)
{
	sLONG8 quotient = inA / inB;
	if (inA % inB != 0 && (inA < 0) != (inB < 0))
		--quotient;
	return quotient;
}

// The remainder that goes with FloorDiv, between 0 and inB (inB > 0),
// taken without multiplying back: the quotient times inB leaves the 64-bit
// range for the lowest dividends.
inline sLONG8 FloorMod(sLONG8 inA, sLONG8 inB)
{
	const sLONG8 rest = inA % inB;
	return rest < 0 ? rest + inB : rest;
}

inline bool IsLeap(sLONG8 inYear)
{
	return (inYear % 4 == 0 && inYear % 100 != 0) || inYear % 400 == 0;
}

// Months outside 1 to 12 count on into the following years or back into
// the previous ones, so that no table is read out of its bounds.
inline void NormaliseMonth(sLONG8& ioYear, sLONG8& ioMonth)
{
	sLONG8 years = FloorDiv(ioMonth - 1, 12);
	ioYear += years;
	ioMonth -= 12 * years;
}

inline sLONG8 GregorianDayNumber(sLONG8 inYear, sLONG8 inMonth, sLONG8 inDay)
{
	NormaliseMonth(inYear, inMonth);
	sLONG8 y = inMonth < 3 ? inYear - 1 : inYear;
	return 365 * y + FloorDiv(y, 4) - FloorDiv(y, 100) + FloorDiv(y, 400) + kDaysFromMarch[inMonth] + inDay +
		   1721118;
}

inline sLONG8 JulianCalendarDayNumber(sLONG8 inYear, sLONG8 inMonth, sLONG8 inDay)
{
	NormaliseMonth(inYear, inMonth);
	sLONG8 y = inMonth < 3 ? inYear - 1 : inYear;
	return 365 * y + FloorDiv(y, 4) + kDaysFromMarch[inMonth] + inDay + 1721116;
}

struct Date {
	sLONG8 fYear;
	sLONG8 fMonth;
	sLONG8 fDay;
};

// Steps shared by both calendars: c counts years from March, d is the day of
// that year counted from 1 March.
inline Date DateFromMarchDay(sLONG8 inC, sLONG8 inD)
{
	sLONG8 m = (5 * inD + 456) / 153;
	Date date{inC, m, inD - (153 * m - 457) / 5};
	if (m >= 13) {
		date.fYear = inC + 1;
		date.fMonth = m - 12;
	}
	return date;
}

inline Date GregorianDate(sLONG8 inDayNumber)
{
	sLONG8 a = FloorDiv(inDayNumber * 100 - 172111825, 3652425);
	sLONG8 b = inDayNumber + a - FloorDiv(a, 4);
	sLONG8 c = FloorDiv(b * 100 - 172111825, 36525);
	return DateFromMarchDay(c, b - 365 * c - 1721118 - FloorDiv(c, 4));
}

inline Date JulianCalendarDate(sLONG8 inDayNumber)
{
	sLONG8 c = FloorDiv(inDayNumber * 100 - 172111625, 36525);
	return DateFromMarchDay(c, inDayNumber - 365 * c - 1721116 - FloorDiv(c, 4));
}

inline bool FitsWord(sLONG8 inValue)
{
	return inValue >= std::numeric_limits<sWORD>::min() && inValue <= std::numeric_limits<sWORD>::max();
}

inline sLONG MonthLength(sLONG8 inYear, sLONG8 inMonth)
{
	return inMonth == 2 && !IsLeap(inYear) ? 28 : kMonthLength[inMonth];
}

inline bool IsValidDate(sLONG8 inYear, sLONG8 inMonth, sLONG8 inDay)
{
	return inYear >= 0 && inMonth >= 1 && inMonth <= 12 && inDay >= 1 && inDay <= MonthLength(inYear, inMonth);
}

// Taken as unsigned 16-bit numbers, so that negative fields fail too.
inline bool IsValidTimeOfDay(sWORD inHour, sWORD inMinute, sWORD inSecond, sWORD inMillisecond)
{
	return static_cast<uWORD>(inMillisecond) <= 999 && static_cast<uWORD>(inSecond) <= 59 &&
		   static_cast<uWORD>(inMinute) <= 59 && static_cast<uWORD>(inHour) <= 23;
}

inline sLONG8 TimeOfDay(sLONG8 inHour, sLONG8 inMinute, sLONG8 inSecond, sLONG8 inMillisecond)
{
	return inHour * kMsPerHour + inMinute * kMsPerMinute + inSecond * kMsPerSecond + inMillisecond;
}

inline void SplitTimeOfDay(sLONG inMilliseconds, sWORD outFields[7])
{
	outFields[3] = static_cast<sWORD>(inMilliseconds / kMsPerHour);
	outFields[4] = static_cast<sWORD>(inMilliseconds / kMsPerMinute % 60);
	outFields[5] = static_cast<sWORD>(inMilliseconds / kMsPerSecond % 60);
	outFields[6] = static_cast<sWORD>(inMilliseconds % kMsPerSecond);
}

} // namespace qirn::calendar
