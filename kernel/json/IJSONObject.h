#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "core/VMemoryBuffer.h"

#include <vector>

namespace qirn {

class IJSONFunctionContext;
class VDBLanguageContext;
class VJSONClass;
class VJSONCloner;
class VJSONIter;
class VJSONObject;
class VJSONStamp;
class VJSONValue;
class VJSONWriter;
class VString;
class VValueSingle;
template <class T>
class VRefPtr;

// The answer of every hook: handled, not handled (the object goes on with its
// generic behaviour), or failed (the object stops and reports the failure).
enum EJSONStatus : int32 {
	eJSONStatus_Handled = 0,
	eJSONStatus_NotHandled = 1,
	eJSONStatus_Failed = 2,
};

// Native behaviour of a JSON object. Every hook answers first and may
// decline; the defaults decline.
class IJSONObject : public IRefCountable {
public:
	~IJSONObject() override = default;

	virtual EJSONStatus IJSON_GetProperty(const VJSONObject* /*inObject*/, const VString& /*inName*/,
										  VJSONValue& /*outValue*/, VDBLanguageContext* /*inContext*/)
	{
		return eJSONStatus_NotHandled;
	}
	virtual EJSONStatus IJSON_BeginChangeProperties() { return eJSONStatus_NotHandled; }
	virtual EJSONStatus IJSON_EndChangeProperties() { return eJSONStatus_NotHandled; }
	virtual EJSONStatus IJSON_SetProperty(VJSONObject* /*inObject*/, const VString& /*inName*/,
										  const VJSONValue& /*inValue*/, VDBLanguageContext* /*inContext*/)
	{
		return eJSONStatus_NotHandled;
	}
	virtual EJSONStatus IJSON_RemoveProperty(VJSONObject* /*inObject*/, const VString& /*inName*/)
	{
		return eJSONStatus_NotHandled;
	}
	virtual EJSONStatus IJSON_Clear(VJSONObject* /*inObject*/) { return eJSONStatus_NotHandled; }
	virtual bool IJSON_IsEmpty(const VJSONObject* inObject);
	virtual EJSONStatus IJSON_Stringify(const VJSONObject* /*inObject*/, VJSONWriter& /*inWriter*/,
										VString& /*outText*/, VError* /*outError*/)
	{
		return eJSONStatus_NotHandled;
	}
	virtual EJSONStatus IJSON_CloneImpl(const VJSONObject* /*inObject*/, VJSONCloner& /*inCloner*/,
										VRefPtr<IJSONObject>& /*outImpl*/, VError* /*outError*/)
	{
		return eJSONStatus_NotHandled;
	}
	virtual EJSONStatus IJSON_Clone(const VJSONObject* /*inObject*/, VJSONCloner& /*inCloner*/,
									VJSONValue& /*outValue*/, VError* /*outError*/)
	{
		return eJSONStatus_NotHandled;
	}
	virtual OsType IJSON_GetBinarySignature() { return 0; }
	virtual void IJSON_GetValueToWriteToBuffer(VJSONValue& /*outValue*/) {}
	// Objects that have no binary form fail with 915.
	virtual EJSONStatus IJSON_WriteToBuffer(VMemoryBuffer<>& ioBuffer, VError* outError);
	virtual EJSONStatus IJSON_GetPropertyNames(std::vector<VString>& /*outNames*/)
	{
		return eJSONStatus_NotHandled;
	}
	[[nodiscard]] virtual VValueSingle* IJSON_CreateVValue() { return nullptr; }
	virtual EJSONStatus IJSON_GetPropertyStamp(const VString& /*inName*/, uint32* /*outStamp*/)
	{
		return eJSONStatus_NotHandled;
	}
	virtual EJSONStatus IJSON_TouchPropertyStamp(const VString& /*inName*/) { return eJSONStatus_NotHandled; }
	virtual EJSONStatus IJSON_GetDescription(const VJSONObject* /*inObject*/, VString& /*outText*/)
	{
		return eJSONStatus_NotHandled;
	}
	virtual EJSONStatus IJSON_GetPropertyByIndex(const VJSONObject* /*inObject*/, size_t /*inIndex*/,
												 VJSONValue& /*outValue*/)
	{
		return eJSONStatus_NotHandled;
	}
	virtual EJSONStatus IJSON_GetCountPropertiesByIndex(const VJSONObject* /*inObject*/, size_t* /*outCount*/)
	{
		return eJSONStatus_NotHandled;
	}
	virtual VJSONIter* IJSON_MakeIterator(const VJSONObject* /*inObject*/, size_t /*inStart*/, size_t /*inEnd*/,
										  bool /*inFlag*/)
	{
		return nullptr;
	}
	virtual EJSONStatus IJSON_GetClassName(const VJSONObject* /*inObject*/, VString& /*outName*/)
	{
		return eJSONStatus_NotHandled;
	}
	virtual EJSONStatus IJSON_DeepEqualTo(const VJSONObject* /*inObject*/, const VJSONObject* /*inOther*/,
										  bool* /*outEqual*/)
	{
		return eJSONStatus_NotHandled;
	}
	// The flag, when set true, keeps a sharable object out of shared
	// containers unless it has a locker.
	virtual bool IJSON_IsSharable(const VJSONObject* /*inObject*/, bool& outFlag)
	{
		outFlag = false;
		return false;
	}
	virtual EJSONStatus IJSON_CallAsFunction(const VJSONObject* /*inObject*/, IJSONFunctionContext* /*inContext*/)
	{
		return eJSONStatus_NotHandled;
	}
	virtual VJSONClass* IJSON_GetFunctionClassOwner(const VJSONObject* /*inObject*/) { return nullptr; }
	virtual EJSONStatus IJSON_SetJSONStamp(VJSONStamp* /*inStamp*/) { return eJSONStatus_NotHandled; }
	virtual void IJSON_DoConnectDependencies(VJSONObject* /*inObject*/) {}
	virtual void IJSON_DoDisconnectDependencies(VJSONObject* /*inObject*/) {}
};

} // namespace qirn
