#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "bags_xml/StBagKeyNoDefault.h"
#include "bags_xml/StBagKeyWithDefault.h"
#include "core/VLong.h"

namespace qirn {

class VErrorBase;
class VValueBag;

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

// Attributes of a log entry. An entry without "level" is an information one.
namespace ILoggerBagKeys {
extern const StBagKeyNoDefault message;
extern const StBagKeyWithDefault<VLong, EMessageLevel> level;
} // namespace ILoggerBagKeys

// The process logger, as the kernel's reporters see it: the debug manager
// hands it thrown errors, failed assertions and debug messages. The process
// has none until one is installed (VProcess::SetLogger).
class ILogger : public IRefCountable {
public:
	// Whether entries of the level are taken now.
	virtual bool ShouldLog(EMessageLevel inLevel) const = 0;
	// Queues an entry (not null); one the logger does not take is dropped.
	virtual void LogBag(const VValueBag* inBag) = 0;
	// A thrown error, as an entry of level ERROR when that level is taken.
	virtual void LogErrorIfNecessary(VErrorBase* inError) = 0;
	// A failed assertion, as an entry of level ASSERT when that level is taken.
	virtual void LogAssertIfNecessary(const char* inCondition, const char* inFile, int inLine) = 0;
};

} // namespace qirn
