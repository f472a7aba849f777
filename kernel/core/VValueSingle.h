#pragma once

#include "core/VValue.h"

namespace qirn {

class VDuration;
class VTime;
class VUUID;
enum JSONType : int32;

// Base of every value that holds one datum. It offers the typed conversion
// interface; a kind overrides what it can convert and keeps the defaults
// (zero, or clearing the target) for the rest.
class VValueSingle : public VValue {
public:
	VValueSingle() = default;
	explicit VValueSingle(bool inNull) : VValue(inNull) {}
	VValueSingle(const VValueSingle& inOther) = default;
	VValueSingle& operator=(const VValueSingle&) = default;

	const VValueSingle* IsVValueSingle() const override { return this; }
	VValueSingle* IsVValueSingle() override { return this; }

	VValueSingle* Clone() const override = 0;
	bool CanBeStreamed() const override { return true; }

	// Writes the value's text as UTF-16 units, cut to the room; no text is
	// written while the process object does not exist.
	using VObject::DebugDump;
	CharSet DebugDump(char* ioBuffer, int32& ioSize) const override;

	VError FromJSONString(const VString& inJSONString, uint32 inOptions) override;
	VError GetJSONString(VString& outJSONString, uint32 inOptions) const override;
	// A kind without a JSON form clears itself on reading and gives JSON
	// null on writing; both answer VE_UNIMPLEMENTED.
	VError FromJSONValue(const VJSONValue& inJSONValue) override;
	VError GetJSONValue(VJSONValue& outJSONValue, uint32 inOptions) const override;

	virtual uint8 GetBoolean() const { return 0; }
	virtual sBYTE GetByte() const { return 0; }
	virtual sWORD GetWord() const { return 0; }
	virtual sLONG GetLong() const { return 0; }
	virtual sLONG8 GetLong8() const { return 0; }
	virtual sLONG8 GetLong8OrMilliSeconds() const { return GetLong8(); }
	virtual Real GetReal() const { return 0.0; }
	virtual void GetDuration(VDuration& outValue) const;
	virtual void GetTime(VTime& outValue) const;
	virtual void GetString(VString& outValue) const;
	virtual void GetVUUID(VUUID& outValue) const;
	virtual void GetValue(VValueSingle& outValue) const;

	virtual void FromBoolean(uint8) {}
	virtual void FromByte(sBYTE) {}
	virtual void FromWord(sWORD) {}
	virtual void FromLong(sLONG) {}
	virtual void FromLong8(sLONG8) {}
	virtual void FromReal(Real) {}
	virtual void FromDuration(const VDuration&) {}
	virtual void FromTime(const VTime&) {}
	virtual void FromString(const VString&) {}
	virtual void FromVUUID(const VUUID&) {}
	virtual void FromValue(const VValueSingle&) {}
	virtual void FromRESTValue(const VValueSingle& inValue) { FromValue(inValue); }

	virtual void GetXMLString(VString& outText, uint32 inOptions) const;
	virtual bool FromXMLString(const VString& inText);

	// CR_UNRELEVANT (-1000) for values that cannot be compared.
	virtual CompareResult CompareTo(const VValueSingle& /*inValue*/, bool /*inDiacritical*/ = false) const
	{
		return CR_UNRELEVANT;
	}
	virtual bool EqualTo(const VValueSingle& inValue, bool inDiacritical = false) const
	{
		return CompareTo(inValue, inDiacritical) == CR_EQUAL;
	}

	// A new value of the kind holding this one converted, with its null
	// flag; null for a kind without a descriptor or whose values are series.
	VValueSingle* ConvertTo(uint16 inKind) const;

	// A new value, owned by the caller, that JSON can carry for the given
	// one: integer kinds become reals, identifiers text, durations seconds
	// (or milliseconds); the other kinds are cloned.
	[[nodiscard]] static VValueSingle* ConvertVValueToJSONScalar(const VValueSingle& inValue, bool inMilliseconds);
	// The JSON kind of a value kind: Booleans, reals, times and strings have
	// their own; every other kind, integers included, gives JSON null.
	static JSONType ValueKindToJsonType(uint16 inKind);
};

} // namespace qirn
