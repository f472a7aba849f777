#pragma once

// Path texts in tests, compared unit by unit: a lone surrogate or a
// decomposed accent must show as itself, never through a lenient decoding.

#include "core/VString.h"
#include "files/VFilePath.h"

#include <string>

namespace qirn::testing {

inline std::u16string Units(const VString& inText)
{
	return std::u16string(inText.GetCPointer(), static_cast<size_t>(inText.GetLength()));
}

inline VString Text(std::u16string_view inUnits)
{
	return VString(inUnits.data(), static_cast<VIndex>(inUnits.size()));
}

inline std::u16string Units(const VFilePath& inPath)
{
	return Units(inPath.GetPath());
}

inline std::u16string PosixUnits(const VFilePath& inPath)
{
	VString posix;
	inPath.GetPosixPath(posix);
	return Units(posix);
}

} // namespace qirn::testing
