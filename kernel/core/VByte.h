#pragma once

#include "core/VScalarValue.h"

namespace qirn {

// The value of kind 2: a signed 8-bit integer.
class VByte : public VScalarValue<VByte, 2, sBYTE> {
public:
	using VScalarValue::VScalarValue;
	VByte() = default;
	VByte(const VByte&) = default;
	VByte& operator=(const VByte&) = default;
	VByte& operator=(sBYTE inValue)
	{
		_Store(inValue);
		return *this;
	}

	static const VValueInfo_scalar<VByte, 2, sBYTE> sInfo;
};

} // namespace qirn
