#include "core/VWord.h"

namespace qirn {

const VValueInfo_scalar<VWord, 3, sWORD> VWord::sInfo;

} // namespace qirn
