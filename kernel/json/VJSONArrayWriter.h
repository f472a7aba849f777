#pragma once

#include "core/VObject.h"
#include "core/VString.h"

#include <vector>

namespace qirn {

class VValueSingle;

// Builds the text of a flat JSON array straight from scalar values, without
// a tree. Open, the text is "[" and element texts each ended by ","; closing
// turns the last "," into "]", and adding to a closed writer reopens it.
class VJSONArrayWriter : public VObject {
public:
	VJSONArrayWriter();
	~VJSONArrayWriter() override;

	// The value's JSON text with the options; nothing when it has none.
	void Add(const VValueSingle& inValue, uint32 inOptions);
	void AddString(const char* inText, uint32 inOptions);
	void AddString(const VString& inText, uint32 inOptions);
	void AddBool(bool inValue);
	void AddLong(sLONG inValue);
	void AddReal(Real inValue);
	// The other writer's closed text as one element; the other is reset.
	void AddJSONArray(VJSONArrayWriter& ioOther);
	void AddLongs(const sLONG* inValues, int inCount);
	void AddWords(const sWORD* inValues, int inCount);
	void AddReals(const Real* inValues, int inCount);
	void AddBools(const char* inValues, int inCount);
	void AddStrings(const std::vector<VString>& inValues, uint32 inOptions);

	void Close();
	// Closes and copies the text; unless kept, the writer starts again as "[]".
	void GetArray(VString& outText, bool inKeep = false);

private:
	void _Reopen();
	void _AppendElement(const VString& inText);

	VString fText;
	bool fIsClosed = false;
};

} // namespace qirn
