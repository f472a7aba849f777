#pragma once

#include "core/VObject.h"
#include "core/VString.h"
#include "json/IJSONObject.h"
#include "json/VJSONValue.h"

#include <vector>

namespace qirn {

class VJSONArray;
class VJSONObject;

// An iterator object over an object's names or an array's elements. An
// object whose native implementation makes its own iterator is walked by
// that one.
class VJSONIter : public VObject, public IJSONObject {
public:
	// The names as the ordered property walk yields them.
	VJSONIter(VJSONObject* inObject, int inStart, int inEnd, bool inFlag);
	// The elements from inStart while below inEnd.
	VJSONIter(VJSONArray* inArray, int inStart, int inEnd, bool inFlag);

	VJSONIter(const VJSONIter&) = delete;
	VJSONIter& operator=(const VJSONIter&) = delete;

	// The next name (as a string) or element; false, with undefined, after
	// the last.
	bool NextValue(VJSONValue& outValue);

protected:
	~VJSONIter() override;

private:
	VJSONValue fContainer;
	std::vector<VString> fNames;
	size_t fCursor = 0;
	int fIndex = 0;
	int fEnd = 0;
	IJSONObject* fImpl = nullptr;
	VJSONIter* fImplIterator = nullptr;
};

} // namespace qirn
