#pragma once

#include "core/VTextConverter.h"

#include <mutex>

struct UConverter;

namespace qirn {

// The legacy character sets (everything but the Unicode forms, US-ASCII and
// ISO-8859-1), converted by ICU. ICU's converter keeps the shift state of
// sets such as ISO-2022-JP and UTF-7, so every call starts from the set's
// initial state and an encoding ends in it: a call never leaks a state into
// the next, and what one call writes is complete text. A lock keeps the
// converter to one call at a time, so one object may serve several threads.
class XLinuxToUnicodeConverter : public VToUnicodeConverter {
public:
	explicit XLinuxToUnicodeConverter(CharSet inCharSet);
	~XLinuxToUnicodeConverter() override;

	// A new converter with one reference, or null when the set has none.
	static VToUnicodeConverter* NewToUnicodeConverter(CharSet inCharSet);

	// The ICU converter that reads and writes the set, or null when none.
	static const char* CharSetToConverterName(CharSet inCharSet);

	bool IsValid() const override { return fConverter != nullptr; }

	// Bytes that cannot be read (malformed, or outside the set) decode as
	// U+FFFD and the run goes on, answering false. A character cut by the end
	// of the source is left unconsumed.
	bool Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed, UniChar* inDestination,
				 VIndex inDestinationChars, VIndex* outProducedChars) override;

	bool ConvertString(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
					   VString& ioString) override;

	bool IsStateful() const override { return fStateful; }

private:
	bool _ConvertCut(const char* inSource, VSize inSourceBytes, VSize* outBytesConsumed, UniChar* inDestination,
					 VIndex inDestinationChars, VIndex* outProducedChars);

	UConverter* fConverter;
	bool fStateful = false;
	bool fFlushed = false;
	bool fSubstituted = false;
	std::mutex fMutex;
};

class XLinuxFromUnicodeConverter : public VFromUnicodeConverter {
public:
	explicit XLinuxFromUnicodeConverter(CharSet inCharSet);
	~XLinuxFromUnicodeConverter() override;

	static VFromUnicodeConverter* NewFromUnicodeConverter(CharSet inCharSet);

	bool IsValid() const override { return fConverter != nullptr; }

	// A character outside the set is written as the set's '?' and the run
	// goes on. A high surrogate that ends the source waits, unconsumed, for
	// the rest of its character. With too little room the run stops after
	// the last whole character that fits, shift state closed.
	bool Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed, void* inBuffer,
				 VSize inBufferSize, VSize* outBytesProduced) override;

	// The most bytes a unit may take, escape sequences included.
	VSize GetCharSize() const override { return fCharSize; }

private:
	UConverter* fConverter;
	VSize fCharSize = 2;
	std::mutex fMutex;
};

} // namespace qirn
