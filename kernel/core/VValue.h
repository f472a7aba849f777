#pragma once

#include "core/VObject.h"

namespace qirn {

class VCompareOptions;
class VJSONValue;
class VStream;
class VString;
class VValueInfo;
class VValueSingle;

enum CompareResult : int32 {
	CR_SMALLER = -1,
	CR_EQUAL = 0,
	CR_BIGGER = 1,
	CR_UNRELEVANT = -1000
};

// Root of every value of the kernel. It carries the null and dirty flags in
// one byte whose upper bits belong to the subclasses (strings keep their
// buffer kind there), so that a value costs one byte over its datum.
class VValue : public VObject {
public:
	static constexpr uint8 kFlag_Null = 1;
	static constexpr uint8 kFlag_Dirty = 2;

	VValue() : fFlags(kFlag_Dirty) {}
	explicit VValue(bool inNull) : fFlags(inNull ? (kFlag_Null | kFlag_Dirty) : kFlag_Dirty) {}
	VValue(const VValue& inOther) : VObject(), fFlags(inOther.fFlags & (kFlag_Null | kFlag_Dirty)) {}
	// An assignment is a setter: it copies the null flag and marks the value
	// changed; each kind copies its datum. The upper bits of the flags stay.
	VValue& operator=(const VValue& inOther)
	{
		SetNull(inOther.IsNull());
		SetDirty(true);
		return *this;
	}
	~VValue() override = default;

	// The kind's descriptor; the base answers the default one, kind 65535.
	virtual const VValueInfo* GetValueInfo() const;
	virtual void Clear() {}

	virtual const VValueSingle* IsVValueSingle() const { return nullptr; }
	virtual VValueSingle* IsVValueSingle() { return nullptr; }

	// Comparisons with a value of the same kind (or its flat data). The base
	// finds everything equal; each kind compares its datum.
	virtual CompareResult CompareToSameKindWithOptions(const VValue* inValue, const VCompareOptions& inOptions) const;
	virtual bool EqualToSameKindWithOptions(const VValue* inValue, const VCompareOptions& inOptions) const
	{
		return CompareToSameKindWithOptions(inValue, inOptions) == CR_EQUAL;
	}
	virtual CompareResult CompareToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions& inOptions) const;
	virtual bool EqualToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions& inOptions) const
	{
		return CompareToSameKindPtrWithOptions(inPtr, inOptions) == CR_EQUAL;
	}
	virtual CompareResult Swap_CompareToSameKindPtrWithOptions(const void* inPtr,
															   const VCompareOptions& inOptions) const
	{
		return InvertCompResult(CompareToSameKindPtrWithOptions(inPtr, inOptions));
	}
	virtual CompareResult CompareToSameKind(const VValue* /*inValue*/, bool /*inDiacritical*/ = false) const
	{
		return CR_EQUAL;
	}
	virtual CompareResult CompareBeginingToSameKind(const VValue* inValue, bool inDiacritical = false) const
	{
		return CompareToSameKind(inValue, inDiacritical);
	}
	virtual bool EqualToSameKind(const VValue* inValue, bool inDiacritical = false) const
	{
		return CompareToSameKind(inValue, inDiacritical) == CR_EQUAL;
	}
	// Copies the datum and the null flag of a value of the same kind.
	virtual bool FromValueSameKind(const VValue* /*inValue*/) { return false; }
	virtual CompareResult CompareToSameKindPtr(const void* /*inPtr*/, bool /*inDiacritical*/ = false) const
	{
		return CR_EQUAL;
	}
	virtual CompareResult Swap_CompareToSameKindPtr(const void* inPtr, bool inDiacritical = false) const
	{
		return InvertCompResult(CompareToSameKindPtr(inPtr, inDiacritical));
	}
	virtual CompareResult CompareBeginingToSameKindPtr(const void* inPtr, bool inDiacritical = false) const
	{
		return CompareToSameKindPtr(inPtr, inDiacritical);
	}
	// CR_EQUAL when the flat data begin with this value.
	virtual CompareResult IsTheBeginingToSameKindPtr(const void* inPtr, bool inDiacritical = false) const
	{
		return CompareToSameKindPtr(inPtr, inDiacritical);
	}
	virtual bool EqualToSameKindPtr(const void* inPtr, bool inDiacritical = false) const
	{
		return CompareToSameKindPtr(inPtr, inDiacritical) == CR_EQUAL;
	}
	// The same with wildcard matching, for the kinds that have it.
	virtual CompareResult CompareToSameKind_Like(const VValue* inValue, bool inDiacritical = false) const
	{
		return CompareToSameKind(inValue, inDiacritical);
	}
	virtual CompareResult CompareBeginingToSameKind_Like(const VValue* inValue, bool inDiacritical = false) const
	{
		return CompareBeginingToSameKind(inValue, inDiacritical);
	}
	virtual bool EqualToSameKind_Like(const VValue* inValue, bool inDiacritical = false) const
	{
		return EqualToSameKind(inValue, inDiacritical);
	}
	virtual CompareResult CompareToSameKindPtr_Like(const void* inPtr, bool inDiacritical = false) const
	{
		return CompareToSameKindPtr(inPtr, inDiacritical);
	}
	virtual CompareResult Swap_CompareToSameKindPtr_Like(const void* inPtr, bool inDiacritical = false) const
	{
		return InvertCompResult(CompareToSameKindPtr(inPtr, inDiacritical));
	}
	virtual CompareResult CompareBeginingToSameKindPtr_Like(const void* inPtr, bool inDiacritical = false) const
	{
		return CompareBeginingToSameKindPtr(inPtr, inDiacritical);
	}
	virtual CompareResult IsTheBeginingToSameKindPtr_Like(const void* inPtr, bool inDiacritical = false) const
	{
		return IsTheBeginingToSameKindPtr(inPtr, inDiacritical);
	}
	virtual bool EqualToSameKindPtr_Like(const void* inPtr, bool inDiacritical = false) const
	{
		return EqualToSameKindPtr(inPtr, inDiacritical);
	}
	virtual bool Swap_EqualToSameKindPtr_Like(const void* inPtr, bool inDiacritical = false) const
	{
		return EqualToSameKindPtr(inPtr, inDiacritical);
	}

	// Text forms of the value as a JSON string; kinds that have one override.
	virtual VError FromJSONString(const VString& inJSONString, uint32 inOptions);
	virtual VError GetJSONString(VString& outJSONString, uint32 inOptions) const;
	// The value as a JSON value and back. The base has no JSON form: it
	// raises VE_UNIMPLEMENTED and leaves the JSON value undefined.
	virtual VError FromJSONValue(const VJSONValue& inJSONValue);
	virtual VError GetJSONValue(VJSONValue& outJSONValue, uint32 inOptions) const;

	// Flat form: the value's data in native order, as stored in records.
	virtual const void* LoadFromPtr(const void* inData, bool /*inRefOnly*/) { return inData; }
	virtual void* WriteToPtr(void* ioData, bool /*inRefOnly*/, size_t /*inMax*/) const { return ioData; }
	virtual VSize GetSpace(VSize /*inMax*/) const { return 0; }
	virtual VSize GetFullSpaceOnDisk() const { return GetSpace(0); }

	// Stream form. Readers leave the flags alone and writers do not write
	// them; the base reads and writes nothing and answers the stream's error.
	virtual bool CanBeStreamed() const { return false; }
	virtual VError ReadFromStream(VStream* ioStream, sLONG inParam = 0);
	virtual VError WriteToStream(VStream* ioStream, sLONG inParam = 0) const;
	virtual VError ReadRawFromStream(VStream* ioStream, sLONG inParam = 0) { return ReadFromStream(ioStream, inParam); }
	virtual VSize GetStreamSpace() const { return GetSpace(0); }

	virtual VValue* Clone() const = 0;
	virtual VValue* FullyClone(bool /*inForAPush*/ = false) const { return Clone(); }
	// Values that cannot be evaluated (the empty value, series) answer false.
	virtual bool CanBeEvaluated() const { return true; }

	bool IsNull() const { return (fFlags & kFlag_Null) != 0; }
	bool IsDirty() const { return (fFlags & kFlag_Dirty) != 0; }
	void SetNull(bool inNull);
	void SetDirty(bool inDirty);

	static CompareResult InvertCompResult(CompareResult inResult)
	{
		return inResult == CR_SMALLER ? CR_BIGGER : (inResult == CR_BIGGER ? CR_SMALLER : inResult);
	}

	// The process-wide table of kind descriptors. Descriptors register when
	// they are built (static objects, before main); a later one replaces an
	// earlier one of the same kind.
	static void RegisterValueInfo(const VValueInfo* inInfo);
	static void UnregisterValueInfo(const VValueInfo* inInfo);
	static const VValueInfo* ValueInfoFromValueKind(uint16 inKind);
	// A new empty value of the kind, owned by the caller; null for a kind
	// without a descriptor.
	static VValue* NewValueFromValueKind(uint16 inKind);

protected:
	virtual void DoNullChanged() {}
	virtual void DoDirtyChanged() {}

	uint8 fFlags;
};

} // namespace qirn
