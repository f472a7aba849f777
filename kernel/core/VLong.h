#pragma once

#include "core/VScalarValue.h"

namespace qirn {

// The value of kind 4: a signed 32-bit integer.
class VLong : public VScalarValue<VLong, 4, sLONG> {
public:
	using VScalarValue::VScalarValue;
	VLong() = default;
	VLong(const VLong&) = default;
	VLong& operator=(const VLong&) = default;
	VLong& operator=(sLONG inValue)
	{
		_Store(inValue);
		return *this;
	}

	static const VValueInfo_scalar<VLong, 4, sLONG> sInfo;
};

} // namespace qirn
