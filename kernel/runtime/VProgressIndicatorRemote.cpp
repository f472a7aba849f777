// The indicator's mirroring between processes: the sender's snapshot of its
// stack and the receiver's update from it.
#include "runtime/VProgressIndicator.h"

namespace qirn {

bool VProgressIndicator::GetProgressInfo(VRemoteProgressSessionInfo& outInfo,
										 const VRemoteProgressSessionInfo* inPrevious)
{
	// An observer never waits for a busy worker.
	if (!fLock.TryToLock())
		return false;
	uint32 changes = GetChangesVersion();
	if (inPrevious != nullptr && changes == inPrevious->fChangesVersion) {
		fLock.Unlock();
		return false;
	}
	using Remote = VRemoteProgressSessionInfo;
	int32 count = GetSessionCount();
	bool userAbort = IsUserAbort();
	bool canInterrupt = CanInterrupt();
	uint32 flags = Remote::kHasCount | Remote::kHasChangesVersion | Remote::kHasSessionVersion |
				   Remote::kHasMasterSessionVersion;
	bool full = true;
	if (inPrevious == nullptr) {
		flags |= Remote::kHasUserAbort | Remote::kHasCanInterrupt;
	} else {
		if (userAbort != inPrevious->fUserAbort)
			flags |= Remote::kHasUserAbort;
		if (canInterrupt != inPrevious->fCanInterrupt)
			flags |= Remote::kHasCanInterrupt;
		// A new outermost session may start within the millisecond of the
		// one before: its session version tells it apart.
		full = count != inPrevious->fSessionCount || GetSessionVersion() != inPrevious->fSessionVersion ||
			   (count >= 1 && (inPrevious->fStack.empty() ||
							   fCurrent.GetStartTime() != inPrevious->fStack.back().GetStartTime()));
	}
	outInfo.fSessionCount = count;
	outInfo.fChangesVersion = changes;
	outInfo.fMasterSessionVersion = fMasterSessionVersion;
	outInfo.fSessionVersion = GetSessionVersion();
	outInfo.fUserAbort = userAbort;
	outInfo.fCanInterrupt = canInterrupt;
	outInfo.fStack.clear();
	if (full) {
		flags |= Remote::kHasStack;
		if (count > 0) {
			outInfo.fStack.assign(fSaved.begin(), fSaved.end());
			outInfo.fStack.push_back(fCurrent);
		}
	} else {
		flags |= Remote::kHasCurrentOnly;
		outInfo.fStack.push_back(fCurrent);
	}
	outInfo.fFlags = flags;
	fLock.Unlock();
	return true;
}

void VProgressIndicator::_PushRemoteInfo(const VProgressIndicatorInfo& inInfo)
{
	int32 count = GetSessionCount();
	if (count > 0)
		fSaved.push_back(fCurrent);
	fCurrent = inInfo;
	fSessionCount.store(count + 1, std::memory_order_release);
	DoBeginSession(count + 1);
}

void VProgressIndicator::UpdateFromRemoteInfo(const VRemoteProgressSessionInfo& inRemote)
{
	using Remote = VRemoteProgressSessionInfo;
	StLocker<VCriticalSection> lock(fLock);
	uint32 flags = inRemote.fFlags;
	if ((flags & Remote::kHasUserAbort) && !IsUserAbort() && inRemote.fUserAbort)
		SetUserAbort(true);
	if (flags & Remote::kHasCanInterrupt)
		fCanInterrupt.store(inRemote.fCanInterrupt, std::memory_order_relaxed);

	if (!fRemoteSessionOpen.load(std::memory_order_relaxed)) {
		if (inRemote.fSessionCount == 0 || !(flags & Remote::kHasStack))
			return;
		fRemoteBaseLevel = GetSessionCount();
		if (fRemoteBaseLevel == 0)
			fSessionVersion.store(inRemote.fSessionVersion, std::memory_order_relaxed);
		fMasterSessionVersion = inRemote.fSessionVersion;
		fChangesVersion.store(inRemote.fChangesVersion, std::memory_order_relaxed);
		for (const VProgressIndicatorInfo& info : inRemote.fStack)
			_PushRemoteInfo(info);
		fRemoteSessionOpen.store(true, std::memory_order_relaxed);
		return;
	}
	if (inRemote.fSessionCount == 0) {
		_CloseDownTo(fRemoteBaseLevel);
		fRemoteSessionOpen.store(false, std::memory_order_relaxed);
		return;
	}
	if (fRemoteBaseLevel > 0 && inRemote.fMasterSessionVersion != GetSessionVersion()) {
		// The local sessions below the mirror have moved on.
		_CloseDownTo(fRemoteBaseLevel);
		fRemoteSessionOpen.store(false, std::memory_order_relaxed);
		return;
	}
	if (flags & Remote::kHasCurrentOnly) {
		if (GetChangesVersion() == inRemote.fChangesVersion || inRemote.fStack.empty())
			return;
		fCurrent.UpdateFromRemoteInfo(inRemote.fStack.back());
		fChangesVersion.store(inRemote.fChangesVersion, std::memory_order_relaxed);
		return;
	}
	if (!(flags & Remote::kHasStack))
		return;
	if (inRemote.fSessionVersion != fMasterSessionVersion) {
		_CloseDownTo(fRemoteBaseLevel);
		fSessionVersion.store(inRemote.fSessionVersion, std::memory_order_relaxed);
		// Kept as the version mirrored now: otherwise every later form of
		// these same sessions would tear the mirror down and build it again.
		fMasterSessionVersion = inRemote.fSessionVersion;
		fChangesVersion.store(inRemote.fChangesVersion, std::memory_order_relaxed);
		for (const VProgressIndicatorInfo& info : inRemote.fStack)
			_PushRemoteInfo(info);
		return;
	}
	if (GetChangesVersion() == inRemote.fChangesVersion)
		return;
	// The same remote sessions: each mirrored level takes the received info
	// at its position; a stack of another depth is mirrored afresh.
	size_t mirrored = static_cast<size_t>(GetSessionCount() - fRemoteBaseLevel);
	if (mirrored != inRemote.fStack.size()) {
		_CloseDownTo(fRemoteBaseLevel);
		for (const VProgressIndicatorInfo& info : inRemote.fStack)
			_PushRemoteInfo(info);
	} else if (mirrored > 0) {
		fCurrent = inRemote.fStack.back();
		size_t base = static_cast<size_t>(fRemoteBaseLevel);
		for (size_t i = 0; i + 1 < mirrored; ++i)
			fSaved[base + i] = inRemote.fStack[i];
	}
	fChangesVersion.store(inRemote.fChangesVersion, std::memory_order_relaxed);
}

} // namespace qirn
