#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// A plug-in component, made by a creator registered with the component
// manager or by a component library. Its implementations lie outside the
// kernel, so the order of these operations is part of the contract.
class CComponent {
public:
	virtual sLONG Retain(const char* inDebugInfo = nullptr) = 0;
	virtual sLONG Release(const char* inDebugInfo = nullptr) = 0;
	// Holds the place of an operation the manager never calls, so that those
	// below keep their positions.
	virtual void _Reserved() {}
	// The requirements block (see VComponentManager), allocated with
	// VMemory::NewPtr; the caller disposes of it. Null for none.
	virtual void* GetRequirements() = 0;
	virtual OsType GetComponentType() = 0;
	virtual OsType GetComponentFamily() = 0;

protected:
	// Components go through Release.
	~CComponent() = default;
};

} // namespace qirn
