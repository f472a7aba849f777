#pragma once

#include "core/VRefPtr.h"
#include "core/VString.h"

#include <atomic>

namespace qirn {

class VJSONObject;

// What the object model consults of the process's class store: the class
// objects of its root classes, each null until the store has made it. They
// live as long as the store.
class IJSONClassStore {
public:
	virtual ~IJSONClassStore() = default;

	virtual VJSONObject* GetObjectClassObject() const = 0;
	virtual VJSONObject* GetClassClassObject() const = 0;
	virtual VJSONObject* GetFunctionClassObject() const = 0;
	// A class of the store ("name"), or of one of its component stores
	// ("component.name"), retained; null when there is none.
	virtual VRefPtr<VJSONObject> GetClassObjectFromIdentifier(const VString& inIdentifier) const = 0;

	// The process answers its class store through this hook, which it sets
	// once the store is filled and clears before the store goes; objects made
	// meanwhile, or in a program without a process, have no class. Keeping
	// the hook here keeps the object model free of the process frame.
	using Getter = IJSONClassStore* (*)();
	static void SetProcessStoreGetter(Getter inGetter) { sGetter.store(inGetter, std::memory_order_release); }
	static Getter GetProcessStoreGetter() { return sGetter.load(std::memory_order_acquire); }
	// The process's store, or null.
	static IJSONClassStore* GetProcessStore()
	{
		Getter getter = sGetter.load(std::memory_order_acquire);
		return getter != nullptr ? getter() : nullptr;
	}

private:
	static std::atomic<Getter> sGetter;
};

} // namespace qirn
