#include "core/StStringConverter.h"
#include "core/VString.h"
#include "host/HostNotification.h"
#include "runtime/VSystem.h"
#include "runtime/platform/XLinuxSystem.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace qirn {

namespace {

struct ButtonRow {
	const char* fTitle;
	int32 fAnswer;
};

struct ButtonSet {
	ButtonRow fDefault;
	ButtonRow fAlternate;
	ButtonRow fOther; // a null title: none
};

constexpr ButtonRow kNone{nullptr, ENR_NONE};
constexpr ButtonRow kOK{"OK", ENR_OK};
constexpr ButtonRow kCancel{"Cancel", ENR_CANCEL};
constexpr ButtonRow kYes{"Yes", ENR_YES};
constexpr ButtonRow kNo{"No", ENR_NO};

ButtonSet ButtonsForFlags(uint32 inFlags)
{
	const bool firstIsDefault = (inFlags & kNotificationFirstIsDefault) != 0;
	switch (inFlags & 15) {
		case kNotificationOKCancel:
			return firstIsDefault ? ButtonSet{kOK, kCancel, kNone} : ButtonSet{kCancel, kOK, kNone};
		case kNotificationYesNo:
			return firstIsDefault ? ButtonSet{kYes, kNo, kNone} : ButtonSet{kNo, kYes, kNone};
		case kNotificationYesNoCancel:
			switch (inFlags & (kNotificationFirstIsDefault | kNotificationNoIsDefault)) {
				case kNotificationFirstIsDefault:
					return {kYes, kNo, kCancel};
				case kNotificationNoIsDefault:
					return {kNo, kYes, kCancel};
				default:
					return {kCancel, kNo, kYes};
			}
		case kNotificationRetryIgnoreAbort:
			return {{"Retry", ENR_RETRY}, {"Ignore", ENR_IGNORE}, {"Abort", ENR_ABORT}};
		default:
			// The alert's own single button.
			return {{nullptr, ENR_OK}, kNone, kNone};
	}
}

std::string UTF8(const VString& inText)
{
	if (inText.IsNull() || inText.IsEmpty())
		return std::string();
	StStringConverter<char> converter(inText, VTC_UTF_8);
	return std::string(converter.GetCPointer(), converter.GetLength());
}

// The notifications shown without waiting, until they end or are cancelled.
// Nothing runs a loop that would be told when one ends: the list is pruned
// each time it is touched.
struct PendingNotifications {
	std::mutex fMutex;
	std::vector<std::unique_ptr<host::HostNotification>> fList;

	void PruneEndedLocked()
	{
		fList.erase(std::remove_if(fList.begin(), fList.end(), [](const auto& inShown) { return inShown->HasEnded(); }),
					fList.end());
	}
};

PendingNotifications& Pending()
{
	// Never destroyed: a notification may be shown from a thread that
	// outlives static destruction, and open dialogs outlive the process.
	static PendingNotifications* sPending = new PendingNotifications;
	return *sPending;
}

} // namespace

bool XLinuxSystem::DisplayNotification(const VString& inTitle, const VString& inMessage, uint32 inFlags,
									   int32* outResponse)
{
	host::NotificationRequest request;
	request.fCaution = (inFlags & kNotificationCaution) != 0;
	request.fIconPath = host::HostNotification::FindMainBundleIcon();
	std::string title = UTF8(inTitle);
	std::string message = UTF8(inMessage);
	if (!title.empty()) {
		request.fHeader = title;
		request.fMessage = message;
	} else {
		request.fHeader = message;
	}
	const ButtonSet buttons = ButtonsForFlags(inFlags);
	if (buttons.fDefault.fTitle != nullptr)
		request.fDefaultButton = buttons.fDefault.fTitle;
	if (buttons.fAlternate.fTitle != nullptr)
		request.fAlternateButton = buttons.fAlternate.fTitle;
	if (buttons.fOther.fTitle != nullptr)
		request.fOtherButton = buttons.fOther.fTitle;

	std::unique_ptr<host::HostNotification> shown = host::HostNotification::Show(request);
	if (shown == nullptr)
		return false;
	if (outResponse != nullptr) {
		*outResponse = ENR_NONE;
		switch (shown->WaitForPress()) {
			case host::NotificationPress::kDefault:
				*outResponse = buttons.fDefault.fAnswer;
				break;
			case host::NotificationPress::kAlternate:
				*outResponse = buttons.fAlternate.fAnswer;
				break;
			case host::NotificationPress::kOther:
				*outResponse = buttons.fOther.fAnswer;
				break;
			case host::NotificationPress::kCancelled:
				*outResponse = ENR_CANCELLED;
				break;
		}
		return true;
	}
	PendingNotifications& pending = Pending();
	std::lock_guard<std::mutex> lock(pending.fMutex);
	pending.PruneEndedLocked();
	if (!shown->HasEnded())
		pending.fList.push_back(std::move(shown));
	return true;
}

void XLinuxSystem::CancelAllPendingUserNotifications()
{
	PendingNotifications& pending = Pending();
	std::vector<std::unique_ptr<host::HostNotification>> cancelled;
	{
		std::lock_guard<std::mutex> lock(pending.fMutex);
		cancelled.swap(pending.fList);
	}
	for (auto& shown : cancelled)
		shown->Cancel();
}

} // namespace qirn
