#include "runtime/VMessageQueue.h"

#include "runtime/VMessage.h"
#include "runtime/VMessagingContext.h"
#include "runtime/VSyncEvent.h"

#include <algorithm>
#include <vector>

namespace qirn {

VMessageQueue::VMessageQueue() : fEvent(new VSyncEvent) {}

VMessageQueue::~VMessageQueue()
{
	CancelMessages();
	fEvent->Release();
}

bool VMessageQueue::AddMessage(VMessage* inMessage)
{
	if (inMessage == nullptr)
		return false;
	const uint32 signature = inMessage->GetCoalescingSignature();
	// The scan and the append under one lock: two posts with the same
	// signature at once queue one message.
	StLocker<VCriticalSection> lock(fLock);
	if (fClosed)
		return false;
	if (signature != 0) {
		for (VMessage* queued : fMessages) {
			if (queued->GetCoalescingSignature() == signature) {
				if (!queued->DoCoalesce(*inMessage))
					return false;
				break;
			}
		}
	}
	if (fMessages.empty())
		fEvent->Unlock();
	++fStamp;
	inMessage->Retain();
	fMessages.push_back(inMessage);
	return true;
}

void VMessageQueue::_ResetIfIdle()
{
	if (fMessages.empty() && !fSignalled)
		fEvent->Reset();
}

VMessage* VMessageQueue::RetainMessage()
{
	StLocker<VCriticalSection> lock(fLock);
	if (fMessages.empty())
		return nullptr;
	VMessage* message = fMessages.front();
	fMessages.pop_front();
	_ResetIfIdle();
	return message;
}

VMessage* VMessageQueue::RetainMessageWithTimeout(int32 inTimeoutMilliseconds, bool* outTimedOut)
{
	const bool woken = fEvent->Lock(inTimeoutMilliseconds);
	bool timedOut = false;
	VMessage* message = nullptr;
	{
		StLocker<VCriticalSection> lock(fLock);
		if (fSignalled) {
			fSignalled = false;
			_ResetIfIdle();
		} else if (!fMessages.empty()) {
			message = fMessages.front();
			fMessages.pop_front();
			_ResetIfIdle();
		} else {
			timedOut = !woken;
		}
	}
	if (outTimedOut != nullptr)
		*outTimedOut = timedOut;
	return message;
}

bool VMessageQueue::Wait(int32 inTimeoutMilliseconds)
{
	fEvent->Lock(inTimeoutMilliseconds);
	StLocker<VCriticalSection> lock(fLock);
	fSignalled = false;
	_ResetIfIdle();
	return true;
}

void VMessageQueue::SetEvent()
{
	StLocker<VCriticalSection> lock(fLock);
	++fStamp;
	fSignalled = true;
	fEvent->Unlock();
}

uint32 VMessageQueue::GetStamp() const
{
	StLocker<VCriticalSection> lock(fLock);
	return fStamp;
}

template <class Predicate>
void VMessageQueue::_CancelIf(Predicate inPredicate)
{
	// Aborting wakes senders and releasing may destroy messages: both after
	// the lock.
	std::vector<VMessage*> removed;
	{
		StLocker<VCriticalSection> lock(fLock);
		std::deque<VMessage*> kept;
		for (VMessage* message : fMessages)
			(inPredicate(message) ? removed.push_back(message) : kept.push_back(message));
		fMessages.swap(kept);
		_ResetIfIdle();
	}
	for (VMessage* message : removed) {
		message->Abort();
		message->Release();
	}
}

void VMessageQueue::CancelMessages(IMessageable* inTarget)
{
	_CancelIf([inTarget](VMessage* inMessage) { return inMessage->_IsFor(inTarget); });
}

void VMessageQueue::CancelMessages()
{
	_CancelIf([](VMessage*) { return true; });
}

void VMessageQueue::_CloseAndCancel()
{
	{
		StLocker<VCriticalSection> lock(fLock);
		fClosed = true;
	}
	CancelMessages();
}

bool VMessageQueue::RemoveMessage(VMessage* inMessage)
{
	{
		StLocker<VCriticalSection> lock(fLock);
		auto found = std::find(fMessages.begin(), fMessages.end(), inMessage);
		if (found == fMessages.end())
			return false;
		fMessages.erase(found);
		_ResetIfIdle();
	}
	inMessage->Release();
	return true;
}

int32 VMessageQueue::CountMessages() const
{
	StLocker<VCriticalSection> lock(fLock);
	return static_cast<int32>(fMessages.size());
}

bool VMessageQueue::IsEmpty() const
{
	StLocker<VCriticalSection> lock(fLock);
	return fMessages.empty();
}

} // namespace qirn
