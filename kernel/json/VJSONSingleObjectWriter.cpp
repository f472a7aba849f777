#include "json/VJSONSingleObjectWriter.h"

#include "core/VValueSingle.h"

namespace qirn {

VJSONSingleObjectWriter::VJSONSingleObjectWriter() : fText("{")
{
}

VJSONSingleObjectWriter::~VJSONSingleObjectWriter() = default;

bool VJSONSingleObjectWriter::AddMember(const VString& inName, const VValueSingle& inValue, uint32 inOptions)
{
	VString value;
	if (inValue.GetJSONString(value, inOptions) != VE_OK || inName.IsNull() || inName.IsEmpty())
		return false;
	// A name is JSON text like any string: a quote or a control character
	// in it must not break the object.
	VString name;
	if (inName.GetJSONString(name, VString::kJSON_WithQuotes) != VE_OK)
		return false;
	if (fIsClosed) {
		fText.Truncate(fText.GetLength() - 1);
		fIsClosed = false;
	}
	if (fMemberCount > 0)
		fText.AppendUniChar(u',');
	fText.AppendString(name);
	fText.AppendUniChar(u':');
	fText.AppendString(value);
	++fMemberCount;
	return true;
}

void VJSONSingleObjectWriter::GetObject(VString& outText)
{
	if (!fIsClosed) {
		fText.AppendUniChar(u'}');
		fIsClosed = true;
	}
	outText.FromString(fText);
}

} // namespace qirn
