#include "core/VTime.h"

#include "core/DecimalSeconds.h"
#include "core/SaturatingMath.h"
#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "core/VTimeCalendar.h"
#include "json/VJSONValue.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace qirn {

using namespace calendar;

namespace {

const char* const kWeekDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
									 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsDigit(UniChar inUnit)
{
	return inUnit >= u'0' && inUnit <= u'9';
}

bool IsASCIILetter(UniChar inUnit)
{
	return (inUnit >= u'a' && inUnit <= u'z') || (inUnit >= u'A' && inUnit <= u'Z');
}

UniChar ASCIILower(UniChar inUnit)
{
	return inUnit >= u'A' && inUnit <= u'Z' ? static_cast<UniChar>(inUnit - u'A' + u'a') : inUnit;
}

// Numbers of a text larger than any field are kept at this bound, which no
// check lets through.
constexpr sLONG8 kNumberBound = 1000000;

sLONG8 AddDigit(sLONG8 inNumber, UniChar inDigit)
{
	sLONG8 number = inNumber * 10 + (inDigit - u'0');
	return number > kNumberBound ? kNumberBound : number;
}

// A cursor over the units of an RFC 3339 text.
class Rfc3339Scanner {
public:
	Rfc3339Scanner(const UniChar* inText, VIndex inLength) : fText(inText), fLength(inLength) {}

	VIndex Pos() const { return fPos; }
	void MoveTo(VIndex inPos) { fPos = inPos; }

	// One to inMaxDigits digits (0: any number, up to the bound).
	bool Number(int inMaxDigits, sLONG8& outNumber)
	{
		VIndex start = fPos;
		sLONG8 number = 0;
		while (fPos < fLength && IsDigit(fText[fPos]) && (inMaxDigits == 0 || fPos - start < inMaxDigits))
			number = AddDigit(number, fText[fPos++]);
		outNumber = number;
		return fPos > start && number < kNumberBound;
	}
	bool Char(UniChar inUnit)
	{
		if (fPos >= fLength || fText[fPos] != inUnit)
			return false;
		++fPos;
		return true;
	}
	bool Seconds(DecimalSeconds& outSeconds)
	{
		outSeconds = DecimalSeconds::Read(fText, fLength, fPos);
		return outSeconds.fDigits > 0;
	}

private:
	const UniChar* fText;
	VIndex fLength;
	VIndex fPos = 0;
};

} // namespace

// ---------------------------------------------------------------------------
// Text

void VTime::GetString(VString& outText) const
{
	if (IsNull())
		outText.Clear();
	else
		GetRfc3339String(outText, kRFC3339_UTC);
}

void VTime::FormatByOS(VString& outDate, VString& outTime, bool inUTC) const
{
	outDate.Clear();
	outTime.Clear();
	if (IsNull())
		return;
	VIntlMgr* manager = VTask::GetCurrentIntlManager();
	manager->FormatDate(*this, outDate, eOS_SHORT_FORMAT, inUTC);
	manager->FormatTime(*this, outTime, eOS_SHORT_FORMAT, inUTC);
}

void VTime::FormatByOS(VString& outText, bool inUTC) const
{
	VString time;
	FormatByOS(outText, time, inUTC);
	if (IsNull())
		return;
	outText.AppendUniChar(u' ');
	outText.AppendString(time);
}

void VTime::FromString(const VString& inText)
{
	if (inText.IsNull()) {
		_SetNullTime();
		return;
	}
	sLONG8 numbers[7] = {};
	int count = 0;
	bool inNumber = false;
	bool dayFirst = false;
	const UniChar* units = inText.GetCPointer();
	for (VIndex i = 0; i < inText.GetLength(); ++i) {
		UniChar c = units[i];
		if (IsDigit(c)) {
			if (!inNumber) {
				if (count == 7)
					break;
				++count;
				inNumber = true;
			}
			numbers[count - 1] = AddDigit(numbers[count - 1], c);
			continue;
		}
		bool endsFirstNumber = inNumber && count == 1;
		inNumber = false;
		if (c == u'!') {
			if (count == 0 || endsFirstNumber)
				dayFirst = true;
			else if (!dayFirst)
				break;
		}
	}
	for (sLONG8 number : numbers) {
		if (!FitsWord(number)) {
			_SetNullTime();
			return;
		}
	}
	if (dayFirst) {
		sLONG8 day = numbers[0], month = numbers[1], year = numbers[2];
		if ((day != 0 || month != 0 || year != 0) && !IsValidDate(year, month, day))
			_SetNullTime();
		else
			_Store(static_cast<sLONG>(year), static_cast<sLONG>(month), static_cast<sLONG>(day), 0);
		return;
	}
	FromUTCTime(static_cast<sWORD>(numbers[0]), static_cast<sWORD>(numbers[1]), static_cast<sWORD>(numbers[2]),
				static_cast<sWORD>(numbers[3]), static_cast<sWORD>(numbers[4]), static_cast<sWORD>(numbers[5]),
				static_cast<sWORD>(numbers[6]));
}

void VTime::toSimpleDateString(VString& outText) const
{
	if (IsNull()) {
		outText.SetNull(true);
		return;
	}
	char text[32];
	std::snprintf(text, sizeof(text), "%d!%d!%d", fDay, fMonth, fYear);
	outText.FromCString(text);
}

sLONG VTime::_GetOffsetAtThisDate(const sWORD inLocalFields[7]) const
{
	if (_IsZeroDate())
		return VSystem::GetGMTOffset(true);
	sLONG8 local = GregorianDayNumber(inLocalFields[0], inLocalFields[1], inLocalFields[2]) * kMsPerDay +
				   TimeOfDay(inLocalFields[3], inLocalFields[4], inLocalFields[5], inLocalFields[6]);
	return static_cast<sLONG>((local - GetMilliseconds()) / kMsPerSecond);
}

void VTime::GetRfc3339String(VString& outText, uint32 inOptions) const
{
	if (IsNull()) {
		outText.FromCString("0000-00-00T00:00:00Z");
		return;
	}
	bool utc = (inOptions & kRFC3339_UTC) != 0;
	bool withOffset = !utc && (inOptions & kRFC3339_NoOffset) == 0;
	sWORD f[7];
	if (utc)
		GetUTCTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
	else
		_GetLocalFields(f);
	// The offset in force at this time's own date: a summer date written in
	// winter carries the summer offset.
	char zone[32] = "";
	if (utc) {
		std::strcpy(zone, "Z");
	} else if (withOffset) {
		sLONG offset = _GetOffsetAtThisDate(f);
		sLONG magnitude = offset < 0 ? -offset : offset;
		std::snprintf(zone, sizeof(zone), "%c%02d:%02d", offset < 0 ? '-' : '+', magnitude / 3600,
					  magnitude % 3600 / 60);
	}
	char text[96];
	if ((inOptions & kRFC3339_TimeOnly) != 0) {
		std::snprintf(text, sizeof(text), "%02d:%02d:%02d%s", f[3], f[4], f[5], zone);
	} else if ((inOptions & kRFC3339_DateOnly) != 0) {
		std::snprintf(text, sizeof(text), "%04d-%02d-%02d%s", f[0], f[1], f[2], utc ? "" : zone);
	} else {
		if ((inOptions & kRFC3339_ZeroDate) != 0)
			f[0] = f[1] = f[2] = 0;
		if ((inOptions & kRFC3339_NoMilliseconds) != 0 || withOffset)
			std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d%s", f[0], f[1], f[2], f[3], f[4], f[5],
						  zone);
		else
			std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d.%03d%s", f[0], f[1], f[2], f[3], f[4],
						  f[5], f[6], zone);
	}
	outText.FromCString(text);
}

bool VTime::FromRfc3339String(const VString& inText)
{
	if (inText.IsNull() || inText.IsEmpty()) {
		_SetNullTime();
		return false;
	}
	const UniChar* units = inText.GetCPointer();
	VIndex length = inText.GetLength();
	enum class Form { kFull, kTime, kNumber, kDate };
	VIndex firstColon = inText.FindUniChar(u':');
	Form form;
	if (inText.GetUniChar(11) == u'T')
		form = Form::kFull;
	else if (firstColon >= 3 && firstColon <= 5)
		form = Form::kTime;
	else if (inText.GetUniChar(5) != u'-')
		form = Form::kNumber;
	else
		form = Form::kDate;

	// Every field the form has must be there and within its range.
	Rfc3339Scanner scan(units, length);
	sLONG8 year = 0, month = 0, day = 0, hour = 0, minute = 0;
	DecimalSeconds seconds;
	bool read = true;
	switch (form) {
		case Form::kFull:
			read = scan.Number(4, year) && scan.Char(u'-') && scan.Number(2, month) && scan.Char(u'-') &&
				   scan.Number(2, day) && scan.Char(u'T') && scan.Number(2, hour) && scan.Char(u':') &&
				   scan.Number(2, minute) && scan.Char(u':') && scan.Seconds(seconds);
			break;
		case Form::kTime:
			read = scan.Number(0, hour) && scan.Char(u':') && scan.Number(2, minute);
			if (read && scan.Char(u':'))
				read = scan.Seconds(seconds);
			break;
		case Form::kNumber: {
			sLONG8 count = 0;
			read = scan.Number(0, count);
			hour = count / 3600;
			minute = count % 3600 / 60;
			break;
		}
		case Form::kDate:
			read = scan.Number(4, year) && scan.Char(u'-') && scan.Number(2, month) && scan.Char(u'-') &&
				   scan.Number(2, day);
			break;
	}
	bool hasDate = form == Form::kFull || form == Form::kDate;
	bool zeroDate = year == 0 && month == 0 && day == 0;
	bool valid = read && seconds.fSeconds >= 0 && seconds.fSeconds <= 59 && seconds.fMilliseconds >= 0;
	if (hasDate && !zeroDate)
		valid = valid && year < 22001 && IsValidDate(year, month, day);
	if (form != Form::kNumber)
		valid = valid && hour <= 23 && minute <= 59;
	if (!valid) {
		_SetNullTime();
		return false;
	}
	sLONG8 timeOfDay = TimeOfDay(hour, minute, seconds.fSeconds, seconds.fMilliseconds);
	if (form == Form::kFull && zeroDate && timeOfDay == 0) {
		// The null time's own text.
		_SetNullTime();
		return true;
	}
	if (!hasDate || zeroDate) {
		if (timeOfDay > std::numeric_limits<sLONG>::max()) {
			_SetNullTime();
			return false;
		}
		_Store(0, 0, 0, static_cast<sLONG>(timeOfDay));
		return true;
	}

	// The zone: 'Z' or a short text is UTC; otherwise an offset is looked for
	// from the end ('-' only after the date), and without one the text is
	// local time.
	bool isUTC = length < 11 || inText.FindUniChar(u'Z') != 0;
	sLONG8 offsetSeconds = 0;
	bool hasOffset = false;
	if (!isUTC) {
		VIndex sign = inText.FindUniChar(u'+', length, true);
		if (sign == 0) {
			sign = inText.FindUniChar(u'-', length, true);
			if (sign <= 10)
				sign = 0;
		}
		if (sign != 0) {
			sLONG8 offsetHours = 0, offsetMinutes = 0;
			scan.MoveTo(sign);
			if (!scan.Number(2, offsetHours) || !scan.Char(u':') || !scan.Number(2, offsetMinutes) ||
				offsetHours > 23 || offsetMinutes > 59) {
				_SetNullTime();
				return false;
			}
			hasOffset = true;
			offsetSeconds = (offsetHours * 60 + offsetMinutes) * 60;
			if (inText.GetUniChar(sign) == u'-')
				offsetSeconds = -offsetSeconds;
		}
	}
	sWORD fields[7] = {static_cast<sWORD>(year), static_cast<sWORD>(month), static_cast<sWORD>(day),
					   static_cast<sWORD>(hour), static_cast<sWORD>(minute), static_cast<sWORD>(seconds.fSeconds),
					   0};
	if (isUTC || hasOffset) {
		// With an offset the fields are UTC plus that offset: going through
		// the system's local zone would take its offset of today instead.
		FromUTCTime(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], 0);
		AddMilliseconds(-offsetSeconds * kMsPerSecond);
	} else {
		FromLocalTime(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], 0);
	}
	AddMilliseconds(seconds.fMilliseconds);
	return true;
}

bool VTime::FromXMLString(const VString& inText)
{
	VIndex length = inText.GetLength();
	if (length >= 3 && inText.GetUniChar(1) == u'!' && inText.GetUniChar(2) == u'!')
		return FromRfc3339String(inText.GetSubString(3, length > 4 ? length - 4 : 0));
	if (inText.FindUniChar(u'!') == 0)
		return FromRfc3339String(inText);
	FromString(inText);
	return true;
}

VError VTime::GetJSONString(VString& outText, uint32 inOptions) const
{
	bool dateOnly = (inOptions & kJSON_DateOnlyAtMidnight) != 0 && fMilliseconds == 0;
	VString text;
	GetRfc3339String(text, dateOnly ? kRFC3339_UTC | kRFC3339_DateOnly : kRFC3339_UTC);
	outText.Clear();
	if ((inOptions & kJSON_WithQuotes) != 0)
		outText.AppendUniChar(u'"');
	if ((inOptions & kJSON_DateMarkers) != 0)
		outText.AppendCString("!!");
	outText.AppendString(text);
	if ((inOptions & kJSON_DateMarkers) != 0)
		outText.AppendCString("!!");
	if ((inOptions & kJSON_WithQuotes) != 0)
		outText.AppendUniChar(u'"');
	return VE_OK;
}

VError VTime::FromJSONString(const VString& inText, uint32)
{
	FromXMLString(inText);
	return VE_OK;
}

VError VTime::GetJSONValue(VJSONValue& outJSONValue, uint32 inOptions) const
{
	if (IsNull()) {
		outJSONValue.SetNull();
		return VE_OK;
	}
	if ((inOptions & kJSONValue_AsDate) != 0) {
		outJSONValue.SetTime(*this);
		return VE_OK;
	}
	VString text;
	GetJSONString(text, 0);
	// Through the string's own JSON form, which tells when the text could not
	// be shared for want of memory.
	return text.GetJSONValue(outJSONValue, 0);
}

VError VTime::FromJSONValue(const VJSONValue& inJSONValue)
{
	if (inJSONValue.IsNull()) {
		_SetNullTime();
		return VE_OK;
	}
	VString text;
	// An array that holds itself has no text: its error is the answer, and
	// the empty text leaves the time null.
	VError error = inJSONValue.GetString(text);
	FromXMLString(text);
	return error;
}

void VTime::GetRfc822String(VString& outText) const
{
	// A null time or the zero date names no day to write.
	if (IsNull() || fMonth < 1 || fMonth > 12) {
		outText.Clear();
		return;
	}
	sWORD f[7];
	GetUTCTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
	char text[64];
	std::snprintf(text, sizeof(text), "%s, %02d %s %04d %02d:%02d:%02d GMT", kWeekDayNames[GetWeekDay()], f[2],
				  kMonthNames[f[1] - 1], f[0], f[3], f[4], f[5]);
	outText.FromCString(text);
}

void VTime::FromRfc822String(const VString& inText)
{
	const UniChar* units = inText.GetCPointer();
	VIndex length = inText.GetLength();
	VIndex pos = 0;
	auto readNumber = [&]() {
		while (pos < length && !IsDigit(units[pos]))
			++pos;
		sLONG8 number = 0;
		while (pos < length && IsDigit(units[pos]))
			number = AddDigit(number, units[pos++]);
		return number;
	};
	sLONG8 day = readNumber();
	while (pos < length && !IsASCIILetter(units[pos]))
		++pos;
	VIndex nameStart = pos;
	while (pos < length && IsASCIILetter(units[pos]))
		++pos;
	sLONG8 month = 0;
	for (int m = 0; m < 12 && pos - nameStart == 3; ++m) {
		bool same = true;
		for (int i = 0; i < 3; ++i)
			same = same && ASCIILower(units[nameStart + i]) == ASCIILower(static_cast<UniChar>(kMonthNames[m][i]));
		if (same)
			month = m + 1;
	}
	sLONG8 year = readNumber();
	sLONG8 hour = readNumber();
	sLONG8 minute = readNumber();
	sLONG8 second = readNumber();
	if (!FitsWord(year) || !FitsWord(day) || !FitsWord(hour) || !FitsWord(minute) || !FitsWord(second)) {
		_SetNullTime();
		return;
	}
	FromUTCTime(static_cast<sWORD>(year), static_cast<sWORD>(month), static_cast<sWORD>(day), static_cast<sWORD>(hour),
				static_cast<sWORD>(minute), static_cast<sWORD>(second), 0);
}

void VTime::GetStringLocalTime(VString& outText) const
{
	if (IsNull()) {
		outText.Clear();
		return;
	}
	sWORD f[7];
	_GetLocalFields(f);
	char text[64];
	std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d:%03d", f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
	outText.FromCString(text);
}

void VTime::FromCompilerDateTime(const char* inDate, const char* inTime)
{
	static const char* const kLowerMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun",
												 "jul", "aug", "sep", "oct", "nov", "dec"};
	std::string text = std::string(inDate != nullptr ? inDate : "") + " " + (inTime != nullptr ? inTime : "");
	sLONG8 month = 0;
	sLONG8 numbers[5] = {};
	int count = -1; // the month comes first
	size_t pos = 0;
	while (pos < text.size() && count < 5) {
		size_t end = text.find_first_of(" ,:", pos);
		if (end == std::string::npos)
			end = text.size();
		std::string token = text.substr(pos, end - pos);
		pos = end + 1;
		if (token.empty())
			continue;
		if (count < 0) {
			for (int m = 0; m < 12; ++m) {
				if (token == kLowerMonths[m] || token == kMonthNames[m])
					month = m + 1;
			}
		} else {
			sLONG8 number = 0;
			for (char c : token) {
				if (c < '0' || c > '9')
					break;
				number = AddDigit(number, static_cast<UniChar>(c));
			}
			numbers[count] = number;
		}
		++count;
	}
	for (sLONG8 number : numbers) {
		if (!FitsWord(number)) {
			_SetNullTime();
			return;
		}
	}
	FromLocalTime(static_cast<sWORD>(numbers[1]), static_cast<sWORD>(month), static_cast<sWORD>(numbers[0]),
				  static_cast<sWORD>(numbers[2]), static_cast<sWORD>(numbers[3]), static_cast<sWORD>(numbers[4]), 0);
}

} // namespace qirn
