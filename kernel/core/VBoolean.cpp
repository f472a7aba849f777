#include "core/VBoolean.h"

namespace qirn {

const VValueInfo_scalar<VBoolean, 1, uint8> VBoolean::sInfo;

namespace {

// ASCII letters only, either case.
bool EqualsIgnoringASCIICase(const VString& inText, const char* inWord)
{
	VIndex length = inText.GetLength();
	const UniChar* units = inText.GetCPointer();
	VIndex i = 0;
	for (; i < length && inWord[i] != 0; ++i) {
		UniChar unit = units[i];
		if (unit >= 'A' && unit <= 'Z')
			unit = static_cast<UniChar>(unit + ('a' - 'A'));
		if (unit != static_cast<UniChar>(inWord[i]))
			return false;
	}
	return i == length && inWord[i] == 0;
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
