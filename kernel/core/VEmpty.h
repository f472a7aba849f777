#pragma once

#include "core/VValueInfo.h"
#include "core/VValueSingle.h"

namespace qirn {

// The value of kind 0: no datum, always null, comparable to nothing.
class VEmpty : public VValueSingle {
public:
	VEmpty() : VValueSingle(true) {}
	VEmpty(const VEmpty&) : VEmpty() {}

	const VValueInfo* GetValueInfo() const override;
	VEmpty* Clone() const override { return new VEmpty(); }
	CompareResult CompareTo(const VValueSingle&, bool = false) const override { return CR_UNRELEVANT; }
	bool CanBeEvaluated() const override { return false; }
};

class VEmpty_info : public VValueInfo {
public:
	VEmpty_info() : VValueInfo(0) {}

	VValue* Generate() const override { return new VEmpty(); }
	VValue* Generate(VBlob*) const override { return new VEmpty(); }
	// The empty value occupies no bytes in a flat store.
	VValue* LoadFromPtr(const void*, bool) const override { return new VEmpty(); }
	void* ByteSwapPtr(void* inBackStore, bool) const override { return inBackStore; }

	static const VEmpty_info sInfo;
};

} // namespace qirn
