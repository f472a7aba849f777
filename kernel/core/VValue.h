#pragma once

#include "core/VObject.h"

namespace qirn {

class VString;
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
	VValue& operator=(const VValue&) { return *this; }
	~VValue() override = default;

	virtual void Clear() {}

	virtual const VValueSingle* IsVValueSingle() const { return nullptr; }
	virtual VValueSingle* IsVValueSingle() { return nullptr; }

	// Text forms of the value as a JSON string; kinds that have one override.
	virtual VError FromJSONString(const VString& inJSONString, uint32 inOptions);
	virtual VError GetJSONString(VString& outJSONString, uint32 inOptions) const;

	// Flat form: the value's data in native order, as stored in records.
	virtual const void* LoadFromPtr(const void* inData, bool inRefOnly) { return inData; }
	virtual void* WriteToPtr(void* ioData, bool inRefOnly, size_t inMax) const { return ioData; }
	virtual VSize GetSpace(VSize inMax) const { return 0; }

	virtual VValue* Clone() const = 0;

	bool IsNull() const { return (fFlags & kFlag_Null) != 0; }
	bool IsDirty() const { return (fFlags & kFlag_Dirty) != 0; }
	void SetNull(bool inNull);
	void SetDirty(bool inDirty);

	static CompareResult InvertCompResult(CompareResult inResult)
	{
		return inResult == CR_SMALLER ? CR_BIGGER : (inResult == CR_BIGGER ? CR_SMALLER : inResult);
	}

protected:
	virtual void DoNullChanged() {}
	virtual void DoDirtyChanged() {}

	uint8 fFlags;
};

} // namespace qirn
