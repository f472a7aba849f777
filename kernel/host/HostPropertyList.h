#pragma once

// Property lists in their binary form, turned into their XML form so that
// readers of property-list XML take both. Plain C++ only.

#include <cstddef>
#include <string>

namespace qirn::host {

// Whether the bytes begin as a binary property list does.
bool IsBinaryPropertyList(const void* inData, size_t inSize);

// The XML form of a binary property list, in UTF-8: the bytes of a one-byte
// string that are no UTF-8 are read as Latin-1, and a key held twice keeps
// its last value. False, the text emptied, when the bytes are not a
// readable binary property list.
bool CopyBinaryPropertyListAsXML(const void* inData, size_t inSize, std::string& outXML);

} // namespace qirn::host
