#include "runtime/VNotificationDebugMessageHandler.h"

#include "core/VString.h"
#include "runtime/VDebugContext.h"
#include "runtime/VDebugMgr.h"
#include "runtime/VErrorBase.h"

namespace qirn {

int32 VNotificationDebugMessageHandler::_Ask(const VString& inTitle, const VString& inMessage)
{
	ENotificationResponse response = ENR_NONE;
	VSystem::DisplayNotification(inTitle, inMessage, kNotificationRetryIgnoreAbort, &response);
	return _TranslateNotificationResponse(response);
}

int32 VNotificationDebugMessageHandler::AssertFailed(VDebugContext& ioContext, const char* inCondition,
													 const char* inFile, int inLine)
{
	if (ioContext.fNoNotification != 0)
		return kDebugGoOn;
	VString message;
	message.Printf("Condition: %s\nFile: %s, %d", inCondition != nullptr ? inCondition : "",
				   inFile != nullptr ? inFile : "", inLine);
	return _Ask(VString("Assert Failed"), message);
}

int32 VNotificationDebugMessageHandler::ErrorThrown(VDebugContext& ioContext, VErrorBase* inError)
{
	if (ioContext.fNoNotification != 0)
		return kDebugGoOn;
	VString message("Error: ");
	if (inError != nullptr) {
		VString dump;
		inError->DumpToString(dump);
		message.AppendString(dump);
	}
	message.AppendUniChar(u'\n');
	return _Ask(VString("Error Thrown"), message);
}

int32 VNotificationDebugMessageHandler::_TranslateNotificationResponse(ENotificationResponse inResponse)
{
	switch (inResponse) {
		case ENR_ABORT:
			return VDebugMgr::Get().IsDebuggerAvailable() ? kDebugBreak : kDebugQuit;
		case ENR_RETRY:
			return kDebugGoOn;
		default:
			return kDebugIgnoreThis;
	}
}

} // namespace qirn
