// The importer's direct reading of an object text into a bag. It lives with
// the bags: the JSON subsystem itself knows nothing of them.
#include "bags_xml/JSONMarkerBagKeys.h"
#include "bags_xml/VValueBag.h"
#include "core/VBoolean.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONImporter.h"
#include "json/VJSONNesting.h"
#include "runtime/VError.h"

#include <charconv>
#include <memory>
#include <new>
#include <string>

namespace qirn {

namespace {

constexpr const char* kExpectObject = "{";
constexpr const char* kExpectFirstName = "\" }";
constexpr const char* kExpectName = "\"";
constexpr const char* kExpectColon = ":";
constexpr const char* kExpectValue = "\" 0-9 null true false { [";
constexpr const char* kExpectElement = "\" 0-9 null true false { [ ]";

const VString kCDataMember("__CDATA");

bool _Is(const UniChar* inUnits, VIndex inLength, const char* inWord)
{
	VIndex i = 0;
	for (; i < inLength && inWord[i] != 0; ++i) {
		if (inUnits[i] != static_cast<UniChar>(inWord[i]))
			return false;
	}
	return i == inLength && inWord[i] == 0;
}

// A bare word of digits (after an optional '-') that fits a signed 64-bit
// integer; anything else read as a number is a real, so that neither a
// fraction, an exponent nor a large count is cut down to an integer.
bool _ReadInteger(const UniChar* inUnits, VIndex inLength, sLONG8& outValue)
{
	if (inLength == 0 || inLength > 24)
		return false;
	std::string ascii;
	for (VIndex i = 0; i < inLength; ++i) {
		const UniChar c = inUnits[i];
		if (!((c >= u'0' && c <= u'9') || (i == 0 && c == u'-')))
			return false;
		ascii.push_back(static_cast<char>(c));
	}
	const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), outValue);
	return error == std::errc() && end == ascii.data() + ascii.size();
}

bool _LooksNumeric(const UniChar* inUnits, VIndex inLength)
{
	return inLength > 0 && (inUnits[0] == u'-' || inUnits[0] == 0x2212 || inUnits[0] == u'.' ||
							(inUnits[0] >= u'0' && inUnits[0] <= u'9'));
}

} // namespace

VValueSingle* VJSONImporter::_NewBagScalar(const Token& inToken) const
{
	const UniChar* units = inToken.fUnits;
	const VIndex length = inToken.fLength;
	if (inToken.fQuoted) {
		VString text(units, length);
		if (fNonAmbiguousDates ? text.IsNonAmbigousDate() : text.IsISODate()) {
			auto* time = new VTime();
			if (time != nullptr)
				time->FromXMLString(text);
			return time;
		}
		return new VString(text);
	}
	if (_Is(units, length, "null")) {
		auto* text = new VString();
		if (text != nullptr)
			text->SetNull(true);
		return text;
	}
	if (_Is(units, length, "true"))
		return new VBoolean(true);
	if (_Is(units, length, "false"))
		return new VBoolean(false);
	sLONG8 integer = 0;
	if (_ReadInteger(units, length, integer))
		return new VLong8(integer);
	// A word that is no number stays the text it is, as the tolerant
	// importer takes it everywhere else.
	const VString text(units, length);
	if (_LooksNumeric(units, length))
		return new VReal(text.GetReal());
	return new VString(text);
}

VError VJSONImporter::JSONObjectToBag(VValueBag& ioBag)
{
	if (fDepth == 0) {
		VError error = VE_OK;
		Token token;
		const JsonToken kind = _NextToken(token, &error);
		if (error != VE_OK)
			return error;
		if (kind != jsonBeginObject)
			return _ThrowErrorInvalidToken(_TokenText(token), kExpectObject);
	}
	return _ObjectToBag(ioBag);
}

VError VJSONImporter::_NestedObjectToBag(VValueBag& ioParent, const StPackedDictionaryKey& inKey, bool inMarked)
{
	// The bag being filled counts as one open container.
	if (VError error = CheckJSONNesting(fDepth + 1); error != VE_OK)
		return error;
	VRefPtr<VValueBag> child = VRefPtr<VValueBag>::Adopt(new (std::nothrow) VValueBag());
	if (child == nullptr) {
		_ThrowError(VE_MEMORY_FULL);
		return VE_MEMORY_FULL;
	}
	if (inMarked)
		child->SetBool(JSONMarkerBagKeys::objectunic, true);
	++fDepth;
	const VError error = _ObjectToBag(*child);
	--fDepth;
	if (error == VE_OK)
		ioParent.AddElement(inKey, child.Get());
	return error;
}

VError VJSONImporter::_ObjectToBag(VValueBag& ioBag)
{
	VError error = VE_OK;
	Token token;
	JsonToken kind = _NextToken(token, &error);
	for (int32 members = 0; error == VE_OK; ++members) {
		if (kind == jsonNone || kind == jsonEndObject)
			break;
		if (kind != jsonString)
			return _ThrowErrorInvalidToken(_TokenText(token), members == 0 ? kExpectFirstName : kExpectName);
		// The name is kept apart: the next token reuses the scratch text.
		const VString name(token.fUnits, token.fLength);
		const StPackedDictionaryKey key(name);
		Token colon;
		kind = _NextToken(colon, &error);
		if (error != VE_OK)
			break;
		if (kind != jsonAssigne)
			return _ThrowErrorInvalidToken(_GetStartTokenFirstChar(), kExpectColon);
		Token value;
		kind = _NextToken(value, &error);
		if (error != VE_OK)
			break;
		if (kind == jsonBeginObject) {
			error = _NestedObjectToBag(ioBag, key, true);
		} else if (kind == jsonBeginArray) {
			error = _ArrayToBag(ioBag, key);
		} else if (kind == jsonString) {
			if (name.EqualToStringRaw(VJSONBinaryImporter::GetTextPropertyName())) {
				// A tree in the binary form becomes the bag's content.
				VJSONValue tree;
				error = VJSONBinaryImporter::ReadBase64(VString(value.fUnits, value.fLength), tree);
				if (error == VE_OK)
					error = ioBag.FromJSONValue(tree);
			} else if (name.EqualToStringRaw(kCDataMember)) {
				ioBag.SetAttribute(VValueBag::CDataAttributeName(), VString(value.fUnits, value.fLength));
			} else {
				const std::unique_ptr<VValueSingle> scalar(_NewBagScalar(value));
				if (scalar == nullptr) {
					_ThrowError(VE_MEMORY_FULL);
					return VE_MEMORY_FULL;
				}
				ioBag.SetAttribute(key, *scalar);
			}
		} else {
			return _ThrowErrorInvalidToken(_TokenText(value), kExpectValue);
		}
		if (error != VE_OK)
			break;
		// Commas between members are optional.
		kind = _NextToken(token, &error);
		if (error == VE_OK && kind == jsonSeparator)
			kind = _NextToken(token, &error);
	}
	return error;
}

VError VJSONImporter::_ArrayToBag(VValueBag& ioBag, const StPackedDictionaryKey& inKey)
{
	VError error = VE_OK;
	for (;;) {
		Token token;
		const JsonToken kind = _NextToken(token, &error);
		if (error != VE_OK || kind == jsonNone || kind == jsonEndArray)
			break;
		if (kind == jsonSeparator)
			continue;
		if (kind == jsonBeginObject) {
			error = _NestedObjectToBag(ioBag, inKey, false);
			if (error != VE_OK)
				break;
			continue;
		}
		VRefPtr<VValueBag> child = VRefPtr<VValueBag>::Adopt(new (std::nothrow) VValueBag());
		if (child == nullptr) {
			_ThrowError(VE_MEMORY_FULL);
			return VE_MEMORY_FULL;
		}
		if (kind == jsonBeginArray) {
			// An array inside an array has no bag form: its item keeps the
			// array's JSON text.
			VJSONValue array;
			error = _NewContainer(kind, array);
			if (error == VE_OK)
				error = _ParseContents(array);
			if (error != VE_OK)
				break;
			VString text;
			array.Stringify(text, 0);
			child->SetAttribute(JSONMarkerBagKeys::FakeArrayElement, text);
		} else if (kind == jsonString) {
			const std::unique_ptr<VValueSingle> scalar(_NewBagScalar(token));
			if (scalar == nullptr) {
				_ThrowError(VE_MEMORY_FULL);
				return VE_MEMORY_FULL;
			}
			child->SetAttribute(JSONMarkerBagKeys::FakeArrayElement, *scalar);
		} else {
			return _ThrowErrorInvalidToken(_TokenText(token), kExpectElement);
		}
		ioBag.AddElement(inKey, child.Get());
	}
	return error;
}

} // namespace qirn
