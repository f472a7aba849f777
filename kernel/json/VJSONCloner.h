#pragma once

#include "core/VObject.h"
#include "json/VJSONValue.h"

#include <map>

namespace qirn {

class VJSONArray;
class VJSONObject;
class VStorageLocker;

// Deep-copies JSON trees. A container reached twice is copied once, so
// shared references and cycles are reproduced in the copy.
class VJSONCloner : public VObject {
public:
	// 0: everything is copied; 1: shared containers are referenced, not
	// copied; 2: the copies are put under one locker of the cloner's.
	static constexpr uint32 kModeDeep = 0;
	static constexpr uint32 kModeKeepShared = 1;
	static constexpr uint32 kModeOneLocker = 2;

	explicit VJSONCloner(uint32 inMode = kModeDeep) : fMode(inMode) {}
	~VJSONCloner() override;

	VJSONCloner(const VJSONCloner&) = delete;
	VJSONCloner& operator=(const VJSONCloner&) = delete;

	uint32 GetMode() const { return fMode; }

	// Replaces an object or array value by its copy; other values stay.
	VError CloneValue(VJSONValue& ioValue);
	VError CloneObject(const VJSONObject* inObject, VJSONValue& outValue);
	VError CloneArray(const VJSONArray* inArray, VJSONValue& outValue);

	// The first call makes the cloner's locker (fresh); later calls clear its
	// fresh flag.
	VStorageLocker* GetStorageLockerAndAssignIfNecessary();
	void SetStorageLocker(VStorageLocker* inLocker);

private:
	template <class Container>
	VError _Clone(const Container* inSource, VJSONValue& outValue);

	std::map<const VObject*, VJSONValue> fCopies;
	uint32 fMode;
	VStorageLocker* fLocker = nullptr;
};

} // namespace qirn
