#include "json/VJSONValue.h"

#include "core/VBoolean.h"
#include "core/VCompareOptions.h"
#include "core/VReal.h"
#include "core/VTime.h"
#include "json/VJSONAlter.h"
#include "json/VJSONArray.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONErrors.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONStamp.h"
#include "json/VJSONWriter.h"
#include "json/VStorageLocker.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"

#include <cmath>

namespace qirn {

std::atomic<uint32> __VInlineString_tag{0};
std::atomic<uint32> VJSONValue::sStamp{0};

// Made in this order, each taking the next stamp.
const VJSONValue VJSONValue::sUndefined(JSON_undefined);
const VJSONValue VJSONValue::sNull(JSON_null);
const VJSONValue VJSONValue::sTrue(JSON_true);
const VJSONValue VJSONValue::sFalse(JSON_false);
const VJSONValue VJSONValue::sLastType(JSON_lastType);
const VString VJSONValue::sUndefinedString("undefined");
const VString VJSONValue::sNullString("null");
const VString VJSONValue::sTrueString("true");
const VString VJSONValue::sFalseString("false");
const VString VJSONValue::sObjectString("[object Object]");

// Stamps are drawn from the process-wide counter in blocks, so that tasks
// copying values at the same time do not all write one counter. Each stamp
// stays unique; only their order across tasks is lost, which nothing reads.
uint32 VJSONValue::_NextStamp()
{
	constexpr uint32 kBlock = 256;
	// The default TLS model: the library may be loaded with dlopen.
	static constinit thread_local uint32 tNext = 0;
	static constinit thread_local uint32 tLeft = 0;
	for (;;) {
		if (tLeft == 0) {
			tNext = sStamp.fetch_add(kBlock, std::memory_order_relaxed) + 1;
			tLeft = kBlock;
		}
		--tLeft;
		uint32 stamp = tNext++;
		// 0 stands for no stamp: skipped when the counter wraps.
		if (stamp != 0)
			return stamp;
	}
}

// ---------------------------------------------------------------------------
// Construction

VJSONValue::VJSONValue(JSONType inType) : fType(inType), fStamp(_NextStamp())
{
	switch (inType) {
		case JSON_string:
			_InitEmptyString();
			break;
		case JSON_number:
			fPayload.fNumber = 0.0;
			break;
		case JSON_object:
			fPayload.fObject = new VJSONObject();
			break;
		case JSON_array:
			fPayload.fArray = new VJSONArray();
			break;
		case JSON_date:
			fPayload.fDate = 0;
			break;
		default:
			fPayload.fNumber = 0.0;
			break;
	}
}

VJSONValue::VJSONValue(VJSONObject* inObject) : VJSONValue(JSON_null)
{
	_SetContainer(JSON_object, inObject);
}

VJSONValue::VJSONValue(VJSONArray* inArray) : VJSONValue(JSON_null)
{
	_SetContainer(JSON_array, inArray);
}

VJSONValue::VJSONValue(const VString& inString) : fType(JSON_null), fStamp(_NextStamp())
{
	fPayload.fNumber = 0.0;
	if (!inString.IsNull()) {
		fType = JSON_string;
		fPayload.fString.fText.InitWithString(inString);
		fPayload.fString.fTag = ++__VInlineString_tag;
	}
}

VJSONValue::VJSONValue(const VInlineString& inString) : fType(JSON_string), fStamp(_NextStamp())
{
	fPayload.fString.fText.InitWithInlineString(inString);
	fPayload.fString.fTag = ++__VInlineString_tag;
}

VJSONValue::VJSONValue(double inNumber) : fType(JSON_number), fStamp(_NextStamp())
{
	fPayload.fNumber = inNumber;
}

VJSONValue::VJSONValue(const VTime& inTime) : VJSONValue(JSON_null)
{
	SetTime(inTime);
}

VJSONValue::VJSONValue(VJSONValue&& inOther) noexcept : fType(inOther.fType), fStamp(inOther.fStamp)
{
	_TakePayloadFrom(inOther);
}

VJSONValue& VJSONValue::operator=(const VJSONValue& inOther)
{
	if (this == &inOther)
		return *this;
	if (_HoldsNothing(fType) && _HoldsNothing(inOther.fType)) {
		fType = inOther.fType;
		fPayload = inOther.fPayload;
		fStamp = _NextStamp();
		return *this;
	}
	// Retained before the old payload goes: the old payload may be what
	// keeps the other value alive.
	VJSONValue copy(inOther);
	_Dispose();
	fType = copy.fType;
	fStamp = copy.fStamp;
	_TakePayloadFrom(copy);
	return *this;
}

VJSONValue& VJSONValue::operator=(VJSONValue&& inOther) noexcept
{
	if (this == &inOther)
		return *this;
	VJSONValue taken(std::move(inOther));
	_Dispose();
	fType = taken.fType;
	fStamp = taken.fStamp;
	_TakePayloadFrom(taken);
	return *this;
}

void VJSONValue::_InitEmptyString()
{
	fPayload.fString.fText.Init();
	fPayload.fString.fTag = ++__VInlineString_tag;
}

void VJSONValue::_CopyPayloadFrom(const VJSONValue& inOther)
{
	switch (fType) {
		case JSON_string:
			fPayload.fString.fText.InitWithInlineString(inOther.fPayload.fString.fText);
			fPayload.fString.fTag = ++__VInlineString_tag;
			break;
		case JSON_object:
			fPayload.fObject = inOther.fPayload.fObject;
			if (fPayload.fObject != nullptr)
				fPayload.fObject->Retain();
			break;
		case JSON_array:
			fPayload.fArray = inOther.fPayload.fArray;
			if (fPayload.fArray != nullptr)
				fPayload.fArray->Retain();
			break;
		default:
			fPayload = inOther.fPayload;
			break;
	}
}

// The source keeps its kind but no longer holds the payload.
void VJSONValue::_TakePayloadFrom(VJSONValue& ioOther)
{
	fPayload = ioOther.fPayload;
	switch (fType) {
		case JSON_string:
			ioOther.fPayload.fString.fText.Init();
			break;
		case JSON_object:
			ioOther.fPayload.fObject = nullptr;
			break;
		case JSON_array:
			ioOther.fPayload.fArray = nullptr;
			break;
		default:
			break;
	}
}

void VJSONValue::_DisposePayload()
{
	switch (fType) {
		case JSON_string:
			fPayload.fString.fText.Dispose();
			break;
		case JSON_object:
			if (VJSONObject* object = std::exchange(fPayload.fObject, nullptr); object != nullptr)
				object->Release();
			break;
		case JSON_array:
			if (VJSONArray* array = std::exchange(fPayload.fArray, nullptr); array != nullptr)
				array->Release();
			break;
		default:
			break;
	}
}

// ---------------------------------------------------------------------------
// Setters

void VJSONValue::SetNumber(double inValue)
{
	_Dispose();
	fType = JSON_number;
	fPayload.fNumber = inValue;
}

void VJSONValue::SetString(const VString& inString)
{
	if (inString.IsNull()) {
		SetNull();
		return;
	}
	if (_KeepsBuffer(inString.GetCPointer(), inString.GetLength()))
		return;
	VInlineString text;
	text.InitWithString(inString);
	_TakeString(text);
}

void VJSONValue::SetString(const VInlineString& inString)
{
	if (_KeepsBuffer(inString.fString, inString.fLength))
		return;
	VInlineString text;
	text.InitWithInlineString(inString);
	_TakeString(text);
}

bool VJSONValue::_KeepsBuffer(const UniChar* inBuffer, int32 inLength)
{
	// The very same buffer again: only the length may have changed.
	if (fType != JSON_string || fPayload.fString.fText.fString == nullptr || fPayload.fString.fText.fString != inBuffer)
		return false;
	fPayload.fString.fText.fLength = inLength;
	return true;
}

void VJSONValue::_TakeString(const VInlineString& inCounted)
{
	_Dispose();
	fType = JSON_string;
	fPayload.fString.fText = inCounted;
	fPayload.fString.fTag = ++__VInlineString_tag;
}

void VJSONValue::_SetStringFromUnits(const UniChar* inUnits, VIndex inLength)
{
	VInlineString text;
	text.InitWithUnits(inUnits, inLength);
	_TakeString(text);
}

void VJSONValue::SetObject(VJSONObject* inObject)
{
	_SetContainer(JSON_object, inObject);
}

void VJSONValue::SetArray(VJSONArray* inArray)
{
	_SetContainer(JSON_array, inArray);
}

void VJSONValue::_SetContainer(JSONType inType, VJSONContainer* inContainer)
{
	if (inContainer == nullptr) {
		SetNull();
		return;
	}
	if (fType == inType && VJSONContainer::FromValue(*this) == inContainer)
		return;
	// Retained before the old payload goes, which may be what keeps it alive.
	inContainer->Retain();
	_Dispose();
	fType = inType;
	if (inType == JSON_object)
		fPayload.fObject = static_cast<VJSONObject*>(inContainer);
	else
		fPayload.fArray = static_cast<VJSONArray*>(inContainer);
}

void VJSONValue::SetTime(const VTime& inTime)
{
	if (inTime.IsNull()) {
		SetNull();
		return;
	}
	sWORD year, month, day, hour, minute, second, millisecond;
	inTime.GetUTCTime(year, month, day, hour, minute, second, millisecond);
	SetDate(year, month, day);
}

void VJSONValue::SetDate(int16 inYear, int16 inMonth, int16 inDay)
{
	_Dispose();
	fType = JSON_date;
	fPayload.fDate = (static_cast<uint32>(static_cast<uint16>(inYear)) << 16) |
					 (static_cast<uint32>(static_cast<uint8>(inMonth)) << 8) | static_cast<uint8>(inDay);
}

void VJSONValue::Clear()
{
	switch (fType) {
		case JSON_true:
			fType = JSON_false;
			break;
		case JSON_string:
			fPayload.fString.fText.Dispose();
			fPayload.fString.fTag = ++__VInlineString_tag;
			break;
		case JSON_number:
			fPayload.fNumber = 0.0;
			break;
		case JSON_object:
		case JSON_array:
			SetNull();
			break;
		case JSON_date:
			fPayload.fDate = 0;
			break;
		default:
			break;
	}
}

// ---------------------------------------------------------------------------
// Getters

bool VJSONValue::GetBool() const
{
	switch (fType) {
		case JSON_true:
		case JSON_object:
		case JSON_array:
			return true;
		case JSON_string:
			return fPayload.fString.fText.fString != nullptr;
		case JSON_number:
			return fPayload.fNumber != 0.0;
		case JSON_date:
			return fPayload.fDate != 0;
		default:
			return false;
	}
}

double VJSONValue::GetNumber() const
{
	switch (fType) {
		case JSON_true:
			return 1.0;
		case JSON_number:
			return fPayload.fNumber;
		case JSON_string: {
			VString text(fPayload.fString.fText, true);
			if (text.GetLength() >= 2 && text.GetUniChar(1) == u'0' &&
				(text.GetUniChar(2) == u'x' || text.GetUniChar(2) == u'X'))
				return static_cast<double>(static_cast<uint32>(text.GetHexLong()));
			return text.GetReal();
		}
		default:
			return 0.0;
	}
}

VError VJSONValue::GetString(VString& outString, std::set<const VJSONArray*>* ioVisited) const
{
	switch (fType) {
		case JSON_false:
			outString.FromString(sFalseString);
			break;
		case JSON_true:
			outString.FromString(sTrueString);
			break;
		case JSON_string:
			outString.FromString(fPayload.fString.fText);
			break;
		case JSON_number:
			VReal::RealToJSONString(fPayload.fNumber, outString);
			break;
		case JSON_object:
			outString.FromString(sObjectString);
			break;
		case JSON_array:
			if (fPayload.fArray != nullptr)
				return fPayload.fArray->GetString(outString, ioVisited);
			outString.Clear();
			break;
		case JSON_date: {
			VTime time;
			_GetDateTime(time);
			time.GetJSONString(outString, VTime::kJSON_DateOnlyAtMidnight);
			break;
		}
		default:
			outString.Clear();
			break;
	}
	return VE_OK;
}

bool VJSONValue::GetDate(int16& outYear, int16& outMonth, int16& outDay) const
{
	if (fType != JSON_date) {
		outYear = outMonth = outDay = 0;
		return false;
	}
	outYear = static_cast<int16>(fPayload.fDate >> 16);
	outMonth = static_cast<int16>((fPayload.fDate >> 8) & 0xFF);
	outDay = static_cast<int16>(fPayload.fDate & 0xFF);
	return true;
}

void VJSONValue::_GetDateTime(VTime& outTime) const
{
	int16 year = 0, month = 0, day = 0;
	GetDate(year, month, day);
	outTime.FromUTCTime(year, month, day, 0, 0, 0, 0);
}

void VJSONValue::GetTime(VTime& outTime) const
{
	switch (fType) {
		case JSON_date:
			_GetDateTime(outTime);
			break;
		case JSON_string: {
			// A date and time in JSON text is RFC 3339 ("yyyy-mm-ddThh:..."):
			// read that way, so that a zone offset is an offset and not
			// milliseconds; any other text by the time's own generic reader.
			const VString text(fPayload.fString.fText, true);
			if (text.GetUniChar(11) != u'T' || !outTime.FromRfc3339String(text))
				outTime.FromString(text);
			break;
		}
		default:
			outTime.Clear();
			outTime.SetNull(true);
			break;
	}
}

VJSONObject* VJSONValue::RetainObject() const
{
	VJSONObject* object = GetObject();
	if (object != nullptr)
		object->Retain();
	return object;
}

VJSONArray* VJSONValue::RetainArray() const
{
	VJSONArray* array = GetArray();
	if (array != nullptr)
		array->Retain();
	return array;
}

// ---------------------------------------------------------------------------
// Objects through values

VJSONValue VJSONValue::GetProperty(const VString& inName) const
{
	if (VJSONObject* object = GetObject(); object != nullptr)
		return object->GetProperty(inName, nullptr);
	return VJSONValue(JSON_undefined);
}

void VJSONValue::SetProperty(const VString& inName, const VJSONValue& inValue) const
{
	if (VJSONObject* object = GetObject(); object != nullptr)
		object->SetProperty(inName, inValue, nullptr);
}

bool VJSONValue::GetBoolByPath(const VJSONValue& inRoot, const VString& inPath)
{
	VJSONObject* object = inRoot.GetObject();
	return object != nullptr && object->GetPropertyWithPath(inPath, nullptr).GetType() == JSON_true;
}

int32 VJSONValue::GetLongByPath(const VJSONValue& inRoot, const VString& inPath)
{
	VJSONObject* object = inRoot.GetObject();
	if (object == nullptr)
		return 0;
	VJSONValue value = object->GetPropertyWithPath(inPath, nullptr);
	if (!value.IsNumber() || std::isnan(value.fPayload.fNumber))
		return 0;
	// Out-of-range numbers saturate instead of overflowing the conversion.
	double number = std::trunc(value.fPayload.fNumber);
	if (number >= 2147483647.0)
		return 2147483647;
	if (number <= -2147483648.0)
		return -2147483647 - 1;
	return static_cast<int32>(number);
}

bool VJSONValue::GetStringByPath(const VJSONValue& inRoot, const VString& inPath, VString& outString)
{
	VJSONObject* object = inRoot.GetObject();
	if (object == nullptr)
		return false;
	VJSONValue value = object->GetPropertyWithPath(inPath, nullptr);
	if (!value.IsString())
		return false;
	outString.FromString(value.fPayload.fString.fText);
	return true;
}

// ---------------------------------------------------------------------------
// Text

VError VJSONValue::Stringify(VString& outText, uint32 inOptions) const
{
	if ((inOptions & VJSONWriter::kOption_BinaryFallback) == 0) {
		VJSONWriter writer(inOptions);
		return writer.StringifyValue(*this, outText);
	}
	// What text cannot hold (cycles, containers met twice, derived or native
	// objects) goes as the binary form, Base64 in a one-property object.
	const uint32 options = inOptions | VJSONWriter::kOption_RefuseBinaryObjects |
						   VJSONWriter::kOption_RefuseDerivedObjects | VJSONWriter::kOption_RefuseObjectsWrittenTwice;
	VError error;
	{
		StErrorContextInstaller errors(true, true);
		VJSONWriter writer(options);
		error = writer.StringifyValue(*this, outText);
		if (error != VE_JSON_CIRCULAR && error != VE_JSON_BINARY_OBJECT_REFUSED &&
			error != VE_JSON_NOT_GENERIC_OBJECT && error != VE_JSON_OBJECT_WRITTEN_TWICE)
			return error;
		errors.GetContext()->Flush();
	}
	VMemoryBuffer<> bytes;
	VJSONBinaryWriter binary(64);
	error = binary.StreamValue(*this, bytes);
	if (error != VE_OK)
		return error;
	VString base64;
	if (!base64.EncodeBase64(bytes.GetDataPtr(), bytes.GetDataSize(), false)) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return VE_STRING_ALLOC_FAILED;
	}
	VJSONValue wrapper(JSON_object);
	VJSONAlter(wrapper, VJSONBinaryImporter::GetTextPropertyName(), base64);
	VJSONWriter writer(options);
	return writer.StringifyValue(wrapper, outText);
}

VError VJSONValue::ParseFromString(const VString& inText, bool inDates, bool inNonAmbiguousDates)
{
	uint32 options = 0;
	if (inDates)
		options = inNonAmbiguousDates ? 0x240 : 0xC0;
	return VJSONImporter::ParseString(inText, *this, options);
}

// ---------------------------------------------------------------------------
// Values of the value family

VValueSingle* VJSONValue::CreateVValue(bool inMarkContainers) const
{
	auto marked = [inMarkContainers](UniChar inLast) -> VValueSingle* {
		VString* text = new VString;
		if (inMarkContainers) {
			const UniChar units[] = {1, 2, 3, inLast};
			text->FromUniString(units, 4);
		} else {
			text->SetNull(true);
		}
		return text;
	};
	switch (fType) {
		case JSON_false:
		case JSON_true:
			return new VBoolean(fType == JSON_true);
		case JSON_string:
			return new VString(fPayload.fString.fText);
		case JSON_number:
			return new VReal(fPayload.fNumber);
		case JSON_date: {
			auto* time = new VTime;
			_GetDateTime(*time);
			return time;
		}
		case JSON_object:
			if (fPayload.fObject != nullptr && fPayload.fObject->GetImplementation() != nullptr) {
				if (VValueSingle* value = fPayload.fObject->GetImplementation()->IJSON_CreateVValue(); value != nullptr)
					return value;
			}
			return marked(1);
		case JSON_array:
			return marked(2);
		default: {
			VString* text = new VString;
			text->SetNull(true);
			return text;
		}
	}
}

// ---------------------------------------------------------------------------
// Comparisons

namespace {

int32 Sign(CompareResult inResult)
{
	return inResult < 0 ? -1 : (inResult > 0 ? 1 : 0);
}

template <class T>
int32 CompareAddresses(const T* inA, const T* inB)
{
	if (inA == inB)
		return 0;
	return std::less<const T*>()(inA, inB) ? -1 : 1;
}

} // namespace

int32 VJSONValue::CompareTo(const VJSONValue& inOther, const VCompareOptions& inOptions) const
{
	if (fType != inOther.fType) {
		bool nullish = (fType == JSON_null || fType == JSON_undefined);
		bool otherNullish = (inOther.fType == JSON_null || inOther.fType == JSON_undefined);
		if (nullish && otherNullish)
			return 0;
		return fType < inOther.fType ? -1 : 1;
	}
	switch (fType) {
		case JSON_string: {
			VString text(fPayload.fString.fText, true);
			VString other(inOther.fPayload.fString.fText, true);
			return Sign(text.CompareToSameKindWithOptions(&other, inOptions));
		}
		case JSON_number: {
			VReal number(fPayload.fNumber);
			VReal other(inOther.fPayload.fNumber);
			return Sign(number.CompareToSameKindWithOptions(&other, inOptions));
		}
		case JSON_object:
			return CompareAddresses(fPayload.fObject, inOther.fPayload.fObject);
		case JSON_array:
			return CompareAddresses(fPayload.fArray, inOther.fPayload.fArray);
		case JSON_date: {
			int32 date = static_cast<int32>(fPayload.fDate);
			int32 other = static_cast<int32>(inOther.fPayload.fDate);
			return date < other ? -1 : (date > other ? 1 : 0);
		}
		case JSON_lastType:
			return CR_UNRELEVANT;
		default:
			return 0;
	}
}

bool VJSONValue::DeepEqualTo(const VJSONValue& inOther, const VCompareOptions& inOptions) const
{
	VJSONDeepEqualPairs pairs;
	return _DeepEqualTo(inOther, inOptions, pairs);
}

bool VJSONValue::_DeepEqualTo(const VJSONValue& inOther, const VCompareOptions& inOptions,
							  VJSONDeepEqualPairs& ioPairs) const
{
	if (fType != inOther.fType)
		return false;
	if (fType == JSON_array) {
		if (fPayload.fArray == nullptr || inOther.fPayload.fArray == nullptr)
			return fPayload.fArray == inOther.fPayload.fArray;
		return fPayload.fArray->_DeepEqualTo(inOther.fPayload.fArray, inOptions, ioPairs);
	}
	if (fType == JSON_object) {
		if (fPayload.fObject == nullptr || inOther.fPayload.fObject == nullptr)
			return fPayload.fObject == inOther.fPayload.fObject;
		return fPayload.fObject->_DeepEqualTo(inOther.fPayload.fObject, inOptions, ioPairs);
	}
	return CompareTo(inOther, inOptions) == 0;
}

// ---------------------------------------------------------------------------
// Stamps

void VJSONValue::CheckAndUpdateJsonStamp(const VJSONValue& inValue, VJSONStamp* inStamp)
{
	if (inStamp != nullptr)
		inStamp->Touch();
	VJSONContainer* container = VJSONContainer::FromValue(inValue);
	if (container != nullptr && container->GetJSONStamp() != inStamp) {
		std::set<const void*> visited;
		_ChangeJSONStamp(inValue, inStamp, visited);
	}
}

void VJSONValue::_ChangeJSONStamp(const VJSONValue& inValue, VJSONStamp* inStamp, std::set<const void*>& ioVisited)
{
	VJSONContainer* container = VJSONContainer::FromValue(inValue);
	if (container == nullptr || !ioVisited.insert(container).second)
		return;
	StGraphLocker graphLock(container->IsSharedGraph());
	VSharedObjectLocker lock(container->_GetStorageLocker());
	container->SetJSONStamp(inStamp);
	struct Context {
		VJSONStamp* fStamp;
		std::set<const void*>* fVisited;
	} context{inStamp, &ioVisited};
	container->_GetChildValues(
		[](const VJSONValue& inChild, void* inContext) {
			auto* ctx = static_cast<Context*>(inContext);
			_ChangeJSONStamp(inChild, ctx->fStamp, *ctx->fVisited);
		},
		&context);
}

} // namespace qirn
