#pragma once

#include "core/VObject.h"
#include "core/VString.h"

namespace qirn {

class VValueSingle;

// Builds the text of a flat JSON object straight from scalar values.
class VJSONSingleObjectWriter : public VObject {
public:
	VJSONSingleObjectWriter();
	~VJSONSingleObjectWriter() override;

	// The member's name is written as a JSON string, escaped; false, with
	// nothing added, for an empty name or a value without JSON text.
	bool AddMember(const VString& inName, const VValueSingle& inValue, uint32 inOptions);
	// Closes the object and copies its text; adding afterwards reopens it.
	void GetObject(VString& outText);

private:
	VString fText;
	bool fIsClosed = false;
	int32 fMemberCount = 0;
};

} // namespace qirn
