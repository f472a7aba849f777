#include "process/EMessageLevel.h"

namespace qirn {

const char* GetMessageLevelName(EMessageLevel inLevel)
{
	static constexpr const char* kNames[] = {"DUMP", "TRACE", "ASSERT", "DEBUG", "INFO", "WARN", "ERROR", "FATAL"};
	const uint32 level = static_cast<uint32>(inLevel);
	return level < 8 ? kNames[level] : "INFO";
}

} // namespace qirn
