#pragma once

#include "core/VScalarValue.h"

namespace qirn {

// The value of kind 1: a byte, 0 false and anything else true. Its text
// forms are "true" and "false".
class VBoolean : public VScalarValue<VBoolean, 1, uint8> {
public:
	using VScalarValue::VScalarValue;
	VBoolean() = default;
	VBoolean(const VBoolean&) = default;
	VBoolean& operator=(const VBoolean&) = default;
	explicit VBoolean(bool inValue) : VScalarValue(static_cast<uint8>(inValue ? 1 : 0)) {}
	VBoolean& operator=(bool inValue)
	{
		_Store(inValue ? 1 : 0);
		return *this;
	}

	void GetXMLString(VString& outText, uint32 inOptions) const override;
	// "1", "0", "true" or "false" in any case; any other text answers false
	// and changes nothing.
	bool FromXMLString(const VString& inText) override;
	VError GetJSONString(VString& outText, uint32 inOptions) const override;
	// Any text that is no Boolean gives false.
	VError FromJSONString(const VString& inText, uint32 inOptions) override;

	static const VValueInfo_scalar<VBoolean, 1, uint8> sInfo;
};

} // namespace qirn
