#include "json/VJSONImporter.h"

#include "core/TextUnits.h"
#include "core/VTime.h"
#include "json/VJSONArray.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONErrors.h"
#include "json/VJSONNesting.h"
#include "json/VJSONObject.h"
#include "json/VStorageLocker.h"
#include "runtime/StThrowError.h"

#include <charconv>
#include <optional>
#include <string>

namespace qirn {

const VString VJSONImporter::sNameOfThePropertyWithPathsAndLines("__symbols");
const VString VJSONImporter::sLine("line");
const VString VJSONImporter::sOffset("offset");
const VString VJSONImporter::sFakeArrayElement("____FakeArrayElement");

namespace {

// The exact expected sets of the error parameters.
constexpr const char* kExpectValue = "\" 0-9 null true false { [";
constexpr const char* kExpectElement = "\" 0-9 null true false { [ ]";
constexpr const char* kExpectNumber = "+- 0-9 eE";
constexpr const char* kExpectFirstName = "\" }";
constexpr const char* kExpectName = "\"";
constexpr const char* kExpectColon = ":";
constexpr const char* kExpectAfterMember = "} ,";
constexpr const char* kExpectAfterElement = "] ,";

constexpr UniChar kMinusSign = 0x2212;

bool IsDigit(UniChar inUnit)
{
	return inUnit >= u'0' && inUnit <= u'9';
}

// Optional "-", then "0" or a run of digits (which "-" alone may lack, as
// in "-" and "-.5"), then "." and digits, then "e" or "E", a sign and digits.
bool IsJSONNumber(const UniChar* inUnits, VIndex inLength)
{
	VIndex i = 0;
	if (i < inLength && (inUnits[i] == u'-' || inUnits[i] == kMinusSign))
		++i;
	const VIndex intStart = i;
	if (i < inLength && inUnits[i] == u'0') {
		++i;
		if (i < inLength && IsDigit(inUnits[i]))
			return false;
	} else {
		while (i < inLength && IsDigit(inUnits[i]))
			++i;
	}
	bool digits = i > intStart;
	if (i < inLength && inUnits[i] == u'.') {
		++i;
		const VIndex fractionStart = i;
		while (i < inLength && IsDigit(inUnits[i]))
			++i;
		if (i == fractionStart)
			return false;
		digits = true;
	}
	if (i < inLength && (inUnits[i] == u'e' || inUnits[i] == u'E')) {
		if (!digits)
			return false;
		++i;
		if (i < inLength && (inUnits[i] == u'+' || inUnits[i] == u'-' || inUnits[i] == kMinusSign))
			++i;
		const VIndex exponentStart = i;
		while (i < inLength && IsDigit(inUnits[i]))
			++i;
		if (i == exponentStart)
			return false;
	}
	return i == inLength;
}

// The number of a text that passed IsJSONNumber. Whole numbers of up to 15
// digits are exact as they stand; the rest are read correctly rounded by
// std::from_chars, and what it does not take (a lone "-", a number beyond
// the range of doubles) by the C library's reading, which gives 0 or an
// infinity there.
double ReadJSONNumber(const UniChar* inUnits, VIndex inLength)
{
	bool negative = inLength > 0 && (inUnits[0] == u'-' || inUnits[0] == kMinusSign);
	VIndex start = negative ? 1 : 0;
	if (inLength - start > 0 && inLength - start <= 15) {
		uint64 value = 0;
		VIndex i = start;
		for (; i < inLength && IsDigit(inUnits[i]); ++i)
			value = value * 10 + static_cast<uint64>(inUnits[i] - u'0');
		if (i == inLength) {
			double number = static_cast<double>(value);
			return negative ? -number : number;
		}
	}
	char small[64];
	std::string large;
	char* buffer = small;
	if (inLength >= static_cast<VIndex>(sizeof(small))) {
		large.resize(static_cast<size_t>(inLength) + 1);
		buffer = large.data();
	}
	for (VIndex i = 0; i < inLength; ++i)
		buffer[i] = inUnits[i] == kMinusSign ? '-' : static_cast<char>(inUnits[i]);
	buffer[inLength] = 0;
	double number = 0;
	const std::from_chars_result result = std::from_chars(buffer, buffer + inLength, number);
	if (result.ec == std::errc() && result.ptr == buffer + inLength)
		return number;
	return ReadReal(buffer, nullptr);
}

} // namespace

// ---------------------------------------------------------------------------

VJSONImporter::VJSONImporter(const VString& inText, uint32 inOptions)
: fSource(inText), fOptions(inOptions), fNonAmbiguousDates((inOptions & kOption_NonAmbiguousDates) != 0)
{
	fText = fSource.GetCPointer();
	fLength = fSource.IsNull() ? 0 : fSource.GetLength();
	if ((fOptions & kOption_Symbols) != 0)
		fSymbols = new VJSONObject();
}

VJSONImporter::~VJSONImporter()
{
	if (fSymbols != nullptr)
		fSymbols->Release();
}

VError VJSONImporter::ParseString(const VString& inText, VJSONValue& outValue, uint32 inOptions)
{
	VJSONImporter importer(inText, inOptions);
	return importer.Parse(outValue);
}

VError VJSONImporter::Parse(VJSONValue& outValue)
{
	std::optional<VJSONUser> user;
	if ((fOptions & kOption_SharedLocker) != 0)
		user.emplace(VRefPtr<VStorageLocker>(_SharedLocker()), false);
	VError error = _ParseValue(outValue);
	if (error != VE_OK && (fOptions & kOption_UndefinedOnFailure) != 0)
		outValue.SetUndefined();
	if (outValue.IsObject())
		SetPathLineForEncompasingObject();
	return error;
}

// ---------------------------------------------------------------------------
// Tokens

VJSONImporter::JsonToken VJSONImporter::GetNextJSONToken(VString& outText, bool* outQuoted, VError* outError)
{
	Token token;
	JsonToken kind = _NextToken(token, outError);
	outText.FromUniString(token.fUnits, token.fLength);
	if (outQuoted != nullptr)
		*outQuoted = token.fQuoted;
	return kind;
}

VJSONImporter::JsonToken VJSONImporter::GetNextJSONToken(VError* outError)
{
	Token token;
	return _NextToken(token, outError);
}

VJSONImporter::JsonToken VJSONImporter::_NextToken(Token& outToken, VError* outError)
{
	outToken = Token();
	fTokenStart = fPos;
	while (fPos < fLength && fText[fPos] < 33) {
		_CountLine(fPos);
		++fPos;
	}
	if (fPos >= fLength)
		return jsonNone;
	JsonToken kind;
	switch (fText[fPos]) {
		case u'{': kind = jsonBeginObject; break;
		case u'}': kind = jsonEndObject; break;
		case u'[': kind = jsonBeginArray; break;
		case u']': kind = jsonEndArray; break;
		case u',': kind = jsonSeparator; break;
		case u':': kind = jsonAssigne; break;
		case u'"': return _ScanString(outToken, outError);
		default: kind = jsonString; break;
	}
	if (kind != jsonString) {
		++fPos;
		outToken.fKind = kind;
		return kind;
	}
	// A bare word ends at white space (consumed) or at a delimiter (kept).
	const VIndex start = fPos;
	while (fPos < fLength) {
		UniChar c = fText[fPos];
		if (c < 33) {
			outToken.fUnits = fText + start;
			outToken.fLength = fPos - start;
			// The LF of a CR LF stays, to be counted when it is skipped.
			if (c != 13 || fPos + 1 >= fLength || fText[fPos + 1] != 10)
				_CountLine(fPos);
			++fPos;
			outToken.fKind = jsonString;
			return jsonString;
		}
		if (c == u'"' || c == u',' || c == u':' || c == u'[' || c == u']' || c == u'{' || c == u'}')
			break;
		++fPos;
	}
	outToken.fUnits = fText + start;
	outToken.fLength = fPos - start;
	outToken.fKind = jsonString;
	return jsonString;
}

VJSONImporter::JsonToken VJSONImporter::_ScanString(Token& outToken, VError* outError)
{
	++fPos;
	VIndex runStart = fPos;
	bool decoded = false;
	bool terminated = false;
	auto flushRun = [&](VIndex inEnd) {
		if (!decoded) {
			fScratch.Clear();
			decoded = true;
		}
		fScratch.AppendUniChars(fText + runStart, inEnd - runStart);
	};
	while (fPos < fLength) {
		// Most characters need nothing: the run is taken whole.
		UniChar c = fText[fPos];
		if (c > 13 && c != u'"' && c != u'\\') {
			++fPos;
			continue;
		}
		if (c == u'"') {
			terminated = true;
			break;
		}
		if (c == 10 || c == 13) {
			_CountLine(fPos);
			++fPos;
			continue;
		}
		if (c == 0) {
			flushRun(fPos);
			runStart = ++fPos;
			continue;
		}
		if (c != u'\\') {
			++fPos;
			continue;
		}
		flushRun(fPos);
		++fPos;
		if (fPos >= fLength) {
			fScratch.AppendUniChar(0);
			runStart = fPos;
			break;
		}
		UniChar escaped = fText[fPos++];
		switch (escaped) {
			case u'b': fScratch.AppendUniChar(8); break;
			case u'f': fScratch.AppendUniChar(12); break;
			case u'n': fScratch.AppendUniChar(10); break;
			case u'r': fScratch.AppendUniChar(13); break;
			case u't': fScratch.AppendUniChar(9); break;
			case u'u': {
				if (fLength - fPos < 4) {
					fPos = fLength;
					runStart = fPos;
					break;
				}
				// A first unit that is no digit counts as 0; a later one is
				// skipped without shifting.
				uint32 value = 0;
				for (int k = 0; k < 4; ++k) {
					int digit = HexDigitValue(fText[fPos + k]);
					if (digit >= 0)
						value = (value << 4) | static_cast<uint32>(digit);
				}
				fPos += 4;
				fScratch.AppendUniChar(static_cast<UniChar>(value));
				break;
			}
			default:
				if (escaped == 10 || escaped == 13)
					_CountLine(fPos - 1);
				fScratch.AppendUniChar(escaped);
				break;
		}
		runStart = fPos;
	}
	const VIndex end = fPos;
	if (terminated)
		++fPos;
	if (decoded) {
		fScratch.AppendUniChars(fText + runStart, end - runStart);
		outToken.fUnits = fScratch.GetCPointer();
		outToken.fLength = fScratch.GetLength();
	} else {
		outToken.fUnits = fText + runStart;
		outToken.fLength = end - runStart;
	}
	outToken.fQuoted = true;
	if (!terminated && (fOptions & kOption_Strict) != 0) {
		outToken.fKind = jsonNone;
		if (outError != nullptr)
			*outError = _ThrowErrorUnterminated();
		return jsonNone;
	}
	outToken.fKind = jsonString;
	return jsonString;
}

// ---------------------------------------------------------------------------
// Values

VError VJSONImporter::_ParseValue(VJSONValue& outValue)
{
	Token token;
	VError error = VE_OK;
	JsonToken kind = _NextToken(token, &error);
	if (error != VE_OK)
		return error;
	switch (kind) {
		case jsonBeginObject:
		case jsonBeginArray:
			error = _NewContainer(kind, outValue);
			if (error == VE_OK)
				error = _ParseContents(outValue);
			return error != VE_OK ? error : _ExpandBinaryObject(outValue);
		case jsonString: return _StringToValue(token, outValue, kExpectValue);
		default: return _ThrowErrorInvalidToken(_TokenText(token), kExpectValue);
	}
}

VError VJSONImporter::_NewContainer(JsonToken inKind, VJSONValue& outValue)
{
	VError error = CheckJSONNesting(fDepth);
	if (error != VE_OK) {
		_ThrowErrorMalformed();
		return error;
	}
	// Under option 256 every container is made under the one locker, which
	// the importer uses for the whole reading.
	VStorageLocker* locker = (fOptions & kOption_SharedLocker) != 0 ? _SharedLocker() : nullptr;
	if (inKind == jsonBeginObject)
		outValue.SetObject(VRefPtr<VJSONObject>::Adopt(new VJSONObject(nullptr, nullptr, locker)).Get());
	else
		outValue.SetArray(VRefPtr<VJSONArray>::Adopt(new VJSONArray(locker)).Get());
	return VE_OK;
}

VError VJSONImporter::_ParseContents(const VJSONValue& inContainer)
{
	++fDepth;
	VError error = inContainer.IsObject() ? _ParseObject(inContainer.GetObject()) : _ParseArray(inContainer.GetArray());
	--fDepth;
	return error;
}

VError VJSONImporter::_ExpandBinaryObject(VJSONValue& ioValue)
{
	const VJSONObject* object = ioValue.GetObject();
	if (object == nullptr)
		return VE_OK;
	const VJSONValue text = object->_GetOwnProperty(VJSONBinaryImporter::GetTextPropertyName());
	if (!text.IsString())
		return VE_OK;
	VString base64;
	text.GetString(base64);
	VJSONValue tree;
	VError error = VJSONBinaryImporter::ReadBase64(base64, tree);
	if (error == VE_OK)
		ioValue = std::move(tree);
	return error;
}

VError VJSONImporter::_StringToValue(const Token& inToken, VJSONValue& outValue, const char* inExpected)
{
	const UniChar* units = inToken.fUnits;
	const VIndex length = inToken.fLength;
	if (inToken.fQuoted) {
		if ((fOptions & (kOption_Dates | kOption_ISODates)) != 0) {
			VString text(units, length);
			bool isDate = false;
			if ((fOptions & kOption_Dates) != 0) {
				if (fNonAmbiguousDates)
					isDate = text.IsNonAmbigousDate();
				else
					isDate = length >= 4 && units[0] == u'!' && units[1] == u'!' && units[length - 1] == u'!' &&
							 units[length - 2] == u'!';
			}
			if (!isDate && (fOptions & kOption_ISODates) != 0)
				isDate = text.IsISODate();
			if (isDate) {
				VTime time;
				time.FromXMLString(text);
				outValue.SetTime(time);
				return VE_OK;
			}
		}
		outValue._SetStringFromUnits(units, length);
		return VE_OK;
	}
	if (length == 4 && units[0] == u't' && units[1] == u'r' && units[2] == u'u' && units[3] == u'e') {
		outValue = VJSONValue::sTrue;
		return VE_OK;
	}
	if (length == 5 && units[0] == u'f' && units[1] == u'a' && units[2] == u'l' && units[3] == u's' &&
		units[4] == u'e') {
		outValue = VJSONValue::sFalse;
		return VE_OK;
	}
	if (length == 4 && units[0] == u'n' && units[1] == u'u' && units[2] == u'l' && units[3] == u'l') {
		outValue = VJSONValue::sNull;
		return VE_OK;
	}
	if (length > 0 && (units[0] == u'-' || IsDigit(units[0]))) {
		if (!IsJSONNumber(units, length))
			return _ThrowErrorInvalidToken(_TokenText(inToken), kExpectNumber);
		outValue.SetNumber(ReadJSONNumber(units, length));
		return VE_OK;
	}
	if ((fOptions & kOption_Strict) != 0)
		return _ThrowErrorInvalidToken(_TokenText(inToken), inExpected);
	outValue._SetStringFromUnits(units, length);
	return VE_OK;
}

VError VJSONImporter::_ParseObject(VJSONObject* ioObject)
{
	VError error = VE_OK;
	int32 members = 0;
	for (;;) {
		Token token;
		JsonToken kind = _NextToken(token, &error);
		if (error != VE_OK)
			break;
		if (kind == jsonEndObject) {
			if (members > 0)
				error = _ThrowErrorExtraComma("}");
			break;
		}
		if (kind != jsonString) {
			error = _ThrowErrorInvalidToken(_TokenText(token), members == 0 ? kExpectFirstName : kExpectName);
			break;
		}
		if (!token.fQuoted && (fOptions & kOption_Strict) != 0) {
			error = _ThrowErrorInvalidToken(_TokenText(token), kExpectName);
			break;
		}
		// The name is kept apart: the next token reuses the scratch text.
		const VString name(_InternName(token.fUnits, token.fLength));
		StPathUpdater path(*this);
		if (fSymbols != nullptr && token.fLength > 0) {
			if (!fPath.IsEmpty() && token.fUnits[0] != u'[')
				fPath.AppendUniChar(u'.');
			fPath.AppendString(name);
			_RecordSymbol((fPos - fLineStart) - token.fLength - 2);
		}
		Token colon;
		kind = _NextToken(colon, &error);
		if (error != VE_OK)
			break;
		if (kind != jsonAssigne) {
			error = _ThrowErrorInvalidToken(_GetStartTokenFirstChar(), kExpectColon);
			break;
		}
		Token valueToken;
		kind = _NextToken(valueToken, &error);
		if (error != VE_OK)
			break;
		VJSONValue value;
		if (kind == jsonBeginObject || kind == jsonBeginArray) {
			error = _NewContainer(kind, value);
			if (error != VE_OK)
				break;
			// A value that fails is no property: an earlier value of the same
			// name comes back.
			VJSONValue previous = ioObject->_GetOwnProperty(name);
			ioObject->SetProperty(name, value);
			error = _ParseContents(value);
			const VJSONContainer* parsed = VJSONContainer::FromValue(value);
			if (error == VE_OK && (error = _ExpandBinaryObject(value)) == VE_OK &&
				VJSONContainer::FromValue(value) != parsed)
				ioObject->SetProperty(name, value);
			if (error != VE_OK) {
				ioObject->SetProperty(name, previous);
				break;
			}
		} else if (kind == jsonString) {
			error = _StringToValue(valueToken, value, kExpectValue);
			if (error != VE_OK)
				break;
			ioObject->_SetParsedProperty(name, std::move(value));
		} else {
			error = _ThrowErrorInvalidToken(_TokenText(valueToken), kExpectValue);
			break;
		}
		++members;
		Token next;
		kind = _NextToken(next, &error);
		if (error != VE_OK || kind == jsonEndObject)
			break;
		if (kind != jsonSeparator) {
			error = _ThrowErrorInvalidToken(_TokenText(next), kExpectAfterMember);
			break;
		}
	}
	return error;
}

VError VJSONImporter::_ParseArray(VJSONArray* ioArray)
{
	VError error = VE_OK;
	int32 counter = 0;
	int32 elements = 0;
	for (;;) {
		StPathUpdater path(*this);
		if (fSymbols != nullptr) {
			fPath.AppendUniChar(u'[');
			fPath.AppendLong(counter);
			fPath.AppendUniChar(u']');
		}
		++counter;
		Token token;
		JsonToken kind = _NextToken(token, &error);
		if (error != VE_OK)
			break;
		if (fSymbols != nullptr && (kind == jsonBeginObject || kind == jsonBeginArray || kind == jsonString)) {
			VIndex offset = fPos - fLineStart;
			if (kind == jsonString) {
				offset -= token.fLength;
				if (fPos > 0 && fText[fPos - 1] == u'"')
					offset -= 2;
			} else {
				offset -= 1;
			}
			_RecordSymbol(offset);
		}
		if (kind == jsonEndArray) {
			if (elements > 0)
				error = _ThrowErrorExtraComma("]");
			break;
		}
		VJSONValue value;
		if (kind == jsonBeginArray || kind == jsonBeginObject) {
			error = _NewContainer(kind, value);
			if (error != VE_OK)
				break;
			ioArray->Push(value);
			error = _ParseContents(value);
			const VJSONContainer* parsed = VJSONContainer::FromValue(value);
			if (error == VE_OK && (error = _ExpandBinaryObject(value)) == VE_OK &&
				VJSONContainer::FromValue(value) != parsed)
				ioArray->SetAt(ioArray->GetCount() - 1, value);
			if (error != VE_OK) {
				// A value that fails is no element.
				ioArray->RemoveAt(ioArray->GetCount() - 1, 1);
				break;
			}
		} else if (kind == jsonString) {
			error = _StringToValue(token, value, kExpectElement);
			if (error != VE_OK)
				break;
			ioArray->_PushParsed(std::move(value));
		} else {
			error = _ThrowErrorInvalidToken(_TokenText(token), elements > 0 ? kExpectValue : kExpectElement);
			break;
		}
		++elements;
		Token next;
		kind = _NextToken(next, &error);
		if (error != VE_OK || kind == jsonEndArray)
			break;
		if (kind != jsonSeparator) {
			error = _ThrowErrorInvalidToken(_GetStartTokenFirstChar(), kExpectAfterElement);
			break;
		}
	}
	return error;
}

const VString& VJSONImporter::_InternName(const UniChar* inUnits, VIndex inLength)
{
	// Long names and documents with very many names are not worth keeping.
	constexpr VIndex kLongestKept = 64;
	constexpr size_t kMostKept = 4096;
	const std::u16string_view text(reinterpret_cast<const char16_t*>(inUnits), static_cast<size_t>(inLength));
	if (inLength <= kLongestKept) {
		auto found = fNames.find(text);
		if (found != fNames.end())
			return found->second;
		if (fNames.size() < kMostKept)
			return fNames.emplace(std::u16string(text), VString(inUnits, inLength)).first->second;
	}
	fLongName.FromUniString(inUnits, inLength);
	return fLongName;
}

VStorageLocker* VJSONImporter::_SharedLocker()
{
	if (!fLocker)
		fLocker = VRefPtr<VStorageLocker>::Adopt(new VStorageLocker());
	return fLocker.Get();
}

// ---------------------------------------------------------------------------
// Symbols

VJSONImporter::StPathUpdater::StPathUpdater(VJSONImporter& inImporter)
: fImporter(inImporter), fLength(inImporter.fPath.GetLength())
{
}

VJSONImporter::StPathUpdater::~StPathUpdater()
{
	if (fImporter.fSymbols != nullptr && fImporter.fPath.GetLength() != fLength)
		fImporter.fPath.Truncate(fLength);
}

void VJSONImporter::_RecordSymbol(VIndex inOffset)
{
	VRefPtr<VJSONObject> entry = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	entry->SetProperty(sLine, VJSONValue(static_cast<double>(fLine)));
	entry->SetProperty(sOffset, VJSONValue(static_cast<double>(inOffset)));
	fSymbols->SetProperty(fPath, VJSONValue(entry.Get()));
}

void VJSONImporter::SetPathLineForEncompasingObject()
{
	if (fSymbols == nullptr)
		return;
	VStr<4> saved(fPath);
	fPath.FromCString("}");
	_RecordSymbol(fPos - fLineStart - 1);
	fPath.FromString(saved);
}

// ---------------------------------------------------------------------------
// Errors

VString VJSONImporter::_TokenToString(JsonToken inKind)
{
	static const char* const kTexts[] = {"", "{", "}", "[", "]", ",", ":", "\"", "!"};
	if (inKind < 0 || inKind > jsonUnknown)
		return VString();
	return VString(kTexts[inKind]);
}

VString VJSONImporter::_TokenText(const Token& inToken)
{
	if (inToken.fKind == jsonString)
		return VString(inToken.fUnits, inToken.fLength);
	return _TokenToString(inToken.fKind);
}

VString VJSONImporter::_GetStartTokenFirstChar() const
{
	VIndex pos = fTokenStart;
	while (pos < fLength && fText[pos] < 33)
		++pos;
	if (pos >= fLength)
		return VString();
	return VString(fText[pos]);
}

VError VJSONImporter::_ThrowErrorMalformed()
{
	// The place of the first non-blank character from the token start,
	// lines counted as the tokenizer counts them (LF, or CR alone), and the
	// position from the start of that line.
	VIndex target = fTokenStart;
	while (target < fLength && fText[target] < 33)
		++target;
	int32 line = 1;
	VIndex lineStart = 0;
	for (VIndex i = 0; i < target && i < fLength; ++i) {
		UniChar c = fText[i];
		if (c == 10 || (c == 13 && (i + 1 >= fLength || fText[i + 1] != 10))) {
			++line;
			lineStart = i + 1;
		}
	}
	StThrowError<> error(VE_JSON_MALFORMED);
	VString source;
	if (!fSourceName.IsEmpty()) {
		source.FromString(fSourceName);
		source.AppendCString(", ");
	}
	error->SetString(VString("source"), source);
	error->SetLong(VString("line"), line);
	error->SetLong(VString("position"), static_cast<int32>(target - lineStart + 1));
	return VE_JSON_MALFORMED;
}

VError VJSONImporter::_ThrowErrorInvalidToken(const VString& inFound, const char* inExpected)
{
	if ((fOptions & kOption_QuietInvalidTokens) != 0)
		return VE_JSON_MALFORMED;
	{
		StThrowError<> error(inFound.IsEmpty() ? VE_JSON_UNEXPECTED_END : VE_JSON_INVALID_TOKEN);
		error->SetString(VString("found"), inFound);
		error->SetString(VString("expected"), VString(inExpected));
	}
	return _ThrowErrorMalformed();
}

VError VJSONImporter::_ThrowErrorUnterminated()
{
	{
		StThrowError<> error(VE_JSON_UNTERMINATED);
		error->SetString(VString("token"), VString("\""));
	}
	return _ThrowErrorMalformed();
}

VError VJSONImporter::_ThrowErrorExtraComma(const char* inToken)
{
	{
		StThrowError<> error(VE_JSON_EXTRA_COMMA);
		error->SetString(VString("token"), VString(inToken));
	}
	return _ThrowErrorMalformed();
}

} // namespace qirn
