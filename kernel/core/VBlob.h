#pragma once

#include "core/VMemoryBuffer.h"
#include "core/VValueInfo.h"
#include "core/VValueSingle.h"

#include <cstdint>

namespace qirn {

class VBlob_info;

// The value of kind 11: an uninterpreted run of bytes. Offsets are 32-bit
// and the flat and stream forms carry a signed 32-bit length, so a blob
// holds at most kMaxSize bytes. Errors, raised and answered: 100
// (VE_MEMORY_FULL) when memory is refused or a size passes kMaxSize, 200
// (VE_STREAM_EOF) when fewer bytes than asked could be read or an offset is
// negative, 204 (VE_STREAM_CANNOT_WRITE) when a viewed blob is asked to change.
class VBlob : public VValueSingle {
public:
	static constexpr VSize kMaxSize = INT32_MAX;

	VBlob() = default;
	explicit VBlob(bool inNull) : VValueSingle(inNull) {}
	VBlob(const VBlob& inOther) = default;

	const VValueInfo* GetValueInfo() const override;
	VBlob* Clone() const override = 0;

	virtual VSize GetSize() const = 0;
	// Exactly inSize bytes; bytes gained are zero.
	virtual VError SetSize(VSize inSize) = 0;
	// Copies the bytes from inOffset on, at most inSize; the count copied in
	// *outRead. 200 when fewer than inSize came.
	virtual VError GetData(void* outBuffer, VSize inSize, sLONG inOffset, VSize* outRead = nullptr) const = 0;
	// Writes at inOffset, growing the blob; a gap before it is zero.
	virtual VError PutData(const void* inData, VSize inSize, sLONG inOffset) = 0;
	// Replaces all the bytes.
	virtual VError FromData(const void* inData, VSize inSize);

	void Clear() override;
	bool CanBeEvaluated() const override { return false; }
	void GetValue(VValueSingle&) const override {}
	void FromValue(const VValueSingle&) override {}
	// An abstract blob has no flat form: both answer null.
	const void* LoadFromPtr(const void*, bool) override { return nullptr; }
	void* WriteToPtr(void*, bool, size_t) const override { return nullptr; }
	VSize GetFullSpaceOnDisk() const override { return GetSize(); }

protected:
	void DoNullChanged() override;

	// The forms every blob writes, one implementation for all: a signed
	// 32-bit length (native order in memory, the stream's order on a
	// stream), then the bytes.
	static void* _WriteFlatForm(void* ioData, const void* inBytes, VSize inSize);
	static VError _WriteStreamForm(VStream* ioStream, const void* inBytes, VSize inSize);
	// The copy behind every GetData: bounds checked, errors raised.
	static VError _CopyOut(const void* inBytes, VSize inBlobSize, void* outBuffer, VSize inSize, sLONG inOffset,
						   VSize* outRead);
};

// A blob that owns its bytes; the blob that kind 11 makes.
class VBlobWithPtr : public VBlob {
public:
	static const VBlob_info sInfo;

	VBlobWithPtr() = default;
	// Copies inSize bytes; an empty blob when memory is refused.
	VBlobWithPtr(const void* inData, VSize inSize);
	VBlobWithPtr(const VBlobWithPtr& inOther);
	// The bytes of any blob; a null source gives an empty blob.
	explicit VBlobWithPtr(const VBlob& inOther);
	~VBlobWithPtr() override = default;

	// As FromValueSameKind: the bytes and the null flag, marked changed.
	VBlobWithPtr& operator=(const VBlobWithPtr& inOther);

	VBlobWithPtr* Clone() const override { return new VBlobWithPtr(*this); }

	VSize GetSize() const override { return fBuffer.GetDataSize(); }
	VSize GetSpace(VSize /*inMax*/) const override { return fBuffer.GetDataSize() + 4; }
	VError SetSize(VSize inSize) override;
	VError GetData(void* outBuffer, VSize inSize, sLONG inOffset, VSize* outRead = nullptr) const override;
	VError PutData(const void* inData, VSize inSize, sLONG inOffset) override;
	VError FromData(const void* inData, VSize inSize) override;

	// True only for an owned blob, not null, with the same bytes.
	bool EqualToSameKind(const VValue* inValue, bool inDiacritical = false) const override;
	bool EqualToSameKindWithOptions(const VValue* inValue, const VCompareOptions& inOptions) const override;
	bool FromValueSameKind(const VValue* inValue) override;
	void GetValue(VValueSingle& outValue) const override;
	void FromValue(const VValueSingle& inValue) override;

	// JSON form: a Blob object over a copy of the bytes. Read back from a
	// Blob object; any other JSON value leaves the blob null and empty.
	VError GetJSONValue(VJSONValue& outJSONValue, uint32 inOptions) const override;
	VError FromJSONValue(const VJSONValue& inJSONValue) override;

	// Flat form: a native signed 32-bit length, then the bytes. A length of
	// 0 or below reads as an empty blob.
	const void* LoadFromPtr(const void* inData, bool inRefOnly) override;
	void* WriteToPtr(void* ioData, bool inRefOnly, size_t inMax) const override;
	VError ReadFromStream(VStream* ioStream, sLONG inParam = 0) override;
	VError WriteToStream(VStream* ioStream, sLONG inParam = 0) const override;

private:
	// Sets the allocation and the size to exactly inSize, zeroing the bytes
	// gained; false (nothing raised) when refused.
	bool _SetExactSize(VSize inSize);
	void _Touch() { fFlags = static_cast<uint8>((fFlags & ~kFlag_Null) | kFlag_Dirty); }

	VMemoryBuffer<1024, 2, 1048576> fBuffer;
};

// A blob viewing bytes someone else owns and keeps alive for as long as the
// blob and its clones live. Every change is refused with 204.
class VConstBlobWithPtr : public VBlob {
public:
	VConstBlobWithPtr(const void* inData, VSize inSize);
	VConstBlobWithPtr(const VConstBlobWithPtr& inOther);
	~VConstBlobWithPtr() override = default;

	VConstBlobWithPtr* Clone() const override { return new VConstBlobWithPtr(*this); }

	VSize GetSize() const override { return fSize; }
	VSize GetSpace(VSize /*inMax*/) const override { return fSize + 4; }
	VError SetSize(VSize inSize) override;
	VError GetData(void* outBuffer, VSize inSize, sLONG inOffset, VSize* outRead = nullptr) const override;
	VError PutData(const void* inData, VSize inSize, sLONG inOffset) override;
	VError FromData(const void* inData, VSize inSize) override;

	// Takes another view's pointer, size and null flag.
	bool FromValueSameKind(const VValue* inValue) override;
	void GetValue(VValueSingle& outValue) const override;

	void* WriteToPtr(void* ioData, bool inRefOnly, size_t inMax) const override;
	VError ReadFromStream(VStream* ioStream, sLONG inParam = 0) override;
	VError WriteToStream(VStream* ioStream, sLONG inParam = 0) const override;

protected:
	// The viewed bytes are not the blob's to drop: a null view keeps them,
	// and setting the flag is no refused change.
	void DoNullChanged() override {}

private:
	const void* fData;
	VSize fSize;
};

// The descriptor of kind 11: its values are owned blobs. Flat data are the
// native 32-bit length and the bytes; only the length is swapped.
class VBlob_info : public VValueInfo_default<VBlobWithPtr, 11> {
public:
	void* ByteSwapPtr(void* inBackStore, bool inFromNative) const override;
	VSize GetSizeOfValueDataPtr(const void* inPtr) const override;
};

} // namespace qirn
