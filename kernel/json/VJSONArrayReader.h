#pragma once

#include "core/VObject.h"
#include "core/VString.h"

#include <vector>

namespace qirn {

// Reads the text of a flat JSON array into the texts of its elements:
// strings and bare words (numbers, true, false, null) are kept, nested
// arrays are passed over, objects are not descended into.
class VJSONArrayReader : public VObject {
public:
	VJSONArrayReader();
	explicit VJSONArrayReader(const VString& inText);
	~VJSONArrayReader() override;

	// Parses anew; the elements of an earlier parse are dropped first.
	void FromJSONString(const VString& inText);

	sLONG GetCountOfElements(VError* outError = nullptr) const;
	// The caller's array holds the count. With a parse error that error and
	// nothing written; with a null array 0 and nothing written.
	VError ToArrayShort(sWORD* outValues) const;
	VError ToArrayLong(sLONG* outValues) const;
	VError ToArrayReal(Real* outValues) const;
	VError ToArrayBool(char* outValues) const;
	VError ToArrayString(std::vector<VString>& ioValues, bool inAppend) const;

private:
	void _Parse(const VString& inText);
	template <class T, class Convert>
	VError _ToArray(T* outValues, Convert inConvert) const;

	VError fError = VE_OK;
	std::vector<VString> fElements;
	sLONG fCount = 0;
};

} // namespace qirn
