#pragma once

#include "core/VInlineString.h"
#include "core/VKernelTypes.h"
#include "core/VString.h"

#include <atomic>
#include <set>
#include <utility>

namespace qirn {

class IFile;
class VCompareOptions;
class VJSONArray;
class VJSONContainer;
class VJSONObject;
class VJSONStamp;
class VTime;
class VValueSingle;

// The kinds of JSON values. The numbers are part of the binary format and of
// comparisons across kinds.
enum JSONType : int32 {
	JSON_null = 0,
	JSON_false = 1,
	JSON_true = 2,
	JSON_string = 3,
	JSON_number = 4,
	JSON_object = 5,
	JSON_array = 6,
	JSON_undefined = 7,
	JSON_date = 8,
	JSON_lastType = 9,
};

// The pairs of containers under comparison by a deep comparison.
using VJSONDeepEqualPairs = std::set<std::pair<const void*, const void*>>;

// Counts string payloads as they are made; any task makes them.
extern std::atomic<uint32> __VInlineString_tag;

// The one value type of the JSON model: a small tagged value holding null, a
// Boolean, a string (sharing the buffer of VString), a number, a counted
// reference to an object or an array, undefined or a calendar date, with a
// change stamp. Conversions between kinds never fail.
class VJSONValue {
public:
	VJSONValue() : VJSONValue(JSON_undefined) {}
	explicit VJSONValue(JSONType inType);
	explicit VJSONValue(VJSONObject* inObject);
	explicit VJSONValue(VJSONArray* inArray);
	explicit VJSONValue(const VString& inString);
	explicit VJSONValue(const VInlineString& inString);
	explicit VJSONValue(double inNumber);
	// A date: the time's UTC year, month and day; a null time gives null.
	explicit VJSONValue(const VTime& inTime);
	VJSONValue(const VJSONValue& inOther) : fType(inOther.fType), fStamp(_NextStamp())
	{
		if (_HoldsNothing(fType))
			fPayload = inOther.fPayload;
		else
			_CopyPayloadFrom(inOther);
	}
	VJSONValue(VJSONValue&& inOther) noexcept;
	~VJSONValue() { _Dispose(); }

	VJSONValue& operator=(const VJSONValue& inOther);
	VJSONValue& operator=(VJSONValue&& inOther) noexcept;

	JSONType GetType() const { return fType; }
	uint32 GetStamp() const { return fStamp; }
	// A fresh stamp, as when the slot holding the value changes.
	void _NewStamp() { fStamp = _NextStamp(); }
	static uint32 _NextStamp();

	bool IsNull() const { return fType == JSON_null; }
	bool IsUndefined() const { return fType == JSON_undefined; }
	bool IsBool() const { return fType == JSON_true || fType == JSON_false; }
	bool IsString() const { return fType == JSON_string; }
	bool IsNumber() const { return fType == JSON_number; }
	bool IsObject() const { return fType == JSON_object; }
	bool IsArray() const { return fType == JSON_array; }
	bool IsDate() const { return fType == JSON_date; }

	// Setters keep the stamp.
	void SetNull() { _SetScalarType(JSON_null); }
	void SetUndefined() { _SetScalarType(JSON_undefined); }
	void SetBool(bool inValue) { _SetScalarType(inValue ? JSON_true : JSON_false); }
	void SetNumber(double inValue);
	void SetString(const VString& inString);
	void SetString(const VInlineString& inString);
	// A string of a copy of the units in a buffer of its own: what a reader
	// calls for each string it decodes, without a VString in between.
	void _SetStringFromUnits(const UniChar* inUnits, VIndex inLength);
	void SetObject(VJSONObject* inObject);
	void SetArray(VJSONArray* inArray);
	void SetTime(const VTime& inTime);
	void SetDate(int16 inYear, int16 inMonth, int16 inDay);
	void Clear();

	// Getters never fail and never change the value.
	bool GetBool() const;
	double GetNumber() const;
	VError GetString(VString& outString, std::set<const VJSONArray*>* ioVisited = nullptr) const;
	bool GetDate(int16& outYear, int16& outMonth, int16& outDay) const;
	// A date gives UTC midnight of its day and a string its text read by
	// VTime::FromString; every other kind a null time.
	void GetTime(VTime& outTime) const;
	// The container with one more reference for the caller, or null.
	[[nodiscard]] VJSONObject* RetainObject() const;
	[[nodiscard]] VJSONArray* RetainArray() const;
	// The container without a reference, or null.
	VJSONObject* GetObject() const { return fType == JSON_object ? fPayload.fObject : nullptr; }
	VJSONArray* GetArray() const { return fType == JSON_array ? fPayload.fArray : nullptr; }
	const VInlineString* GetInlineString() const { return fType == JSON_string ? &fPayload.fString.fText : nullptr; }
	uint32 GetStringTag() const { return fType == JSON_string ? fPayload.fString.fTag : 0; }

	// Object access through the value.
	VJSONValue GetProperty(const VString& inName) const;
	void SetProperty(const VString& inName, const VJSONValue& inValue) const;
	static bool GetBoolByPath(const VJSONValue& inRoot, const VString& inPath);
	static int32 GetLongByPath(const VJSONValue& inRoot, const VString& inPath);
	static bool GetStringByPath(const VJSONValue& inRoot, const VString& inPath, VString& outString);

	// JSON text: the writer's options (see VJSONWriter), and the reader's
	// with the date flags: none (0), inDates (192) or both (576).
	VError Stringify(VString& outText, uint32 inOptions = 0) const;
	VError ParseFromString(const VString& inText, bool inDates = false, bool inNonAmbiguousDates = false);
	// The same through a file's whole content in UTF-8 (VJSONImporter::ParseFile,
	// dates read when asked; VJSONWriter::StringifyValueToFile).
	VError LoadFromFile(IFile* inFile, bool inDates = false);
	VError SaveToFile(IFile* inFile, uint32 inOptions = 0) const;

	// A new value of the value family, owned by the caller. The flag marks
	// containers with a non-null text instead of a null string.
	[[nodiscard]] VValueSingle* CreateVValue(bool inMarkContainers) const;

	// -1, 0 or 1; containers by identity. Null equals undefined here.
	int32 CompareTo(const VJSONValue& inOther, const VCompareOptions& inOptions) const;
	// Containers by content; values of different kinds are unequal.
	bool DeepEqualTo(const VJSONValue& inOther, const VCompareOptions& inOptions) const;
	bool _DeepEqualTo(const VJSONValue& inOther, const VCompareOptions& inOptions, VJSONDeepEqualPairs& ioPairs) const;

	// Stamps: every store into a container goes through here, so that the
	// stored subtree shares the container's stamp and the stamp counts the
	// change.
	static void CheckAndUpdateJsonStamp(const VJSONValue& inValue, VJSONStamp* inStamp);
	static void _ChangeJSONStamp(const VJSONValue& inValue, VJSONStamp* inStamp, std::set<const void*>& ioVisited);

	static std::atomic<uint32> sStamp;

	static const VJSONValue sUndefined;
	static const VJSONValue sNull;
	static const VJSONValue sTrue;
	static const VJSONValue sFalse;
	static const VJSONValue sLastType;
	static const VString sUndefinedString;
	static const VString sNullString;
	static const VString sTrueString;
	static const VString sFalseString;
	static const VString sObjectString;

private:
	struct StringPayload {
		VInlineString fText;
		uint32 fTag;
	};
	union Payload {
		double fNumber;
		VJSONObject* fObject;
		VJSONArray* fArray;
		uint32 fDate;
		StringPayload fString;
	};

	static bool _HoldsNothing(JSONType inType)
	{
		return inType != JSON_string && inType != JSON_object && inType != JSON_array;
	}
	// Scalars hold nothing: only strings and containers need the slow path.
	void _Dispose()
	{
		if (!_HoldsNothing(fType))
			_DisposePayload();
		fPayload.fNumber = 0.0;
	}
	void _DisposePayload();
	void _CopyPayloadFrom(const VJSONValue& inOther);
	void _TakePayloadFrom(VJSONValue& ioOther);
	void _SetScalarType(JSONType inType)
	{
		_Dispose();
		fType = inType;
	}
	void _InitEmptyString();
	void _GetDateTime(VTime& outTime) const;
	void _SetContainer(JSONType inType, VJSONContainer* inContainer);
	bool _KeepsBuffer(const UniChar* inBuffer, int32 inLength);
	// Takes over a string payload that already holds its count.
	void _TakeString(const VInlineString& inCounted);

	JSONType fType;
	uint32 fStamp;
	Payload fPayload;
};

} // namespace qirn
