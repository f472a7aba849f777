#pragma once

#include "core/CharSet.h"
#include "core/VInlineString.h"
#include "core/VMemoryBuffer.h"
#include "core/VValueInfo.h"
#include "core/VValueSingle.h"

#include <atomic>
#include <cstdarg>
#include <string>
#include <vector>

namespace qirn {

// The kernel's text: UTF-16 code units, null or not. The characters live in
// an inline buffer inside the object, in a heap buffer shared copy-on-write
// between strings (its 32-bit count lies right after the characters), or in
// a caller's buffer. Positions given to and answered by its operations count
// from 1; 0 means none.
class VArrayString;
class VJSONObject;
class VCollator;
class VIntlMgr;
class VString_info;
class VValueBag;

class VString : public VValueSingle {
public:
	static constexpr uint8 kFlag_External = 16;
	static constexpr uint8 kFlag_Private = 64;
	static constexpr int32 kTag_Heap = 'str ';
	static constexpr int32 kTag_Retained = 'strX';
	static constexpr int32 kMaxLength = 0x7FFFFFFF;

	VString();
	explicit VString(bool inNull);
	VString(const VString& inString);
	VString(VString&& inString) noexcept;
	explicit VString(UniChar inChar);
	VString(const UniChar* inUniString, VIndex inLength);
	VString(const UniChar* inUniCString);
	VString(const wchar_t* inWideCString);
	VString(const char* inCString);
	VString(const void* inBuffer, VSize inNbBytes, CharSet inCharSet);
	// Wraps the caller's buffer without copying; the caller keeps it alive
	// while the string uses it. A byte size of all ones means "length units".
	VString(UniChar* inBuffer, VIndex inLength, VSize inNbBytes);
	explicit VString(const VInlineString& inString);
	// Borrows the inline string's buffer without taking a count.
	VString(const VInlineString& inString, bool inBorrow);
	~VString() override;

	VString& operator=(const VString& inString)
	{
		FromString(inString);
		return *this;
	}
	VString& operator=(VString&& inString) noexcept;
	VString& operator=(const char* inCString)
	{
		FromCString(inCString);
		return *this;
	}
	VString& operator+=(const VString& inString)
	{
		AppendString(inString);
		return *this;
	}
	VString& operator+=(UniChar inChar)
	{
		AppendUniChar(inChar);
		return *this;
	}

	// A string on the heap whose inline buffer holds inInlineLength units.
	static VString* NewString(VIndex inInlineLength);
	static void* operator new(size_t inSize);
	static void operator delete(void* inBlock);
	static void* operator new(size_t, void* inWhere) { return inWhere; }

	static const VString sEmpty;

	// Reading
	VIndex GetLength() const { return fLength; }
	VIndex GetMaxLength() const { return fMaxLength; }
	bool IsEmpty() const { return fLength == 0; }
	const UniChar* GetCPointer() const { return fString; }
	// The buffer made writable for inSize units (the length at least; -1:
	// the current length); null when it cannot grow. Validate sets the length.
	UniChar* GetCPointerForWrite(VIndex inSize = -1);
	bool Validate(VIndex inNewLength);
	UniChar GetUniChar(VIndex inPos) const
	{
		return (inPos >= 1 && inPos <= fLength && !IsNull()) ? fString[inPos - 1] : 0;
	}
	bool SetUniChar(VIndex inPos, UniChar inChar);
	bool IsStringValid() const { return fLength < 1 || fString[fLength] == 0; }
	static VIndex UniCStringLength(const UniChar* inUniCString);

	// Shared buffers
	UniChar* RetainBuffer(VIndex* outLength, VIndex* outMaxLength) const;
	// One more count, or one fewer, on a heap buffer handed out by RetainBuffer.
	static void RetainSharedBuffer(UniChar* inBuffer, VIndex inMaxLength);
	// A new heap buffer holding a copy of the units, with one count for the
	// caller; its capacity is the length. Null for no units or no memory.
	static UniChar* NewSharedBuffer(const UniChar* inUnits, VIndex inLength);
	static void ReleaseBuffer(UniChar* inBuffer, VIndex inMaxLength);
	// Debug and tests: the count of the heap buffer, 0 for any other buffer.
	int32 GetBufferRefCount() const;
	bool IsOnInlineBuffer() const { return fString == _InlineBuffer(); }

	// Assignment
	void FromString(const VString& inString) override;
	void FromString(const VInlineString& inString);
	void FromUniString(const UniChar* inUniString, VIndex inLength);
	void FromUniCString(const UniChar* inUniCString);
	void FromUniChar(UniChar inChar);
	void FromCString(const char* inCString);
	void Clear() override;
	void Swap(VString& ioOther);

	// Editing
	void AppendUniChar(UniChar inChar)
	{
		if (fLength < fMaxLength && _IsWritable()) {
			fString[fLength++] = inChar;
			fString[fLength] = 0;
			_Touch();
		} else {
			_AppendUniCharSlow(inChar);
		}
	}
	void AppendUniChars(const UniChar* inUniChars, VIndex inCount);
	void AppendUniCString(const UniChar* inUniCString);
	void AppendCString(const char* inCString);
	void AppendString(const VString& inString) { AppendUniChars(inString.fString, inString.fLength); }
	void Insert(UniChar inChar, VIndex inPos);
	void Insert(const VString& inString, VIndex inPos);
	void Remove(VIndex inPos, VIndex inCount);
	void Replace(const VString& inString, VIndex inPos, VIndex inCount);
	void Truncate(VIndex inLength, bool inKeepSurrogatePairs = false);
	void SubString(VIndex inPos, VIndex inCount);
	VString GetSubString(VIndex inPos, VIndex inCount) const;
	void GetSubString(VIndex inPos, VIndex inCount, VString& outString) const;
	VString Before(VIndex inPos) const;
	VString After(VIndex inPos) const;

	// Raw comparison (code units)
	bool EqualToStringRaw(const VString& inString) const;
	CompareResult CompareToStringRaw(const VString& inString) const;
	CompareResult CompareToStringRawCase(const VString& inString) const;
	bool EqualToUSASCIICString(const char* inCString) const;
	bool BeginsWithRawString(const VString& inString) const;
	bool EndsWithRawString(const VString& inString) const;
	Real SimilarToString(const VString& inString) const;
	// The hash of the kernel's containers keyed by text: at most the first
	// and last 8 units are read, whatever the length.
	static uint32 ComputeHashValue(const UniChar* inUnits, VIndex inLength);
	uint32 ComputeHashValue() const { return ComputeHashValue(fString, fLength); }

	// Collated comparison and search: the text as a person reads it, through
	// the current task's intl manager (VStringCollation). The diacritical
	// flag makes accents and case count; the "like" forms take the other
	// text as a pattern in which the manager's wildcard matches any run.
	bool EqualToString(const VString& inString, bool inDiacritical = false) const;
	bool EqualToString_Like(const VString& inString, bool inDiacritical = false) const;
	CompareResult CompareToString(const VString& inString, bool inDiacritical = false) const;
	CompareResult CompareToString_Like(const VString& inString, bool inDiacritical = false) const;
	// The position of the first collated occurrence at or after inStart, 0
	// when none; outLength, when given, receives the length matched.
	VIndex Find(const VString& inPattern, VIndex inStart = 1, bool inDiacritical = false,
				VIndex* outLength = nullptr) const;
	bool BeginsWith(const VString& inPrefix, bool inDiacritical = false) const;
	bool EndsWith(const VString& inSuffix, bool inDiacritical = false) const;
	// Replaces collated matches from inStart, at most inMaxCount of them; a
	// null collator means the current task's.
	void Exchange(const VString& inPattern, const VString& inReplacement, VIndex inStart = 1,
				  VIndex inMaxCount = kMaxLength, bool inDiacritical = false, VCollator* inCollator = nullptr);
	// Case by the rules of no particular language; the text may grow.
	void ToUpperCase();
	void ToLowerCase();

	// Value comparisons: the text as a person reads it (VStringCollation),
	// against another string or a flat form; the diacritical flag makes
	// accents and case count, and the "like" forms take the other text as a
	// pattern with wildcards. A value that is not a string cannot be compared
	// (CR_UNRELEVANT) nor assigned from.
	CompareResult CompareToSameKindWithOptions(const VValue* inValue, const VCompareOptions& inOptions) const override;
	bool EqualToSameKindWithOptions(const VValue* inValue, const VCompareOptions& inOptions) const override;
	CompareResult CompareToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions& inOptions) const override;
	bool EqualToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions& inOptions) const override;
	CompareResult Swap_CompareToSameKindPtrWithOptions(const void* inPtr,
													   const VCompareOptions& inOptions) const override;
	CompareResult CompareToSameKind(const VValue* inValue, bool inDiacritical = false) const override;
	// This string cut to the other's length: equal when it begins with it.
	CompareResult CompareBeginingToSameKind(const VValue* inValue, bool inDiacritical = false) const override;
	bool EqualToSameKind(const VValue* inValue, bool inDiacritical = false) const override;
	bool FromValueSameKind(const VValue* inValue) override;
	CompareResult CompareToSameKindPtr(const void* inPtr, bool inDiacritical = false) const override;
	CompareResult Swap_CompareToSameKindPtr(const void* inPtr, bool inDiacritical = false) const override;
	CompareResult CompareBeginingToSameKindPtr(const void* inPtr, bool inDiacritical = false) const override;
	CompareResult IsTheBeginingToSameKindPtr(const void* inPtr, bool inDiacritical = false) const override;
	bool EqualToSameKindPtr(const void* inPtr, bool inDiacritical = false) const override;
	CompareResult CompareToSameKind_Like(const VValue* inValue, bool inDiacritical = false) const override;
	CompareResult CompareBeginingToSameKind_Like(const VValue* inValue, bool inDiacritical = false) const override;
	bool EqualToSameKind_Like(const VValue* inValue, bool inDiacritical = false) const override;
	CompareResult CompareToSameKindPtr_Like(const void* inPtr, bool inDiacritical = false) const override;
	CompareResult Swap_CompareToSameKindPtr_Like(const void* inPtr, bool inDiacritical = false) const override;
	CompareResult CompareBeginingToSameKindPtr_Like(const void* inPtr, bool inDiacritical = false) const override;
	CompareResult IsTheBeginingToSameKindPtr_Like(const void* inPtr, bool inDiacritical = false) const override;
	bool EqualToSameKindPtr_Like(const void* inPtr, bool inDiacritical = false) const override;
	bool Swap_EqualToSameKindPtr_Like(const void* inPtr, bool inDiacritical = false) const override;
	// Any single value, by its text.
	CompareResult CompareTo(const VValueSingle& inValue, bool inDiacritical = false) const override;

	// Raw search and replacement
	VIndex FindUniChar(UniChar inChar, VIndex inStart = 1, bool inBackwards = false) const;
	VIndex FindRawString(const VString& inPattern, VIndex inStart = 1) const;
	static VIndex FindRawString(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
								VIndex inPatternLength);
	VIndex ExchangeRawString(const VString& inPattern, const VString& inReplacement, VIndex inStart = 1,
							 VIndex inMaxCount = kMaxLength);
	void Exchange(UniChar inFrom, UniChar inTo, VIndex inStart = 1, VIndex inMaxCount = kMaxLength);

	// Numbers from text
	uint8 GetBoolean() const override;
	sWORD GetWord() const override;
	sLONG GetLong() const override;
	sLONG8 GetLong8() const override;
	Real GetReal() const override { return GetRealCheckOverflow(nullptr); }
	Real GetRealCheckOverflow(bool* outOverflow) const;
	sLONG GetHexLong() const;
	OsType GetOsType() const;

	// Text from numbers
	void FromBoolean(uint8 inValue) override;
	void FromByte(sBYTE inValue) override;
	void FromWord(sWORD inValue) override;
	void FromLong(sLONG inValue) override;
	void FromLong8(sLONG8 inValue) override;
	void FromULong8(uLONG8 inValue);
	void FromReal(Real inValue) override;
	void AppendLong(sLONG inValue);
	void AppendLong8(sLONG8 inValue);
	void AppendULong8(uLONG8 inValue);
	void AppendReal(Real inValue);

	// Formatting: the C library's conversions, plus %S (a VString), %A (any
	// single value, by its text) and %V (any kernel object, by its dump).
	// Printf and VPrintf replace the text, AppendPrintf appends.
	void Printf(const char* inFormat, ...);
	void VPrintf(const char* inFormat, va_list inArgs);
	void AppendPrintf(const char* inFormat, ...);
	void _Printf(const char* inFormat, va_list inArgs);
	// Fills placeholders of the form {Name} with the bag's attribute or the
	// object's property of that name; unknown names are removed when asked,
	// else left as they are.
	void Format(const VValueBag* inBag, bool inRemoveMissing);
	void Format(const VJSONObject* inObject, bool inRemoveMissing);
	// Expands this text as a template whose markers {{path}} name a dotted
	// property path of the object.
	void FormatWithTemplate(const VJSONObject* inObject, VString& outResult) const;
	void FromHexLong(sLONG8 inValue, bool inPrefix = true);
	void FromHexLong(sLONG inValue, bool inPrefix = true);
	void FromHexLong(uBYTE inValue, bool inPrefix = true);
	void FromHexLong(char inValue, bool inPrefix = true);
	void FromOsType(OsType inType);
	void AppendOsType(OsType inType);

	// Value slots
	void GetString(VString& outString) const override { outString.FromString(*this); }
	void GetValue(VValueSingle& outValue) const override { outValue.FromString(*this); }
	void FromValue(const VValueSingle& inValue) override { inValue.GetString(*this); }
	void AppendValue(const VValueSingle& inValue);
	// An identifier as its 32 hexadecimal digits, and back.
	void FromVUUID(const VUUID& inValue) override;
	void GetVUUID(VUUID& outValue) const override;
	void FromTime(const VTime& inValue) override;
	void GetTime(VTime& outValue) const override;
	void FromDuration(const VDuration& inValue) override;
	void GetDuration(VDuration& outValue) const override;
	VString* Clone() const override { return new VString(*this); }
	using VObject::DebugDump;
	CharSet DebugDump(char* ioBuffer, int32& ioSize) const override;

	// The descriptor of kind 10.
	const VValueInfo* GetValueInfo() const override;
	static const VString_info sInfo;

	// Stream form: minus the length as a 32-bit number, then the units, both
	// in the stream's byte order. Reading also takes the older form (a
	// positive count, a kind, the units and their terminator).
	VError ReadFromStream(VStream* ioStream, sLONG inParam = 0) override;
	VError WriteToStream(VStream* ioStream, sLONG inParam = 0) const override;
	VSize GetStreamSpace() const override;

	// Flat form: a 32-bit length in native order, then the units.
	const void* LoadFromPtr(const void* inData, bool inRefOnly) override;
	void* WriteToPtr(void* ioData, bool inRefOnly, size_t inMax) const override;
	VSize GetSpace(VSize inMax) const override;
	static void* ByteSwapPtr(void* inData, bool inFromNative);

	// Character sets and byte blocks. A set that has no converter decodes and
	// encodes nothing: false (ToBlock: 0 bytes), the conversion error raised
	// and the string left as it was.
	bool FromBlock(const void* inBuffer, VSize inNbBytes, CharSet inCharSet);
	bool AppendBlock(const void* inBuffer, VSize inNbBytes, CharSet inCharSet);
	CharSet FromBlockWithOptionalBOM(const void* inBuffer, VSize inNbBytes, CharSet inDefaultCharSet);
	VSize ToBlock(void* outBuffer, VSize inBufferSize, CharSet inCharSet, bool inWithTrailingZero,
				  bool inWithLengthPrefix) const;
	bool ToBuffer(VMemoryBuffer<>& outBuffer, CharSet inCharSet) const;

	// Base64
	bool EncodeBase64(const void* inData, VSize inSize, bool inWithLineBreaks = false);
	bool EncodeBase64(CharSet inCharSet, bool inWithLineBreaks = false);
	bool DecodeBase64(VMemoryBuffer<>& outBuffer, bool inURL = false) const;
	bool DecodeBase64(CharSet inCharSet, bool inURL = false);

	// Line ends
	ECarriageReturnMode GetCarriageReturnMode(ECarriageReturnMode inDefault = eCRM_NONE) const;
	void ConvertCarriageReturns(ECarriageReturnMode inMode);
	static void ConvertCarriageReturns(VMemoryBuffer<>& ioBuffer, CharSet inCharSet, ECarriageReturnMode inMode);

	// File names are byte-exact on Linux: no composition or decomposition.
	void Compose() {}
	void Decompose() {}

	// Splitting, joining, trimming
	bool GetSubStrings(UniChar inSeparator, std::vector<VString>& outStrings, bool inKeepEmpty = false,
					   bool inTrimSpaces = false) const;
	bool GetSubStrings(UniChar inSeparator, VArrayString& outStrings, bool inKeepEmpty = false,
					   bool inTrimSpaces = false) const;
	// The separator matched by collation (Find).
	bool GetSubStrings(const VString& inSeparator, std::vector<VString>& outStrings, bool inKeepEmpty = false,
					   bool inTrimSpaces = false, bool inDiacritical = false) const;
	bool Join(const std::vector<VString>& inStrings, UniChar inSeparator);
	bool Join(const std::vector<VString>& inStrings, const VString& inSeparator);
	void TrimUniChar(UniChar inChar);
	// Without an intl manager space and tab are white space; with one, its
	// IsSpace decides (inFlag passed on).
	void RemoveWhiteSpaces(bool inLeading = true, bool inTrailing = true, VIndex* outLeadingCount = nullptr,
						   VIndex* outTrailingCount = nullptr, VIntlMgr* inIntlMgr = nullptr, bool inFlag = false);

	// XML and JSON
	void TranscodeToXML(bool inEscapeControls = false);
	void TranscodeFromXML();
	void GetXMLString(VString& outText, uint32 inOptions) const override;
	bool FromXMLString(const VString& inText) override;
	VError GetJSONString(VString& outJSONString, uint32 inOptions) const override;
	VError FromJSONString(const VString& inJSONString, uint32 inOptions) override;
	// The same text appended to ioText.
	VError AppendJSONString(VString& ioText, uint32 inOptions) const;
	// A null string is JSON null; any other a JSON string sharing this
	// string's heap buffer. Reading takes any JSON value's text.
	VError GetJSONValue(VJSONValue& outJSONValue, uint32 inOptions) const override;
	VError FromJSONValue(const VJSONValue& inJSONValue) override;
	void GetCleanJSName(VString& outName) const;
	bool IsISODate() const;
	bool IsNonAmbigousDate() const;

	static constexpr uint32 kJSON_WithQuotes = 1;
	static constexpr uint32 kJSON_Raw = 16;
	static constexpr uint32 kJSON_EscapeAmpAndApos = 1024;

	// Growth rule of heap buffers: the units of a new block, 0 on failure.
	static uint32 ComputeProgressiveResize(VIndex inOldLength, VIndex inNewLength);
	bool _ReallocBuffer(VIndex inNewLength, bool inKeep);
	// Makes the buffer writable for inNeeded units; false when it cannot.
	bool _EnsureSize(VIndex inNeeded)
	{
		if (_IsWritable() && inNeeded >= 0 && inNeeded <= fMaxLength)
			return true;
		return _EnsureSizeSlow(inNeeded);
	}

protected:
	struct InlineTag {};
	// For VStr<N>: the inline buffer continues after fInlineBuffer.
	VString(InlineTag, VIndex inInlineMaxLength);

	void DoNullChanged() override;

	UniChar* _InlineBuffer() { return fInlineBuffer; }
	const UniChar* _InlineBuffer() const { return fInlineBuffer; }

	bool _IsHeap() const { return fString != _InlineBuffer() && (fFlags & kFlag_External) == 0; }
	static std::atomic<int32>* _RefCountOf(UniChar* inBuffer, VIndex inMaxLength)
	{
		return reinterpret_cast<std::atomic<int32>*>(inBuffer + ((inMaxLength | 1) + 1));
	}
	std::atomic<int32>* _RefCount() const { return _RefCountOf(fString, fMaxLength); }

	// Writable in place: the inline buffer, a caller's private buffer, or a
	// heap buffer that no other holder counts.
	bool _IsWritable() const
	{
		if (fString == _InlineBuffer() || (fFlags & kFlag_Private) != 0)
			return true;
		if ((fFlags & kFlag_External) != 0)
			return false;
		return _RefCount()->load(std::memory_order_acquire) < 2;
	}
	// Every successful edit clears null and sets dirty.
	void _Touch()
	{
		if ((fFlags & (kFlag_Null | kFlag_Dirty)) != kFlag_Dirty)
			_TouchSlow();
	}
	void _TouchSlow();
	void _ReleaseBuffer();
	void _ResetToInline();
	void _SetEmpty();
	bool _EnsureSizeSlow(VIndex inNeeded);
	void _AppendUniCharSlow(UniChar inChar);
	bool _AppendASCII(const char* inCString, size_t inLength);
	void _StringFromHexLong(uLONG8 inValue, int inBits, bool inPrefix);

	UniChar* fString;
	VIndex fLength;
	VIndex fMaxLength;
	VIndex fInlineMaxLength;

private:
	// Must stay the last field: VStr<N> extends it.
	UniChar fInlineBuffer[1];
};

// The descriptor of kind 10. Flat data are a native 32-bit length and the
// units; two of them compare as the strings do.
class VString_info : public VValueInfo_default<VString, 10> {
public:
	void* ByteSwapPtr(void* inBackStore, bool inFromNative) const override
	{
		return VString::ByteSwapPtr(inBackStore, inFromNative);
	}
	CompareResult CompareTwoPtrToData(const void* inPtr1, const void* inPtr2, bool inDiacritical) const override;
	// The first cut to the second's length: equal when it begins with it.
	CompareResult CompareTwoPtrToDataBegining(const void* inPtr1, const void* inPtr2,
											  bool inDiacritical) const override;
	CompareResult CompareTwoPtrToData_Like(const void* inPtr1, const void* inPtr2, bool inDiacritical) const override;
	CompareResult CompareTwoPtrToDataBegining_Like(const void* inPtr1, const void* inPtr2,
												   bool inDiacritical) const override;
	// In begins-with mode both are cut to the shorter length.
	CompareResult CompareTwoPtrToDataWithOptions(const void* inPtr1, const void* inPtr2,
												 const VCompareOptions& inOptions) const override;
	VSize GetSizeOfValueDataPtr(const void* inPtr) const override;
	VSize GetAvgSpace() const override { return 64; }
};

VString operator+(const VString& inLeft, const VString& inRight);

// The UTF-8 text of a string.
std::string to_string(const VString& inString);

// A new string holding the formatted text (VString::Printf).
VString Printf(const char* inFormat, ...);
VString ToString(int inValue);
VString ToString(long long inValue);
VString ToString(unsigned long long inValue);
VString ToString(unsigned long inValue);

// A string whose inline buffer holds N units, for the stack and for objects.
template <VIndex N>
class VStr : public VString {
public:
	VStr() : VString(InlineTag{}, N) {}
	VStr(const VStr& inString) : VStr() { FromString(inString); }
	VStr(VStr&& inString) noexcept : VStr() { VString::operator=(std::move(inString)); }
	VStr(const VString& inString) : VStr() { FromString(inString); }
	VStr(VString&& inString) noexcept : VStr() { VString::operator=(std::move(inString)); }
	VStr(const UniChar* inUniCString) : VStr() { FromUniCString(inUniCString); }
	VStr(const UniChar* inUniString, VIndex inLength) : VStr() { FromUniString(inUniString, inLength); }
	VStr(const char* inCString) : VStr() { FromCString(inCString); }
	explicit VStr(UniChar inChar) : VStr() { FromUniChar(inChar); }

	VStr& operator=(const VStr& inString)
	{
		FromString(inString);
		return *this;
	}
	using VString::operator=;

	VStr* Clone() const override { return new VStr(*this); }

private:
	UniChar fInlineRest[N];
};

using VStr4 = VStr<4>;
using VStr15 = VStr<15>;
using VStr31 = VStr<31>;
using VStr63 = VStr<63>;
using VStr255 = VStr<255>;

// A string laid over a constant UTF-16 literal without copying it. The
// literal is borrowed, not owned: the first edit copies it, so that nothing
// ever writes into read-only memory.
class CVSTR_struct : public VString {
public:
	template <size_t N>
	CVSTR_struct(const char16_t (&inLiteral)[N]) : VString(const_cast<UniChar*>(inLiteral), N - 1, VSize(-1))
	{
		fFlags &= ~kFlag_Private;
	}
};
#define CVSTR(x) ::qirn::CVSTR_struct(u"" x)

// A four-character code as text.
class VOsTypeString : public VStr<4> {
public:
	explicit VOsTypeString(OsType inType) { FromOsType(inType); }
};

} // namespace qirn
