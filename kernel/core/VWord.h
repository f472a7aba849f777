#pragma once

#include "core/VScalarValue.h"

namespace qirn {

// The value of kind 3: a signed 16-bit integer.
class VWord : public VScalarValue<VWord, 3, sWORD> {
public:
	using VScalarValue::VScalarValue;
	VWord() = default;
	VWord(const VWord&) = default;
	VWord& operator=(const VWord&) = default;
	VWord& operator=(sWORD inValue)
	{
		_Store(inValue);
		return *this;
	}

	static const VValueInfo_scalar<VWord, 3, sWORD> sInfo;
};

} // namespace qirn
