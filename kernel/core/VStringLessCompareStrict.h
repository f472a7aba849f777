#pragma once

#include "core/VString.h"

namespace qirn {

// Orders strings by their code units, with no collation, case folding or
// locale: the order of keys that must match exactly (environment names).
struct VStringLessCompareStrict {
	bool operator()(const VString& inA, const VString& inB) const
	{
		return inA.CompareToStringRaw(inB) == CR_SMALLER;
	}
};

} // namespace qirn
