#pragma once

#include "core/VArrayOf.h"

#include <type_traits>

namespace qirn {

// An array of pointers that owns one reference of each: a pointer handed to
// it is adopted, and released (its Release()) when it leaves the array or the
// array goes.
template <class T>
class VArrayRetainedPtrOf : public VArrayOf<T> {
	static_assert(std::is_pointer_v<T>, "VArrayRetainedPtrOf holds pointers");

public:
	explicit VArrayRetainedPtrOf(sLONG inGrowthStep = VArrayOf<T>::kDefaultGrowthStep) : VArrayOf<T>(inGrowthStep)
	{
		this->SetDeleteData(true);
	}
	~VArrayRetainedPtrOf() override
	{
		// Released here: the base's destructor no longer reaches this class.
		this->SetDeleteData(true);
		this->DeleteAll();
	}

protected:
	void DoDeleteDataRange(T* inBegin, T* inEnd) override
	{
		for (T* value = inBegin; value != inEnd; ++value) {
			if (*value != nullptr)
				(*value)->Release();
		}
	}
};

} // namespace qirn
