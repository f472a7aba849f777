#pragma once

#include "core/VObject.h"
#include "runtime/IDebugMessageHandler.h"
#include "runtime/VSystem.h"

namespace qirn {

// Asks the user what follows a failed assertion or a thrown error, through a
// Retry/Ignore/Abort notification: Retry goes on, Abort breaks (or quits
// without a debugger) and anything else ignores that report from now on.
// A task whose debug context refuses notifications goes on without asking.
class VNotificationDebugMessageHandler : public VObject, public IDebugMessageHandler {
public:
	int32 AssertFailed(VDebugContext& ioContext, const char* inCondition, const char* inFile, int inLine) override;
	int32 ErrorThrown(VDebugContext& ioContext, VErrorBase* inError) override;

	static int32 _TranslateNotificationResponse(ENotificationResponse inResponse);

private:
	static int32 _Ask(const VString& inTitle, const VString& inMessage);
};

} // namespace qirn
