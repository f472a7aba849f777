#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// Each level is a bit position in a logger's mask of the levels it takes.
enum EMessageLevel : uint32 {
	EML_Dump = 0,
	EML_Trace = 1,
	EML_Assert = 2,
	EML_Debug = 3,
	EML_Information = 4,
	EML_Warning = 5,
	EML_Error = 6,
	EML_Fatal = 7,
};

// The mask a logger starts with: INFO, WARN, ERROR and FATAL.
constexpr uint32 kDefaultMessageLevelMask = 0xF0;

// "DUMP" to "FATAL" for levels 0 to 7. Any other level, a negative one read
// from an entry included, is written "INFO", as an entry without a level is.
const char* GetMessageLevelName(EMessageLevel inLevel);

} // namespace qirn
