#pragma once

#include "core/CharSet.h"
#include "core/VKernelTypes.h"

namespace qirn {

class VCppMemMgr;
class VString;

// Root class of kernel objects. It has no fields; it carries the debug dump
// and the process-wide memory manager every raw buffer of the kernel uses.
class VObject {
public:
	VObject() = default;
	virtual ~VObject() = default;

	// Describes the object into ioBuffer (ioSize bytes of room; set to the
	// bytes written) and answers their character set.
	virtual CharSet DebugDump(char* ioBuffer, int32& ioSize) const;

	// Classes that override the buffer form bring this one back into scope
	// with a using-declaration.
	void DebugDump(VString& outDump) const;
	// The kernel keeps no class names: the string is left empty.
	void DebugGetClassName(VString& outName) const;

	static VCppMemMgr* sCppMemMgr;
};

} // namespace qirn
