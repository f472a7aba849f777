#include "core/VString.h"

#include "core/TextUnits.h"
#include "json/VJSONValue.h"
#include "runtime/VError.h"

#include <cstring>

namespace qirn {

namespace {

const char* XMLEntityFor(UniChar inChar)
{
	switch (inChar) {
		case u'"': return "&quot;";
		case u'&': return "&amp;";
		case u'\'': return "&apos;";
		case u'<': return "&lt;";
		case u'>': return "&gt;";
		default: return nullptr;
	}
}

bool IsEscapedControl(UniChar inChar)
{
	return (inChar < 32 && inChar != 9 && inChar != 10 && inChar != 13) || inChar == 127;
}

// Whether the units at inText begin with the ASCII text inWord.
bool MatchesASCII(const UniChar* inText, VIndex inAvailable, const char* inWord)
{
	VIndex length = static_cast<VIndex>(std::strlen(inWord));
	if (inAvailable < length)
		return false;
	for (VIndex i = 0; i < length; ++i) {
		if (inText[i] != static_cast<UniChar>(inWord[i]))
			return false;
	}
	return true;
}

} // namespace

// ---------------------------------------------------------------------------
// XML

void VString::TranscodeToXML(bool inEscapeControls)
{
	VIndex first = 0;
	while (first < fLength && XMLEntityFor(fString[first]) == nullptr &&
		   !(inEscapeControls && IsEscapedControl(fString[first])))
		++first;
	if (first == fLength)
		return;
	VString result;
	result.AppendUniChars(fString, first);
	for (VIndex i = first; i < fLength; ++i) {
		UniChar c = fString[i];
		if (const char* entity = XMLEntityFor(c)) {
			result.AppendCString(entity);
		} else if (inEscapeControls && IsEscapedControl(c)) {
			char reference[8] = {'&', '#', 'x', kUpperHexDigits[(c >> 4) & 15], kUpperHexDigits[c & 15], ';', 0};
			result.AppendCString(reference);
		} else {
			result.AppendUniChar(c);
		}
	}
	*this = std::move(result);
}

void VString::TranscodeFromXML()
{
	VString result;
	bool building = false;
	VIndex copiedUpTo = 0;
	for (VIndex i = 0; i < fLength; ++i) {
		if (fString[i] != u'&')
			continue;
		const UniChar* text = fString + i;
		VIndex available = fLength - i;
		UniChar decoded[2] = {0, 0};
		int decodedCount = 0;
		VIndex referenceLength = 0;
		static const struct {
			const char* fName;
			UniChar fChar;
		} kEntities[] = {{"&amp;", u'&'}, {"&gt;", u'>'}, {"&lt;", u'<'}, {"&quot;", u'"'}, {"&apos;", u'\''}};
		for (const auto& entity : kEntities) {
			if (MatchesASCII(text, available, entity.fName)) {
				decoded[0] = entity.fChar;
				decodedCount = 1;
				referenceLength = static_cast<VIndex>(std::strlen(entity.fName));
				break;
			}
		}
		if (decodedCount == 0 && MatchesASCII(text, available, "&#x")) {
			VIndex j = 3;
			uint32 value = 0;
			bool tooBig = false;
			while (j < available && HexDigitValue(text[j]) >= 0) {
				value = (value << 4) | static_cast<uint32>(HexDigitValue(text[j]));
				if (value > 0x10FFFF)
					tooBig = true;
				++j;
			}
			// A reference beyond U+10FFFF, or to 0, is copied as it stands.
			if (j > 3 && j < available && text[j] == u';' && !tooBig && value != 0) {
				if (value < 0x10000) {
					decoded[0] = static_cast<UniChar>(value);
					decodedCount = 1;
				} else {
					value -= 0x10000;
					decoded[0] = static_cast<UniChar>(0xD800 + (value >> 10));
					decoded[1] = static_cast<UniChar>(0xDC00 + (value & 0x3FF));
					decodedCount = 2;
				}
				referenceLength = j + 1;
			}
		}
		if (decodedCount == 0)
			continue;
		building = true;
		result.AppendUniChars(fString + copiedUpTo, i - copiedUpTo);
		result.AppendUniChars(decoded, decodedCount);
		copiedUpTo = i + referenceLength;
		i += referenceLength - 1;
	}
	if (!building)
		return;
	result.AppendUniChars(fString + copiedUpTo, fLength - copiedUpTo);
	*this = std::move(result);
}

void VString::GetXMLString(VString& outText, uint32) const
{
	outText.FromString(*this);
	outText.TranscodeToXML(false);
}

bool VString::FromXMLString(const VString& inText)
{
	FromString(inText);
	TranscodeFromXML();
	return true;
}

// ---------------------------------------------------------------------------
// JSON

VError VString::GetJSONString(VString& outJSONString, uint32 inOptions) const
{
	VString result;
	VError error = AppendJSONString(result, inOptions);
	if (error == VE_OK)
		outJSONString = std::move(result);
	return error;
}

VError VString::AppendJSONString(VString& ioText, uint32 inOptions) const
{
	if (&ioText == this) {
		VString copy(*this);
		return copy.AppendJSONString(ioText, inOptions);
	}
	const bool quotes = (inOptions & kJSON_WithQuotes) != 0;
	const VIndex start = ioText.fLength;
	if ((inOptions & kJSON_Raw) != 0) {
		if (static_cast<int64>(fLength) + (quotes ? 2 : 0) > kMaxLength - start) {
			_ThrowError(VE_STRING_ALLOC_FAILED);
			return VE_STRING_ALLOC_FAILED;
		}
		if (quotes)
			ioText.AppendUniChar(u'"');
		ioText.AppendUniChars(fString, fLength);
		if (quotes)
			ioText.AppendUniChar(u'"');
		if (ioText.IsNull())
			ioText.SetNull(false);
		return VE_OK;
	}
	if (6 * static_cast<int64>(fLength) + 4 >= kMaxLength - start) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return VE_STRING_ALLOC_FAILED;
	}
	const bool escapeAmp = (inOptions & kJSON_EscapeAmpAndApos) != 0;
	// The exact length first, so that the text grows once.
	int64 length = quotes ? 2 : 0;
	for (VIndex i = 0; i < fLength; ++i) {
		UniChar c = fString[i];
		if (c >= 32 && c != u'"' && c != u'\\' && c != 127 && !(escapeAmp && (c == u'&' || c == u'\'')))
			length += 1;
		else if (c == 8 || c == 9 || c == 10 || c == 12 || c == 13 || c == u'"' || c == u'\\')
			length += 2;
		else
			length += 6;
	}
	UniChar* base = ioText.GetCPointerForWrite(start + static_cast<VIndex>(length));
	if (base == nullptr) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return VE_STRING_ALLOC_FAILED;
	}
	UniChar* out = base + start;
	if (quotes)
		*out++ = u'"';
	if (length == fLength + (quotes ? 2 : 0)) {
		if (fLength > 0)
			std::memcpy(out, fString, static_cast<size_t>(fLength) * sizeof(UniChar));
		out += fLength;
	} else {
		for (VIndex i = 0; i < fLength; ++i) {
			UniChar c = fString[i];
			UniChar escape = 0;
			switch (c) {
				case 8: escape = u'b'; break;
				case 9: escape = u't'; break;
				case 10: escape = u'n'; break;
				case 12: escape = u'f'; break;
				case 13: escape = u'r'; break;
				case u'"': escape = u'"'; break;
				case u'\\': escape = u'\\'; break;
				default: break;
			}
			if (escape != 0) {
				*out++ = u'\\';
				*out++ = escape;
			} else if (c < 32 || c == 127 || (escapeAmp && (c == u'&' || c == u'\''))) {
				*out++ = u'\\';
				*out++ = u'u';
				*out++ = u'0';
				*out++ = u'0';
				*out++ = static_cast<UniChar>(kUpperHexDigits[(c >> 4) & 15]);
				*out++ = static_cast<UniChar>(kUpperHexDigits[c & 15]);
			} else {
				*out++ = c;
			}
		}
	}
	if (quotes)
		*out++ = u'"';
	ioText.Validate(start + static_cast<VIndex>(length));
	return VE_OK;
}

VError VString::FromJSONString(const VString& inJSONString, uint32 inOptions)
{
	if ((inOptions & kJSON_Raw) != 0) {
		FromString(inJSONString);
		return VE_OK;
	}
	const UniChar* text = inJSONString.fString;
	const VIndex length = inJSONString.fLength;
	VString result;
	if (result.GetCPointerForWrite(length) == nullptr)
		return VE_STRING_ALLOC_FAILED;
	VIndex runStart = 0;
	VIndex i = 0;
	while (i < length) {
		if (text[i] != u'\\') {
			++i;
			continue;
		}
		result.AppendUniChars(text + runStart, i - runStart);
		++i;
		if (i >= length) {
			runStart = i; // a lone backslash at the end is dropped
			break;
		}
		UniChar c = text[i++];
		switch (c) {
			case u'b': result.AppendUniChar(8); break;
			case u'f': result.AppendUniChar(12); break;
			case u'n': result.AppendUniChar(10); break;
			case u'r': result.AppendUniChar(13); break;
			case u't': result.AppendUniChar(9); break;
			case u'u':
				if (length - i >= 4) {
					uint32 value = 0;
					for (VIndex k = 0; k < 4; ++k) {
						int digit = HexDigitValue(text[i + k]);
						if (digit >= 0)
							value = (value << 4) | static_cast<uint32>(digit);
						else if (k == 0)
							value = 0;
					}
					result.AppendUniChar(static_cast<UniChar>(value));
					i += 4;
				} else {
					result.AppendUniChar(u'u');
				}
				break;
			default: result.AppendUniChar(c); break;
		}
		runStart = i;
	}
	result.AppendUniChars(text + runStart, length - runStart);
	*this = std::move(result);
	return VE_OK;
}

VError VString::GetJSONValue(VJSONValue& outJSONValue, uint32) const
{
	if (IsNull()) {
		outJSONValue.SetNull();
		return VE_OK;
	}
	outJSONValue.SetString(*this);
	// A text that had to be copied for sharing and found no memory would
	// otherwise come out empty.
	if (fLength > 0 && outJSONValue.GetInlineString()->fString == nullptr) {
		_ThrowError(VE_MEMORY_FULL);
		return VE_MEMORY_FULL;
	}
	return VE_OK;
}

VError VString::FromJSONValue(const VJSONValue& inJSONValue)
{
	if (inJSONValue.IsNull()) {
		SetNull(true);
		SetDirty(true);
		return VE_OK;
	}
	return inJSONValue.GetString(*this);
}

void VString::GetCleanJSName(VString& outName) const
{
	VString result;
	if (fLength > 0 && fString[0] >= u'0' && fString[0] <= u'9')
		result.AppendUniChar(u'_');
	for (VIndex i = 0; i < fLength; ++i) {
		UniChar c = fString[i];
		if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
			c == u'$')
			result.AppendUniChar(c);
	}
	outName = std::move(result);
}

namespace {

bool MatchesDatePattern(const UniChar* inText, VIndex inLength, const char* inPattern)
{
	VIndex length = static_cast<VIndex>(std::strlen(inPattern));
	if (inLength != length)
		return false;
	for (VIndex i = 0; i < length; ++i) {
		if (inPattern[i] == 'd') {
			if (inText[i] < u'0' || inText[i] > u'9')
				return false;
		} else if (inText[i] != static_cast<UniChar>(inPattern[i])) {
			return false;
		}
	}
	return true;
}

} // namespace

bool VString::IsISODate() const
{
	return MatchesDatePattern(fString, fLength, "dddd-dd-dd");
}

bool VString::IsNonAmbigousDate() const
{
	return MatchesDatePattern(fString, fLength, "!!dddd-dd-dd!!");
}

} // namespace qirn
