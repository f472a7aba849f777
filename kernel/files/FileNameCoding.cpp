#include "files/FileNameCoding.h"

#include "core/TextUnits.h"

namespace qirn {

namespace {

bool IsReservedFileCharacter(UniChar inChar)
{
	if (inChar < 0x20)
		return true;
	switch (inChar) {
		case u'"':
		case u'%':
		case u'*':
		case u'/':
		case u':':
		case u'<':
		case u'>':
		case u'?':
		case u'\\':
		case u'|':
			return true;
		default:
			return false;
	}
}

} // namespace

VString EncodeReservedFileCharacters(const VString& inText)
{
	const UniChar* units = inText.GetCPointer();
	const VIndex length = inText.GetLength();
	VIndex reserved = 0;
	for (VIndex i = 0; i < length; ++i) {
		if (IsReservedFileCharacter(units[i]))
			++reserved;
	}
	if (reserved == 0)
		return inText;
	VString result;
	// Sized once: a name can only grow by two units per reserved character.
	if (!result._EnsureSize(length + 2 * reserved))
		return inText;
	for (VIndex i = 0; i < length; ++i) {
		const UniChar unit = units[i];
		if (IsReservedFileCharacter(unit)) {
			result.AppendUniChar(u'%');
			result.AppendUniChar(static_cast<UniChar>(kUpperHexDigits[unit >> 4]));
			result.AppendUniChar(static_cast<UniChar>(kUpperHexDigits[unit & 0xF]));
		} else {
			result.AppendUniChar(unit);
		}
	}
	return result;
}

VString DecodeReservedFileCharacters(const VString& inText)
{
	const UniChar* units = inText.GetCPointer();
	const VIndex length = inText.GetLength();
	if (inText.FindUniChar(u'%') == 0)
		return inText;
	VString result;
	if (!result._EnsureSize(length))
		return inText;
	for (VIndex i = 0; i < length; ++i) {
		const UniChar unit = units[i];
		// Only a real escape is decoded: "%zz" and "50%" stay as they are
		// rather than turning into whatever a lenient hexadecimal reading
		// makes of them (a NUL, for "%zz").
		if (unit == u'%' && i + 2 < length) {
			const int high = HexDigitValue(units[i + 1]);
			const int low = HexDigitValue(units[i + 2]);
			if (high >= 0 && low >= 0) {
				result.AppendUniChar(static_cast<UniChar>(high * 16 + low));
				i += 2;
				continue;
			}
		}
		result.AppendUniChar(unit);
	}
	return result;
}

} // namespace qirn
