#pragma once

#include "core/VDuration.h"
#include "core/VValueInfo.h"
#include "core/VValueSingle.h"

namespace qirn {

template <class Self, uint16 kKind, typename T>
class VValueInfo_scalar;

// What a new time holds: eInitWithCurrentTime asks for the current time,
// anything else gives the zero date.
enum VTimeInitParam : int32 {
	eInitWithZero = 0,
	eInitWithCurrentTime = 1
};

// The value of kind 8: a Gregorian date and a time of day, held in UTC.
// The zero date (year, month and day 0) is a valid value that stands for no
// date; it may carry a time of day. Invalid input leaves a null time.
// Arithmetic goes through a day number (2000-01-01 is 2,451,544), times the
// milliseconds of a day; the flat form is one 64-bit stamp (year, month,
// day, milliseconds since midnight, from the high bits down).
class VTime : public VValueSingle {
public:
	VTime();
	explicit VTime(VTimeInitParam inParam);
	explicit VTime(uLONG8 inStamp);
	// With inInit set the time starts at the zero date; otherwise the stamp
	// is read through the pointer.
	VTime(const uLONG8* inStampPtr, uint8 inInit);
	VTime(const VTime& inOther);
	VTime& operator=(const VTime& inOther)
	{
		FromTime(inOther);
		return *this;
	}

	static const VValueInfo_scalar<VTime, 8, uLONG8> sInfo;
	const VValueInfo* GetValueInfo() const override;
	VTime* Clone() const override;
	// The zero date at midnight, not null.
	void Clear() override;
	// A zero date becomes null.
	void NullIfZero();

	uLONG8 GetStamp() const;
	void FromStamp(uLONG8 inStamp);

	// Fields. A null time gives all zero; a zero date has no zone, so its
	// local fields are its own.
	void FromUTCTime(sWORD inYear, sWORD inMonth, sWORD inDay, sWORD inHour, sWORD inMinute, sWORD inSecond,
					 sWORD inMillisecond);
	void GetUTCTime(sWORD& outYear, sWORD& outMonth, sWORD& outDay, sWORD& outHour, sWORD& outMinute,
					sWORD& outSecond, sWORD& outMillisecond) const;
	void FromLocalTime(sWORD inYear, sWORD inMonth, sWORD inDay, sWORD inHour, sWORD inMinute, sWORD inSecond,
					   sWORD inMillisecond);
	void GetLocalTime(sWORD& outYear, sWORD& outMonth, sWORD& outDay, sWORD& outHour, sWORD& outMinute,
					  sWORD& outSecond, sWORD& outMillisecond) const;
	static void Now(VTime& outTime);
	// The clock's time, stored without checks.
	void FromSystemTime();
	// Today's local midnight, plus the milliseconds.
	void FromToday(sLONG8 inMilliseconds = 0);

	// Other values
	void FromTime(const VTime& inValue) override;
	void GetTime(VTime& outValue) const override;
	void GetValue(VValueSingle& outValue) const override { outValue.FromTime(*this); }
	void FromValue(const VValueSingle& inValue) override;
	bool FromValueSameKind(const VValue* inValue) override;

	// Local fields, one at a time.
	sWORD GetLocalYear() const { return _GetLocalField(0); }
	sWORD GetLocalMonth() const { return _GetLocalField(1); }
	sWORD GetLocalDay() const { return _GetLocalField(2); }
	sWORD GetLocalHour() const { return _GetLocalField(3); }
	sWORD GetLocalMinute() const { return _GetLocalField(4); }
	sWORD GetLocalSecond() const { return _GetLocalField(5); }
	sWORD GetLocalMillisecond() const { return _GetLocalField(6); }
	VDuration GetLocalDurationSinceMidnight() const;
	// Year and month replace the field, and a date that does not exist then
	// makes the time null (SetLocalMonth(13) is January of the next year,
	// SetLocalMonth(0) null). The others carry into the larger fields:
	// day 32 of January is 1 February, hour 25 is 1 o'clock the next day.
	// A null time stays null.
	void SetLocalYear(sLONG inYear);
	void SetLocalMonth(sLONG inMonth);
	void SetLocalDay(sLONG inDay);
	void SetLocalHour(sLONG inHour);
	void SetLocalMinute(sLONG inMinute);
	void SetLocalSecond(sLONG inSecond);
	void SetLocalMillisecond(sLONG inMillisecond);

	// Day numbers (-1 for a null time). Months outside 1 to 12 count on into
	// the next years or back into the previous ones.
	sLONG GetJulianDay() const;
	// The date of a day number, at midnight, not null; null when its year
	// does not fit.
	void FromJulianDay(sLONG inDay);
	static sLONG ComputeJulianDay(sLONG inYear, sLONG inMonth, sLONG inDay);
	// 0 Sunday to 6 Saturday.
	sLONG GetWeekDay() const;
	static sLONG ComputeWeekDay(sLONG inYear, sLONG inMonth, sLONG inDay);
	// 1 for 1 January.
	sLONG GetYearDay() const;
	static sLONG ComputeYearDay(sLONG inYear, sLONG inMonth, sLONG inDay);
	static bool CheckDate(sLONG inYear, sLONG inMonth, sLONG inDay);
	static bool IsLeapYear(sLONG inYear);
	// The date in the Julian calendar, and a date of that calendar stored as
	// the same day (2000-01-01 is 1999-12-19 there).
	void GetJulianDate(sWORD& outYear, sWORD& outMonth, sWORD& outDay) const;
	void FromJulianDate(sWORD inYear, sWORD inMonth, sWORD inDay);

	// Milliseconds since the origin of the day numbers: -1 for a null time,
	// 0 for the zero date (whose time of day is not counted). Storing -1
	// makes the time null and 0 the zero date.
	sLONG8 GetMilliseconds() const;
	sLONG8 GetLong8OrMilliSeconds() const override { return GetMilliseconds(); }
	void FromMilliseconds(sLONG8 inMilliseconds);

	// Arithmetic through the millisecond count. A null time stays null;
	// years and months that give a day the month lacks move on through the
	// day number (31 January plus a month is 3 March, or 2 March in a leap
	// year), and leave the zero date as it is.
	void Add(const VDuration& inDuration);
	void Substract(const VDuration& inDuration);
	// This time minus the other, as a duration.
	void Substract(const VTime& inOther, VDuration& outResult) const;
	void AddYears(sLONG inYears);
	void AddMonths(sLONG inMonths);
	void AddDays(sLONG inDays);
	void AddHours(sLONG inHours);
	void AddMinutes(sLONG inMinutes);
	void AddSeconds(sLONG inSeconds);
	void AddMilliseconds(sLONG8 inMilliseconds);

	// Year, then month, then day, then milliseconds.
	CompareResult CompareTo(const VTime& inOther) const;
	CompareResult CompareTo(const VValueSingle& inValue, bool inDiacritical = false) const override;
	CompareResult CompareToSameKind(const VValue* inValue, bool inDiacritical = false) const override;
	CompareResult CompareToSameKindPtr(const void* inPtr, bool inDiacritical = false) const override;
	CompareResult CompareToSameKindWithOptions(const VValue* inValue, const VCompareOptions& inOptions) const override;
	CompareResult CompareToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions& inOptions) const override;
	bool operator==(const VTime& inOther) const { return CompareTo(inOther) == CR_EQUAL; }
	bool operator!=(const VTime& inOther) const { return CompareTo(inOther) != CR_EQUAL; }
	bool operator<(const VTime& inOther) const { return CompareTo(inOther) == CR_SMALLER; }
	bool operator<=(const VTime& inOther) const { return CompareTo(inOther) != CR_BIGGER; }
	bool operator>(const VTime& inOther) const { return CompareTo(inOther) == CR_BIGGER; }
	bool operator>=(const VTime& inOther) const { return CompareTo(inOther) != CR_SMALLER; }

	// The stamp as a double.
	Real GetReal() const override;
	// Seconds since 1970-01-01 UTC (times 1000, plus the milliseconds, with
	// inMilliseconds); 0 for a null time or the zero date.
	sLONG8 GetLocalUnixTime(bool inMilliseconds) const;

	// Text. The generic form (FromString) reads up to seven numbers, year
	// first, or day first when a '!' ends the first number ("4!3!2021").
	// GetString writes the RFC 3339 form in UTC with milliseconds, which
	// FromString reads back whole; FormatByOS writes the text a person
	// reads, in the current task's language (short date, a space, short
	// time), which keeps neither seconds nor milliseconds.
	void GetString(VString& outText) const override;
	void FormatByOS(VString& outText, bool inUTC) const;
	void FormatByOS(VString& outDate, VString& outTime, bool inUTC) const;
	void FromString(const VString& inText) override;
	// "day!month!year" (UTC fields); a null time makes the text null.
	void toSimpleDateString(VString& outText) const;

	// RFC 3339 options: the zone (UTC; local without offset; otherwise local
	// with the offset in force at the time's own date, and then without
	// milliseconds), the part (time only, date only, date and time without
	// milliseconds) and a zeroed date part.
	static constexpr uint32 kRFC3339_UTC = 1;
	static constexpr uint32 kRFC3339_NoOffset = 2;
	static constexpr uint32 kRFC3339_TimeOnly = 4;
	static constexpr uint32 kRFC3339_DateOnly = 8;
	static constexpr uint32 kRFC3339_ZeroDate = 16;
	static constexpr uint32 kRFC3339_NoMilliseconds = 32;
	// A null time writes "0000-00-00T00:00:00Z", which reads back as null.
	void GetRfc3339String(VString& outText, uint32 inOptions) const;
	// False, with a null time, for a text that is no RFC 3339 date or time or
	// has a field out of its range.
	bool FromRfc3339String(const VString& inText);
	void GetXMLString(VString& outText, uint32 inOptions) const override { GetRfc3339String(outText, inOptions); }
	// RFC 3339, also between "!!" markers; a text with another '!' is read
	// by FromString.
	bool FromXMLString(const VString& inText) override;

	// JSON strings: RFC 3339 in UTC with milliseconds (only the date with
	// kJSON_DateOnlyAtMidnight for a time at midnight), in quotes with
	// kJSON_WithQuotes, between "!!" markers with kJSON_DateMarkers.
	static constexpr uint32 kJSON_WithQuotes = 1;
	static constexpr uint32 kJSON_DateOnlyAtMidnight = 512;
	static constexpr uint32 kJSON_DateMarkers = 4096;
	VError GetJSONString(VString& outText, uint32 inOptions) const override;
	VError FromJSONString(const VString& inText, uint32 inOptions) override;
	// JSON values: a null time is JSON null; with kJSONValue_AsDate a JSON
	// date, which keeps the UTC date and drops the time of day; otherwise
	// the JSON string of GetJSONString without options. Reading takes the
	// text of any JSON value (a JSON date gives its day at UTC midnight) as
	// FromXMLString does.
	static constexpr uint32 kJSONValue_AsDate = 1;
	VError GetJSONValue(VJSONValue& outJSONValue, uint32 inOptions) const override;
	VError FromJSONValue(const VJSONValue& inJSONValue) override;

	// "Sun, 07 Mar 2021 05:06:07 GMT"; the zone of a text read is not
	// looked at, it is taken as UTC.
	void GetRfc822String(VString& outText) const;
	void FromRfc822String(const VString& inText);
	// The local fields as "2021-03-04 05:06:07:008".
	void GetStringLocalTime(VString& outText) const;
	// The compiler's __DATE__ and __TIME__ ("Feb 11 2021", "10:20:30"), local.
	void FromCompilerDateTime(const char* inDate, const char* inTime);

	// Flat form: the stamp in native order. Stream form: year (16 bits),
	// month and day (8 bits each), milliseconds (32 bits), in the stream's
	// order; the flags are not streamed.
	const void* LoadFromPtr(const void* inData, bool inRefOnly) override;
	void* WriteToPtr(void* ioData, bool inRefOnly, size_t inMax) const override;
	VSize GetSpace(VSize /*inMax*/) const override { return sizeof(uLONG8); }
	VError ReadFromStream(VStream* ioStream, sLONG inParam = 0) override;
	VError WriteToStream(VStream* ioStream, sLONG inParam = 0) const override;

private:
	bool _IsZeroDate() const { return fYear == 0 && fMonth == 0 && fDay == 0; }
	void _SetNullTime();
	// Stores a valid date and time of day: not null, dirty.
	void _Store(sLONG inYear, sLONG inMonth, sLONG inDay, sLONG inMilliseconds);
	void _StoreDayAndTime(sLONG8 inDay, sLONG inMilliseconds);
	void _GetLocalFields(sWORD outFields[7]) const;
	sWORD _GetLocalField(int inIndex) const;
	void _SetLocalFields(const sWORD inFields[7]);
	// Seconds the local fields are ahead of UTC at this time's own date.
	sLONG _GetOffsetAtThisDate(const sWORD inLocalFields[7]) const;
	// Sets one local field to 0, then adds the amount through the count.
	void _SetLocalByCount(int inField, sLONG8 inAmount);
	void _MoveByDayNumber(sLONG8 inYear, sLONG8 inMonth);
	static CompareResult _CompareFields(sWORD inYear1, uint8 inMonth1, uint8 inDay1, sLONG inMs1, sWORD inYear2,
										uint8 inMonth2, uint8 inDay2, sLONG inMs2);

	sWORD fYear;
	uint8 fMonth;
	uint8 fDay;
	sLONG fMilliseconds;
};

} // namespace qirn
