#pragma once

#include "core/CharSet.h"
#include "core/VObject.h"

namespace qirn {

class VFromUnicodeConverter;
class VString;

// Encodes a string into a zero-terminated byte string for the time of a
// scope: short results stay in the object, longer ones go to a heap block.
class StStringConverterBase : public VObject {
public:
	StStringConverterBase(CharSet inCharSet, ECarriageReturnMode inMode);
	~StStringConverterBase() override;

	StStringConverterBase(const StStringConverterBase&) = delete;
	StStringConverterBase& operator=(const StStringConverterBase&) = delete;

	bool IsOK() const { return fOK; }
	VSize GetSize() const { return fSize; }

protected:
	const char* _ConvertString(const VString& inString);

	static constexpr VSize kInlineSize = 512;

	char* fResult;
	VSize fSize;
	ECarriageReturnMode fMode;
	bool fOK;
	VSize fCapacity;
	char* fHeapBuffer;
	VFromUnicodeConverter* fConverter;
	char fInlineBuffer[kInlineSize];
};

template <class T>
class StStringConverter;

template <>
class StStringConverter<char> : public StStringConverterBase {
public:
	StStringConverter(CharSet inCharSet, ECarriageReturnMode inMode = eCRM_NONE)
		: StStringConverterBase(inCharSet, inMode)
	{
	}
	StStringConverter(const VString& inString, CharSet inCharSet, ECarriageReturnMode inMode = eCRM_NONE)
		: StStringConverterBase(inCharSet, inMode)
	{
		ConvertString(inString);
	}

	// The encoded text, followed by a zero byte.
	const char* ConvertString(const VString& inString) { return _ConvertString(inString); }
	const char* GetCPointer() const { return fResult; }
	VSize GetLength() const { return fSize; }
};

} // namespace qirn
