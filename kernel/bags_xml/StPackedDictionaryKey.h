#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VString;

// The name of a bag attribute or element: UTF-8 bytes, their length and a
// hash computed once, so that a key made on the stack or held in a static
// costs no work per lookup. A key either points at bytes owned by somebody
// else (a literal) or owns a copy.
//
// A name longer than 255 bytes, or a text that does not convert to UTF-8
// whole, makes an unusable key: it matches nothing and stores nothing, so
// that such a name never reaches the attribute of another name.
class StPackedDictionaryKey {
public:
	static constexpr size_t kMaxLength = 255;

	StPackedDictionaryKey();
	// Points at the caller's bytes, which outlive the key.
	StPackedDictionaryKey(const char* inUTF8CString);
	// Copies exactly inLength bytes and terminates the copy.
	StPackedDictionaryKey(const char* inBytes, size_t inLength);
	StPackedDictionaryKey(const VString& inName);
	StPackedDictionaryKey(const wchar_t* inName);
	StPackedDictionaryKey(const StPackedDictionaryKey& inOther);
	// Points at inLength bytes of the caller's, which outlive the key.
	static StPackedDictionaryKey NoCopy(const char* inBytes, size_t inLength);
	StPackedDictionaryKey(StPackedDictionaryKey&& inOther) noexcept;
	StPackedDictionaryKey& operator=(const StPackedDictionaryKey& inOther);
	StPackedDictionaryKey& operator=(StPackedDictionaryKey&& inOther) noexcept;
	~StPackedDictionaryKey();

	const char* GetKey() const { return fKey; }
	size_t GetKeyLength() const { return fLength; }
	size_t GetHash() const { return fHash; }
	// Whether the key can name a stored entry.
	bool IsUsable() const { return fUsable; }
	bool Equal(const char* inBytes, size_t inLength) const;

	static uint32 GetHashCode(const char* inBytes, size_t inLength);

private:
	void _CopyFrom(const StPackedDictionaryKey& inOther);
	void _Free();
	void _SetUnusable();
	void _SetBytes(const char* inBytes, size_t inLength, char* inOwned);

	const char* fKey;
	size_t fLength;
	char* fOwned;
	size_t fHash;
	bool fUsable;
};

} // namespace qirn
