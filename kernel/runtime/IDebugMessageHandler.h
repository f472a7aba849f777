#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"

namespace qirn {

class VDebugContext;
class VErrorBase;

// Decides what follows a failed assertion or a thrown error. Any answer
// other than the ones below counts as kDebugGoOn.
enum EDebugAnswer : int32 {
	kDebugGoOn = 0,
	kDebugBreak = 1,
	kDebugQuit = 2,
	kDebugIgnoreThis = 3, // this assertion, or this error code, from now on
	kDebugIgnoreAll = 4,  // every assertion, or every error, from now on
};

class IDebugMessageHandler : public IRefCountable {
public:
	virtual int32 AssertFailed(VDebugContext& ioContext, const char* inCondition, const char* inFile, int inLine) = 0;
	virtual int32 ErrorThrown(VDebugContext& ioContext, VErrorBase* inError) = 0;
};

} // namespace qirn
