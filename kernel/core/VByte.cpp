#include "core/VByte.h"

namespace qirn {

const VValueInfo_scalar<VByte, 2, sBYTE> VByte::sInfo;

} // namespace qirn
