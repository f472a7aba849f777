#pragma once

#include "core/CharSet.h"
#include "core/IRefCountable.h"
#include "core/VMemoryBuffer.h"
#include "core/VObject.h"

namespace qirn {

class VString;

// Decodes bytes of one character set into UTF-16. Converters keep no state
// between calls, so one converter may serve several threads.
class VToUnicodeConverter : public VObject, public IRefCountable {
public:
	virtual bool IsValid() const { return true; }

	// Appends the decoded text to ioString, as far as whole characters go;
	// reports the bytes consumed.
	virtual bool ConvertString(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
							   VString& ioString);

	virtual bool Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
						 UniChar* inDestination, VIndex inDestinationChars, VIndex* outProducedChars) = 0;

	virtual VSize GetCharSize() const { return 2; }

	// Whether a character's meaning depends on shifts earlier in the text
	// (ISO-2022, UTF-7): such text is decoded in one run, never in blocks.
	virtual bool IsStateful() const { return false; }
};

// Encodes UTF-16 into bytes of one character set.
class VFromUnicodeConverter : public VObject, public IRefCountable {
public:
	virtual bool IsValid() const { return true; }

	virtual bool Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed,
						 void* inBuffer, VSize inBufferSize, VSize* outBytesProduced) = 0;

	// The bytes one UTF-16 unit needs at most, to size buffers.
	virtual VSize GetCharSize() const = 0;

	// Encodes the whole run after the ioBytesInBuffer bytes already in
	// ioBuffer, a block of the memory manager (null for none) that grows as
	// needed, with inTrailingBytes spare bytes at the end.
	bool ConvertRealloc(const UniChar* inSource, VIndex inSourceChars, void*& ioBuffer, VSize& ioBytesInBuffer,
						VSize inTrailingBytes);
	// The same, appending to a memory buffer.
	bool ConvertToBuffer(const UniChar* inSource, VIndex inSourceChars, VMemoryBuffer<>& ioBuffer,
						 VSize inTrailingBytes);
};

// UTF-16 in the native (little-endian) order: a copy.
class VToUnicodeConverter_Null : public VToUnicodeConverter {
public:
	bool ConvertString(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
					   VString& ioString) override;
	bool Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed, UniChar* inDestination,
				 VIndex inDestinationChars, VIndex* outProducedChars) override;
};

class VFromUnicodeConverter_Null : public VFromUnicodeConverter {
public:
	bool Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed, void* inBuffer,
				 VSize inBufferSize, VSize* outBytesProduced) override;
	VSize GetCharSize() const override { return 2; }
};

// UTF-16 in the other byte order.
class VToUnicodeConverter_Swap : public VToUnicodeConverter {
public:
	bool ConvertString(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
					   VString& ioString) override;
	bool Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed, UniChar* inDestination,
				 VIndex inDestinationChars, VIndex* outProducedChars) override;
};

class VFromUnicodeConverter_Swap : public VFromUnicodeConverter {
public:
	bool Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed, void* inBuffer,
				 VSize inBufferSize, VSize* outBytesProduced) override;
	VSize GetCharSize() const override { return 2; }
};

// What a character set without a converter gets: it converts nothing, and
// never answers that it did.
class VToUnicodeConverter_Void : public VToUnicodeConverter {
public:
	bool IsValid() const override { return false; }
	bool ConvertString(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
					   VString& ioString) override;
	bool Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed, UniChar* inDestination,
				 VIndex inDestinationChars, VIndex* outProducedChars) override;
};

class VFromUnicodeConverter_Void : public VFromUnicodeConverter {
public:
	bool IsValid() const override { return false; }
	bool Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed, void* inBuffer,
				 VSize inBufferSize, VSize* outBytesProduced) override;
	VSize GetCharSize() const override { return 1; }
};

} // namespace qirn
