#include "json/VJSONWriter.h"

#include "core/VReal.h"
#include "core/VTime.h"
#include "json/IJSONObject.h"
#include "json/VJSONArray.h"
#include "json/VJSONClass.h"
#include "json/VJSONErrors.h"
#include "json/VJSONNesting.h"
#include "json/VJSONObject.h"
#include "json/VJSONPropertyIterator.h"
#include "json/VStorageLocker.h"
#include "runtime/VError.h"

#include <algorithm>

namespace qirn {

VJSONWriter::VJSONWriter(VDBLanguageContext* inContext, uint32 inOptions)
: fContext(inContext), fOptions(inOptions), fIndentUnit("\t"), fMaxLength(VString::kMaxLength)
{
	if ((fOptions & kOption_Pretty) != 0)
		fIndent.FromCString("\n");
}

VJSONWriter::VJSONWriter(uint32 inOptions) : VJSONWriter(nullptr, inOptions)
{
}

VJSONWriter::~VJSONWriter() = default;

void VJSONWriter::IncrementLevel()
{
	++fLevel;
	if ((fOptions & kOption_Pretty) != 0)
		fIndent.AppendString(fIndentUnit);
}

void VJSONWriter::DecrementLevel()
{
	--fLevel;
	if ((fOptions & kOption_Pretty) != 0 && fIndent.GetLength() > 1)
		fIndent.Truncate(fIndent.GetLength() - fIndentUnit.GetLength());
}

void VJSONWriter::InsertIndentString(VString& ioText) const
{
	if ((fOptions & kOption_Pretty) != 0)
		ioText.Insert(fIndent, 1);
}

void VJSONWriter::AppendIndentString(VString& ioText) const
{
	if ((fOptions & kOption_Pretty) != 0)
		ioText.AppendString(fIndent);
}

// ---------------------------------------------------------------------------

VError VJSONWriter::StringifyValue(const VJSONValue& inValue, VString& outText)
{
	if (inValue.GetType() == JSON_lastType)
		return VE_OK;
	VString text;
	VError error = _WriteValue(inValue, text);
	if (error == VE_OK)
		outText = std::move(text);
	return error;
}

VError VJSONWriter::StringifyObject(const VJSONObject* inObject, VString& outText)
{
	VString text;
	VError error = _WriteObject(inObject, text);
	if (error == VE_OK)
		outText = std::move(text);
	return error;
}

VError VJSONWriter::StringifyArray(const VJSONArray* inArray, VString& outText)
{
	VString text;
	VError error = _WriteArray(inArray, text);
	if (error == VE_OK)
		outText = std::move(text);
	return error;
}

// ---------------------------------------------------------------------------

bool VJSONWriter::_Fits(const VString& inText, VIndex inCount) const
{
	if (inCount <= fMaxLength - inText.GetLength())
		return true;
	_ThrowError(VE_STRING_ALLOC_FAILED);
	return false;
}

bool VJSONWriter::_AppendUnits(VString& ioText, const UniChar* inUnits, VIndex inCount) const
{
	if (!_Fits(ioText, inCount))
		return false;
	ioText.AppendUniChars(inUnits, inCount);
	return true;
}

bool VJSONWriter::_AppendASCII(VString& ioText, const char* inText) const
{
	VIndex length = 0;
	while (inText[length] != 0)
		++length;
	if (!_Fits(ioText, length))
		return false;
	UniChar units[16];
	for (VIndex done = 0; done < length;) {
		VIndex chunk = std::min<VIndex>(length - done, 16);
		for (VIndex i = 0; i < chunk; ++i)
			units[i] = static_cast<UniChar>(inText[done + i]);
		ioText.AppendUniChars(units, chunk);
		done += chunk;
	}
	return true;
}

VError VJSONWriter::_AppendJSONText(const VString& inText, VString& ioText) const
{
	const VIndex before = ioText.GetLength();
	VError error = inText.AppendJSONString(ioText, fOptions);
	if (error == VE_OK && ioText.GetLength() > fMaxLength) {
		ioText.Truncate(before);
		_ThrowError(VE_STRING_ALLOC_FAILED);
		error = VE_STRING_ALLOC_FAILED;
	}
	return error;
}

bool VJSONWriter::_OnStack(const void* inContainer) const
{
	return std::find(fStack.begin(), fStack.end(), inContainer) != fStack.end();
}

bool VJSONWriter::_CountPart(VIndex inLength)
{
	if ((fOptions & kOption_Truncate) == 0)
		return false;
	if (fCount > kTruncateAfter)
		return true;
	fCount += static_cast<uint32>(inLength);
	return false;
}

// After the last part: the indent of the (outer) level when pretty, the
// closing bracket unless cut short, and the ellipsis once per writer.
bool VJSONWriter::_CloseOff(VString& ioText, bool inTruncated, UniChar inClosing)
{
	if ((fOptions & kOption_Pretty) != 0 && !_AppendUnits(ioText, fIndent.GetCPointer(), fIndent.GetLength()))
		return false;
	if (!inTruncated)
		return _AppendUnits(ioText, &inClosing, 1);
	if (fEllipsis)
		return true;
	fEllipsis = true;
	return _AppendASCII(ioText, "...");
}

VError VJSONWriter::_WriteValue(const VJSONValue& inValue, VString& ioText)
{
	switch (inValue.GetType()) {
		case JSON_null:
		case JSON_undefined:
			return _AppendASCII(ioText, "null") ? VE_OK : VE_STRING_ALLOC_FAILED;
		case JSON_false:
			return _AppendASCII(ioText, "false") ? VE_OK : VE_STRING_ALLOC_FAILED;
		case JSON_true:
			return _AppendASCII(ioText, "true") ? VE_OK : VE_STRING_ALLOC_FAILED;
		case JSON_string:
			return _AppendJSONText(VString(*inValue.GetInlineString(), true), ioText);
		case JSON_number: {
			VStr<31> number;
			VReal::RealToJSONString(inValue.GetNumber(), number);
			return _AppendUnits(ioText, number.GetCPointer(), number.GetLength()) ? VE_OK : VE_STRING_ALLOC_FAILED;
		}
		case JSON_object:
			return _WriteObject(inValue.GetObject(), ioText);
		case JSON_array:
			return _WriteArray(inValue.GetArray(), ioText);
		case JSON_date: {
			VTime time;
			if ((fOptions & kOption_DatesAtLocalMidnight) != 0) {
				int16 year = 0, month = 0, day = 0;
				inValue.GetDate(year, month, day);
				time.FromLocalTime(year, month, day, 0, 0, 0, 0);
			} else {
				inValue.GetTime(time);
			}
			VString text;
			VError error = time.GetJSONString(text, fOptions);
			if (error == VE_OK && !_AppendUnits(ioText, text.GetCPointer(), text.GetLength()))
				error = VE_STRING_ALLOC_FAILED;
			return error;
		}
		default:
			return VE_OK;
	}
}

bool VJSONWriter::_WritePart(const VString* inName, const VJSONValue& inValue, bool inFirst, UniChar inOpening,
							 VString& ioText, VError& ioError, bool& ioTruncated)
{
	const UniChar separator = inFirst ? inOpening : u',';
	if (!_AppendUnits(ioText, &separator, 1)) {
		ioError = VE_STRING_ALLOC_FAILED;
		return false;
	}
	const VIndex partStart = ioText.GetLength();
	const bool pretty = (fOptions & kOption_Pretty) != 0;
	if (pretty && !_AppendUnits(ioText, fIndent.GetCPointer(), fIndent.GetLength())) {
		ioError = VE_STRING_ALLOC_FAILED;
		return false;
	}
	if (inName != nullptr) {
		ioError = _AppendJSONText(*inName, ioText);
		if (ioError == VE_OK && !_AppendUnits(ioText, pretty ? u": " : u":", pretty ? 2 : 1))
			ioError = VE_STRING_ALLOC_FAILED;
		if (ioError != VE_OK)
			return false;
	}
	ioError = _WriteValue(inValue, ioText);
	if (ioError != VE_OK)
		return false;
	if (_CountPart(ioText.GetLength() - partStart)) {
		ioTruncated = true;
		return false;
	}
	return true;
}

VError VJSONWriter::_WriteObject(const VJSONObject* inObject, VString& ioText)
{
	if (inObject == nullptr)
		return _AppendASCII(ioText, "undefined") ? VE_OK : VE_STRING_ALLOC_FAILED;
	if (_OnStack(inObject)) {
		if ((fOptions & kOption_CircularAsText) != 0)
			return _AppendASCII(ioText, "\"[circular]\"") ? VE_OK : VE_STRING_ALLOC_FAILED;
		_ThrowError(VE_JSON_CIRCULAR);
		return VE_JSON_CIRCULAR;
	}
	if ((fOptions & kOption_RefuseObjectsWrittenTwice) != 0 && !fWritten.insert(inObject).second) {
		_ThrowError(VE_JSON_OBJECT_WRITTEN_TWICE);
		return VE_JSON_OBJECT_WRITTEN_TWICE;
	}
	VError error = CheckJSONNesting(static_cast<uint32>(fStack.size()));
	if (error != VE_OK)
		return error;
	fStack.push_back(inObject);
	struct Popper {
		std::vector<const void*>& fStack;
		~Popper() { fStack.pop_back(); }
	} popper{fStack};

	if ((fOptions & kOption_RefuseDerivedObjects) != 0 && !inObject->IsGenericObject()) {
		_ThrowError(VE_JSON_NOT_GENERIC_OBJECT);
		return VE_JSON_NOT_GENERIC_OBJECT;
	}
	if (IJSONObject* impl = inObject->GetImplementation(); impl != nullptr) {
		if ((fOptions & kOption_RefuseBinaryObjects) != 0 && impl->IJSON_GetBinarySignature() != 0) {
			_ThrowError(VE_JSON_BINARY_OBJECT_REFUSED);
			return VE_JSON_BINARY_OBJECT_REFUSED;
		}
		VString text;
		VError hookError = VE_OK;
		EJSONStatus status = impl->IJSON_Stringify(inObject, *this, text, &hookError);
		if (status == eJSONStatus_Handled)
			return _AppendUnits(ioText, text.GetCPointer(), text.GetLength()) ? VE_OK : VE_STRING_ALLOC_FAILED;
		if (status == eJSONStatus_Failed)
			return hookError;
	}

	const VIndex start = ioText.GetLength();
	bool truncated = false;
	bool first = true;
	IncrementLevel();
	const VJSONClass* theClass = inObject->GetClass();
	if (inObject->GetImplementation() == nullptr && inObject->_GetStorageLocker() == nullptr &&
		(theClass == nullptr || !theClass->HasGetters())) {
		// A plain object nobody shares has only its own properties: they are
		// read in place, in their order, without an iterator's copies.
		const VJSONObject::PropertyMap& map = inObject->_GetMap();
		const size_t base = fOrder.size();
		const size_t count = map.size();
		fOrder.resize(base + count);
		for (const auto& entry : map)
			fOrder[base + entry.second.second] = &entry;
		for (size_t i = 0; i < count; ++i) {
			const auto* entry = fOrder[base + i];
			const VJSONValue& member = entry->second.first;
			// A container is held while it is written: code it runs may drop
			// it from here.
			const bool written = VJSONContainer::FromValue(member) != nullptr
									 ? _WritePart(&entry->first, VJSONValue(member), first, u'{', ioText, error, truncated)
									 : _WritePart(&entry->first, member, first, u'{', ioText, error, truncated);
			first = false;
			if (!written)
				break;
		}
		fOrder.resize(base);
	} else {
		for (VJSONPropertyConstOrderedIterator it(inObject, 0); it.IsValid(); ++it) {
			const bool written = _WritePart(&it.GetName(), it.GetValue(fContext), first, u'{', ioText, error, truncated);
			first = false;
			if (!written)
				break;
		}
	}
	DecrementLevel();
	if (error == VE_OK) {
		if (first) {
			if (!_AppendASCII(ioText, "{}"))
				error = VE_STRING_ALLOC_FAILED;
		} else if (!_CloseOff(ioText, truncated, u'}')) {
			error = VE_STRING_ALLOC_FAILED;
		}
	}
	if (error != VE_OK)
		ioText.Truncate(start);
	return error;
}

VError VJSONWriter::_WriteArray(const VJSONArray* inArray, VString& ioText)
{
	if (inArray == nullptr)
		return _AppendASCII(ioText, "undefined") ? VE_OK : VE_STRING_ALLOC_FAILED;
	if (_OnStack(inArray)) {
		_ThrowError(VE_JSON_CIRCULAR);
		return VE_JSON_CIRCULAR;
	}
	// Checked before the empty case too: what is written nests no deeper
	// than what the reader takes.
	VError error = CheckJSONNesting(static_cast<uint32>(fStack.size()));
	if (error != VE_OK)
		return error;
	// An array nobody shares is read in place; a shared one through a copy
	// taken under its lock.
	std::vector<VJSONValue> copied;
	const std::vector<VJSONValue>* values = &inArray->_GetValues();
	if (inArray->_GetStorageLocker() != nullptr) {
		inArray->GetValues(copied);
		values = &copied;
	}
	const size_t count = values->size();
	if (count == 0)
		return _AppendASCII(ioText, "[]") ? VE_OK : VE_STRING_ALLOC_FAILED;
	fStack.push_back(inArray);
	const VIndex start = ioText.GetLength();
	bool truncated = false;
	IncrementLevel();
	// The count read first bounds the walk, as a copy would: code that an
	// element runs may change the array.
	for (size_t i = 0; i < count && i < values->size(); ++i) {
		const VJSONValue& element = (*values)[i];
		const bool written = VJSONContainer::FromValue(element) != nullptr
								 ? _WritePart(nullptr, VJSONValue(element), i == 0, u'[', ioText, error, truncated)
								 : _WritePart(nullptr, element, i == 0, u'[', ioText, error, truncated);
		if (!written)
			break;
	}
	DecrementLevel();
	fStack.pop_back();
	if (error == VE_OK && !_CloseOff(ioText, truncated, u']'))
		error = VE_STRING_ALLOC_FAILED;
	if (error != VE_OK)
		ioText.Truncate(start);
	return error;
}

} // namespace qirn
