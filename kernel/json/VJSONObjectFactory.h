#pragma once

#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "runtime/VCriticalSection.h"

#include <map>

namespace qirn {

class IJSONObject;
class VJSONObject;

// Maps the binary signatures of native implementations to the functions that
// rebuild them from the binary JSON form. One instance for the process, made
// on first use; it starts with the Blob class ('JBlb').
class VJSONObjectFactory : public VObject {
public:
	// Rebuilds an implementation for the object being read from the payload
	// its signature block carries, and may name the object's class. Returns
	// the implementation with one reference for the caller, or null (the
	// error, if any, in outError).
	using Creator = IJSONObject* (*)(VJSONObject* inObject, uint32 inSignature, const void* inData, size_t inSize,
									 VRefPtr<VJSONObject>& outClassObject, VError* outError);

	static VJSONObjectFactory* Get();

	// Replaces an earlier creator of the signature.
	void RegisterSignature(uint32 inSignature, Creator inCreator);
	void UnRegisterSignature(uint32 inSignature);
	bool IsSignatureSupported(uint32 inSignature) const;
	// Null for an unknown signature.
	IJSONObject* CreateForSignature(VJSONObject* inObject, uint32 inSignature, const void* inData, size_t inSize,
									VRefPtr<VJSONObject>& outClassObject, VError* outError) const;

private:
	VJSONObjectFactory();
	~VJSONObjectFactory() override = default;

	mutable VCriticalSection fLock;
	std::map<uint32, Creator> fCreators;
};

} // namespace qirn
