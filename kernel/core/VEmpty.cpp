#include "core/VEmpty.h"

namespace qirn {

const VEmpty_info VEmpty_info::sInfo;

const VValueInfo* VEmpty::GetValueInfo() const
{
	return &VEmpty_info::sInfo;
}

} // namespace qirn
