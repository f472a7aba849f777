#pragma once

#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "json/IJSONObject.h"

namespace qirn {

class VJSONClass;

// A member function written in native code, carried by a function object of
// the store's "Function" class.
class VJSONMemberFunction : public VObject, public IJSONObject {
public:
	static constexpr uint32 kFlagFinal = 0x01;
	static constexpr uint32 kFlagHidden = 0x02;

	using NativeFunction = EJSONStatus (*)(const VJSONObject* inThis, IJSONFunctionContext* inContext);

	// A shared function object named after its owner ("Owner.name"); flag
	// 0x01 gives it the own property "final", 0x02 "__hidden".
	static VRefPtr<VJSONObject> Create(NativeFunction inFunction, const VString& inName, VJSONClass* inOwner,
									   uint32 inFlags);
	// The same, of the given "Function" class (none: no class), whatever
	// store the process answers.
	static VRefPtr<VJSONObject> _Create(NativeFunction inFunction, const VString& inName, VJSONClass* inOwner,
										uint32 inFlags, VJSONObject* inFunctionClassObject);

	// The "call" of "Function", called on a function object: the first
	// parameter is the this of the call, the others its parameters.
	static EJSONStatus do_call(const VJSONObject* inThis, IJSONFunctionContext* inContext);
	// The "apply" of "Function": the this, then an array of the parameters.
	static EJSONStatus do_apply(const VJSONObject* inThis, IJSONFunctionContext* inContext);

	const VString& GetFullName() const { return fFullName; }

	EJSONStatus IJSON_GetProperty(const VJSONObject* inObject, const VString& inName, VJSONValue& outValue,
								  VDBLanguageContext* inContext) override;
	EJSONStatus IJSON_SetProperty(VJSONObject* inObject, const VString& inName, const VJSONValue& inValue,
								  VDBLanguageContext* inContext) override;
	EJSONStatus IJSON_RemoveProperty(VJSONObject* inObject, const VString& inName) override;
	EJSONStatus IJSON_Clear(VJSONObject* /*inObject*/) override { return eJSONStatus_Handled; }
	bool IJSON_IsEmpty(const VJSONObject* /*inObject*/) override { return false; }
	EJSONStatus IJSON_CloneImpl(const VJSONObject* inObject, VJSONCloner& inCloner, VRefPtr<IJSONObject>& outImpl,
								VError* outError) override;
	EJSONStatus IJSON_GetDescription(const VJSONObject* inObject, VString& outText) override;
	// Written as its description.
	EJSONStatus IJSON_Stringify(const VJSONObject* inObject, VJSONWriter& inWriter, VString& outText,
								VError* outError) override;
	EJSONStatus IJSON_CallAsFunction(const VJSONObject* inObject, IJSONFunctionContext* inContext) override;
	// Not retained: null in a clone.
	VJSONClass* IJSON_GetFunctionClassOwner(const VJSONObject* /*inObject*/) override { return fOwner; }

private:
	VJSONMemberFunction(NativeFunction inFunction, const VString& inFullName, VJSONClass* inOwner);
	~VJSONMemberFunction() override = default;

	NativeFunction fFunction;
	VString fFullName;
	VJSONClass* fOwner;
};

} // namespace qirn
