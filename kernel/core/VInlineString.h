#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VString;

// The light form of a string kept inside JSON values: a heap buffer of the
// string layout (characters, terminating zero, 32-bit count) of which it
// holds one count. A null pointer stands for the empty string. It is a plain
// aggregate so that it can live in unions: its owner calls Init and Dispose.
struct __attribute__((packed)) VInlineString {
	int32 fLength;
	UniChar* fString;
	int32 fMaxLength;

	void Init()
	{
		fLength = 0;
		fString = nullptr;
		fMaxLength = 0;
	}
	// Takes a count of the string's buffer (a shared copy when the string's
	// own buffer cannot be shared).
	void InitWithString(const VString& inString);
	// A new buffer holding a copy of the units (empty when it cannot be made).
	void InitWithUnits(const UniChar* inUnits, int32 inLength);
	// Takes one more count of the other's buffer.
	void InitWithInlineString(const VInlineString& inOther);
	// Drops the count; the last holder frees the buffer.
	void Dispose();
};

} // namespace qirn
