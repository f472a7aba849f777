#include "core/VUUID.h"

#include "core/TextUnits.h"
#include "core/VString.h"
#include "core/platform/XLinuxUUID.h"
#include "files/VStream.h"
#include "json/VJSONValue.h"

#include <cstring>

namespace qirn {

const VUUID_info VUUID::sInfo;
const VUUID VUUID::sNullUUID;

namespace {

uint64 BigEndian64(const uint8* inBytes)
{
	uint64 value = 0;
	for (int i = 0; i < 8; ++i)
		value = (value << 8) | inBytes[i];
	return value;
}

} // namespace

VUUID::VUUID() : VValueSingle(true) {}

VUUID::VUUID(bool inGenerate) : VValueSingle(true)
{
	if (inGenerate)
		Regenerate();
}

VUUID::VUUID(const VUUIDBuffer& inBuffer) : VValueSingle(true)
{
	FromBuffer(inBuffer);
}

VUUID::VUUID(const VString& inText) : VValueSingle(true)
{
	FromString(inText);
}

VUUID::VUUID(const char* inText) : VValueSingle(true)
{
	FromBuffer(inText);
	_BytesChanged();
}

VUUID::VUUID(const VUUID& inOther) : VValueSingle(inOther), fBuffer(inOther.fBuffer) {}

VUUID::~VUUID()
{
	delete fLinkedString;
}

// ---------------------------------------------------------------------------
// Setting

void VUUID::FromBuffer(const VUUIDBuffer& inBuffer)
{
	fBuffer = inBuffer;
	_BytesChanged();
}

void VUUID::FromBuffer(const char* inText)
{
	size_t length = inText != nullptr ? std::strlen(inText) : 0;
	if (length == 32) {
		for (int i = 0; i < 16; ++i) {
			int high = HexDigitValue(static_cast<uint8>(inText[2 * i]));
			int low = HexDigitValue(static_cast<uint8>(inText[2 * i + 1]));
			fBuffer.fBytes[i] = static_cast<uint8>(((high < 0 ? 0 : high) << 4) | (low < 0 ? 0 : low));
		}
	} else if (length <= 16) {
		std::memset(fBuffer.fBytes, 0, 16);
		if (length > 0)
			std::memcpy(fBuffer.fBytes, inText, length);
	}
	_BytesChanged();
}

void VUUID::FromString(const VString& inText)
{
	uint8 bytes[16] = {};
	int digits = 0;
	const UniChar* units = inText.GetCPointer();
	for (VIndex i = 0; i < inText.GetLength() && digits < 32; ++i) {
		int value = HexDigitValue(units[i]);
		if (value < 0)
			continue;
		bytes[digits / 2] = static_cast<uint8>(bytes[digits / 2] | (digits % 2 == 0 ? value << 4 : value));
		++digits;
	}
	if (digits == 32) {
		std::memcpy(fBuffer.fBytes, bytes, 16);
		_BytesChanged(false);
	} else {
		BuildFromAnsiString(inText);
	}
}

void VUUID::BuildFromAnsiString(const VString& inText)
{
	std::memset(fBuffer.fBytes, ' ', 16);
	std::string text = to_string(inText);
	std::memcpy(fBuffer.fBytes, text.data(), text.size() < 16 ? text.size() : 16);
	_BytesChanged(false);
}

void VUUID::FromVUUID(const VUUID& inValue)
{
	fBuffer = inValue.fBuffer;
	_BytesChanged(inValue.IsNull());
}

void VUUID::FromValue(const VValueSingle& inValue)
{
	// Each kind knows how it becomes an identifier.
	inValue.GetVUUID(*this);
}

bool VUUID::FromValueSameKind(const VValue* inValue)
{
	FromVUUID(*static_cast<const VUUID*>(inValue));
	return true;
}

void VUUID::Regenerate()
{
	VUUIDBuffer buffer;
	if (XLinuxUUID::Generate(&buffer))
		fBuffer = buffer;
	_BytesChanged(false);
}

void VUUID::Clear()
{
	std::memset(fBuffer.fBytes, 0, 16);
	_BytesChanged(true);
}

void VUUID::DoNullChanged()
{
	if (IsNull()) {
		std::memset(fBuffer.fBytes, 0, 16);
		if (fLinkedString != nullptr)
			fLinkedString->SetNull(true);
	}
}

void VUUID::_BytesChanged()
{
	_BytesChanged(fBuffer.IsNull());
}

void VUUID::_BytesChanged(bool inNull)
{
	// The flags are set directly: setting the null flag through SetNull would
	// zero the bytes of a value that is null only because the caller said so.
	if (inNull)
		fFlags |= kFlag_Null;
	else
		fFlags &= static_cast<uint8>(~kFlag_Null);
	SetDirty(true);
	_UpdateLinkedString();
}

void VUUID::_UpdateLinkedString()
{
	if (fLinkedString == nullptr)
		return;
	GetString(*fLinkedString);
	fLinkedString->SetNull(IsNull());
}

// ---------------------------------------------------------------------------
// Reading

void VUUID::GetString(VString& outText) const
{
	UniChar units[32];
	for (int i = 0; i < 16; ++i) {
		units[2 * i] = static_cast<UniChar>(kUpperHexDigits[fBuffer.fBytes[i] >> 4]);
		units[2 * i + 1] = static_cast<UniChar>(kUpperHexDigits[fBuffer.fBytes[i] & 0x0F]);
	}
	outText.FromUniString(units, 32);
}

void VUUID::GetVUUID(VUUID& outValue) const
{
	outValue.FromVUUID(*this);
}

void VUUID::GetValue(VValueSingle& outValue) const
{
	outValue.FromVUUID(*this);
}

VError VUUID::GetJSONString(VString& outText, uint32) const
{
	VString text;
	GetString(text);
	return text.GetJSONString(outText, VString::kJSON_WithQuotes);
}

VError VUUID::GetJSONValue(VJSONValue& outJSONValue, uint32 inOptions) const
{
	if (IsNull()) {
		outJSONValue.SetNull();
		return VE_OK;
	}
	VString text;
	GetString(text);
	return text.GetJSONValue(outJSONValue, inOptions);
}

VError VUUID::FromJSONValue(const VJSONValue& inJSONValue)
{
	if (inJSONValue.IsNull()) {
		Clear();
		return VE_OK;
	}
	VString text;
	inJSONValue.GetString(text);
	FromString(text);
	return VE_OK;
}

VString* VUUID::GetCachedConvertedString(bool inCreate)
{
	if (fLinkedString == nullptr && inCreate) {
		fLinkedString = new VString;
		_UpdateLinkedString();
	}
	return fLinkedString;
}

bool VUUID::IsUUIDString(const VString& inText, bool inAcceptNull)
{
	if (inText.GetLength() != 32)
		return false;
	bool allZero = true;
	const UniChar* units = inText.GetCPointer();
	for (VIndex i = 0; i < 32; ++i) {
		UniChar unit = units[i];
		if (!((unit >= '0' && unit <= '9') || (unit >= 'A' && unit <= 'F')))
			return false;
		if (unit != '0')
			allZero = false;
	}
	return inAcceptNull || !allZero;
}

const VValueInfo* VUUID::GetValueInfo() const
{
	return &sInfo;
}

VUUID* VUUID::Clone() const
{
	return new VUUID(fBuffer);
}

// ---------------------------------------------------------------------------
// Flat and stream forms

const void* VUUID::LoadFromPtr(const void* inData, bool)
{
	std::memcpy(fBuffer.fBytes, inData, 16);
	_BytesChanged();
	return static_cast<const char*>(inData) + 16;
}

void* VUUID::WriteToPtr(void* ioData, bool, size_t) const
{
	std::memcpy(ioData, fBuffer.fBytes, 16);
	return static_cast<char*>(ioData) + 16;
}

VError VUUID::ReadFromStream(VStream* ioStream, sLONG)
{
	VError err = ioStream->GetData(fBuffer.fBytes, 16);
	// Whatever was read, the value is an identifier now, zeros included.
	fFlags &= static_cast<uint8>(~kFlag_Null);
	_UpdateLinkedString();
	return err;
}

VError VUUID::WriteToStream(VStream* ioStream, sLONG) const
{
	return ioStream->PutData(fBuffer.fBytes, 16);
}

// ---------------------------------------------------------------------------
// Comparison

CompareResult VUUID::CompareBytes(const void* inPtr1, const void* inPtr2)
{
	const uint8* a = static_cast<const uint8*>(inPtr1);
	const uint8* b = static_cast<const uint8*>(inPtr2);
	for (int half = 0; half < 2; ++half) {
		uint64 x = BigEndian64(a + 8 * half);
		uint64 y = BigEndian64(b + 8 * half);
		if (x != y)
			return x < y ? CR_SMALLER : CR_BIGGER;
	}
	return CR_EQUAL;
}

CompareResult VUUID::CompareToSameKind(const VValue* inValue, bool) const
{
	return _Compare(static_cast<const VUUID*>(inValue)->fBuffer.fBytes);
}

bool VUUID::EqualToSameKind(const VValue* inValue, bool) const
{
	return fBuffer == static_cast<const VUUID*>(inValue)->fBuffer;
}

CompareResult VUUID::CompareToSameKindPtr(const void* inPtr, bool) const
{
	return _Compare(inPtr);
}

bool VUUID::EqualToSameKindPtr(const void* inPtr, bool) const
{
	return std::memcmp(fBuffer.fBytes, inPtr, 16) == 0;
}

CompareResult VUUID::CompareToSameKindWithOptions(const VValue* inValue, const VCompareOptions&) const
{
	return CompareToSameKind(inValue);
}

bool VUUID::EqualToSameKindWithOptions(const VValue* inValue, const VCompareOptions&) const
{
	return EqualToSameKind(inValue);
}

CompareResult VUUID::CompareToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions&) const
{
	return _Compare(inPtr);
}

bool VUUID::EqualToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions&) const
{
	return EqualToSameKindPtr(inPtr);
}

CompareResult VUUID::CompareTo(const VValueSingle& inValue, bool) const
{
	if (inValue.GetValueInfo()->GetKind() != 13)
		return CR_UNRELEVANT;
	return CompareToSameKind(&inValue, false);
}

// ---------------------------------------------------------------------------
// Descriptor

CompareResult VUUID_info::CompareTwoPtrToData(const void* inPtr1, const void* inPtr2, bool) const
{
	return VUUID::CompareBytes(inPtr1, inPtr2);
}

CompareResult VUUID_info::CompareTwoPtrToDataBegining(const void* inPtr1, const void* inPtr2, bool) const
{
	return VUUID::CompareBytes(inPtr1, inPtr2);
}

CompareResult VUUID_info::CompareTwoPtrToDataWithOptions(const void* inPtr1, const void* inPtr2,
														 const VCompareOptions&) const
{
	return VUUID::CompareBytes(inPtr1, inPtr2);
}

} // namespace qirn
