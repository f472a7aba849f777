#include "process/ILogger.h"

namespace qirn {

const StBagKeyNoDefault ILoggerBagKeys::message("message");
const StBagKeyWithDefault<VLong, EMessageLevel> ILoggerBagKeys::level("level", EML_Information);

} // namespace qirn
