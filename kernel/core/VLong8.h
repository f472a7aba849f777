#pragma once

#include "core/VScalarValue.h"

namespace qirn {

// The value of kind 5: a signed 64-bit integer.
class VLong8 : public VScalarValue<VLong8, 5, sLONG8> {
public:
	using VScalarValue::VScalarValue;
	VLong8() = default;
	VLong8(const VLong8&) = default;
	VLong8& operator=(const VLong8&) = default;
	VLong8& operator=(sLONG8 inValue)
	{
		_Store(inValue);
		return *this;
	}

	static const VValueInfo_scalar<VLong8, 5, sLONG8> sInfo;
};

} // namespace qirn
