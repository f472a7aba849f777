#pragma once

#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "json/IJSONObject.h"

namespace qirn {

// The super object a member function reaches its superclasses' members
// through: each of its properties is a super member of that name. Neither
// can be written.
class VJSONSuper : public VObject, public IJSONObject {
public:
	// A new object (not shared, of no class) carrying a super object.
	static VRefPtr<VJSONObject> CreateObject();

	EJSONStatus IJSON_GetProperty(const VJSONObject* inObject, const VString& inName, VJSONValue& outValue,
								  VDBLanguageContext* inContext) override;
	EJSONStatus IJSON_SetProperty(VJSONObject* inObject, const VString& inName, const VJSONValue& inValue,
								  VDBLanguageContext* inContext) override;
	EJSONStatus IJSON_RemoveProperty(VJSONObject* inObject, const VString& inName) override;
	EJSONStatus IJSON_Clone(const VJSONObject* inObject, VJSONCloner& inCloner, VJSONValue& outValue,
							VError* outError) override;
	EJSONStatus IJSON_GetDescription(const VJSONObject* inObject, VString& outText) override;

private:
	VJSONSuper() = default;
	~VJSONSuper() override = default;
};

// A member of the superclasses, called through the caller's own context:
// the member of that name in the nearest superclass prototype of the class
// whose function is running runs for the same this, parameters and result.
class VJSONSuperMember : public VObject, public IJSONObject {
public:
	static VRefPtr<VJSONObject> CreateObject(const VString& inName);

	const VString& GetName() const { return fName; }

	EJSONStatus IJSON_CallAsFunction(const VJSONObject* inObject, IJSONFunctionContext* inContext) override;
	EJSONStatus IJSON_SetProperty(VJSONObject* inObject, const VString& inName, const VJSONValue& inValue,
								  VDBLanguageContext* inContext) override;
	EJSONStatus IJSON_RemoveProperty(VJSONObject* inObject, const VString& inName) override;
	EJSONStatus IJSON_Clone(const VJSONObject* inObject, VJSONCloner& inCloner, VJSONValue& outValue,
							VError* outError) override;
	EJSONStatus IJSON_GetDescription(const VJSONObject* inObject, VString& outText) override;

private:
	explicit VJSONSuperMember(const VString& inName) : fName(inName) {}
	~VJSONSuperMember() override = default;

	VString fName;
};

} // namespace qirn
