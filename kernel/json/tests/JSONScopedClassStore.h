#pragma once

#include "json/IJSONClassStore.h"
#include "json/VJSONClassStore.h"
#include "json/tests/JSONTestSupport.h"

namespace qirn::testing {

// A class store of its own with its root classes, answered through the
// process hook for the fixture's life; the process's own store comes back
// afterwards. A test thus sees exactly the classes it made.
class ScopedClassStore {
public:
	explicit ScopedClassStore(const char* inName = "qx")
	: fStore(VRefPtr<VJSONClassStore>::Adopt(new VJSONClassStore(U(inName))))
	, fPreviousGetter(IJSONClassStore::GetProcessStoreGetter())
	{
		fStore->AddRootClasses();
		sCurrent = fStore.Get();
		IJSONClassStore::SetProcessStoreGetter(&Current);
	}
	~ScopedClassStore()
	{
		IJSONClassStore::SetProcessStoreGetter(fPreviousGetter);
		sCurrent = nullptr;
	}
	ScopedClassStore(const ScopedClassStore&) = delete;
	ScopedClassStore& operator=(const ScopedClassStore&) = delete;

	VJSONClassStore* Get() const { return fStore.Get(); }
	VJSONObject* GetObjectClassObject() const { return fStore->GetObjectClassObject(); }
	VJSONObject* GetClassClassObject() const { return fStore->GetClassClassObject(); }
	VJSONObject* GetFunctionClassObject() const { return fStore->GetFunctionClassObject(); }

private:
	static IJSONClassStore* Current() { return sCurrent; }
	static inline IJSONClassStore* sCurrent = nullptr;

	VRefPtr<VJSONClassStore> fStore;
	IJSONClassStore::Getter fPreviousGetter;
};

// No store at all for the scope: objects have no class, as in a program
// without a process.
class ScopedNoClassStore {
public:
	ScopedNoClassStore() : fPreviousGetter(IJSONClassStore::GetProcessStoreGetter())
	{
		IJSONClassStore::SetProcessStoreGetter(nullptr);
	}
	~ScopedNoClassStore() { IJSONClassStore::SetProcessStoreGetter(fPreviousGetter); }
	ScopedNoClassStore(const ScopedNoClassStore&) = delete;
	ScopedNoClassStore& operator=(const ScopedNoClassStore&) = delete;

private:
	IJSONClassStore::Getter fPreviousGetter;
};

} // namespace qirn::testing
