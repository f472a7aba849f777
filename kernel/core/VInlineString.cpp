#include "core/VInlineString.h"

#include "core/VString.h"

namespace qirn {

void VInlineString::InitWithString(const VString& inString)
{
	VIndex length = 0;
	VIndex maxLength = 0;
	fString = inString.RetainBuffer(&length, &maxLength);
	fLength = length;
	fMaxLength = maxLength;
}

void VInlineString::InitWithUnits(const UniChar* inUnits, int32 inLength)
{
	fString = VString::NewSharedBuffer(inUnits, inLength);
	fLength = fString != nullptr ? inLength : 0;
	fMaxLength = fLength;
}

void VInlineString::InitWithInlineString(const VInlineString& inOther)
{
	fString = inOther.fString;
	fLength = inOther.fLength;
	fMaxLength = inOther.fMaxLength;
	VString::RetainSharedBuffer(fString, fMaxLength);
}

void VInlineString::Dispose()
{
	VString::ReleaseBuffer(fString, fMaxLength);
	Init();
}

} // namespace qirn
