#pragma once

#include "core/VValueInfo.h"
#include "core/VValueSingle.h"

namespace qirn {

template <class Self, uint16 kKind, typename T>
class VValueInfo_scalar;

// The value of kind 9: a signed length of time in milliseconds. Where it
// meets a number (the typed getters and setters, JSON numbers) it counts in
// seconds. Its parts (days, hours of the day, minutes of the hour, ...) come
// from truncating divisions, so a negative duration has negative parts.
// Arithmetic that would leave the 64-bit range stops at its ends.
class VDuration : public VValueSingle {
public:
	VDuration() : fMilliseconds(0) {}
	explicit VDuration(sLONG8 inMilliseconds) : fMilliseconds(inMilliseconds) {}
	VDuration(const VDuration& inOther) : VValueSingle(inOther), fMilliseconds(inOther.fMilliseconds) {}
	// With inInit set the duration starts at 0; otherwise the count is read
	// through the pointer.
	VDuration(const sLONG8* inDataPtr, uint8 inInit) : fMilliseconds(inInit != 0 ? 0 : *inDataPtr) {}
	// Copies the count; the target is not null afterwards.
	VDuration& operator=(const VDuration& inOther)
	{
		_Store(inOther.fMilliseconds);
		return *this;
	}

	static const VValueInfo_scalar<VDuration, 9, sLONG8> sInfo;
	const VValueInfo* GetValueInfo() const override;
	VDuration* Clone() const override;
	void Clear() override { _Store(0); }

	// Numbers, in seconds.
	uint8 GetBoolean() const override { return fMilliseconds != 0 ? 1 : 0; }
	sBYTE GetByte() const override { return static_cast<sBYTE>(fMilliseconds / 1000); }
	sWORD GetWord() const override { return static_cast<sWORD>(fMilliseconds / 1000); }
	sLONG GetLong() const override { return static_cast<sLONG>(fMilliseconds / 1000); }
	sLONG8 GetLong8() const override { return fMilliseconds / 1000; }
	Real GetReal() const override { return static_cast<Real>(fMilliseconds) / 1000.0; }
	sLONG8 GetLong8OrMilliSeconds() const override { return fMilliseconds; }
	sLONG8 ConvertToMilliseconds() const { return fMilliseconds; }
	sLONG8 ConvertToSeconds() const { return fMilliseconds / 1000; }
	sLONG8 ConvertToMinutes() const { return fMilliseconds / 60000; }
	sLONG8 ConvertToHours() const { return fMilliseconds / 3600000; }
	Real GetDecimalHour() const { return static_cast<Real>(fMilliseconds) / 3600000.0; }

	void FromBoolean(uint8 inValue) override { _Store(inValue != 0 ? 1000 : 0); }
	void FromByte(sBYTE inValue) override { _Store(inValue * 1000LL); }
	void FromWord(sWORD inValue) override { _Store(inValue * 1000LL); }
	void FromLong(sLONG inValue) override { _Store(inValue * 1000LL); }
	void FromLong8(sLONG8 inValue) override { FromNbSeconds(inValue); }
	// Seconds or hours, cut toward zero to the millisecond; a real that
	// GetReal or GetDecimalHour wrote gives back the very same count.
	void FromReal(Real inValue) override;
	void FromDecimalHour(Real inHours);
	void AddDecimalHour(Real inHours);
	void FromNbMilliseconds(sLONG8 inMilliseconds) { _Store(inMilliseconds); }
	void FromNbSeconds(sLONG8 inSeconds);
	void FromNbMinutes(sLONG8 inMinutes);
	void FromNbHours(sLONG8 inHours);
	void FromNbDays(sLONG8 inDays);

	// Other values
	void FromDuration(const VDuration& inValue) override { _Store(inValue.fMilliseconds); }
	void GetDuration(VDuration& outValue) const override { outValue.fMilliseconds = fMilliseconds; }
	void GetValue(VValueSingle& outValue) const override { outValue.FromDuration(*this); }
	void FromValue(const VValueSingle& inValue) override;
	// A number that is not 0 is a count of milliseconds; anything else
	// converts as a duration.
	void FromRESTValue(const VValueSingle& inValue) override;
	bool FromValueSameKind(const VValue* inValue) override;

	// Parts: days, hours of the day, minutes of the hour, seconds of the
	// minute, milliseconds of the second. A null duration fills all with -1.
	sLONG GetDay() const;
	sLONG GetHour() const;
	sLONG GetMinute() const;
	sLONG GetSecond() const;
	sLONG GetMillisecond() const;
	void GetDuration(sLONG& outDays, sLONG& outHours, sLONG& outMinutes, sLONG& outSeconds,
					 sLONG& outMilliseconds) const;
	void SetDuration(sLONG8 inDays, sLONG8 inHours, sLONG8 inMinutes, sLONG8 inSeconds, sLONG8 inMilliseconds);

	// Arithmetic; it leaves the flags alone.
	void AddDuration(sLONG8 inDays, sLONG8 inHours, sLONG8 inMinutes, sLONG8 inSeconds, sLONG8 inMilliseconds);
	void AddDays(sLONG inDays);
	void AddHours(sLONG inHours);
	void AddMinutes(sLONG inMinutes);
	void AddSeconds(sLONG inSeconds);
	void AddMilliseconds(sLONG8 inMilliseconds);
	// Replace one part, keeping the others.
	void AdjustDay(sLONG inDays);
	void AdjustHour(sLONG inHours);
	void AdjustMinute(sLONG inMinutes);
	void AdjustSecond(sLONG inSeconds);
	void AdjustMillisecond(sLONG inMilliseconds);
	void Add(const VDuration& inOther);
	void Substract(const VDuration& inOther);
	void Multiply(Real inFactor);
	// Division by zero: by the real 0 the count goes to the end of the range
	// of its sign (0 stays 0); by a zero duration Remainder changes nothing.
	void Divide(Real inDivisor);
	Real Divide(const VDuration& inDivisor) const;
	void Remainder(const VDuration& inDivisor);

	// Comparison of the counts, as signed numbers.
	CompareResult CompareTo(const VDuration& inOther) const;
	CompareResult CompareTo(const VValueSingle& inValue, bool inDiacritical = false) const override;
	CompareResult CompareToSameKind(const VValue* inValue, bool inDiacritical = false) const override;
	CompareResult CompareToSameKindPtr(const void* inPtr, bool inDiacritical = false) const override;
	CompareResult CompareToSameKindWithOptions(const VValue* inValue, const VCompareOptions& inOptions) const override;
	CompareResult CompareToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions& inOptions) const override;
	bool operator==(const VDuration& inOther) const { return fMilliseconds == inOther.fMilliseconds; }
	bool operator!=(const VDuration& inOther) const { return fMilliseconds != inOther.fMilliseconds; }
	bool operator<(const VDuration& inOther) const { return fMilliseconds < inOther.fMilliseconds; }
	bool operator<=(const VDuration& inOther) const { return fMilliseconds <= inOther.fMilliseconds; }
	bool operator>(const VDuration& inOther) const { return fMilliseconds > inOther.fMilliseconds; }
	bool operator>=(const VDuration& inOther) const { return fMilliseconds >= inOther.fMilliseconds; }

	// Text: the count in milliseconds. FromString reads a number of seconds,
	// or "H:M:S:MS", "H:M:S" or "M:S"; a leading '-' makes the whole negative.
	void GetString(VString& outText) const override;
	void FromString(const VString& inText) override;
	// Appends "days:hours:minutes:seconds:milliseconds".
	void GetFormattedString(VString& ioText) const;
	// "H:MM:SS" with the total hours (not wrapped at days); a negative
	// duration writes one '-' before the parts of its absolute value.
	void GetHoursMinutesSecondsString(VString& outText) const;

	// XML: whole seconds, or with option bit 1 an ISO 8601 duration
	// ("P1DT1H1M1.50000000000000S"; a null duration writes an empty text).
	// Reading takes either, and the text forms of FromString.
	static constexpr uint32 kXML_ISO8601 = 1;
	void GetXMLString(VString& outText, uint32 inOptions) const override;
	bool FromXMLString(const VString& inText) override;
	// JSON strings: the count in milliseconds.
	VError GetJSONString(VString& outText, uint32 inOptions) const override;
	VError FromJSONString(const VString& inText, uint32 inOptions) override;
	// JSON values: a null duration is JSON null; with
	// kJSONValue_HoursMinutesSeconds the JSON string of
	// GetHoursMinutesSecondsString ("25:01:01"); otherwise a JSON number of
	// seconds, or of milliseconds with kJSONValue_Milliseconds. Reading takes
	// any JSON value's number as seconds.
	static constexpr uint32 kJSONValue_Milliseconds = 2;
	static constexpr uint32 kJSONValue_HoursMinutesSeconds = 4;
	VError GetJSONValue(VJSONValue& outJSONValue, uint32 inOptions) const override;
	VError FromJSONValue(const VJSONValue& inJSONValue) override;

	// Flat form: the count in native order. Stream form: the count in the
	// stream's order; the flags are not streamed.
	const void* LoadFromPtr(const void* inData, bool inRefOnly) override;
	void* WriteToPtr(void* ioData, bool inRefOnly, size_t inMax) const override;
	VSize GetSpace(VSize /*inMax*/) const override { return sizeof(sLONG8); }
	VError ReadFromStream(VStream* ioStream, sLONG inParam = 0) override;
	VError WriteToStream(VStream* ioStream, sLONG inParam = 0) const override;

private:
	void _Store(sLONG8 inMilliseconds)
	{
		fMilliseconds = inMilliseconds;
		SetNull(false);
		SetDirty(true);
	}
	void _ReadISO8601(const VString& inText);

	sLONG8 fMilliseconds;
};

} // namespace qirn
