#pragma once

#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "json/VJSONValue.h"

namespace qirn {

class VJSONArray;
class VJSONObject;
class VJSONStamp;

// The data end before the value does (a tag, a length, a text, a count, a
// member name or a signature block runs past the end).
constexpr VError VE_JSON_BINARY_CUT_SHORT = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 200);

// Reads one JSON tree written by VJSONBinaryWriter. The data are untrusted:
// every count, length and size is checked against the bytes left before
// anything is allocated or copied, the nesting is bounded by the stack, and
// references are JSON Pointers resolved inside the tree being read (never a
// file, never URL-decoded). A reference that designates no container already
// read stays as its {"$ref": pointer} object. Objects with a signature block
// get their native implementation from VJSONObjectFactory or their class from
// the process's class store.
class VJSONBinaryImporter : public VObject {
public:
	// The bytes are not copied and must outlive the importer. Every object
	// and array made gets the stamp, when one is given.
	VJSONBinaryImporter(const void* inData, size_t inSize, VJSONStamp* inStamp = nullptr);
	~VJSONBinaryImporter() override;

	VJSONBinaryImporter(const VJSONBinaryImporter&) = delete;
	VJSONBinaryImporter& operator=(const VJSONBinaryImporter&) = delete;

	// Reads one value. No data at all (a null pointer) reads as undefined.
	// Errors: 200 (cut short), 108 (nested deeper than the stack allows),
	// 100 (memory). The containers built before an error stay in the value.
	VError GetValue(VJSONValue& outValue);

	// The property under which JSON text carries a tree in the binary form,
	// Base64-encoded: "__PRIVATE_BINARY_OBJECT".
	static const VString& GetTextPropertyName();
	// Decodes such a text and reads its tree. A text that is not Base64
	// reads as no data: error 200.
	static VError ReadBase64(const VString& inText, VJSONValue& outValue);

	// Where the next value starts, counted from the data's start.
	size_t GetPosition() const { return static_cast<size_t>(fPos - fStart); }

private:
	// The tag and payload; a new container is empty and outHasContents set,
	// with the element count an array's contents are to be read for.
	VError _GetValue(VJSONValue& outValue, bool* outHasContents, uint32* outCount);
	// The members or elements of a container just read. An object whose
	// signature block gives it a native implementation is replaced by a new
	// object carrying it, in ioValue.
	VError _GetValueContents(VJSONValue& ioValue, uint32 inCount);
	VError _GetObjectContents(VJSONValue& ioValue);
	// The array grows as its elements are read: its count only bounds them,
	// so that a count taken at its word costs nothing before the bytes
	// behind it do.
	VError _GetArrayContents(VJSONArray* ioArray, uint32 inCount);
	VError _ReadSignatureBlock(VJSONValue& ioValue);
	void _CreateObjectWithClass(VJSONObject* ioObject, const unsigned char* inPayload, size_t inSize);
	// The container a pointer designates in the tree read so far, or an
	// undefined value.
	VJSONValue _Resolve(const UniChar* inUnits, size_t inLength) const;
	void _Stamp(VJSONValue& ioValue) const;
	size_t _Left() const { return static_cast<size_t>(fEnd - fPos); }

	VJSONStamp* fStamp;
	const unsigned char* fPos;
	const unsigned char* fStart;
	const unsigned char* fEnd;
	uint32 fDepth = 0;
	// The root of the tree being read: references resolve inside it.
	VJSONValue fRoot;
};

} // namespace qirn
