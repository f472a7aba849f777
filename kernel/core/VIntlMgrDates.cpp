// Dates, times and durations as text.

#include "core/VIntlMgr.h"

#include "core/VDuration.h"
#include "core/VTime.h"

#include <algorithm>
#include <cstdio>

namespace qirn {

namespace {

XLinuxIntlMgr::EStyle StyleOf(EOSFormats inFormat, bool inLongIsFull)
{
	switch (inFormat) {
	case eOS_SHORT_FORMAT:
		return XLinuxIntlMgr::kStyleShort;
	case eOS_MEDIUM_FORMAT:
		return XLinuxIntlMgr::kStyleMedium;
	case eOS_LONG_FORMAT:
		return inLongIsFull ? XLinuxIntlMgr::kStyleFull : XLinuxIntlMgr::kStyleLong;
	}
	return XLinuxIntlMgr::kStyleNone;
}

bool IsKnownFormat(EOSFormats inFormat)
{
	return inFormat >= eOS_SHORT_FORMAT && inFormat <= eOS_LONG_FORMAT;
}

// A number padded with zeros to a width; the text grows as needed, so a run
// of any length is written whole.
void AppendNumber(VString& ioText, sLONG8 inValue, VIndex inWidth)
{
	char digits[24];
	int length = std::snprintf(digits, sizeof(digits), "%lld", static_cast<long long>(inValue < 0 ? -inValue : inValue));
	if (inValue < 0)
		ioText.AppendUniChar(u'-');
	for (VIndex pad = length; pad < inWidth; ++pad)
		ioText.AppendUniChar(u'0');
	ioText.AppendCString(digits);
}

} // namespace

void VIntlMgr::FormatDate(const VTime& inTime, VString& outText, EOSFormats inFormat, bool inUTC) const
{
	if (IsKnownFormat(inFormat))
		fImpl.FormatVTime(inTime, outText, StyleOf(inFormat, true), XLinuxIntlMgr::kStyleNone, inUTC);
}

void VIntlMgr::FormatTime(const VTime& inTime, VString& outText, EOSFormats inFormat, bool inUTC) const
{
	fImpl.FormatVTime(inTime, outText, XLinuxIntlMgr::kStyleNone, StyleOf(inFormat, false), inUTC);
}

void VIntlMgr::FormatDuration(const VDuration& inDuration, VString& outText, EOSFormats inFormat) const
{
	fImpl.FormatVDuration(inDuration, outText, XLinuxIntlMgr::kStyleNone, StyleOf(inFormat, false));
}

void VIntlMgr::GetMonthName(sLONG inMonth, bool inAbbreviated, VString& outName) const
{
	fImpl.GetMonthName(inMonth, inAbbreviated, outName);
}

void VIntlMgr::GetWeekDayName(sLONG inDay, bool inAbbreviated, VString& outName) const
{
	fImpl.GetWeekDayName(inDay, inAbbreviated, outName);
}

void VIntlMgr::CustomFormatTime(const VTime& inTime, bool inUTC, const VString& inPattern, VString& outText) const
{
	FormatDateTimeWithPattern(inTime, inPattern, inUTC, nullptr, outText);
}

void VIntlMgr::FormatDateTimeWithPattern(const VTime& inTime, const VString& inPattern, bool inUTC,
										 VString* /*inReserved*/, VString& outText) const
{
	outText.Clear();
	sWORD year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
	if (inUTC)
		inTime.GetUTCTime(year, month, day, hour, minute, second, millisecond);
	else
		inTime.GetLocalTime(year, month, day, hour, minute, second, millisecond);
	const UniChar* pattern = inPattern.GetCPointer();
	const VIndex length = inPattern.GetLength();
	VIndex i = 0;
	while (i < length) {
		const UniChar letter = pattern[i];
		VIndex run = 1;
		while (i + run < length && pattern[i + run] == letter)
			++run;
		i += run;
		// A field's name: abbreviated (1-3 letters, or 3 for months), full
		// (4) or its first letter (5).
		auto appendName = [&outText, run](const VString& inShort, const VString& inFull) {
			if (run == 4)
				outText.AppendString(inFull);
			else if (run == 5)
				outText.AppendUniChars(inFull.GetCPointer(), inFull.GetLength() > 0 ? 1 : 0);
			else
				outText.AppendString(inShort);
		};
		const VIndex width12 = run >= 2 ? 2 : 1;
		switch (letter) {
		case u'y':
		case u'Y':
			AppendNumber(outText, year, run == 1 ? 0 : std::min<VIndex>(run, 999));
			break;
		case u'M':
		case u'L':
			if (run <= 2) {
				AppendNumber(outText, month, run);
			} else {
				VString abbreviated;
				VString full;
				GetMonthName(month, true, abbreviated);
				GetMonthName(month, false, full);
				appendName(abbreviated, full);
			}
			break;
		case u'd':
			AppendNumber(outText, day, width12);
			break;
		case u'D':
			AppendNumber(outText, VTime::ComputeYearDay(year, month, day), std::min<VIndex>(run, 3));
			break;
		case u'g':
			AppendNumber(outText, VTime::ComputeJulianDay(year, month, day), run);
			break;
		case u'E': {
			VString abbreviated;
			VString full;
			const sLONG weekDay = VTime::ComputeWeekDay(year, month, day);
			GetWeekDayName(weekDay, true, abbreviated);
			GetWeekDayName(weekDay, false, full);
			appendName(abbreviated, full);
			break;
		}
		case u'H':
			AppendNumber(outText, hour, width12);
			break;
		case u'k':
			AppendNumber(outText, hour == 0 ? 24 : hour, width12);
			break;
		case u'K':
			AppendNumber(outText, hour % 12, width12);
			break;
		case u'h':
			AppendNumber(outText, hour % 12 == 0 ? 12 : hour % 12, width12);
			break;
		case u'm':
			AppendNumber(outText, minute, width12);
			break;
		case u's':
			AppendNumber(outText, second, width12);
			break;
		case u'a':
			outText.AppendCString(hour < 12 ? "AM" : "PM");
			break;
		case u'G':
			outText.AppendCString(run == 4 ? "Anno Domini" : (run == 5 ? "A" : "AD"));
			break;
		case u'A':
		case u'F':
		case u'Q':
		case u'S':
		case u'V':
		case u'W':
		case u'Z':
		case u'c':
		case u'e':
		case u'q':
		case u'u':
		case u'v':
		case u'w':
		case u'z':
			break;
		default:
			for (VIndex n = 0; n < run; ++n)
				outText.AppendUniChar(letter);
			break;
		}
	}
}

} // namespace qirn
