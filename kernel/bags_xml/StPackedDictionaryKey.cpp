#include "bags_xml/StPackedDictionaryKey.h"

#include "core/VString.h"
#include "core/VTextConverter_UTF8.h"

#include <cstring>
#include <cwchar>
#include <new>
#include <utility>

namespace qirn {

namespace {

// A converted name needs room for its longest form and a terminator.
constexpr size_t kConvertedBufferSize = StPackedDictionaryKey::kMaxLength + 1;

char* NewBuffer(size_t inSize)
{
	return new (std::nothrow) char[inSize];
}

} // namespace

StPackedDictionaryKey::StPackedDictionaryKey() : fKey(""), fLength(0), fOwned(nullptr), fHash(0), fUsable(true) {}

StPackedDictionaryKey::StPackedDictionaryKey(const char* inUTF8CString) : StPackedDictionaryKey()
{
	if (inUTF8CString != nullptr)
		_SetBytes(inUTF8CString, std::strlen(inUTF8CString), nullptr);
}

StPackedDictionaryKey::StPackedDictionaryKey(const char* inBytes, size_t inLength) : StPackedDictionaryKey()
{
	if (inLength == 0)
		return;
	char* owned = inBytes != nullptr ? NewBuffer(inLength + 1) : nullptr;
	if (owned == nullptr) {
		_SetUnusable();
		return;
	}
	// The byte after the key is the caller's business: reading it could
	// leave the caller's block, so the copy ends with its own terminator.
	std::memcpy(owned, inBytes, inLength);
	owned[inLength] = 0;
	_SetBytes(owned, inLength, owned);
}

StPackedDictionaryKey::StPackedDictionaryKey(const VString& inName) : StPackedDictionaryKey()
{
	if (inName.IsEmpty())
		return;
	char* owned = NewBuffer(kConvertedBufferSize);
	if (owned == nullptr) {
		_SetUnusable();
		return;
	}
	VFromUnicodeConverter_UTF8 converter;
	VIndex consumed = 0;
	VSize produced = 0;
	bool done = converter.Convert(inName.GetCPointer(), inName.GetLength(), &consumed, owned, kMaxLength, &produced);
	if (!done || consumed != inName.GetLength() || produced > kMaxLength) {
		delete[] owned;
		_SetUnusable();
		return;
	}
	owned[produced] = 0;
	_SetBytes(owned, produced, owned);
}

StPackedDictionaryKey::StPackedDictionaryKey(const wchar_t* inName) : StPackedDictionaryKey()
{
	size_t length = inName != nullptr ? std::wcslen(inName) : 0;
	if (length == 0)
		return;
	char* owned = NewBuffer(kConvertedBufferSize);
	if (owned == nullptr || length > static_cast<size_t>(VString::kMaxLength)) {
		delete[] owned;
		_SetUnusable();
		return;
	}
	VFromUnicodeConverter_UTF8 converter;
	VIndex consumed = 0;
	VSize produced = 0;
	bool done = converter.ConvertFrom_wchar(inName, static_cast<VIndex>(length), &consumed, owned, kMaxLength,
											&produced);
	if (!done || consumed != static_cast<VIndex>(length) || produced > kMaxLength) {
		delete[] owned;
		_SetUnusable();
		return;
	}
	owned[produced] = 0;
	_SetBytes(owned, produced, owned);
}

StPackedDictionaryKey::StPackedDictionaryKey(const StPackedDictionaryKey& inOther) : StPackedDictionaryKey()
{
	_CopyFrom(inOther);
}

StPackedDictionaryKey::StPackedDictionaryKey(StPackedDictionaryKey&& inOther) noexcept
	: fKey(inOther.fKey), fLength(inOther.fLength), fOwned(std::exchange(inOther.fOwned, nullptr)),
	  fHash(inOther.fHash), fUsable(inOther.fUsable)
{
	inOther.fKey = "";
	inOther.fLength = 0;
	inOther.fHash = 0;
	inOther.fUsable = true;
}

StPackedDictionaryKey StPackedDictionaryKey::NoCopy(const char* inBytes, size_t inLength)
{
	StPackedDictionaryKey key;
	if (inBytes != nullptr && inLength != 0)
		key._SetBytes(inBytes, inLength, nullptr);
	return key;
}

StPackedDictionaryKey& StPackedDictionaryKey::operator=(const StPackedDictionaryKey& inOther)
{
	if (this != &inOther) {
		_Free();
		_CopyFrom(inOther);
	}
	return *this;
}

StPackedDictionaryKey& StPackedDictionaryKey::operator=(StPackedDictionaryKey&& inOther) noexcept
{
	if (this != &inOther) {
		_Free();
		fKey = std::exchange(inOther.fKey, "");
		fLength = std::exchange(inOther.fLength, 0);
		fOwned = std::exchange(inOther.fOwned, nullptr);
		fHash = std::exchange(inOther.fHash, 0);
		fUsable = std::exchange(inOther.fUsable, true);
	}
	return *this;
}

StPackedDictionaryKey::~StPackedDictionaryKey()
{
	_Free();
}

bool StPackedDictionaryKey::Equal(const char* inBytes, size_t inLength) const
{
	return fUsable && inLength == fLength && std::memcmp(inBytes, fKey, fLength) == 0;
}

uint32 StPackedDictionaryKey::GetHashCode(const char* inBytes, size_t inLength)
{
	const uint8* bytes = reinterpret_cast<const uint8*>(inBytes);
	uint32 hash = static_cast<uint32>(inLength);
	if (inLength >= 17) {
		// Long names mostly differ at their ends (common prefixes, numbered
		// suffixes): their first and last eight bytes stand for them.
		for (size_t i = 0; i < 8; ++i)
			hash = hash * 257 + bytes[i];
		for (size_t i = inLength - 8; i < inLength; ++i)
			hash = hash * 257 + bytes[i];
	} else {
		for (size_t i = 0; i < inLength; ++i)
			hash = hash * 257 + bytes[i];
	}
	return hash;
}

void StPackedDictionaryKey::_CopyFrom(const StPackedDictionaryKey& inOther)
{
	fUsable = inOther.fUsable;
	fLength = inOther.fLength;
	fHash = inOther.fHash;
	if (inOther.fOwned == nullptr) {
		fKey = inOther.fKey;
		return;
	}
	char* owned = NewBuffer(inOther.fLength + 1);
	if (owned == nullptr) {
		_SetUnusable();
		return;
	}
	std::memcpy(owned, inOther.fOwned, inOther.fLength + 1);
	fOwned = owned;
	fKey = owned;
}

void StPackedDictionaryKey::_Free()
{
	delete[] fOwned;
	fOwned = nullptr;
}

void StPackedDictionaryKey::_SetUnusable()
{
	_Free();
	fKey = "";
	fLength = 0;
	fHash = 0;
	fUsable = false;
}

void StPackedDictionaryKey::_SetBytes(const char* inBytes, size_t inLength, char* inOwned)
{
	fKey = inBytes;
	fLength = inLength;
	fOwned = inOwned;
	fHash = GetHashCode(inBytes, inLength);
	fUsable = inLength <= kMaxLength;
}

} // namespace qirn
