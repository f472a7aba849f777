#pragma once

#include "core/CharSet.h"
#include "core/VByteSwap.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"

#include <cstdarg>
#include <string>
#include <type_traits>

namespace qirn {

class VArrayString;
class VFromUnicodeConverter;
class VProgressIndicator;
class VString;
class VToUnicodeConverter;
class VValue;

// Kernel errors of streams.
constexpr VError VE_STREAM_BAD_OFFSET = MAKE_VERROR('qirn', 3);
constexpr VError VE_STREAM_EOF = MAKE_VERROR('qirn', 200);
constexpr VError VE_STREAM_NOT_OPENED = MAKE_VERROR('qirn', 201);
constexpr VError VE_STREAM_ALREADY_OPENED = MAKE_VERROR('qirn', 202);
constexpr VError VE_STREAM_CANNOT_READ = MAKE_VERROR('qirn', 203);
constexpr VError VE_STREAM_CANNOT_WRITE = MAKE_VERROR('qirn', 204);
constexpr VError VE_STREAM_USER_ABORTED = MAKE_VERROR('qirn', 206);
constexpr VError VE_STREAM_BAD_SIGNATURE = MAKE_VERROR('qirn', 207);
constexpr VError VE_STREAM_NO_TEXT_CONVERTER = MAKE_VERROR('qirn', 208);
constexpr VError VE_STREAM_TEXT_CONVERSION_FAILURE = MAKE_VERROR('qirn', 210);
constexpr VError VE_STREAM_CANNOT_UNGET_DATA = MAKE_VERROR('qirn', 211);

// What a stream can show of its storage without copying it.
struct VStreamUnderlyingData {
	bool fValid = false;
	const void* fData = nullptr;
	sLONG8 fSize = 0;
};

// The kernel's byte stream. It is open for reading or for writing, keeps a
// position, a byte order and a text character set, and remembers the first
// error it met: a caller chains reads or writes and tests once at the end.
// Subclasses supply the storage through the Do hooks.
class VStream : public VObject {
public:
	VStream() = default;
	~VStream() override;

	VStream(const VStream&) = delete;
	VStream& operator=(const VStream&) = delete;

	virtual VStreamUnderlyingData GetUnderlyingData() const { return {}; }

	// The indicator told of the bytes that pass (retained, or null): each
	// opening begins a session of it and the closing ends it; an indicator
	// that answers stop ends reading or writing with 206.
	void SetProgressIndicator(VProgressIndicator* inIndicator);
	VProgressIndicator* GetProgressIndicator() const { return fProgress; }

	// Opening and closing. Opening resets the position and replaces the
	// sticky error by the storage's own opening result. A refused opening
	// (already open, or a direction the stream does not allow) is raised and
	// answered but leaves an open stream as it was.
	VError OpenReading();
	VError OpenReading(uint32 inSignature);
	VError OpenWriting();
	VError CloseReading();
	VError CloseWriting(bool inSetSize = true);

	bool IsReading() const { return fIsReading; }
	bool IsWriting() const { return fIsWriting; }
	void SetReadOnly(bool inReadOnly) { fIsReadOnly = inReadOnly; }
	void SetWriteOnly(bool inWriteOnly) { fIsWriteOnly = inWriteOnly; }

	// Byte order of the numbers and UTF-16 units on the stream. The hosts of
	// this system are little-endian, so a big-endian stream swaps.
	void SetBigEndian() { fNeedSwap = true; }
	void SetLittleEndian() { fNeedSwap = false; }
	void SetNeedSwap(bool inNeedSwap) { fNeedSwap = inNeedSwap; }
	bool NeedSwap() const { return fNeedSwap; }

	VError GetLastError() const { return fError; }
	// Sets the sticky error (when none is set yet) and raises it.
	VError SetError(VError inError);
	void ResetLastError() { fError = VE_OK; }

	// Positions and size.
	sLONG8 GetPos() const { return fPosition; }
	sLONG8 GetSize() { return DoGetSize(); }
	VError SetPos(sLONG8 inPosition);
	VError SetPosByOffset(sLONG8 inOffset);
	VError SetSize(sLONG8 inSize);
	VError Flush();

	// Bytes.
	VError GetData(void* outBuffer, VSize inCount, VSize* outRead = nullptr)
	{
		VSize count = inCount;
		VError err = GetData(outBuffer, &count);
		if (outRead != nullptr)
			*outRead = count;
		return err;
	}
	VError GetData(void* outBuffer, VSize* ioCount)
	{
		// Typed numbers come one by one: the common path stays inline.
		if (fError == VE_OK && fIsReading) {
			VSize asked = *ioCount;
			VError err = DoGetData(outBuffer, ioCount);
			if (err == VE_OK && *ioCount == asked) {
				fPosition += static_cast<sLONG8>(asked);
				return fProgress == nullptr ? VE_OK : _ReportProgress(asked);
			}
			return _GetDataFailed(asked, ioCount, err);
		}
		return _GetDataRefused(ioCount);
	}
	VError PutData(const void* inBuffer, VSize inCount)
	{
		if (fError == VE_OK && fIsWriting && inCount != 0) {
			VError err = DoPutData(inBuffer, inCount);
			if (err == VE_OK) {
				fPosition += static_cast<sLONG8>(inCount);
				return fProgress == nullptr ? VE_OK : _ReportProgress(inCount);
			}
			return SetError(err);
		}
		return _PutDataRefused();
	}
	VError UngetData(const void* inBuffer, VSize inCount);
	VError PutContentInto(VStream* inDestination);
	VError PutHexBytes(const char* inBytes, VSize inCount);

	// Typed numbers, byte-reversed on the stream when the swap flag is set.
	VError PutByte(sBYTE inValue) { return PutData(&inValue, 1); }
	VError PutByte(uBYTE inValue) { return PutData(&inValue, 1); }
	VError PutWord(sWORD inValue) { return _PutSwapped(inValue); }
	VError PutWord(uWORD inValue) { return _PutSwapped(inValue); }
	VError PutLong(sLONG inValue) { return _PutSwapped(inValue); }
	VError PutLong(uLONG inValue) { return _PutSwapped(inValue); }
	VError PutLong8(sLONG8 inValue) { return _PutSwapped(inValue); }
	VError PutLong8(uLONG8 inValue) { return _PutSwapped(inValue); }
	VError PutReal(Real inValue) { return _PutSwapped(inValue); }
	VError PutBoolean(bool inValue) { return PutByte(static_cast<uBYTE>(inValue ? 1 : 0)); }

	VError GetByte(sBYTE& outValue) { return GetData(&outValue, 1); }
	VError GetByte(uBYTE& outValue) { return GetData(&outValue, 1); }
	VError GetWord(sWORD& outValue) { return _GetSwapped(outValue); }
	VError GetWord(uWORD& outValue) { return _GetSwapped(outValue); }
	VError GetLong(sLONG& outValue) { return _GetSwapped(outValue); }
	VError GetLong(uLONG& outValue) { return _GetSwapped(outValue); }
	VError GetLong8(sLONG8& outValue) { return _GetSwapped(outValue); }
	VError GetLong8(uLONG8& outValue) { return _GetSwapped(outValue); }
	VError GetReal(Real& outValue) { return _GetSwapped(outValue); }
	VError GetBoolean(bool& outValue);

	// The same for any arithmetic type.
	template <typename T>
	VError Put(T inValue)
	{
		static_assert(std::is_arithmetic_v<T>);
		return _PutSwapped(inValue);
	}
	template <typename T>
	VError Get(T& outValue)
	{
		static_assert(std::is_arithmetic_v<T>);
		return _GetSwapped(outValue);
	}

	// Arrays. A count below 1 does nothing. The readers answer in ioCount the
	// number of whole items read.
	VError PutWords(const sWORD* inValues, sLONG inCount);
	VError PutLongs(const sLONG* inValues, sLONG inCount);
	VError PutLong8s(const sLONG8* inValues, sLONG inCount);
	VError PutReals(const Real* inValues, sLONG inCount);
	VError GetWords(sWORD* outValues, sLONG* ioCount);
	VError GetLongs(sLONG* outValues, sLONG* ioCount);
	VError GetLong8s(sLONG8* outValues, sLONG* ioCount);
	VError GetReals(Real* outValues, sLONG* ioCount);

	// Values: the kind as a 16-bit word first when asked, then the value's
	// own stream form. GetValue answers a new value (the caller owns it), or
	// null when the kind cannot be read or has no descriptor.
	VError PutValue(const VValue& inValue, bool inWithKind = true);
	VValue* GetValue();

	// Text, in the stream's character set.
	CharSet GetCharSet() const { return fCharSet; }
	VError SetCharSet(CharSet inCharSet);
	ECarriageReturnMode GetCarriageReturnMode() const { return fCRMode; }
	void SetCarriageReturnMode(ECarriageReturnMode inMode) { fCRMode = inMode; }
	VError WriteBOM();
	VError GuessCharSetFromLeadingBytes(CharSet inDefaultCharSet, bool inDetectUTF8 = true,
										bool* outFoundBOM = nullptr);
	// The text with the stream's line ends, no length and no terminator.
	VError PutText(const VString& inText);
	// The kernel's own conversions (%S, %A, %V) are no C format: no format check.
	VError PutPrintf(const char* inFormat, ...);
	VError PutVPrintf(const char* inFormat, va_list inArgs);
	// The rest of the stream, appended.
	VError GetText(VString& ioText);
	// Exactly inCharCount UTF-16 units, less at the end of the stream; one
	// more when the last character asked for takes two units. The
	// bytes of a character cut by the end are pushed back when
	// inPushBackCutCharacter is set, and stay consumed otherwise.
	VError GetText(VString& outText, sLONG inCharCount, bool inPushBackCutCharacter);
	// One line, ended by inEndChar or by CR, LF or CR LF; at the end of the
	// stream, 200. With inKeepEnd the line keeps one end character: the given
	// one, or CR for any line end.
	VError GetTextLine(VString& outLine, bool inKeepEnd, UniChar* inEndChar = nullptr);
	// One line split at every tab: a line with n tabs gives n + 1 fields, an
	// empty line one empty field. At the end of the stream, one empty field
	// and 200.
	VError GetTTRLine(VArrayString& outFields);

protected:
	virtual VError DoOpenReading() { return VE_OK; }
	virtual VError DoOpenWriting() { return VE_OK; }
	virtual VError DoCloseReading() { return VE_OK; }
	virtual VError DoCloseWriting(bool /*inSetSize*/) { return VE_OK; }
	virtual VError DoPutData(const void* inBuffer, VSize inCount) = 0;
	// Reads up to *ioCount bytes at the position; sets *ioCount to the bytes
	// read (200 when fewer than asked).
	virtual VError DoGetData(void* outBuffer, VSize* ioCount) = 0;
	virtual VError DoUngetData(const void* /*inBuffer*/, VSize /*inCount*/) { return VE_OK; }
	virtual sLONG8 DoGetSize() = 0;
	virtual VError DoSetSize(sLONG8 inSize) = 0;
	virtual VError DoSetPos(sLONG8 /*inPosition*/) { return VE_OK; }
	virtual VError DoFlush() { return VE_OK; }

	// DoGetData of a stream over a block of inSize bytes in memory.
	VError _GetDataFromBlock(const void* inBlock, VSize inSize, void* outBuffer, VSize* ioCount) const;

private:
	VError _GetDataFailed(VSize inAsked, VSize* ioCount, VError inError);
	// Tells the indicator of inCount bytes; 206 when it answers stop.
	VError _ReportProgress(VSize inCount);
	void _BeginProgressSession(bool inReading);
	void _EndProgressSession();
	VError _GetDataRefused(VSize* ioCount);
	VError _PutDataRefused();
	// Raises a refusal and answers it without making it sticky: the stream
	// goes on as before.
	static VError _Refuse(VError inError);
	// What every text reader checks first; makes the decoder when missing.
	VError _BeginTextReading();
	// The bytes left before the end, inMost at the most: the text readers
	// never ask for more than there is, so the end is no error to them.
	VSize _LeftToRead(VSize inMost);
	VError _GetStatefulText(VString& ioText);

	template <typename T>
	VError _PutSwapped(T inValue)
	{
		if (fNeedSwap)
			inValue = ByteSwap(inValue);
		return PutData(&inValue, sizeof(T));
	}
	template <typename T>
	VError _GetSwapped(T& outValue)
	{
		T value;
		VError err = GetData(&value, sizeof(T));
		if (err == VE_OK)
			outValue = fNeedSwap ? ByteSwap(value) : value;
		return err;
	}
	// Converters for the character set, made when a text operation or an
	// opening needs them; 208 when the set has none.
	VError _PrepareDecoder();
	VError _PrepareEncoder();
	void _ReleaseConverters();
	// The bytes of one character of the stream's character set; the size of
	// its code unit (1, 2 or 4) in outUnit.
	void _EncodeChar(UniChar inChar, std::string& outBytes, VSize& outUnit);
	// Sets the sticky error without raising it: the end of the stream is no
	// error for the line reader.
	void _SetEndOfStreamQuietly()
	{
		if (fError == VE_OK)
			fError = VE_STREAM_EOF;
	}
	template <typename T>
	VError _PutArray(const T* inValues, sLONG inCount);
	template <typename T>
	VError _GetArray(T* outValues, sLONG* ioCount);

	VProgressIndicator* fProgress = nullptr;
	bool fProgressSessionOpen = false;
	sLONG8 fPosition = 0;
	bool fIsReading = false;
	bool fIsWriting = false;
	bool fIsReadOnly = false;
	bool fIsWriteOnly = false;
	bool fNeedSwap = false;
	VError fError = VE_OK;
	CharSet fCharSet = VTC_DefaultTextExport;
	ECarriageReturnMode fCRMode = eCRM_LF;
	VToUnicodeConverter* fDecoder = nullptr;
	VFromUnicodeConverter* fEncoder = nullptr;
};

} // namespace qirn
