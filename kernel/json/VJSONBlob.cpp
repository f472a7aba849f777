#include "json/VJSONBlob.h"

#include "json/IJSONClassStore.h"
#include "json/IJSONFunctionContext.h"
#include "json/VJSONClass.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONErrors.h"
#include "json/VJSONObject.h"
#include "runtime/VError.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <tuple>

namespace qirn {

namespace {

constexpr VError kErrorTooManyParameters = MAKE_VERROR(kCOMPONENT_SIGNATURE_JSON_RUNTIME, 58);

// Toward zero, saturating at the ends of the range; NaN gives 0.
int64 _TruncateToInt64(double inNumber)
{
	if (std::isnan(inNumber))
		return 0;
	if (inNumber >= 9223372036854775807.0)
		return std::numeric_limits<int64>::max();
	if (inNumber <= -9223372036854775808.0)
		return std::numeric_limits<int64>::min();
	return static_cast<int64>(inNumber);
}

// A bound of a slice: negative counts from the end, clamped to [0, size].
uint64 _Bound(int64 inBound, uint64 inSize)
{
	if (inBound < 0) {
		const uint64 back = inBound == std::numeric_limits<int64>::min() ? uint64(1) << 63 : uint64(-inBound);
		return back >= inSize ? 0 : inSize - back;
	}
	return std::min(static_cast<uint64>(inBound), inSize);
}

// The optional number parameter, as a slice bound; outValue is left alone
// when the parameter is missing or no number (which raises the context's
// error, the slice still made with the default bound).
void _NumberParam(IJSONFunctionContext* inContext, int32 inIndex, int64& outValue)
{
	double number = 0;
	if (inContext->GetNumberOptParam(inIndex, &number))
		outValue = _TruncateToInt64(number);
}

} // namespace

VJSONBlob::VJSONBlob(SharedBuffer* inBuffer, size_t inStart, size_t inEnd)
: fBuffer(inBuffer), fStart(inStart), fEnd(inEnd < inStart ? inStart : inEnd)
{
	if (fBuffer != nullptr)
		fBuffer->Retain();
}

VJSONBlob::~VJSONBlob()
{
	if (fBuffer != nullptr)
		fBuffer->Release();
}

const void* VJSONBlob::GetData() const
{
	return fBuffer != nullptr ? static_cast<const unsigned char*>(fBuffer->GetData()) + fStart : nullptr;
}

VRefPtr<VJSONObject> VJSONBlob::GetClass()
{
	static const VString sName("Blob");
	auto* store = dynamic_cast<VJSONClassStore*>(IJSONClassStore::GetProcessStore());
	if (store == nullptr)
		return nullptr;
	if (VRefPtr<VJSONObject> found = store->GetClassObject(sName); found != nullptr)
		return found;
	// Two tasks meeting the first need make the class once; the store keeps
	// it, and lets it go with itself.
	static std::mutex sMaking;
	std::lock_guard lock(sMaking);
	if (VRefPtr<VJSONObject> found = store->GetClassObject(sName); found != nullptr)
		return found;
	const std::vector<VJSONClass::FunctionDescriptor> functions{{VString("slice"), &do_slice, 0}};
	return store->AddClass(sName, functions, nullptr, nullptr, &do_instantiate, 0);
}

VJSONObject* VJSONBlob::_NewObject(SharedBuffer* inBuffer, size_t inStart, size_t inEnd)
{
	auto* blob = new VJSONBlob(inBuffer, inStart, inEnd);
	VRefPtr<VJSONObject> classObject = GetClass();
	auto* object = new VJSONObject(classObject.Get(), blob);
	blob->Release();
	return object;
}

VJSONObject* VJSONBlob::Create(const void* inData, size_t inSize)
{
	if (inSize == 0)
		return _NewObject(nullptr, 0, 0);
	SharedBuffer* buffer = SharedBuffer::Create(inData, inSize);
	if (buffer == nullptr) {
		_ThrowError(VE_MEMORY_FULL);
		return nullptr;
	}
	VJSONObject* object = _NewObject(buffer, 0, inSize);
	buffer->Release();
	return object;
}

VJSONObject* VJSONBlob::CreateSlice(int64 inStart, int64 inEnd) const
{
	const uint64 size = fEnd - fStart;
	const uint64 start = _Bound(inStart, size);
	const uint64 end = _Bound(inEnd, size);
	if (end <= start)
		return _NewObject(nullptr, 0, 0);
	return _NewObject(fBuffer, static_cast<size_t>(fStart + start), static_cast<size_t>(fStart + end));
}

VJSONBlob* VJSONBlob::CastJSONObject(const VJSONObject* inObject)
{
	return inObject != nullptr ? dynamic_cast<VJSONBlob*>(inObject->GetImplementation()) : nullptr;
}

VJSONBlob* VJSONBlob::GetThis(IJSONFunctionContext* inContext)
{
	return inContext != nullptr ? CastJSONObject(inContext->GetThisObject()) : nullptr;
}

VJSONObject* VJSONBlob::do_instantiate(VJSONObject* /*inClassObject*/, IJSONFunctionContext* inContext)
{
	const int32 count = inContext != nullptr ? inContext->GetParamCount() : 0;
	if (count == 0)
		return Create(nullptr, 0);
	if (count == 1) {
		const auto [valid, data, size] = inContext->GetBlobParam(1, false);
		return valid ? Create(data, size) : nullptr;
	}
	_ThrowError(kErrorTooManyParameters);
	return nullptr;
}

EJSONStatus VJSONBlob::do_slice(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	const VJSONBlob* blob = GetThis(inContext);
	if (blob == nullptr)
		return eJSONStatus_Failed;
	int64 start = 0;
	int64 end = static_cast<int64>(std::min<uint64>(blob->GetSize(), std::numeric_limits<int64>::max()));
	_NumberParam(inContext, 1, start);
	_NumberParam(inContext, 2, end);
	VRefPtr<VJSONObject> slice = VRefPtr<VJSONObject>::Adopt(blob->CreateSlice(start, end));
	inContext->SetResult(VJSONValue(slice.Get()));
	return eJSONStatus_Handled;
}

IJSONObject* VJSONBlob::CreateIJSONObject(VJSONObject* /*inObject*/, uint32 /*inSignature*/, const void* inData,
										  size_t inSize, VRefPtr<VJSONObject>& outClass, VError* outError)
{
	// The blob's own size field is the block's size: the payload is the bytes.
	const auto* bytes = static_cast<const unsigned char*>(inData);
	const size_t size = inSize;
	outClass = GetClass();
	if (size == 0)
		return new VJSONBlob(nullptr, 0, 0);
	SharedBuffer* buffer = SharedBuffer::Create(bytes, size);
	if (buffer == nullptr) {
		_ThrowError(VE_MEMORY_FULL);
		if (outError != nullptr)
			*outError = VE_MEMORY_FULL;
		return nullptr;
	}
	auto* blob = new VJSONBlob(buffer, 0, size);
	buffer->Release();
	return blob;
}

bool VJSONBlob::IJSON_IsSharable(const VJSONObject* /*inObject*/, bool& outFlag)
{
	// Its bytes never change: it may be shared between tasks as it is.
	outFlag = false;
	return true;
}

EJSONStatus VJSONBlob::IJSON_GetProperty(const VJSONObject* /*inObject*/, const VString& inName, VJSONValue& outValue,
										 VDBLanguageContext* /*inContext*/)
{
	if (!inName.EqualToStringRaw(key_size))
		return eJSONStatus_NotHandled;
	outValue.SetNumber(static_cast<double>(GetSize()));
	return eJSONStatus_Handled;
}

EJSONStatus VJSONBlob::IJSON_SetProperty(VJSONObject* /*inObject*/, const VString& /*inName*/,
										 const VJSONValue& /*inValue*/, VDBLanguageContext* /*inContext*/)
{
	_ThrowError(VE_JSON_READ_ONLY_PROPERTY);
	return eJSONStatus_Failed;
}

EJSONStatus VJSONBlob::IJSON_GetPropertyNames(std::vector<VString>& outNames)
{
	outNames.push_back(key_size);
	return eJSONStatus_Handled;
}

EJSONStatus VJSONBlob::IJSON_GetDescription(const VJSONObject* /*inObject*/, VString& outText)
{
	outText.Clear();
	outText.AppendLong8(static_cast<sLONG8>(GetSize()));
	outText.AppendCString(" bytes");
	return eJSONStatus_Handled;
}

EJSONStatus VJSONBlob::IJSON_WriteToBuffer(VMemoryBuffer<>& ioBuffer, VError* outError)
{
	const uint64 size = GetSize();
	unsigned char field[8];
	for (int i = 0; i < 8; ++i)
		field[i] = static_cast<unsigned char>(size >> (8 * i));
	if (!ioBuffer.AddData(field, sizeof(field)) || (size > 0 && !ioBuffer.AddData(GetData(), size))) {
		_ThrowError(VE_MEMORY_FULL);
		if (outError != nullptr)
			*outError = VE_MEMORY_FULL;
		return eJSONStatus_Failed;
	}
	return eJSONStatus_Handled;
}

EJSONStatus VJSONBlob::IJSON_GetPropertyByIndex(const VJSONObject* /*inObject*/, size_t inIndex, VJSONValue& outValue)
{
	if (inIndex >= GetSize()) {
		_ThrowError(VE_JSON_ARRAY_INDEX_BEYOND_END);
		return eJSONStatus_Failed;
	}
	outValue.SetNumber(static_cast<const unsigned char*>(GetData())[inIndex]);
	return eJSONStatus_Handled;
}

EJSONStatus VJSONBlob::IJSON_GetCountPropertiesByIndex(const VJSONObject* /*inObject*/, size_t* outCount)
{
	*outCount = GetSize();
	return eJSONStatus_Handled;
}

EJSONStatus VJSONBlob::IJSON_Clone(const VJSONObject* inObject, VJSONCloner& /*inCloner*/, VJSONValue& outValue,
								   VError* /*outError*/)
{
	// Immutable: the object is its own copy.
	outValue.SetObject(const_cast<VJSONObject*>(inObject));
	return eJSONStatus_Handled;
}

} // namespace qirn
