#include "core/VLong.h"

namespace qirn {

const VValueInfo_scalar<VLong, 4, sLONG> VLong::sInfo;

} // namespace qirn
