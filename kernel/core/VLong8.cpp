#include "core/VLong8.h"

namespace qirn {

const VValueInfo_scalar<VLong8, 5, sLONG8> VLong8::sInfo;

} // namespace qirn
