#include "core/Base64Coder.h"

#include "core/VMemory.h"
#include "core/VString.h"
#include "runtime/VError.h"

#include <cstring>

namespace qirn {

namespace {

constexpr int32 kTag = 'memb';

struct InverseTable {
	uint8 fValues[256];
	constexpr explicit InverseTable(const char* inAlphabet) : fValues()
	{
		for (int i = 0; i < 256; ++i)
			fValues[i] = 255;
		for (int i = 0; i < 64; ++i)
			fValues[static_cast<uint8>(inAlphabet[i])] = static_cast<uint8>(i);
	}
};

constexpr InverseTable kStandardInverse(Base64Coder::sBase64Alphabet);
constexpr InverseTable kURLInverse(Base64Coder::sBase64URLAlphabet);

inline bool IsSkippedSpace(uint8 inByte)
{
	return inByte == ' ' || inByte == '\t' || inByte == '\r' || inByte == '\n';
}

// Makes the buffer exactly inCapacity bytes, all of them data while the
// coder writes (cut back to what was written afterwards). The block comes
// from the buffer's own manager, which is the one that frees it.
inline uint8* PrepareOutput(VMemoryBuffer<>& ioBuffer, VSize inCapacity)
{
	if (!ioBuffer.SetAllocatedSize(inCapacity) || !ioBuffer.SetSize(inCapacity))
		return nullptr;
	return static_cast<uint8*>(ioBuffer.GetDataPtr());
}

} // namespace

const uint8* const Base64Coder::sBase64Inverse = kStandardInverse.fValues;
const uint8* const Base64Coder::sBase64URLInverse = kURLInverse.fValues;

bool Base64Coder::_Encode(const void* inData, VSize inSize, VMemoryBuffer<>& outBuffer, int32 inLineLength, bool inURL)
{
	outBuffer.Clear();
	if (inSize == 0)
		return true;
	if (inData == nullptr)
		return false;
	const char* alphabet = inURL ? sBase64URLAlphabet : sBase64Alphabet;
	bool breaks = !inURL && inLineLength >= 1;
	VSize groups = (inSize + 2) / 3;
	if (groups > (SIZE_MAX / 8))
		return false;
	VSize capacity = 4 * groups + (breaks ? 2 * (groups / static_cast<VSize>(inLineLength)) : 0);
	char* out = reinterpret_cast<char*>(PrepareOutput(outBuffer, capacity));
	if (out == nullptr)
		return false;
	const uint8* in = static_cast<const uint8*>(inData);
	VSize pos = 0;
	for (VSize group = 1; group < groups; ++group) {
		uint32 triple = (uint32(in[0]) << 16) | (uint32(in[1]) << 8) | in[2];
		out[pos++] = alphabet[triple >> 18];
		out[pos++] = alphabet[(triple >> 12) & 63];
		out[pos++] = alphabet[(triple >> 6) & 63];
		out[pos++] = alphabet[triple & 63];
		in += 3;
		if (breaks && group % static_cast<VSize>(inLineLength) == 0) {
			out[pos++] = '\r';
			out[pos++] = '\n';
		}
	}
	VSize rest = inSize - 3 * (groups - 1);
	uint32 triple = uint32(in[0]) << 16;
	if (rest > 1)
		triple |= uint32(in[1]) << 8;
	if (rest > 2)
		triple |= in[2];
	out[pos++] = alphabet[triple >> 18];
	out[pos++] = alphabet[(triple >> 12) & 63];
	if (rest > 1)
		out[pos++] = alphabet[(triple >> 6) & 63];
	else if (!inURL)
		out[pos++] = '=';
	if (rest > 2)
		out[pos++] = alphabet[triple & 63];
	else if (!inURL)
		out[pos++] = '=';
	outBuffer.SetSize(pos);
	return true;
}

bool Base64Coder::_DecodeQuads(const uint8* inInverse, const uint8* inText, VSize inQuadCount, uint8* outBytes,
							   VSize& ioTextPos, VSize& ioOutPos)
{
	for (VSize quad = 0; quad < inQuadCount; ++quad) {
		const uint8* text = inText + ioTextPos;
		uint8 a = inInverse[text[0]], b = inInverse[text[1]], c = inInverse[text[2]], d = inInverse[text[3]];
		if ((a | b | c | d) == 255 || a == 255 || b == 255 || c == 255 || d == 255)
			return false;
		uint32 triple = (uint32(a) << 18) | (uint32(b) << 12) | (uint32(c) << 6) | d;
		outBytes[ioOutPos++] = static_cast<uint8>(triple >> 16);
		outBytes[ioOutPos++] = static_cast<uint8>(triple >> 8);
		outBytes[ioOutPos++] = static_cast<uint8>(triple);
		ioTextPos += 4;
	}
	return true;
}

bool Base64Coder::_DecodeBase64URL(const uint8* inText, VSize inSize, VMemoryBuffer<>& outBuffer)
{
	VSize capacity = inSize / 4 * 3 + 4;
	uint8* out = PrepareOutput(outBuffer, capacity);
	if (out == nullptr)
		return false;
	VSize textPos = 0;
	VSize outPos = 0;
	bool ok = _DecodeQuads(kURLInverse.fValues, inText, inSize / 4, out, textPos, outPos);
	if (ok) {
		VSize rest = inSize - textPos;
		const uint8* text = inText + textPos;
		if (rest == 1) {
			ok = false;
		} else if (rest >= 2) {
			uint8 a = kURLInverse.fValues[text[0]], b = kURLInverse.fValues[text[1]];
			uint8 c = rest == 3 ? kURLInverse.fValues[text[2]] : 0;
			if (a == 255 || b == 255 || c == 255) {
				ok = false;
			} else if (rest == 2) {
				ok = (b & 15) == 0;
				if (ok)
					out[outPos++] = static_cast<uint8>((a << 2) | (b >> 4));
			} else {
				ok = (c & 3) == 0;
				if (ok) {
					out[outPos++] = static_cast<uint8>((a << 2) | (b >> 4));
					out[outPos++] = static_cast<uint8>((b << 4) | (c >> 2));
				}
			}
		}
	}
	outBuffer.SetSize(outPos);
	return ok;
}

bool Base64Coder::_DecodeBase64(const uint8* inText, VSize inSize, VMemoryBuffer<>& outBuffer)
{
	uint8* stripped = nullptr;
	VSize length = inSize;
	const uint8* text = inText;
	bool hasSpace = false;
	for (VSize i = 0; i < inSize && !hasSpace; ++i)
		hasSpace = IsSkippedSpace(inText[i]);
	if (hasSpace) {
		stripped = static_cast<uint8*>(VMemory::NewPtr(inSize, kTag));
		if (stripped == nullptr) {
			_ThrowError(VE_MEMORY_FULL);
			return false;
		}
		length = 0;
		for (VSize i = 0; i < inSize; ++i) {
			if (!IsSkippedSpace(inText[i]))
				stripped[length++] = inText[i];
		}
		text = stripped;
	}
	bool ok = false;
	if (length % 4 == 0 && length > 0) {
		VSize capacity = length / 4 * 3 + 1;
		uint8* out = PrepareOutput(outBuffer, capacity);
		if (out != nullptr) {
			VSize textPos = 0;
			VSize outPos = 0;
			ok = _DecodeQuads(kStandardInverse.fValues, text, length / 4 - 1, out, textPos, outPos);
			if (ok) {
				const uint8* last = text + textPos;
				uint8 a = kStandardInverse.fValues[last[0]], b = kStandardInverse.fValues[last[1]];
				uint8 c = kStandardInverse.fValues[last[2]], d = kStandardInverse.fValues[last[3]];
				ok = false;
				if (a != 255 && b != 255) {
					if (c != 255 && d != 255) {
						out[outPos++] = static_cast<uint8>((a << 2) | (b >> 4));
						out[outPos++] = static_cast<uint8>((b << 4) | (c >> 2));
						out[outPos++] = static_cast<uint8>((c << 6) | d);
						ok = true;
					} else if (last[2] == '=' && last[3] == '=') {
						ok = (b & 15) == 0;
						if (ok)
							out[outPos++] = static_cast<uint8>((a << 2) | (b >> 4));
					} else if (c != 255 && last[3] == '=') {
						ok = (c & 3) == 0;
						if (ok) {
							out[outPos++] = static_cast<uint8>((a << 2) | (b >> 4));
							out[outPos++] = static_cast<uint8>((b << 4) | (c >> 2));
						}
					}
				}
			}
			outBuffer.SetSize(outPos);
		}
	} else if (length == 0) {
		ok = true;
	}
	if (stripped != nullptr)
		VMemory::DisposePtr(stripped);
	return ok;
}

bool Base64Coder::Decode(const void* inData, VSize inSize, VMemoryBuffer<>& outBuffer, bool inURL, bool inKeepPartial)
{
	outBuffer.Clear();
	if (inSize == 0)
		return true;
	if (inData == nullptr)
		return false;
	const uint8* text = static_cast<const uint8*>(inData);
	bool ok = inURL ? _DecodeBase64URL(text, inSize, outBuffer) : _DecodeBase64(text, inSize, outBuffer);
	if (!ok && !inKeepPartial)
		outBuffer.Clear();
	return ok;
}

void Base64Coder::DO_EncodeChecksumBase64(const uint8* inBytes, VSize inSize, VString& outText)
{
	outText.Clear();
	VMemoryBuffer<> buffer;
	if (_Encode(inBytes, inSize, buffer, 0, false))
		outText.FromBlock(buffer.GetDataPtr(), buffer.GetDataSize(), VTC_UTF_8);
}

void Base64Coder::DO_EncodeChecksumHexa(const uint8* inBytes, VSize inSize, VString& outText)
{
	outText.Clear();
	if (inSize > static_cast<VSize>(VString::kMaxLength / 2))
		return;
	VIndex length = static_cast<VIndex>(2 * inSize);
	UniChar* units = outText.GetCPointerForWrite(length);
	if (units == nullptr)
		return;
	static constexpr char kDigits[] = "0123456789abcdef";
	for (VSize i = 0; i < inSize; ++i) {
		units[2 * i] = static_cast<UniChar>(kDigits[inBytes[i] >> 4]);
		units[2 * i + 1] = static_cast<UniChar>(kDigits[inBytes[i] & 15]);
	}
	outText.Validate(length);
}

} // namespace qirn
