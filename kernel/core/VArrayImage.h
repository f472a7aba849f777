#pragma once

#include "core/VArrayOwned.h"
#include "core/VValueSingle.h"

namespace qirn {

// An array of pictures (element kind 12). This system has no picture kind:
// elements come only from values of kind 12 that a caller hands in, the
// array cannot be cloned, evaluated or compared, and its stream form reads
// back empty with an error.
class VArrayImage : public VArrayOwned<VValueSingle> {
public:
	VArrayImage() = default;
	explicit VArrayImage(sLONG inCount) { SetCount(inCount); }
	VArrayImage(const VArrayImage&) = delete;
	VArrayImage& operator=(const VArrayImage&) = delete;

	const VValueInfo* GetValueInfo() const override { return &sInfo; }
	uint16 GetElemValueKind() const override { return 12; }
	VValue* Clone() const override { return nullptr; }
	bool CanBeEvaluated() const override { return false; }

	// Deletes every element; the array is empty afterwards.
	void DeleteAllElements() { SetCount(0); }

	// Pictures are not searched: 0.
	sLONG Find(const VValueSingle&, sLONG, uBYTE, CompareMethod) const override { return 0; }
	// Stores a clone of a value of kind 12 at a valid position.
	void FromValue(const VValueSingle& inValue, sLONG inPosition) override;
	// Hands out only the element's null and dirty flags.
	void GetValue(VValueSingle& outValue, sLONG inPosition) const override;
	// A clone of the element; null for an absent one or outside 1..count.
	VValueSingle* CloneValue(sLONG inPosition) const override;

	CompareResult CompareElements(uBYTE*, sLONG, sLONG) override { return CR_UNRELEVANT; }

	// No kind prefix, whatever inParam is.
	VError WriteToStream(VStream* ioStream, sLONG inParam = 0) const override;
	// Without a picture kind no element can be read: a count above 0 leaves
	// the array empty and the stream with VE_UNIMPLEMENTED.
	VError ReadFromStream(VStream* ioStream, sLONG inParam = 0) override;

	static const VValueInfo_array<VArrayImage, 111, VValueSingle*> sInfo;

protected:
	// Each element's own form, or 8 zero bytes for an absent one.
	void DoWriteElements(VStream* ioStream) const override;
	void DoReadElements(VStream*) override {}
};

} // namespace qirn
