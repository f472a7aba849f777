#pragma once

#include "core/VMemoryBuffer.h"

namespace qirn {

class VString;

// Base64 in the standard and in the URL-safe alphabet of RFC 4648, into and
// out of memory buffers; the output is allocated by the buffer, from the
// buffer's own memory manager.
class Base64Coder {
public:
	static constexpr char sBase64Alphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
	static constexpr char sBase64URLAlphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
	// The 6-bit value of every byte of the alphabet, 255 for any other byte.
	static const uint8* const sBase64Inverse;
	static const uint8* const sBase64URLInverse;

	// Line breaks (CR LF after every inLineLength groups of four characters)
	// apply to the standard alphabet only; the URL alphabet never pads.
	static bool _Encode(const void* inData, VSize inSize, VMemoryBuffer<>& outBuffer, int32 inLineLength, bool inURL);
	static bool Encode(const void* inData, VSize inSize, VMemoryBuffer<>& outBuffer, int32 inLineLength = 0)
	{
		return _Encode(inData, inSize, outBuffer, inLineLength, false);
	}
	static bool EncodeURL(const void* inData, VSize inSize, VMemoryBuffer<>& outBuffer)
	{
		return _Encode(inData, inSize, outBuffer, 0, true);
	}

	// On failure the buffer is emptied, unless inKeepPartial keeps what was
	// decoded before the fault.
	static bool Decode(const void* inData, VSize inSize, VMemoryBuffer<>& outBuffer, bool inURL = false,
					   bool inKeepPartial = false);

	// Checksums and digests as text.
	static void DO_EncodeChecksumBase64(const uint8* inBytes, VSize inSize, VString& outText);
	static void DO_EncodeChecksumHexa(const uint8* inBytes, VSize inSize, VString& outText);

	static bool _DecodeQuads(const uint8* inInverse, const uint8* inText, VSize inQuadCount, uint8* outBytes,
							 VSize& ioTextPos, VSize& ioOutPos);

private:
	static bool _DecodeBase64(const uint8* inText, VSize inSize, VMemoryBuffer<>& outBuffer);
	static bool _DecodeBase64URL(const uint8* inText, VSize inSize, VMemoryBuffer<>& outBuffer);
};

} // namespace qirn
