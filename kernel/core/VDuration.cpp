#include "core/VDuration.h"

#include "core/DecimalSeconds.h"
#include "core/SaturatingMath.h"
#include "core/VScalarValue.h"
#include "core/VString.h"
#include "core/VTimeCalendar.h"
#include "files/VStream.h"
#include "json/VJSONValue.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace qirn {

const VValueInfo_scalar<VDuration, 9, sLONG8> VDuration::sInfo;

namespace {

using calendar::kMsPerDay;
using calendar::kMsPerHour;
using calendar::kMsPerMinute;
using calendar::kMsPerSecond;

sLONG8 TruncateMilliseconds(Real inMilliseconds)
{
	return scalar::TruncateReal<sLONG8>(inMilliseconds);
}

// A real count of units as milliseconds, toward zero. Where the product falls
// just short of a whole count whose own count of units is the very number
// given, that count is taken: 1.001 seconds, as GetReal writes 1,001 ms, is
// 1,001 ms, though 1.001 * 1000.0 truncates to 1,000.
sLONG8 UnitsToMilliseconds(Real inUnits, Real inMsPerUnit)
{
	Real product = inUnits * inMsPerUnit;
	Real nearest = std::nearbyint(product);
	if (nearest != product && nearest / inMsPerUnit == inUnits)
		return TruncateMilliseconds(nearest);
	return TruncateMilliseconds(product);
}

} // namespace

const VValueInfo* VDuration::GetValueInfo() const
{
	return &sInfo;
}

VDuration* VDuration::Clone() const
{
	// A copy keeps the null flag: a container that clones a null duration
	// must not turn it into a zero one.
	VDuration* clone = new VDuration(*this);
	clone->SetDirty(true);
	return clone;
}

// ---------------------------------------------------------------------------
// Numbers

void VDuration::FromReal(Real inValue)
{
	_Store(UnitsToMilliseconds(inValue, static_cast<Real>(kMsPerSecond)));
}

void VDuration::FromDecimalHour(Real inHours)
{
	_Store(UnitsToMilliseconds(inHours, static_cast<Real>(kMsPerHour)));
}

void VDuration::AddDecimalHour(Real inHours)
{
	_Store(SaturatingAdd(fMilliseconds, UnitsToMilliseconds(inHours, static_cast<Real>(kMsPerHour))));
}

void VDuration::FromNbSeconds(sLONG8 inSeconds)
{
	_Store(SaturatingMultiply(inSeconds, kMsPerSecond));
}

void VDuration::FromNbMinutes(sLONG8 inMinutes)
{
	_Store(SaturatingMultiply(inMinutes, kMsPerMinute));
}

void VDuration::FromNbHours(sLONG8 inHours)
{
	_Store(SaturatingMultiply(inHours, kMsPerHour));
}

void VDuration::FromNbDays(sLONG8 inDays)
{
	_Store(SaturatingMultiply(inDays, kMsPerDay));
}

// ---------------------------------------------------------------------------
// Other values

void VDuration::FromValue(const VValueSingle& inValue)
{
	inValue.GetDuration(*this);
	SetNull(inValue.IsNull());
	SetDirty(true);
}

void VDuration::FromRESTValue(const VValueSingle& inValue)
{
	sLONG8 number = inValue.GetLong8();
	if (number != 0)
		fMilliseconds = number;
	else
		inValue.GetDuration(*this);
	SetNull(inValue.IsNull());
	SetDirty(true);
}

bool VDuration::FromValueSameKind(const VValue* inValue)
{
	const VDuration* other = static_cast<const VDuration*>(inValue);
	fMilliseconds = other->fMilliseconds;
	SetNull(other->IsNull());
	SetDirty(true);
	return true;
}

// ---------------------------------------------------------------------------
// Parts

sLONG VDuration::GetDay() const
{
	return static_cast<sLONG>(fMilliseconds / kMsPerDay);
}

sLONG VDuration::GetHour() const
{
	return static_cast<sLONG>(fMilliseconds % kMsPerDay / kMsPerHour);
}

sLONG VDuration::GetMinute() const
{
	return static_cast<sLONG>(fMilliseconds % kMsPerHour / kMsPerMinute);
}

sLONG VDuration::GetSecond() const
{
	return static_cast<sLONG>(fMilliseconds % kMsPerMinute / kMsPerSecond);
}

sLONG VDuration::GetMillisecond() const
{
	return static_cast<sLONG>(fMilliseconds % kMsPerSecond);
}

void VDuration::GetDuration(sLONG& outDays, sLONG& outHours, sLONG& outMinutes, sLONG& outSeconds,
							sLONG& outMilliseconds) const
{
	if (IsNull()) {
		outDays = outHours = outMinutes = outSeconds = outMilliseconds = -1;
		return;
	}
	outDays = GetDay();
	outHours = GetHour();
	outMinutes = GetMinute();
	outSeconds = GetSecond();
	outMilliseconds = GetMillisecond();
}

namespace {

sLONG8 SumOfParts(sLONG8 inDays, sLONG8 inHours, sLONG8 inMinutes, sLONG8 inSeconds, sLONG8 inMilliseconds)
{
	sLONG8 sum = SaturatingMultiply(inDays, kMsPerDay);
	sum = SaturatingAdd(sum, SaturatingMultiply(inHours, kMsPerHour));
	sum = SaturatingAdd(sum, SaturatingMultiply(inMinutes, kMsPerMinute));
	sum = SaturatingAdd(sum, SaturatingMultiply(inSeconds, kMsPerSecond));
	return SaturatingAdd(sum, inMilliseconds);
}

} // namespace

void VDuration::SetDuration(sLONG8 inDays, sLONG8 inHours, sLONG8 inMinutes, sLONG8 inSeconds,
							sLONG8 inMilliseconds)
{
	_Store(SumOfParts(inDays, inHours, inMinutes, inSeconds, inMilliseconds));
}

// ---------------------------------------------------------------------------
// Arithmetic

void VDuration::AddDuration(sLONG8 inDays, sLONG8 inHours, sLONG8 inMinutes, sLONG8 inSeconds,
							sLONG8 inMilliseconds)
{
	fMilliseconds = SaturatingAdd(fMilliseconds, SumOfParts(inDays, inHours, inMinutes, inSeconds, inMilliseconds));
}

void VDuration::AddDays(sLONG inDays)
{
	fMilliseconds = SaturatingAdd(fMilliseconds, inDays * kMsPerDay);
}

void VDuration::AddHours(sLONG inHours)
{
	fMilliseconds = SaturatingAdd(fMilliseconds, inHours * kMsPerHour);
}

void VDuration::AddMinutes(sLONG inMinutes)
{
	fMilliseconds = SaturatingAdd(fMilliseconds, inMinutes * kMsPerMinute);
}

void VDuration::AddSeconds(sLONG inSeconds)
{
	fMilliseconds = SaturatingAdd(fMilliseconds, inSeconds * kMsPerSecond);
}

void VDuration::AddMilliseconds(sLONG8 inMilliseconds)
{
	fMilliseconds = SaturatingAdd(fMilliseconds, inMilliseconds);
}

void VDuration::AdjustDay(sLONG inDays)
{
	fMilliseconds = SaturatingAdd(inDays * kMsPerDay, fMilliseconds % kMsPerDay);
}

void VDuration::AdjustHour(sLONG inHours)
{
	fMilliseconds = SaturatingAdd(fMilliseconds, (static_cast<sLONG8>(inHours) - GetHour()) * kMsPerHour);
}

void VDuration::AdjustMinute(sLONG inMinutes)
{
	fMilliseconds = SaturatingAdd(fMilliseconds, (static_cast<sLONG8>(inMinutes) - GetMinute()) * kMsPerMinute);
}

void VDuration::AdjustSecond(sLONG inSeconds)
{
	fMilliseconds = SaturatingAdd(fMilliseconds, (static_cast<sLONG8>(inSeconds) - GetSecond()) * kMsPerSecond);
}

void VDuration::AdjustMillisecond(sLONG inMilliseconds)
{
	fMilliseconds = SaturatingAdd(fMilliseconds, static_cast<sLONG8>(inMilliseconds) - GetMillisecond());
}

void VDuration::Add(const VDuration& inOther)
{
	fMilliseconds = SaturatingAdd(fMilliseconds, inOther.fMilliseconds);
}

void VDuration::Substract(const VDuration& inOther)
{
	fMilliseconds = SaturatingSubtract(fMilliseconds, inOther.fMilliseconds);
}

void VDuration::Multiply(Real inFactor)
{
	fMilliseconds = TruncateMilliseconds(static_cast<Real>(fMilliseconds) * inFactor);
}

void VDuration::Divide(Real inDivisor)
{
	fMilliseconds = TruncateMilliseconds(static_cast<Real>(fMilliseconds) / inDivisor);
}

Real VDuration::Divide(const VDuration& inDivisor) const
{
	return static_cast<Real>(fMilliseconds) / static_cast<Real>(inDivisor.fMilliseconds);
}

void VDuration::Remainder(const VDuration& inDivisor)
{
	// The smallest count divided by -1 has no 64-bit quotient; its
	// remainder is 0 all the same.
	if (inDivisor.fMilliseconds == -1)
		fMilliseconds = 0;
	else if (inDivisor.fMilliseconds != 0)
		fMilliseconds %= inDivisor.fMilliseconds;
}

// ---------------------------------------------------------------------------
// Comparison

CompareResult VDuration::CompareTo(const VDuration& inOther) const
{
	return scalar::CompareData(fMilliseconds, inOther.fMilliseconds);
}

CompareResult VDuration::CompareTo(const VValueSingle& inValue, bool) const
{
	VDuration other;
	inValue.GetDuration(other);
	other.SetNull(inValue.IsNull());
	return CompareTo(other);
}

CompareResult VDuration::CompareToSameKind(const VValue* inValue, bool) const
{
	return CompareTo(*static_cast<const VDuration*>(inValue));
}

CompareResult VDuration::CompareToSameKindPtr(const void* inPtr, bool) const
{
	return scalar::CompareData(fMilliseconds, scalar::Read<sLONG8>(inPtr));
}

CompareResult VDuration::CompareToSameKindWithOptions(const VValue* inValue, const VCompareOptions&) const
{
	return CompareToSameKind(inValue);
}

CompareResult VDuration::CompareToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions&) const
{
	return CompareToSameKindPtr(inPtr);
}

// ---------------------------------------------------------------------------
// Text

void VDuration::GetString(VString& outText) const
{
	outText.Clear();
	if (!IsNull())
		outText.FromLong8(fMilliseconds);
}

void VDuration::FromString(const VString& inText)
{
	if (inText.FindUniChar(u':') == 0) {
		_Store(SaturatingMultiply(inText.GetLong8(), kMsPerSecond));
		return;
	}
	std::vector<VString> parts;
	inText.GetSubStrings(u':', parts, true, true);
	std::vector<sLONG8> numbers;
	for (const VString& part : parts)
		numbers.push_back(part.GetLong8());
	// "-0:30:00" is minus half an hour: the sign is the whole text's, not
	// the first part's alone.
	bool negative = !parts.empty() && parts[0].GetUniChar(1) == u'-';
	if (negative)
		numbers[0] = -numbers[0];
	sLONG8 count;
	if (numbers.size() >= 4)
		count = SumOfParts(0, numbers[0], numbers[1], numbers[2], numbers[3]);
	else if (numbers.size() == 3)
		count = SumOfParts(0, numbers[0], numbers[1], numbers[2], 0);
	else
		count = SumOfParts(0, 0, numbers[0], numbers[1], 0);
	_Store(negative ? -count : count);
}

void VDuration::GetFormattedString(VString& ioText) const
{
	sLONG parts[5];
	GetDuration(parts[0], parts[1], parts[2], parts[3], parts[4]);
	for (int i = 0; i < 5; ++i) {
		if (i > 0)
			ioText.AppendUniChar(u':');
		ioText.AppendLong(parts[i]);
	}
}

void VDuration::GetHoursMinutesSecondsString(VString& outText) const
{
	// The parts of the absolute value: each part of a negative count is
	// negative, and "-1:-2:-3" is no clock text.
	uLONG8 magnitude = fMilliseconds < 0 ? 0 - static_cast<uLONG8>(fMilliseconds) : static_cast<uLONG8>(fMilliseconds);
	char text[48];
	std::snprintf(text, sizeof(text), "%s%llu:%02llu:%02llu", fMilliseconds < 0 ? "-" : "", magnitude / kMsPerHour,
				  magnitude % kMsPerHour / kMsPerMinute, magnitude % kMsPerMinute / kMsPerSecond);
	outText.FromCString(text);
}

void VDuration::GetXMLString(VString& outText, uint32 inOptions) const
{
	if ((inOptions & kXML_ISO8601) == 0) {
		outText.FromLong8(fMilliseconds / kMsPerSecond);
		return;
	}
	outText.Clear();
	if (IsNull())
		return;
	char text[128];
	sLONG8 days = fMilliseconds / kMsPerDay;
	int length;
	if (days == 0)
		length = std::snprintf(text, sizeof(text), "PT%dH%dM", GetHour(), GetMinute());
	else
		length = std::snprintf(text, sizeof(text), "P%lldDT%dH%dM", days, GetHour(), GetMinute());
	sLONG seconds = GetSecond();
	sLONG milliseconds = GetMillisecond();
	if (milliseconds == 0) {
		std::snprintf(text + length, sizeof(text) - length, "%dS", seconds);
	} else {
		// The seconds with fourteen decimals, as "%.14f" writes them, made
		// from the integers: no decimal comma from the C locale, and the
		// three digits are exact.
		std::snprintf(text + length, sizeof(text) - length, "%s%d.%03d00000000000S", milliseconds < 0 ? "-" : "",
					  std::abs(seconds), std::abs(milliseconds));
	}
	outText.FromCString(text);
}

void VDuration::_ReadISO8601(const VString& inText)
{
	sLONG8 years = 0, months = 0, days = 0, hours = 0, minutes = 0;
	DecimalSeconds seconds;
	bool timePart = false;
	VString number;
	for (VIndex i = 2; i <= inText.GetLength(); ++i) {
		UniChar c = inText.GetUniChar(i);
		sLONG8* target = nullptr;
		if (!timePart && c == u'T') {
			timePart = true;
			continue;
		}
		if (!timePart && c == u'Y')
			target = &years;
		else if (!timePart && c == u'M')
			target = &months;
		else if (!timePart && c == u'D')
			target = &days;
		else if (timePart && c == u'H')
			target = &hours;
		else if (timePart && c == u'M')
			target = &minutes;
		if (target != nullptr) {
			*target = number.GetLong();
			number.Clear();
		} else if (timePart && c == u'S') {
			VIndex pos = 0;
			seconds = DecimalSeconds::Read(number.GetCPointer(), number.GetLength(), pos);
			number.Clear();
		} else {
			number.AppendUniChar(c);
		}
	}
	// A year counts 360 days and a month 30.
	sLONG8 allDays = SaturatingAdd(SaturatingAdd(SaturatingMultiply(years, 360), SaturatingMultiply(months, 30)), days);
	_Store(SaturatingAdd(SumOfParts(allDays, hours, minutes, seconds.fSeconds, 0), seconds.fMilliseconds));
}

bool VDuration::FromXMLString(const VString& inText)
{
	if (inText.GetUniChar(1) == u'P')
		_ReadISO8601(inText);
	else if (inText.FindUniChar(u':') == 0)
		_Store(SaturatingMultiply(inText.GetLong8(), kMsPerSecond));
	else
		FromString(inText);
	return true;
}

VError VDuration::GetJSONString(VString& outText, uint32) const
{
	outText.FromLong8(fMilliseconds);
	return VE_OK;
}

VError VDuration::FromJSONString(const VString& inText, uint32)
{
	_Store(inText.GetLong8());
	return VE_OK;
}

VError VDuration::GetJSONValue(VJSONValue& outJSONValue, uint32 inOptions) const
{
	if (IsNull()) {
		outJSONValue.SetNull();
		return VE_OK;
	}
	if ((inOptions & kJSONValue_HoursMinutesSeconds) != 0) {
		VString text;
		GetHoursMinutesSecondsString(text);
		return text.GetJSONValue(outJSONValue, 0);
	}
	if ((inOptions & kJSONValue_Milliseconds) != 0)
		outJSONValue.SetNumber(static_cast<Real>(fMilliseconds));
	else
		outJSONValue.SetNumber(GetReal());
	return VE_OK;
}

VError VDuration::FromJSONValue(const VJSONValue& inJSONValue)
{
	if (inJSONValue.IsNull()) {
		Clear();
		SetNull(true);
		return VE_OK;
	}
	FromReal(inJSONValue.GetNumber());
	return VE_OK;
}

// ---------------------------------------------------------------------------
// Flat and stream forms

const void* VDuration::LoadFromPtr(const void* inData, bool)
{
	_Store(scalar::Read<sLONG8>(inData));
	return static_cast<const char*>(inData) + sizeof(sLONG8);
}

void* VDuration::WriteToPtr(void* ioData, bool, size_t) const
{
	std::memcpy(ioData, &fMilliseconds, sizeof(sLONG8));
	return static_cast<char*>(ioData) + sizeof(sLONG8);
}

VError VDuration::ReadFromStream(VStream* ioStream, sLONG)
{
	sLONG8 count = 0;
	if (ioStream->GetLong8(count) == VE_OK)
		fMilliseconds = count;
	return ioStream->GetLastError();
}

VError VDuration::WriteToStream(VStream* ioStream, sLONG inParam) const
{
	VValueSingle::WriteToStream(ioStream, inParam);
	ioStream->PutLong8(fMilliseconds);
	return ioStream->GetLastError();
}

} // namespace qirn
