#include "json/VJSONBinaryImporter.h"

#include "json/IJSONClassStore.h"
#include "json/VJSONArray.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONClass.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONNesting.h"
#include "json/VJSONObject.h"
#include "json/VJSONObjectFactory.h"
#include "json/VJSONPropertyIterator.h"
#include "json/VJSONStamp.h"
#include "core/VMemoryBuffer.h"
#include "core/VTime.h"
#include "runtime/VError.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace qirn {

namespace {

using Writer = VJSONBinaryWriter;

template <class T>
T _GetLE(const unsigned char* inBytes)
{
	unsigned char bytes[sizeof(T)];
	std::memcpy(bytes, inBytes, sizeof(T));
	if constexpr (std::endian::native == std::endian::big) {
		for (size_t i = 0; i < sizeof(T) / 2; ++i)
			std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
	}
	T value;
	std::memcpy(&value, bytes, sizeof(T));
	return value;
}

VError _CutShort()
{
	_ThrowError(VE_JSON_BINARY_CUT_SHORT);
	return VE_JSON_BINARY_CUT_SHORT;
}

VError _MemoryFull()
{
	_ThrowError(VE_MEMORY_FULL);
	return VE_MEMORY_FULL;
}

// The units of a text of the stream, which may start at any byte: read in
// place when aligned, else copied.
class StUnits {
public:
	StUnits(const unsigned char* inBytes, size_t inCount)
	{
		const bool aligned = reinterpret_cast<uintptr_t>(inBytes) % alignof(UniChar) == 0;
		if (std::endian::native == std::endian::little && aligned) {
			fUnits = reinterpret_cast<const UniChar*>(inBytes);
		} else {
			fCopy.resize(inCount);
			for (size_t i = 0; i < inCount; ++i)
				fCopy[i] = _GetLE<uint16>(inBytes + 2 * i);
			fUnits = fCopy.data();
		}
	}
	const UniChar* Get() const { return fUnits; }

private:
	const UniChar* fUnits;
	std::vector<UniChar> fCopy;
};

const VString& _RefName()
{
	static const VString sName("$ref");
	return sName;
}

// An array index of a pointer: decimal digits, no sign, no leading zero.
bool _ReadIndex(const VString& inSegment, size_t& outIndex)
{
	const VIndex length = inSegment.GetLength();
	const UniChar* units = inSegment.GetCPointer();
	if (length == 0 || length > 19 || (length > 1 && units[0] == u'0'))
		return false;
	size_t index = 0;
	for (VIndex i = 0; i < length; ++i) {
		if (units[i] < u'0' || units[i] > u'9')
			return false;
		index = index * 10 + static_cast<size_t>(units[i] - u'0');
	}
	outIndex = index;
	return true;
}

} // namespace

VJSONBinaryImporter::VJSONBinaryImporter(const void* inData, size_t inSize, VJSONStamp* inStamp)
: fStamp(inStamp)
, fPos(static_cast<const unsigned char*>(inData))
, fStart(static_cast<const unsigned char*>(inData))
, fEnd(inData != nullptr ? static_cast<const unsigned char*>(inData) + inSize : nullptr)
{
	if (fStamp != nullptr)
		fStamp->Retain();
}

VJSONBinaryImporter::~VJSONBinaryImporter()
{
	if (fStamp != nullptr)
		fStamp->Release();
}

const VString& VJSONBinaryImporter::GetTextPropertyName()
{
	static const VString sName("__PRIVATE_BINARY_OBJECT");
	return sName;
}

VError VJSONBinaryImporter::ReadBase64(const VString& inText, VJSONValue& outValue)
{
	VMemoryBuffer<> bytes;
	if (!inText.DecodeBase64(bytes, false))
		return _CutShort();
	// Decoded empty, the buffer has no data pointer: give the reader an empty
	// range instead, which fails for the missing tag.
	static const unsigned char sNothing = 0;
	const void* data = bytes.GetDataPtr() != nullptr ? bytes.GetDataPtr() : &sNothing;
	VJSONBinaryImporter importer(data, bytes.GetDataSize());
	return importer.GetValue(outValue);
}

VError VJSONBinaryImporter::GetValue(VJSONValue& outValue)
{
	if (fStart == nullptr) {
		outValue.SetUndefined();
		return VE_OK;
	}
	bool hasContents = false;
	uint32 count = 0;
	VError error = _GetValue(outValue, &hasContents, &count);
	if (error == VE_OK && hasContents) {
		// References inside the document resolve from its root.
		fRoot = outValue;
		error = _GetValueContents(outValue, count);
		fRoot.SetUndefined();
	}
	return error;
}

void VJSONBinaryImporter::_Stamp(VJSONValue& ioValue) const
{
	if (fStamp != nullptr) {
		if (VJSONContainer* container = VJSONContainer::FromValue(ioValue); container != nullptr)
			container->SetJSONStamp(fStamp);
	}
}

VError VJSONBinaryImporter::_GetValue(VJSONValue& outValue, bool* outHasContents, uint32* outCount)
{
	*outHasContents = false;
	*outCount = 0;
	if (_Left() < 1)
		return _CutShort();
	const uint8 tag = *fPos++;
	switch (tag) {
		case Writer::kTagNull: outValue.SetNull(); return VE_OK;
		case Writer::kTagFalse: outValue.SetBool(false); return VE_OK;
		case Writer::kTagTrue: outValue.SetBool(true); return VE_OK;
		case Writer::kTagUndefined: outValue.SetUndefined(); return VE_OK;
		case Writer::kTagString: {
			if (_Left() < 4)
				return _CutShort();
			const uint32 length = _GetLE<uint32>(fPos);
			fPos += 4;
			if (static_cast<uint64>(length) * 2 > _Left())
				return _CutShort();
			if (length > static_cast<uint32>(std::numeric_limits<int32>::max() / 2))
				return _MemoryFull();
			StUnits units(fPos, length);
			outValue._SetStringFromUnits(units.Get(), static_cast<VIndex>(length));
			fPos += static_cast<size_t>(length) * 2;
			if (length > 0 && outValue.GetInlineString()->fString == nullptr)
				return _MemoryFull();
			return VE_OK;
		}
		case Writer::kTagNumber:
		case Writer::kTagDate: {
			if (_Left() < 8)
				return _CutShort();
			if (tag == Writer::kTagNumber) {
				const uint64 bits = _GetLE<uint64>(fPos);
				double number;
				std::memcpy(&number, &bits, sizeof(number));
				outValue.SetNumber(number);
			} else {
				VTime time;
				time.FromMilliseconds(_GetLE<int64>(fPos));
				outValue.SetTime(time);
				// A day a date cannot give back as a time (a year before 1)
				// would be written as a null time: it reads as null now, as
				// a null time does, not as a date that changes when written.
				VTime back;
				outValue.GetTime(back);
				if (back.IsNull())
					outValue.SetNull();
			}
			fPos += 8;
			return VE_OK;
		}
		case Writer::kTagObject: {
			if (_Left() < 2)
				return _CutShort();
			// This marker is left for the enclosing member list to skip.
			if (_GetLE<uint16>(fPos) == Writer::kUndefinedObject) {
				outValue.SetUndefined();
				return VE_OK;
			}
			VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
			outValue.SetObject(object.Get());
			_Stamp(outValue);
			*outHasContents = true;
			return VE_OK;
		}
		case Writer::kTagArray: {
			if (_Left() < 4)
				return _CutShort();
			const uint32 count = _GetLE<uint32>(fPos);
			fPos += 4;
			if (count == Writer::kUndefinedArrayCount) {
				outValue.SetUndefined();
				return VE_OK;
			}
			// Every element takes at least its tag byte: a larger count is a
			// lie, refused at once. The array is not sized by it: nested
			// arrays each claiming the bytes left would ask for memory in
			// the square of the input's size.
			if (count > _Left())
				return _CutShort();
			VRefPtr<VJSONArray> array = VRefPtr<VJSONArray>::Adopt(new VJSONArray());
			outValue.SetArray(array.Get());
			_Stamp(outValue);
			*outHasContents = true;
			*outCount = count;
			return VE_OK;
		}
		case Writer::kTagReference: {
			if (_Left() < 4)
				return _CutShort();
			const uint32 length = _GetLE<uint32>(fPos);
			fPos += 4;
			if (static_cast<uint64>(length) * 2 > _Left())
				return _CutShort();
			StUnits units(fPos, length);
			fPos += static_cast<size_t>(length) * 2;
			VJSONValue target = _Resolve(units.Get(), length);
			if (target.IsObject() || target.IsArray()) {
				outValue = std::move(target);
				return VE_OK;
			}
			// Kept as what it says, so that nothing read is lost.
			VRefPtr<VJSONObject> reference = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
			reference->SetPropertyAsString(_RefName(), VString(units.Get(), static_cast<VIndex>(length)));
			outValue.SetObject(reference.Get());
			_Stamp(outValue);
			return VE_OK;
		}
		default: {
			// A kind this reader does not know: skipped by its size, counted
			// from the size field itself.
			if (_Left() < 4)
				return _CutShort();
			const uint32 size = _GetLE<uint32>(fPos);
			if (size > _Left())
				return _CutShort();
			fPos += size;
			return VE_OK;
		}
	}
}

VError VJSONBinaryImporter::_GetValueContents(VJSONValue& ioValue, uint32 inCount)
{
	VError error = CheckJSONNesting(fDepth);
	if (error != VE_OK)
		return error;
	++fDepth;
	if (ioValue.IsObject())
		error = _GetObjectContents(ioValue);
	else if (ioValue.IsArray())
		error = _GetArrayContents(ioValue.GetArray(), inCount);
	else
		error = _CutShort();
	--fDepth;
	return error;
}

VError VJSONBinaryImporter::_GetObjectContents(VJSONValue& ioValue)
{
	VJSONObject* object = ioValue.GetObject();
	for (;;) {
		if (_Left() < 2)
			return _CutShort();
		const uint16 marker = _GetLE<uint16>(fPos);
		fPos += 2;
		if (marker == Writer::kEndOfObject)
			return VE_OK;
		if (marker == Writer::kSignatureBlock)
			return _ReadSignatureBlock(ioValue);
		if (marker > Writer::kMaxNameLength)
			continue;
		if (static_cast<size_t>(marker) * 2 > _Left())
			return _CutShort();
		const VString name(StUnits(fPos, marker).Get(), static_cast<VIndex>(marker));
		fPos += static_cast<size_t>(marker) * 2;
		VJSONValue value;
		bool hasContents = false;
		uint32 count = 0;
		VError error = _GetValue(value, &hasContents, &count);
		if (error != VE_OK)
			return error;
		object->SetProperty(name, value);
		if (hasContents) {
			const VJSONContainer* before = VJSONContainer::FromValue(value);
			error = _GetValueContents(value, count);
			if (VJSONContainer::FromValue(value) != before)
				object->SetProperty(name, value);
			if (error != VE_OK)
				return error;
		}
	}
}

VError VJSONBinaryImporter::_GetArrayContents(VJSONArray* ioArray, uint32 inCount)
{
	for (size_t i = 0; i < inCount; ++i) {
		VJSONValue value;
		bool hasContents = false;
		uint32 count = 0;
		VError error = _GetValue(value, &hasContents, &count);
		if (error != VE_OK)
			return error;
		// Stored before its contents are read, so that a reference inside
		// them to this slot finds the container.
		if (!ioArray->Push(value))
			return _MemoryFull();
		if (hasContents) {
			const VJSONContainer* before = VJSONContainer::FromValue(value);
			error = _GetValueContents(value, count);
			if (VJSONContainer::FromValue(value) != before)
				ioArray->SetAt(i, value, false);
			if (error != VE_OK)
				return error;
		}
	}
	return VE_OK;
}

VError VJSONBinaryImporter::_ReadSignatureBlock(VJSONValue& ioValue)
{
	if (_Left() < 4)
		return VE_OK;
	const uint32 signature = _GetLE<uint32>(fPos);
	fPos += 4;
	if (_Left() < 8)
		return _CutShort();
	const uint64 size = _GetLE<uint64>(fPos);
	fPos += 8;
	if (size > _Left())
		return _CutShort();
	const unsigned char* payload = fPos;
	fPos += size;

	VJSONObject* object = ioValue.GetObject();
	if (signature == Writer::kClassSignature) {
		_CreateObjectWithClass(object, payload, static_cast<size_t>(size));
		return VE_OK;
	}
	VRefPtr<VJSONObject> classObject;
	VError error = VE_OK;
	IJSONObject* impl = VJSONObjectFactory::Get()->CreateForSignature(object, signature, payload,
																	   static_cast<size_t>(size), classObject, &error);
	if (impl == nullptr)
		return error;
	// An object takes its implementation when it is made: a new one carries
	// it, with the members read so far.
	VRefPtr<VJSONObject> replacement = VRefPtr<VJSONObject>::Adopt(new VJSONObject(classObject.Get(), impl));
	impl->Release();
	for (VJSONPropertyConstOrderedIterator member(object, VJSONPropertyConstOrderedIterator::kWithoutGetterNames);
		 member.IsValid(); ++member)
		replacement->_SetOwnProperty(member.GetName(), member.GetValue());
	ioValue.SetObject(replacement.Get());
	_Stamp(ioValue);
	return error;
}

void VJSONBinaryImporter::_CreateObjectWithClass(VJSONObject* ioObject, const unsigned char* inPayload, size_t inSize)
{
	VString names[2];
	size_t offset = 0;
	for (VString& name : names) {
		if (inSize - offset < 2)
			return;
		const size_t length = _GetLE<uint16>(inPayload + offset) & 0x7FFF;
		offset += 2;
		if (length * 2 > inSize - offset)
			return;
		name = VString(StUnits(inPayload + offset, length).Get(), static_cast<VIndex>(length));
		offset += length * 2;
	}
	// The store the process answers, when it is the one named: the object
	// model never reaches the process frame itself.
	auto* store = dynamic_cast<VJSONClassStore*>(IJSONClassStore::GetProcessStore());
	if (store == nullptr || !store->GetName().EqualToStringRaw(names[0]))
		return;
	VRefPtr<VJSONObject> classObject = store->GetClassObject(names[1]);
	if (classObject != nullptr)
		ioObject->_SetClass(VJSONClass::FromClassObject(classObject.Get()));
}

VJSONValue VJSONBinaryImporter::_Resolve(const UniChar* inUnits, size_t inLength) const
{
	if (inLength == 0 || inUnits[0] != u'#' || !(fRoot.IsObject() || fRoot.IsArray()))
		return VJSONValue(JSON_undefined);
	VJSONValue current = fRoot;
	size_t i = 1;
	VString segment;
	while (i < inLength) {
		if (inUnits[i] != u'/')
			return VJSONValue(JSON_undefined);
		++i;
		segment.Clear();
		for (; i < inLength && inUnits[i] != u'/'; ++i) {
			if (inUnits[i] != u'~') {
				segment.AppendUniChar(inUnits[i]);
				continue;
			}
			if (i + 1 >= inLength || (inUnits[i + 1] != u'0' && inUnits[i + 1] != u'1'))
				return VJSONValue(JSON_undefined);
			segment.AppendUniChar(inUnits[i + 1] == u'0' ? u'~' : u'/');
			++i;
		}
		if (const VJSONObject* object = current.GetObject(); object != nullptr) {
			if (!object->HasOwnProperty(segment))
				return VJSONValue(JSON_undefined);
			current = object->GetOwnProperty(segment);
		} else if (const VJSONArray* array = current.GetArray(); array != nullptr) {
			size_t index = 0;
			VJSONValue element;
			if (!_ReadIndex(segment, index) || !array->GetAt(index, element))
				return VJSONValue(JSON_undefined);
			current = std::move(element);
		} else {
			return VJSONValue(JSON_undefined);
		}
	}
	return current.IsObject() || current.IsArray() ? current : VJSONValue(JSON_undefined);
}

} // namespace qirn
