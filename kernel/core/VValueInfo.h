#pragma once

#include "core/VValue.h"

namespace qirn {

class VBlob;
class VCompareOptions;

// The descriptor of one value kind. Every kind has one static descriptor,
// registered by its construction in the process-wide table through which
// values are made by kind (a stream or a bag reads a kind number and needs
// an empty value of it).
class VValueInfo : public VObject {
public:
	explicit VValueInfo(uint16 inKind);
	VValueInfo(uint16 inKind, uint16 inTrueKind);
	~VValueInfo() override;

	VValueInfo(const VValueInfo&) = delete;
	VValueInfo& operator=(const VValueInfo&) = delete;

	uint16 GetKind() const { return fKind; }
	uint16 GetTrueKind() const { return fTrueKind; }

	// A new empty value of the kind, owned by the caller.
	virtual VValue* Generate() const = 0;
	virtual VValue* Generate(VBlob* inBlob) const = 0;
	// A new value read from flat data, owned by the caller.
	virtual VValue* LoadFromPtr(const void* inBackStore, bool inRefOnly) const = 0;
	// Swaps flat data in place; answers the address after it.
	virtual void* ByteSwapPtr(void* inBackStore, bool inFromNative) const = 0;

	virtual CompareResult CompareTwoPtrToData(const void* inPtr1, const void* inPtr2, bool inDiacritical) const;
	virtual CompareResult CompareTwoPtrToDataBegining(const void* inPtr1, const void* inPtr2,
													  bool inDiacritical) const;
	virtual CompareResult CompareTwoPtrToData_Like(const void* inPtr1, const void* inPtr2, bool inDiacritical) const
	{
		return CompareTwoPtrToData(inPtr1, inPtr2, inDiacritical);
	}
	virtual CompareResult CompareTwoPtrToDataBegining_Like(const void* inPtr1, const void* inPtr2,
														   bool inDiacritical) const
	{
		return CompareTwoPtrToDataBegining(inPtr1, inPtr2, inDiacritical);
	}
	virtual CompareResult CompareTwoPtrToDataWithOptions(const void* inPtr1, const void* inPtr2,
														 const VCompareOptions& inOptions) const;
	// The bytes of a value's flat data, as WriteToPtr wrote it.
	virtual VSize GetSizeOfValueDataPtr(const void* inPtr) const;
	virtual VSize GetAvgSpace() const;

private:
	uint16 fKind;
	uint16 fTrueKind;
};

// The generic descriptor of a value class T.
template <class T, uint16 kKind>
class VValueInfo_default : public VValueInfo {
public:
	VValueInfo_default() : VValueInfo(kKind) {}
	VValueInfo_default(uint16 inKind, uint16 inTrueKind) : VValueInfo(inKind, inTrueKind) {}

	VValue* Generate() const override { return new T(); }
	VValue* Generate(VBlob*) const override { return new T(); }
	VValue* LoadFromPtr(const void* inBackStore, bool inRefOnly) const override
	{
		T* value = new T();
		value->LoadFromPtr(inBackStore, inRefOnly);
		return value;
	}
	void* ByteSwapPtr(void* inBackStore, bool) const override { return inBackStore; }
};

} // namespace qirn
