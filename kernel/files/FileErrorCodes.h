#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// Kernel numbers of file and folder errors.
constexpr VError VE_FILE_BAD_NAME = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 614);

} // namespace qirn
