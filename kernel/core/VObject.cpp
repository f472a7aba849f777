#include "core/VObject.h"

#include "core/VString.h"

namespace qirn {

CharSet VObject::DebugDump(char*, int32& ioSize) const
{
	ioSize = 0;
	return VTC_UTF_8;
}

void VObject::DebugDump(VString& outDump) const
{
	// Aligned for dumps written as UTF-16 units.
	alignas(8) char buffer[1024];
	int32 size = sizeof(buffer);
	CharSet charSet = DebugDump(buffer, size);
	if (size < 0 || size > static_cast<int32>(sizeof(buffer)))
		size = 0;
	outDump.FromBlock(buffer, static_cast<VSize>(size), charSet);
}

void VObject::DebugGetClassName(VString& outName) const
{
	outName.Clear();
}

} // namespace qirn
