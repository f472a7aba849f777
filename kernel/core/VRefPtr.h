#pragma once

#include <utility>

namespace qirn {

// Owning handle for IRefCountable objects. Functions named Retain... or
// Create... return a reference the caller owns: wrap it with Adopt. Get...
// functions return borrowed pointers: wrap them with the retaining constructor.
template <class T>
class VRefPtr {
public:
	VRefPtr() = default;
	VRefPtr(std::nullptr_t) {}
	explicit VRefPtr(T* inObject, bool inRetain = true) : fObject(inObject)
	{
		if (fObject != nullptr && inRetain)
			fObject->Retain();
	}
	VRefPtr(const VRefPtr& inOther) : VRefPtr(inOther.fObject) {}
	VRefPtr(VRefPtr&& inOther) noexcept : fObject(std::exchange(inOther.fObject, nullptr)) {}
	template <class U>
	VRefPtr(const VRefPtr<U>& inOther) : VRefPtr(inOther.Get()) {}
	~VRefPtr() { Clear(); }

	static VRefPtr Adopt(T* inRetained) { return VRefPtr(inRetained, false); }

	VRefPtr& operator=(const VRefPtr& inOther)
	{
		Set(inOther.fObject);
		return *this;
	}
	VRefPtr& operator=(VRefPtr&& inOther) noexcept
	{
		if (this != &inOther) {
			T* old = std::exchange(fObject, std::exchange(inOther.fObject, nullptr));
			if (old != nullptr)
				old->Release();
		}
		return *this;
	}
	VRefPtr& operator=(std::nullptr_t)
	{
		Clear();
		return *this;
	}

	// Retains the new object before releasing the old one, so that setting
	// an object that only this handle keeps alive is safe.
	void Set(T* inObject)
	{
		if (inObject != nullptr)
			inObject->Retain();
		T* old = std::exchange(fObject, inObject);
		if (old != nullptr)
			old->Release();
	}
	void Clear()
	{
		T* old = std::exchange(fObject, nullptr);
		if (old != nullptr)
			old->Release();
	}
	// Hands the reference over to the caller.
	[[nodiscard]] T* Forget() { return std::exchange(fObject, nullptr); }
	// Another retained reference for the caller.
	[[nodiscard]] T* Retain() const
	{
		if (fObject != nullptr)
			fObject->Retain();
		return fObject;
	}

	T* Get() const { return fObject; }
	T* operator->() const { return fObject; }
	T& operator*() const { return *fObject; }
	explicit operator bool() const { return fObject != nullptr; }
	bool operator==(const VRefPtr& inOther) const { return fObject == inOther.fObject; }
	bool operator==(const T* inOther) const { return fObject == inOther; }

private:
	T* fObject = nullptr;
};

} // namespace qirn
