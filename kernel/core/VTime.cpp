#include "core/VTime.h"

#include "core/SaturatingMath.h"
#include "core/VScalarValue.h"
#include "core/VTimeCalendar.h"
#include "files/VStream.h"
#include "runtime/VSystem.h"

#include <cstring>
#include <limits>

namespace qirn {

const VValueInfo_scalar<VTime, 8, uLONG8> VTime::sInfo;

using namespace calendar;

namespace {

void CopyFields(const sWORD inFields[7], sWORD& outYear, sWORD& outMonth, sWORD& outDay, sWORD& outHour,
				sWORD& outMinute, sWORD& outSecond, sWORD& outMillisecond)
{
	outYear = inFields[0];
	outMonth = inFields[1];
	outDay = inFields[2];
	outHour = inFields[3];
	outMinute = inFields[4];
	outSecond = inFields[5];
	outMillisecond = inFields[6];
}

// The date of a day number into the first three fields; false when its
// year does not fit them.
bool DateIntoFields(sLONG8 inDayNumber, sWORD ioFields[7])
{
	Date date = GregorianDate(inDayNumber);
	if (!FitsWord(date.fYear))
		return false;
	ioFields[0] = static_cast<sWORD>(date.fYear);
	ioFields[1] = static_cast<sWORD>(date.fMonth);
	ioFields[2] = static_cast<sWORD>(date.fDay);
	return true;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction

VTime::VTime() : fYear(0), fMonth(0), fDay(0), fMilliseconds(0) {}

VTime::VTime(VTimeInitParam inParam) : VTime()
{
	if (inParam == eInitWithCurrentTime)
		Now(*this);
}

VTime::VTime(uLONG8 inStamp) : VTime()
{
	FromStamp(inStamp);
}

VTime::VTime(const uLONG8* inStampPtr, uint8 inInit) : VTime()
{
	if (inInit == 0)
		FromStamp(*inStampPtr);
}

VTime::VTime(const VTime& inOther)
	: VValueSingle(inOther), fYear(inOther.fYear), fMonth(inOther.fMonth), fDay(inOther.fDay),
	  fMilliseconds(inOther.fMilliseconds)
{
}

const VValueInfo* VTime::GetValueInfo() const
{
	return &sInfo;
}

VTime* VTime::Clone() const
{
	VTime* clone = new VTime(*this);
	clone->SetDirty(true);
	return clone;
}

void VTime::Clear()
{
	fYear = 0;
	fMonth = 0;
	fDay = 0;
	fMilliseconds = 0;
	SetNull(false);
	SetDirty(true);
}

void VTime::NullIfZero()
{
	if (_IsZeroDate())
		SetNull(true);
}

void VTime::_SetNullTime()
{
	Clear();
	SetNull(true);
}

void VTime::_Store(sLONG inYear, sLONG inMonth, sLONG inDay, sLONG inMilliseconds)
{
	fYear = static_cast<sWORD>(inYear);
	fMonth = static_cast<uint8>(inMonth);
	fDay = static_cast<uint8>(inDay);
	fMilliseconds = inMilliseconds;
	SetNull(false);
	SetDirty(true);
}

void VTime::_StoreDayAndTime(sLONG8 inDay, sLONG inMilliseconds)
{
	Date date = GregorianDate(inDay);
	if (!FitsWord(date.fYear)) {
		_SetNullTime();
		return;
	}
	_Store(static_cast<sLONG>(date.fYear), static_cast<sLONG>(date.fMonth), static_cast<sLONG>(date.fDay),
		   inMilliseconds);
}

uLONG8 VTime::GetStamp() const
{
	return (static_cast<uLONG8>(static_cast<uWORD>(fYear)) << 48) | (static_cast<uLONG8>(fMonth) << 40) |
		   (static_cast<uLONG8>(fDay) << 32) | static_cast<uLONG8>(static_cast<uLONG>(fMilliseconds));
}

void VTime::FromStamp(uLONG8 inStamp)
{
	fYear = static_cast<sWORD>(static_cast<uWORD>(inStamp >> 48));
	fMonth = static_cast<uint8>(inStamp >> 40);
	fDay = static_cast<uint8>(inStamp >> 32);
	fMilliseconds = static_cast<sLONG>(static_cast<uLONG>(inStamp));
	SetNull(false);
	SetDirty(true);
}

// ---------------------------------------------------------------------------
// Fields

void VTime::FromUTCTime(sWORD inYear, sWORD inMonth, sWORD inDay, sWORD inHour, sWORD inMinute, sWORD inSecond,
						sWORD inMillisecond)
{
	sLONG8 timeOfDay = TimeOfDay(inHour, inMinute, inSecond, inMillisecond);
	if (inYear == 0 && inMonth == 0 && inDay == 0) {
		_Store(0, 0, 0, static_cast<sLONG>(timeOfDay));
		return;
	}
	if (!IsValidDate(inYear, inMonth, inDay) || !IsValidTimeOfDay(inHour, inMinute, inSecond, inMillisecond)) {
		_SetNullTime();
		return;
	}
	_Store(inYear, inMonth, inDay, static_cast<sLONG>(timeOfDay));
}

void VTime::GetUTCTime(sWORD& outYear, sWORD& outMonth, sWORD& outDay, sWORD& outHour, sWORD& outMinute,
					   sWORD& outSecond, sWORD& outMillisecond) const
{
	sWORD fields[7] = {};
	if (!IsNull()) {
		fields[0] = fYear;
		fields[1] = fMonth;
		fields[2] = fDay;
		SplitTimeOfDay(fMilliseconds, fields);
	}
	CopyFields(fields, outYear, outMonth, outDay, outHour, outMinute, outSecond, outMillisecond);
}

void VTime::_GetLocalFields(sWORD outFields[7]) const
{
	GetUTCTime(outFields[0], outFields[1], outFields[2], outFields[3], outFields[4], outFields[5], outFields[6]);
	// The zero date names no day, so no zone's offset applies to it.
	if (!IsNull() && !_IsZeroDate())
		VSystem::UTCToLocalTime(outFields);
}

void VTime::_SetLocalFields(const sWORD inFields[7])
{
	FromLocalTime(inFields[0], inFields[1], inFields[2], inFields[3], inFields[4], inFields[5], inFields[6]);
}

void VTime::FromLocalTime(sWORD inYear, sWORD inMonth, sWORD inDay, sWORD inHour, sWORD inMinute, sWORD inSecond,
						  sWORD inMillisecond)
{
	if (inYear == 0 && inMonth == 0 && inDay == 0) {
		FromUTCTime(inYear, inMonth, inDay, inHour, inMinute, inSecond, inMillisecond);
		return;
	}
	// The system would move an impossible local date on (30 February to
	// 2 March) instead of refusing it.
	if (!IsValidDate(inYear, inMonth, inDay) || !IsValidTimeOfDay(inHour, inMinute, inSecond, inMillisecond)) {
		_SetNullTime();
		return;
	}
	sWORD fields[7] = {inYear, inMonth, inDay, inHour, inMinute, inSecond, inMillisecond};
	VSystem::LocalToUTCTime(fields);
	FromUTCTime(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6]);
}

void VTime::GetLocalTime(sWORD& outYear, sWORD& outMonth, sWORD& outDay, sWORD& outHour, sWORD& outMinute,
						 sWORD& outSecond, sWORD& outMillisecond) const
{
	sWORD fields[7];
	_GetLocalFields(fields);
	CopyFields(fields, outYear, outMonth, outDay, outHour, outMinute, outSecond, outMillisecond);
}

void VTime::Now(VTime& outTime)
{
	sWORD fields[7] = {};
	VSystem::GetSystemUTCTime(fields);
	outTime.FromUTCTime(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6]);
}

void VTime::FromSystemTime()
{
	sWORD fields[7] = {};
	VSystem::GetSystemUTCTime(fields);
	_Store(fields[0], fields[1], fields[2], static_cast<sLONG>(TimeOfDay(fields[3], fields[4], fields[5], fields[6])));
}

void VTime::FromToday(sLONG8 inMilliseconds)
{
	sWORD fields[7] = {};
	VSystem::GetSystemLocalTime(fields);
	FromLocalTime(fields[0], fields[1], fields[2], 0, 0, 0, 0);
	AddMilliseconds(inMilliseconds);
}

// ---------------------------------------------------------------------------
// Other values

void VTime::FromTime(const VTime& inValue)
{
	fYear = inValue.fYear;
	fMonth = inValue.fMonth;
	fDay = inValue.fDay;
	fMilliseconds = inValue.fMilliseconds;
	SetNull(inValue.IsNull());
	SetDirty(true);
}

void VTime::GetTime(VTime& outValue) const
{
	outValue.FromTime(*this);
}

void VTime::FromValue(const VValueSingle& inValue)
{
	inValue.GetTime(*this);
	SetNull(inValue.IsNull());
	SetDirty(true);
}

bool VTime::FromValueSameKind(const VValue* inValue)
{
	FromTime(*static_cast<const VTime*>(inValue));
	return true;
}

// ---------------------------------------------------------------------------
// Local fields

sWORD VTime::_GetLocalField(int inIndex) const
{
	sWORD fields[7];
	_GetLocalFields(fields);
	return fields[inIndex];
}

VDuration VTime::GetLocalDurationSinceMidnight() const
{
	sWORD fields[7];
	_GetLocalFields(fields);
	VDuration duration;
	duration.SetDuration(0, fields[3], fields[4], fields[5], fields[6]);
	return duration;
}

void VTime::SetLocalYear(sLONG inYear)
{
	if (IsNull())
		return;
	sWORD fields[7];
	_GetLocalFields(fields);
	if (!FitsWord(inYear) || !IsValidDate(inYear, fields[1], fields[2])) {
		_SetNullTime();
		return;
	}
	fields[0] = static_cast<sWORD>(inYear);
	_SetLocalFields(fields);
}

void VTime::SetLocalMonth(sLONG inMonth)
{
	if (IsNull())
		return;
	sWORD fields[7];
	_GetLocalFields(fields);
	sLONG years = (inMonth - 1) / 12;
	sLONG month = inMonth - 12 * years;
	sLONG year = fields[0] + years;
	if (month < 1 || month > 12 || !FitsWord(year) || !IsValidDate(year, month, fields[2])) {
		_SetNullTime();
		return;
	}
	fields[0] = static_cast<sWORD>(year);
	fields[1] = static_cast<sWORD>(month);
	_SetLocalFields(fields);
}

void VTime::SetLocalDay(sLONG inDay)
{
	if (IsNull() || _IsZeroDate())
		return;
	sWORD fields[7];
	_GetLocalFields(fields);
	if (!DateIntoFields(GregorianDayNumber(fields[0], fields[1], fields[2]) + inDay - fields[2], fields)) {
		_SetNullTime();
		return;
	}
	_SetLocalFields(fields);
}

void VTime::_SetLocalByCount(int inField, sLONG8 inAmount)
{
	if (IsNull())
		return;
	sWORD fields[7];
	_GetLocalFields(fields);
	fields[inField] = 0;
	sLONG8 timeOfDay = SaturatingAdd(TimeOfDay(fields[3], fields[4], fields[5], fields[6]), inAmount);
	if (_IsZeroDate()) {
		// No date to carry into: the zero date keeps the time of day whole.
		if (timeOfDay < std::numeric_limits<sLONG>::min() || timeOfDay > std::numeric_limits<sLONG>::max())
			_SetNullTime();
		else
			_Store(0, 0, 0, static_cast<sLONG>(timeOfDay));
		return;
	}
	sLONG8 count =
		SaturatingAdd(SaturatingMultiply(GregorianDayNumber(fields[0], fields[1], fields[2]), kMsPerDay), timeOfDay);
	sLONG8 day = FloorDiv(count, kMsPerDay);
	if (!DateIntoFields(day, fields)) {
		_SetNullTime();
		return;
	}
	SplitTimeOfDay(static_cast<sLONG>(FloorMod(count, kMsPerDay)), fields);
	_SetLocalFields(fields);
}

void VTime::SetLocalHour(sLONG inHour)
{
	_SetLocalByCount(3, inHour * kMsPerHour);
}

void VTime::SetLocalMinute(sLONG inMinute)
{
	_SetLocalByCount(4, inMinute * kMsPerMinute);
}

void VTime::SetLocalSecond(sLONG inSecond)
{
	_SetLocalByCount(5, inSecond * kMsPerSecond);
}

void VTime::SetLocalMillisecond(sLONG inMillisecond)
{
	_SetLocalByCount(6, inMillisecond);
}

// ---------------------------------------------------------------------------
// Day numbers

sLONG VTime::ComputeJulianDay(sLONG inYear, sLONG inMonth, sLONG inDay)
{
	return static_cast<sLONG>(GregorianDayNumber(inYear, inMonth, inDay));
}

sLONG VTime::GetJulianDay() const
{
	return IsNull() ? -1 : ComputeJulianDay(fYear, fMonth, fDay);
}

void VTime::FromJulianDay(sLONG inDay)
{
	_StoreDayAndTime(inDay, 0);
}

sLONG VTime::ComputeWeekDay(sLONG inYear, sLONG inMonth, sLONG inDay)
{
	return static_cast<sLONG>((GregorianDayNumber(inYear, inMonth, inDay) + 2) % 7 + 7) % 7;
}

sLONG VTime::GetWeekDay() const
{
	return IsNull() ? -1 : ComputeWeekDay(fYear, fMonth, fDay);
}

sLONG VTime::ComputeYearDay(sLONG inYear, sLONG inMonth, sLONG inDay)
{
	return static_cast<sLONG>(GregorianDayNumber(inYear, inMonth, inDay) - GregorianDayNumber(inYear, 1, 1) + 1);
}

sLONG VTime::GetYearDay() const
{
	return IsNull() ? -1 : ComputeYearDay(fYear, fMonth, fDay);
}

bool VTime::CheckDate(sLONG inYear, sLONG inMonth, sLONG inDay)
{
	return IsValidDate(inYear, inMonth, inDay);
}

bool VTime::IsLeapYear(sLONG inYear)
{
	return IsLeap(inYear);
}

void VTime::GetJulianDate(sWORD& outYear, sWORD& outMonth, sWORD& outDay) const
{
	outYear = outMonth = outDay = 0;
	if (IsNull())
		return;
	Date date = JulianCalendarDate(GregorianDayNumber(fYear, fMonth, fDay));
	if (!FitsWord(date.fYear))
		return;
	outYear = static_cast<sWORD>(date.fYear);
	outMonth = static_cast<sWORD>(date.fMonth);
	outDay = static_cast<sWORD>(date.fDay);
}

void VTime::FromJulianDate(sWORD inYear, sWORD inMonth, sWORD inDay)
{
	// The Julian calendar has 29 February in every fourth year.
	bool valid = inMonth >= 1 && inMonth <= 12 && inDay >= 1 && inDay <= kMonthLength[inMonth] &&
				 (inMonth != 2 || inDay != 29 || FloorDiv(inYear, 4) * 4 == inYear);
	if (!valid) {
		_SetNullTime();
		return;
	}
	_StoreDayAndTime(JulianCalendarDayNumber(inYear, inMonth, inDay), 0);
}

// ---------------------------------------------------------------------------
// Milliseconds and arithmetic

sLONG8 VTime::GetMilliseconds() const
{
	if (IsNull())
		return -1;
	if (_IsZeroDate())
		return 0;
	return GregorianDayNumber(fYear, fMonth, fDay) * kMsPerDay + fMilliseconds;
}

void VTime::FromMilliseconds(sLONG8 inMilliseconds)
{
	if (inMilliseconds == -1) {
		_SetNullTime();
		return;
	}
	if (inMilliseconds == 0) {
		Clear();
		return;
	}
	// Rounded down, so that a count before the origin still gives a time of
	// day between 0 and a day.
	sLONG8 day = FloorDiv(inMilliseconds, kMsPerDay);
	_StoreDayAndTime(day, static_cast<sLONG>(FloorMod(inMilliseconds, kMsPerDay)));
}

void VTime::AddMilliseconds(sLONG8 inMilliseconds)
{
	if (!IsNull())
		FromMilliseconds(SaturatingAdd(GetMilliseconds(), inMilliseconds));
}

void VTime::Add(const VDuration& inDuration)
{
	AddMilliseconds(inDuration.ConvertToMilliseconds());
}

void VTime::Substract(const VDuration& inDuration)
{
	AddMilliseconds(SaturatingSubtract(0, inDuration.ConvertToMilliseconds()));
}

void VTime::Substract(const VTime& inOther, VDuration& outResult) const
{
	outResult.FromNbMilliseconds(SaturatingSubtract(GetMilliseconds(), inOther.GetMilliseconds()));
}

void VTime::AddDays(sLONG inDays)
{
	AddMilliseconds(inDays * kMsPerDay);
}

void VTime::AddHours(sLONG inHours)
{
	AddMilliseconds(inHours * kMsPerHour);
}

void VTime::AddMinutes(sLONG inMinutes)
{
	AddMilliseconds(inMinutes * kMsPerMinute);
}

void VTime::AddSeconds(sLONG inSeconds)
{
	AddMilliseconds(inSeconds * kMsPerSecond);
}

void VTime::_MoveByDayNumber(sLONG8 inYear, sLONG8 inMonth)
{
	// A day the month lacks is carried on by the day number, so that no date
	// that does not exist is ever stored.
	_StoreDayAndTime(GregorianDayNumber(inYear, inMonth, fDay), fMilliseconds);
}

void VTime::AddYears(sLONG inYears)
{
	if (!IsNull() && !_IsZeroDate())
		_MoveByDayNumber(static_cast<sLONG8>(fYear) + inYears, fMonth);
}

void VTime::AddMonths(sLONG inMonths)
{
	if (IsNull() || _IsZeroDate())
		return;
	sLONG8 t = static_cast<sLONG8>(fMonth) - 1 + inMonths;
	sLONG8 years = FloorDiv(t, 12);
	_MoveByDayNumber(fYear + years, t - 12 * years + 1);
}

// ---------------------------------------------------------------------------
// Comparison

CompareResult VTime::_CompareFields(sWORD inYear1, uint8 inMonth1, uint8 inDay1, sLONG inMs1, sWORD inYear2,
									uint8 inMonth2, uint8 inDay2, sLONG inMs2)
{
	if (inYear1 != inYear2)
		return inYear1 < inYear2 ? CR_SMALLER : CR_BIGGER;
	if (inMonth1 != inMonth2)
		return inMonth1 < inMonth2 ? CR_SMALLER : CR_BIGGER;
	if (inDay1 != inDay2)
		return inDay1 < inDay2 ? CR_SMALLER : CR_BIGGER;
	return scalar::CompareData(inMs1, inMs2);
}

CompareResult VTime::CompareTo(const VTime& inOther) const
{
	return _CompareFields(fYear, fMonth, fDay, fMilliseconds, inOther.fYear, inOther.fMonth, inOther.fDay,
						  inOther.fMilliseconds);
}

CompareResult VTime::CompareTo(const VValueSingle& inValue, bool) const
{
	VTime other;
	inValue.GetTime(other);
	other.SetNull(inValue.IsNull());
	return CompareTo(other);
}

CompareResult VTime::CompareToSameKind(const VValue* inValue, bool) const
{
	return CompareTo(*static_cast<const VTime*>(inValue));
}

CompareResult VTime::CompareToSameKindPtr(const void* inPtr, bool) const
{
	return CompareTo(VTime(scalar::Read<uLONG8>(inPtr)));
}

CompareResult VTime::CompareToSameKindWithOptions(const VValue* inValue, const VCompareOptions&) const
{
	return CompareToSameKind(inValue);
}

CompareResult VTime::CompareToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions&) const
{
	return CompareToSameKindPtr(inPtr);
}

Real VTime::GetReal() const
{
	return static_cast<Real>(GetStamp());
}

sLONG8 VTime::GetLocalUnixTime(bool inMilliseconds) const
{
	if (IsNull() || _IsZeroDate())
		return 0;
	// From the UTC value itself: local fields in the hour a zone repeats when
	// it leaves daylight saving would name two moments.
	constexpr sLONG8 kDayNumberOf1970 = 2440587;
	sLONG8 milliseconds = (GregorianDayNumber(fYear, fMonth, fDay) - kDayNumberOf1970) * kMsPerDay + fMilliseconds;
	return inMilliseconds ? milliseconds : FloorDiv(milliseconds, kMsPerSecond);
}

// ---------------------------------------------------------------------------
// Flat and stream forms

const void* VTime::LoadFromPtr(const void* inData, bool)
{
	FromStamp(scalar::Read<uLONG8>(inData));
	return static_cast<const char*>(inData) + sizeof(uLONG8);
}

void* VTime::WriteToPtr(void* ioData, bool, size_t) const
{
	uLONG8 stamp = GetStamp();
	std::memcpy(ioData, &stamp, sizeof(uLONG8));
	return static_cast<char*>(ioData) + sizeof(uLONG8);
}

VError VTime::ReadFromStream(VStream* ioStream, sLONG)
{
	sWORD year = 0;
	uBYTE month = 0, day = 0;
	sLONG milliseconds = 0;
	ioStream->GetWord(year);
	ioStream->GetByte(month);
	ioStream->GetByte(day);
	ioStream->GetLong(milliseconds);
	// A short stream leaves the time as it was.
	if (ioStream->GetLastError() == VE_OK) {
		fYear = year;
		fMonth = month;
		fDay = day;
		fMilliseconds = milliseconds;
	}
	return ioStream->GetLastError();
}

VError VTime::WriteToStream(VStream* ioStream, sLONG inParam) const
{
	VValueSingle::WriteToStream(ioStream, inParam);
	ioStream->PutWord(fYear);
	ioStream->PutByte(static_cast<uBYTE>(fMonth));
	ioStream->PutByte(static_cast<uBYTE>(fDay));
	ioStream->PutLong(fMilliseconds);
	return ioStream->GetLastError();
}

} // namespace qirn
