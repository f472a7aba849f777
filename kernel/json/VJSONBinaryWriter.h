#pragma once

#include "core/VMemoryBuffer.h"
#include "core/VObject.h"
#include "core/VString.h"

#include <unordered_map>

namespace qirn {

class VJSONArray;
class VJSONObject;
class VJSONValue;

// Writes a JSON tree into a byte buffer in the binary form, which keeps what
// JSON text cannot: dates, undefined values, containers met more than once
// (written once, then referred to by a JSON Pointer, so cycles survive),
// objects with a native binary form and objects of named classes. Numbers are
// little-endian, texts UTF-16 code units. Each call writes a stream of its
// own, read back alone: references never reach what an earlier call wrote.
class VJSONBinaryWriter : public VObject {
public:
	// Tags of the values.
	static constexpr uint8 kTagNull = 0;
	static constexpr uint8 kTagFalse = 1;
	static constexpr uint8 kTagTrue = 2;
	static constexpr uint8 kTagString = 3;
	static constexpr uint8 kTagNumber = 4;
	static constexpr uint8 kTagObject = 5;
	static constexpr uint8 kTagArray = 6;
	static constexpr uint8 kTagUndefined = 7;
	static constexpr uint8 kTagDate = 8;
	static constexpr uint8 kTagReference = 255;
	// The u16 markers of a member list, and the longest name below them.
	static constexpr uint16 kEndOfObject = 0xFFFF;
	static constexpr uint16 kUndefinedObject = 0xFFFE;
	static constexpr uint16 kSignatureBlock = 0xFFFD;
	static constexpr uint16 kMaxNameLength = 0x7FFF;
	// The signature block of an object of a named class.
	static constexpr uint32 kClassSignature = 0x2A2A2A2A;
	// An array count that stands for an undefined value.
	static constexpr uint32 kUndefinedArrayCount = 0xFFFFFFFE;

	// The options are kept for the caller; the format has none.
	explicit VJSONBinaryWriter(uint32 inOptions = 0) : fOptions(inOptions) {}
	~VJSONBinaryWriter() override = default;

	VJSONBinaryWriter(const VJSONBinaryWriter&) = delete;
	VJSONBinaryWriter& operator=(const VJSONBinaryWriter&) = delete;

	uint32 GetOptions() const { return fOptions; }

	// Each appends one value to the buffer. Errors: 108 (nesting too deep
	// for the stack), 107 (a member name of 0x8000 units or more, whose
	// length would read as a marker), 100 (the buffer cannot grow), or what a
	// native implementation's binary form answers. On failure the buffer
	// holds what was written before.
	VError StreamValue(const VJSONValue& inValue, VMemoryBuffer<>& ioBuffer);
	VError StreamObject(const VJSONObject* inObject, VMemoryBuffer<>& ioBuffer);
	VError StreamArray(const VJSONArray* inArray, VMemoryBuffer<>& ioBuffer);

	// A step of the path from the root to the value being written.
	struct PathPart {
		const PathPart* fParent;
		const VString* fName;
		size_t fIndex;
	};
	// "#", then "/" and each step: a name with "~" as "~0" and "/" as "~1",
	// or an index in decimal.
	static void BuildPathPointerString(const PathPart* inPath, VString& outPointer);

private:
	VError _StreamValue(const VJSONValue& inValue, VMemoryBuffer<>& ioBuffer, const PathPart* inPath);
	// True when the container was written before: its reference is then
	// written in its place (ioError tells whether that worked).
	bool _StreamReference(const void* inContainer, VMemoryBuffer<>& ioBuffer, const PathPart* inPath,
						  VError& ioError);
	VError _StreamObject(const VJSONObject* inObject, VMemoryBuffer<>& ioBuffer, const PathPart* inPath);
	VError _StreamArray(const VJSONArray* inArray, VMemoryBuffer<>& ioBuffer, const PathPart* inPath);

	uint32 fOptions;
	uint32 fDepth = 0;
	// Each container written, with the pointer it was written at.
	std::unordered_map<const void*, VString> fWritten;
};

} // namespace qirn
