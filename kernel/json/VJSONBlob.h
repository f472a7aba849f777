#pragma once

#include "core/SharedBuffer.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "json/IJSONObject.h"

namespace qirn {

class IJSONFunctionContext;
class VJSONObject;

// What stands behind JSON objects of the class "Blob": an immutable window
// on a counted byte buffer, so that slices share their bytes. A Blob object
// answers "size", reads its bytes by index, offers the method "slice", and
// travels through the binary JSON form under the signature 'JBlb' (its size
// as u64, then its bytes).
class VJSONBlob : public VObject, public IJSONObject {
public:
	static constexpr uint32 kSignature = 0x4A426C62; // 'JBlb'
	static inline const VString key_size{"size"};

	// Holds one reference on the buffer, which may be null (an empty blob);
	// the window is [inStart, inEnd) of its bytes.
	VJSONBlob(SharedBuffer* inBuffer, size_t inStart, size_t inEnd);

	VJSONBlob(const VJSONBlob&) = delete;
	VJSONBlob& operator=(const VJSONBlob&) = delete;

	// The class object "Blob" of the process's class store, made there on
	// first need (with "slice"); null without a store.
	static VRefPtr<VJSONObject> GetClass();
	// A new Blob object holding a copy of the bytes, one reference for the
	// caller; null (error 100) when memory is refused.
	[[nodiscard]] static VJSONObject* Create(const void* inData, size_t inSize);
	// A new Blob object over the same bytes: a negative bound counts from the
	// end, bounds are clamped to the size, and an end not after the start
	// gives an empty blob. One reference for the caller.
	[[nodiscard]] VJSONObject* CreateSlice(int64 inStart, int64 inEnd) const;
	// The object's implementation when it is a blob, else null.
	static VJSONBlob* CastJSONObject(const VJSONObject* inObject);
	static VJSONBlob* GetThis(IJSONFunctionContext* inContext);

	size_t GetSize() const { return static_cast<size_t>(fEnd - fStart); }
	// Null for an empty blob.
	const void* GetData() const;

	// The class's constructor for scripts: no parameter, an empty blob; one,
	// a copy of that blob's bytes; more fail ('QXRT' 58).
	static VJSONObject* do_instantiate(VJSONObject* inClassObject, IJSONFunctionContext* inContext);
	static EJSONStatus do_slice(const VJSONObject* inThis, IJSONFunctionContext* inContext);
	// The binary reader's creator for 'JBlb': a blob over a copy of the
	// payload, with the class "Blob".
	static IJSONObject* CreateIJSONObject(VJSONObject* inObject, uint32 inSignature, const void* inData, size_t inSize,
										  VRefPtr<VJSONObject>& outClass, VError* outError);

	bool IJSON_IsSharable(const VJSONObject* inObject, bool& outFlag) override;
	EJSONStatus IJSON_GetProperty(const VJSONObject* inObject, const VString& inName, VJSONValue& outValue,
								  VDBLanguageContext* inContext) override;
	EJSONStatus IJSON_SetProperty(VJSONObject* inObject, const VString& inName, const VJSONValue& inValue,
								  VDBLanguageContext* inContext) override;
	EJSONStatus IJSON_GetPropertyNames(std::vector<VString>& outNames) override;
	EJSONStatus IJSON_GetDescription(const VJSONObject* inObject, VString& outText) override;
	EJSONStatus IJSON_WriteToBuffer(VMemoryBuffer<>& ioBuffer, VError* outError) override;
	OsType IJSON_GetBinarySignature() override { return static_cast<OsType>(kSignature); }
	EJSONStatus IJSON_GetPropertyByIndex(const VJSONObject* inObject, size_t inIndex, VJSONValue& outValue) override;
	EJSONStatus IJSON_GetCountPropertiesByIndex(const VJSONObject* inObject, size_t* outCount) override;
	EJSONStatus IJSON_Clone(const VJSONObject* inObject, VJSONCloner& inCloner, VJSONValue& outValue,
							VError* outError) override;

protected:
	~VJSONBlob() override;

private:
	// A Blob object over the window, one reference for the caller.
	static VJSONObject* _NewObject(SharedBuffer* inBuffer, size_t inStart, size_t inEnd);

	SharedBuffer* fBuffer;
	uint64 fStart;
	uint64 fEnd;
};

} // namespace qirn
