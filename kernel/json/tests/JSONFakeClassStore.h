#pragma once

#include "json/IJSONClassStore.h"
#include "json/VJSONClass.h"
#include "json/tests/JSONTestSupport.h"

namespace qirn::testing {

// The three root classes as the process's store makes them, answered through
// the process hook for the store's life.
class FakeClassStore : public IJSONClassStore {
public:
	FakeClassStore()
	{
		sCurrent = this;
		IJSONClassStore::SetProcessStoreGetter(&Current);
		fObject = VJSONClass::Create(U("Object"), nullptr, U("qx"), 0);
		fClass = VJSONClass::Create(U("Class"), fObject.Get(), U("qx"), 0);
		VJSONClass* classClass = VJSONClass::FromClassObject(fClass.Get());
		fObject->_SetClass(classClass);
		fClass->_SetClass(classClass);
		fObject->_SetConstructionLevel(1);
		fClass->_SetConstructionLevel(2);
		fFunction = VJSONClass::Create(U("Function"), fObject.Get(), U("qx"), 0);
	}
	~FakeClassStore() override
	{
		IJSONClassStore::SetProcessStoreGetter(nullptr);
		sCurrent = nullptr;
		// "Class" is its own class, and the class of "Object", its superclass.
		for (VJSONObject* root : {fObject.Get(), fClass.Get(), fFunction.Get()})
			root->_DetachClass();
	}
	FakeClassStore(const FakeClassStore&) = delete;
	FakeClassStore& operator=(const FakeClassStore&) = delete;

	VJSONObject* GetObjectClassObject() const override { return fObject.Get(); }
	VJSONObject* GetClassClassObject() const override { return fClass.Get(); }
	VJSONObject* GetFunctionClassObject() const override { return fFunction.Get(); }

private:
	static IJSONClassStore* Current() { return sCurrent; }
	static inline IJSONClassStore* sCurrent = nullptr;

	VRefPtr<VJSONObject> fObject;
	VRefPtr<VJSONObject> fClass;
	VRefPtr<VJSONObject> fFunction;
};

} // namespace qirn::testing
