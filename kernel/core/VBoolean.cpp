#include "core/VBoolean.h"

#include "core/TextUnits.h"

namespace qirn {

const VValueInfo_scalar<VBoolean, 1, uint8> VBoolean::sInfo;

namespace {

// ASCII letters only, either case.
bool EqualsIgnoringASCIICase(const VString& inText, const char* inWord)
{
	return EqualsASCIIIgnoringCase(inText.GetCPointer(), static_cast<size_t>(inText.GetLength()), inWord);
}

} // namespace

void VBoolean::GetXMLString(VString& outText, uint32) const
{
	outText.FromCString(fValue != 0 ? "true" : "false");
}

bool VBoolean::FromXMLString(const VString& inText)
{
	if (EqualsIgnoringASCIICase(inText, "1") || EqualsIgnoringASCIICase(inText, "true")) {
		_Store(1);
		return true;
	}
	if (EqualsIgnoringASCIICase(inText, "0") || EqualsIgnoringASCIICase(inText, "false")) {
		_Store(0);
		return true;
	}
	return false;
}

VError VBoolean::GetJSONString(VString& outText, uint32 inOptions) const
{
	GetXMLString(outText, inOptions);
	return VE_OK;
}

VError VBoolean::FromJSONString(const VString& inText, uint32)
{
	if (!FromXMLString(inText))
		_Store(0);
	return VE_OK;
}

} // namespace qirn
