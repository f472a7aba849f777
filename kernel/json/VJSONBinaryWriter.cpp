#include "json/VJSONBinaryWriter.h"

#include "json/VJSONArray.h"
#include "json/VJSONClass.h"
#include "json/VJSONNesting.h"
#include "json/VJSONObject.h"
#include "json/VJSONPropertyIterator.h"
#include "core/VTime.h"
#include "runtime/VError.h"

#include <bit>
#include <cstring>
#include <vector>

namespace qirn {

namespace {

static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big);

template <class T>
bool _PutLE(VMemoryBuffer<>& ioBuffer, T inValue)
{
	unsigned char bytes[sizeof(T)];
	std::memcpy(bytes, &inValue, sizeof(T));
	if constexpr (std::endian::native == std::endian::big) {
		for (size_t i = 0; i < sizeof(T) / 2; ++i)
			std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
	}
	return ioBuffer.AddData(bytes, sizeof(T));
}

bool _PutUnits(VMemoryBuffer<>& ioBuffer, const UniChar* inUnits, size_t inCount)
{
	if constexpr (std::endian::native == std::endian::little) {
		return inCount == 0 || ioBuffer.AddData(inUnits, inCount * sizeof(UniChar));
	} else {
		for (size_t i = 0; i < inCount; ++i) {
			if (!_PutLE<uint16>(ioBuffer, inUnits[i]))
				return false;
		}
		return true;
	}
}

// A length field and the units of a text.
template <class TLength>
bool _PutText(VMemoryBuffer<>& ioBuffer, const UniChar* inUnits, size_t inCount)
{
	return _PutLE<TLength>(ioBuffer, static_cast<TLength>(inCount)) && _PutUnits(ioBuffer, inUnits, inCount);
}

VError _MemoryFull()
{
	_ThrowError(VE_MEMORY_FULL);
	return VE_MEMORY_FULL;
}

bool _IsRootObjectClass(const VJSONClass* inClass)
{
	static const VString sObject("Object");
	return inClass->GetDepth() == 0 && inClass->GetName().EqualToStringRaw(sObject);
}

void _AppendEscapedName(VString& ioPointer, const VString& inName)
{
	const UniChar* units = inName.GetCPointer();
	for (VIndex i = 0; i < inName.GetLength(); ++i) {
		if (units[i] == u'~') {
			ioPointer.AppendUniChar(u'~');
			ioPointer.AppendUniChar(u'0');
		} else if (units[i] == u'/') {
			ioPointer.AppendUniChar(u'~');
			ioPointer.AppendUniChar(u'1');
		} else {
			ioPointer.AppendUniChar(units[i]);
		}
	}
}

} // namespace

// Each call starts a stream, whose pointers count from its own root: a
// container remembered from an earlier call would be referred to by a
// pointer into a document the reader never sees (or, its address reused
// by a new container, stand for something else).
VError VJSONBinaryWriter::StreamValue(const VJSONValue& inValue, VMemoryBuffer<>& ioBuffer)
{
	fWritten.clear();
	return _StreamValue(inValue, ioBuffer, nullptr);
}

VError VJSONBinaryWriter::StreamObject(const VJSONObject* inObject, VMemoryBuffer<>& ioBuffer)
{
	fWritten.clear();
	VError error = VE_OK;
	if (inObject != nullptr && _StreamReference(inObject, ioBuffer, nullptr, error))
		return error;
	return _StreamObject(inObject, ioBuffer, nullptr);
}

VError VJSONBinaryWriter::StreamArray(const VJSONArray* inArray, VMemoryBuffer<>& ioBuffer)
{
	fWritten.clear();
	VError error = VE_OK;
	if (inArray != nullptr && _StreamReference(inArray, ioBuffer, nullptr, error))
		return error;
	return _StreamArray(inArray, ioBuffer, nullptr);
}

void VJSONBinaryWriter::BuildPathPointerString(const PathPart* inPath, VString& outPointer)
{
	std::vector<const PathPart*> steps;
	for (const PathPart* part = inPath; part != nullptr; part = part->fParent)
		steps.push_back(part);
	outPointer.FromUniChar(u'#');
	for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
		outPointer.AppendUniChar(u'/');
		if ((*step)->fName != nullptr)
			_AppendEscapedName(outPointer, *(*step)->fName);
		else
			outPointer.AppendLong8(static_cast<sLONG8>((*step)->fIndex));
	}
}

bool VJSONBinaryWriter::_StreamReference(const void* inContainer, VMemoryBuffer<>& ioBuffer, const PathPart* inPath,
										 VError& ioError)
{
	auto [entry, added] = fWritten.try_emplace(inContainer);
	if (added) {
		BuildPathPointerString(inPath, entry->second);
		return false;
	}
	const VString& pointer = entry->second;
	if (!_PutLE<uint8>(ioBuffer, kTagReference) ||
		!_PutText<uint32>(ioBuffer, pointer.GetCPointer(), static_cast<size_t>(pointer.GetLength())))
		ioError = _MemoryFull();
	return true;
}

VError VJSONBinaryWriter::_StreamValue(const VJSONValue& inValue, VMemoryBuffer<>& ioBuffer, const PathPart* inPath)
{
	VError error = VE_OK;
	bool written = true;
	switch (inValue.GetType()) {
		case JSON_null: written = _PutLE<uint8>(ioBuffer, kTagNull); break;
		case JSON_false: written = _PutLE<uint8>(ioBuffer, kTagFalse); break;
		case JSON_true: written = _PutLE<uint8>(ioBuffer, kTagTrue); break;
		case JSON_undefined: written = _PutLE<uint8>(ioBuffer, kTagUndefined); break;
		case JSON_string: {
			const VInlineString* text = inValue.GetInlineString();
			const UniChar* units = text->fString;
			const int32 length = units != nullptr ? text->fLength : 0;
			written = _PutLE<uint8>(ioBuffer, kTagString) &&
					  _PutText<uint32>(ioBuffer, units, static_cast<size_t>(length));
			break;
		}
		case JSON_number: {
			const double number = inValue.GetNumber();
			uint64 bits;
			std::memcpy(&bits, &number, sizeof(bits));
			written = _PutLE<uint8>(ioBuffer, kTagNumber) && _PutLE<uint64>(ioBuffer, bits);
			break;
		}
		case JSON_date: {
			VTime time;
			inValue.GetTime(time);
			written = _PutLE<uint8>(ioBuffer, kTagDate) && _PutLE<int64>(ioBuffer, time.GetMilliseconds());
			break;
		}
		case JSON_object: {
			const VJSONObject* object = inValue.GetObject();
			if (!_StreamReference(object, ioBuffer, inPath, error))
				error = _StreamObject(object, ioBuffer, inPath);
			break;
		}
		case JSON_array: {
			const VJSONArray* array = inValue.GetArray();
			if (!_StreamReference(array, ioBuffer, inPath, error))
				error = _StreamArray(array, ioBuffer, inPath);
			break;
		}
		default: break;
	}
	if (!written)
		return _MemoryFull();
	return error;
}

VError VJSONBinaryWriter::_StreamArray(const VJSONArray* inArray, VMemoryBuffer<>& ioBuffer, const PathPart* inPath)
{
	if (inArray == nullptr)
		return _PutLE<uint8>(ioBuffer, kTagNull) ? VE_OK : _MemoryFull();
	// Arrays nest as deep as objects do: both check the stack.
	VError error = CheckJSONNesting(fDepth);
	if (error != VE_OK)
		return error;
	std::vector<VJSONValue> values;
	inArray->GetValues(values);
	if (!_PutLE<uint8>(ioBuffer, kTagArray) || !_PutLE<uint32>(ioBuffer, static_cast<uint32>(values.size())))
		return _MemoryFull();
	++fDepth;
	for (size_t i = 0; i < values.size() && error == VE_OK; ++i) {
		const PathPart part{inPath, nullptr, i};
		error = _StreamValue(values[i], ioBuffer, &part);
	}
	--fDepth;
	return error;
}

VError VJSONBinaryWriter::_StreamObject(const VJSONObject* inObject, VMemoryBuffer<>& ioBuffer, const PathPart* inPath)
{
	if (inObject == nullptr)
		return _PutLE<uint8>(ioBuffer, kTagNull) ? VE_OK : _MemoryFull();
	IJSONObject* impl = inObject->GetImplementation();
	if (impl != nullptr) {
		// An implementation may stand for another value in the stream.
		VJSONValue replacement(const_cast<VJSONObject*>(inObject));
		impl->IJSON_GetValueToWriteToBuffer(replacement);
		if (replacement.GetObject() != inObject)
			return _StreamValue(replacement, ioBuffer, inPath);
	}
	VError error = CheckJSONNesting(fDepth);
	if (error != VE_OK)
		return error;
	const OsType signature = impl != nullptr ? impl->IJSON_GetBinarySignature() : 0;
	if (!_PutLE<uint8>(ioBuffer, kTagObject))
		return _MemoryFull();

	++fDepth;
	uint32 options = VJSONPropertyConstOrderedIterator::kWithoutGetterNames;
	if (signature != 0)
		options |= VJSONPropertyConstOrderedIterator::kWithoutImplementationNames;
	for (VJSONPropertyConstOrderedIterator member(inObject, options); member.IsValid() && error == VE_OK; ++member) {
		const VString& name = member.GetName();
		if (name.GetLength() > kMaxNameLength) {
			// Its length would read back as an end marker.
			_ThrowError(VE_STRING_ALLOC_FAILED);
			error = VE_STRING_ALLOC_FAILED;
			break;
		}
		if (!_PutText<uint16>(ioBuffer, name.GetCPointer(), static_cast<size_t>(name.GetLength()))) {
			error = _MemoryFull();
			break;
		}
		const PathPart part{inPath, &name, 0};
		error = _StreamValue(member.GetValue(), ioBuffer, &part);
	}
	--fDepth;
	if (error != VE_OK)
		return error;

	if (signature != 0) {
		if (!_PutLE<uint16>(ioBuffer, kSignatureBlock) || !_PutLE<uint32>(ioBuffer, static_cast<uint32>(signature)))
			return _MemoryFull();
		VError implError = VE_OK;
		const EJSONStatus status = impl->IJSON_WriteToBuffer(ioBuffer, &implError);
		if (status == eJSONStatus_Failed)
			return implError != VE_OK ? implError : _MemoryFull();
		if (status == eJSONStatus_NotHandled && !_PutLE<uint64>(ioBuffer, 0))
			return _MemoryFull();
		return VE_OK;
	}
	const VJSONClass* objectClass = inObject->GetClass();
	if (objectClass != nullptr && impl == nullptr && !_IsRootObjectClass(objectClass)) {
		const VString& store = objectClass->GetStoreName();
		const VString& name = objectClass->GetName();
		if (store.GetLength() > kMaxNameLength || name.GetLength() > kMaxNameLength) {
			_ThrowError(VE_STRING_ALLOC_FAILED);
			return VE_STRING_ALLOC_FAILED;
		}
		const uint64 size = 4 + 2 * static_cast<uint64>(store.GetLength() + name.GetLength());
		if (!_PutLE<uint16>(ioBuffer, kSignatureBlock) || !_PutLE<uint32>(ioBuffer, kClassSignature) ||
			!_PutLE<uint64>(ioBuffer, size) ||
			!_PutText<uint16>(ioBuffer, store.GetCPointer(), static_cast<size_t>(store.GetLength())) ||
			!_PutText<uint16>(ioBuffer, name.GetCPointer(), static_cast<size_t>(name.GetLength())))
			return _MemoryFull();
		return VE_OK;
	}
	return _PutLE<uint16>(ioBuffer, kEndOfObject) ? VE_OK : _MemoryFull();
}

} // namespace qirn
