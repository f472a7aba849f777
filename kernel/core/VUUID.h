#pragma once

#include "core/VUUIDBuffer.h"
#include "core/VValueInfo.h"
#include "core/VValueSingle.h"

namespace qirn {

class VString;
class VUUID_info;

// The value of kind 13: a 16-byte identifier, null when all bytes are zero.
// It orders bytewise, prints as 32 upper-case hexadecimal digits and parses
// leniently. A linked string, made on request, mirrors its text form.
class VUUID : public VValueSingle {
public:
	VUUID();
	explicit VUUID(bool inGenerate);
	explicit VUUID(const VUUIDBuffer& inBuffer);
	explicit VUUID(const VString& inText);
	explicit VUUID(const char* inText);
	VUUID(const VUUID& inOther);
	~VUUID() override;

	VUUID& operator=(const VUUID& inOther)
	{
		FromVUUID(inOther);
		return *this;
	}

	static const VUUID_info sInfo;
	static const VUUID sNullUUID;

	// Setting
	void FromBuffer(const VUUIDBuffer& inBuffer);
	// 32 hexadecimal characters give the bytes; a text of at most 16
	// characters gives its own bytes followed by zeros; other lengths change
	// nothing.
	void FromBuffer(const char* inText);
	// The first 32 hexadecimal digits of the text, anything else skipped;
	// without 32 digits, the text's UTF-8 bytes over 16 spaces.
	void FromString(const VString& inText) override;
	void BuildFromAnsiString(const VString& inText);
	void FromVUUID(const VUUID& inValue) override;
	void FromValue(const VValueSingle& inValue) override;
	bool FromValueSameKind(const VValue* inValue) override;
	void Regenerate();
	void Clear() override;

	// Reading
	void GetString(VString& outText) const override;
	void ToBuffer(VUUIDBuffer& outBuffer) const { outBuffer = fBuffer; }
	const VUUIDBuffer& GetBuffer() const { return fBuffer; }
	void GetVUUID(VUUID& outValue) const override;
	void GetValue(VValueSingle& outValue) const override;
	VError GetJSONString(VString& outText, uint32 inOptions) const override;
	// JSON null for a null identifier, else a JSON string of its text form.
	VError GetJSONValue(VJSONValue& outJSONValue, uint32 inOptions) const override;
	// JSON null makes the identifier null; any other value is read as text.
	VError FromJSONValue(const VJSONValue& inJSONValue) override;
	VString* GetCachedConvertedString(bool inCreate = true);
	// 32 characters '0'-'9' or 'A'-'F', not all '0' unless inAcceptNull.
	static bool IsUUIDString(const VString& inText, bool inAcceptNull = false);

	// Flat and stream forms: the 16 bytes.
	const void* LoadFromPtr(const void* inData, bool inRefOnly) override;
	void* WriteToPtr(void* ioData, bool inRefOnly, size_t inMax) const override;
	VSize GetSpace(VSize /*inMax*/) const override { return 16; }
	VError ReadFromStream(VStream* ioStream, sLONG inParam = 0) override;
	VError WriteToStream(VStream* ioStream, sLONG inParam = 0) const override;

	// Comparison: bytewise, unsigned; options play no part.
	CompareResult CompareToSameKind(const VValue* inValue, bool inDiacritical = false) const override;
	bool EqualToSameKind(const VValue* inValue, bool inDiacritical = false) const override;
	CompareResult CompareToSameKindPtr(const void* inPtr, bool inDiacritical = false) const override;
	bool EqualToSameKindPtr(const void* inPtr, bool inDiacritical = false) const override;
	CompareResult CompareToSameKindWithOptions(const VValue* inValue, const VCompareOptions& inOptions) const override;
	bool EqualToSameKindWithOptions(const VValue* inValue, const VCompareOptions& inOptions) const override;
	CompareResult CompareToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions& inOptions) const override;
	bool EqualToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions& inOptions) const override;
	CompareResult CompareTo(const VValueSingle& inValue, bool inDiacritical = false) const override;

	bool operator==(const VUUID& inOther) const { return fBuffer == inOther.fBuffer; }
	bool operator!=(const VUUID& inOther) const { return !(fBuffer == inOther.fBuffer); }
	bool operator<(const VUUID& inOther) const { return _Compare(inOther.fBuffer.fBytes) == CR_SMALLER; }

	const VValueInfo* GetValueInfo() const override;
	VUUID* Clone() const override;

	// Compares two 16-byte blocks as two big-endian 64-bit numbers.
	static CompareResult CompareBytes(const void* inPtr1, const void* inPtr2);

protected:
	void DoNullChanged() override;

private:
	CompareResult _Compare(const void* inBytes) const { return CompareBytes(fBuffer.fBytes, inBytes); }
	// After the bytes changed: null exactly when all are zero, dirty.
	void _BytesChanged();
	void _BytesChanged(bool inNull);
	void _UpdateLinkedString();

	VUUIDBuffer fBuffer;
	VString* fLinkedString = nullptr;
};

// The descriptor of kind 13: flat data are the 16 bytes, never swapped.
class VUUID_info : public VValueInfo_default<VUUID, 13> {
public:
	CompareResult CompareTwoPtrToData(const void* inPtr1, const void* inPtr2, bool inDiacritical) const override;
	CompareResult CompareTwoPtrToDataBegining(const void* inPtr1, const void* inPtr2,
											  bool inDiacritical) const override;
	CompareResult CompareTwoPtrToDataWithOptions(const void* inPtr1, const void* inPtr2,
												 const VCompareOptions& inOptions) const override;
	VSize GetSizeOfValueDataPtr(const void*) const override { return 16; }
	VSize GetAvgSpace() const override { return 16; }
};

} // namespace qirn
