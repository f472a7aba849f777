#include "core/VObject.h"

namespace qirn {

CharSet VObject::DebugDump(char*, int32& ioSize) const
{
	ioSize = 0;
	return VTC_UTF_8;
}

} // namespace qirn
