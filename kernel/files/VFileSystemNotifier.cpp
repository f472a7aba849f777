#include "files/VFileSystemNotifier.h"

#include "files/VFolder.h"
#include "files/platform/XLinuxFileSystemNotification.h"
#include "runtime/VError.h"
#include "runtime/VTask.h"

#include <algorithm>

namespace qirn {

namespace {

// Linux names are byte strings: path identity compares code units.
bool SamePath(const VFilePath& inA, const VFilePath& inB)
{
	VString a;
	VString b;
	inA.GetPath(a);
	inB.GetPath(b);
	return a.EqualToStringRaw(b);
}

} // namespace

std::atomic<VFileSystemNotifier*> VFileSystemNotifier::sInstance{nullptr};

VFileSystemNotifier::VChangeData::VChangeData(const VFilePath& inFolder, EventKind inKinds, IEventHandler* inHandler,
		VTask* inTask, XLinuxFileSystemNotification* inPlatform)
	: fFolderPath(inFolder), fEventKinds(inKinds), fHandler(inHandler), fTask(RetainRefCountable(inTask)),
	  fPlatform(inPlatform)
{
}

VFileSystemNotifier::VChangeData::~VChangeData()
{
	ReleaseRefCountable(&fTask);
}

VFileSystemNotifier::VChangeMessage::VChangeMessage(VFileSystemNotifier* inNotifier, VChangeData* inData)
	: fNotifier(inNotifier), fData(RetainRefCountable(inData))
{
}

VFileSystemNotifier::VChangeMessage::~VChangeMessage()
{
	ReleaseRefCountable(&fData);
}

void VFileSystemNotifier::VChangeMessage::DoExecute()
{
	// The stop marks the watch before it waits on the delivery lock, so a
	// message that holds the lock and finds the watch running may reach the
	// notifier: the notifier's end stops every watch first.
	StLocker<VCriticalSection> delivery(fData->fDeliveryLock);
	if (!fData->IsStopped())
		fNotifier->EventSignaledCallback(fData);
}

VFileSystemNotifier::VFileSystemNotifier() : fPlatform(std::make_unique<XLinuxFileSystemNotification>(this))
{
	VFileSystemNotifier* none = nullptr;
	sInstance.compare_exchange_strong(none, this, std::memory_order_acq_rel);
}

VFileSystemNotifier::~VFileSystemNotifier()
{
	VFileSystemNotifier* self = this;
	sInstance.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);

	std::vector<VChangeData*> watches;
	{
		StLocker<VCriticalSection> locker(fLock);
		watches.swap(fWatches);
	}
	for (size_t i = 0; i < watches.size(); ++i)
		_StopWatch(watches[i], i + 1 == watches.size());
	// The watcher thread ends here, while the notifier it reports to still
	// stands; it finds every watch stopped.
	fPlatform.reset();
	for (VChangeData* data : watches)
		data->Release();
}

VFileSystemNotifier* VFileSystemNotifier::Instance()
{
	return sInstance.load(std::memory_order_acquire);
}

VError VFileSystemNotifier::StartWatchingForChanges(const VFolder& inFolder, EventKind inKinds,
		IEventHandler* inHandler, int inLatencyMs)
{
	// The search and the start are one step under the lock: two starts of
	// the same watch never both succeed.
	StLocker<VCriticalSection> locker(fLock);
	if (_FindWatch(inFolder.GetPath(), inHandler) != nullptr) {
		_ThrowError(VE_FS_NOTIFIER_ALREADY_WATCHED);
		return VE_FS_NOTIFIER_ALREADY_WATCHED;
	}
	VChangeData* data = nullptr;
	const VError error = fPlatform->StartWatchingForChanges(inFolder, inKinds, inHandler, inLatencyMs, &data);
	if (data != nullptr)
		data->Release(); // the list holds it
	return error;
}

VError VFileSystemNotifier::StopWatchingForChanges(const VFolder& inFolder, IEventHandler* inHandler)
{
	VChangeData* data = nullptr;
	bool last = false;
	{
		StLocker<VCriticalSection> locker(fLock);
		data = _FindWatch(inFolder.GetPath(), inHandler);
		if (data == nullptr) {
			_ThrowError(VE_FS_NOTIFIER_NOT_WATCHED);
			return VE_FS_NOTIFIER_NOT_WATCHED;
		}
		fWatches.erase(std::find(fWatches.begin(), fWatches.end(), data));
		last = fWatches.empty();
	}
	_StopWatch(data, last);
	data->Release();
	return VE_OK;
}

void VFileSystemNotifier::_StopWatch(VChangeData* inData, bool inLastWatch)
{
	{
		StLocker<VCriticalSection> locker(fLock);
		inData->fStopped.store(true, std::memory_order_release);
		inData->fPendingChanges.clear();
	}
	fPlatform->StopWatchingForChanges(inData, inLastWatch);
	// A delivery running on another task ends before the stop returns; on
	// the watch's own task (a handler that stops its watch) this is the
	// lock it already holds.
	StLocker<VCriticalSection> delivery(inData->fDeliveryLock);
}

VFileSystemNotifier::VChangeData* VFileSystemNotifier::_FindWatch(const VFilePath& inFolder,
		IEventHandler* inHandler) const
{
	for (VChangeData* data : fWatches) {
		if (data->fHandler == inHandler && SamePath(data->fFolderPath, inFolder))
			return data;
	}
	return nullptr;
}

void VFileSystemNotifier::PushChangeData(VChangeData* inData)
{
	StLocker<VCriticalSection> locker(fLock);
	fWatches.push_back(RetainRefCountable(inData));
}

void VFileSystemNotifier::AddChangeToList(VChangeData* inData, const VFilePath& inPath, EventKind inKind)
{
	if ((inData->fEventKinds & inKind) == 0)
		return;
	StLocker<VCriticalSection> locker(fLock);
	if (!inData->IsStopped())
		inData->fPendingChanges.emplace_back(inPath, inKind);
}

void VFileSystemNotifier::SignalChange(VChangeData* inData)
{
	if (inData->IsStopped() || inData->fTask == nullptr)
		return;
	VChangeMessage* message = new VChangeMessage(this, inData);
	message->PostTo(inData->fTask, false);
	message->Release();
}

void VFileSystemNotifier::EventSignaledCallback(VChangeData* inData)
{
	StLocker<VCriticalSection> delivery(inData->fDeliveryLock);
	std::vector<std::pair<VFilePath, EventKind>> changes;
	{
		StLocker<VCriticalSection> locker(fLock);
		if (inData->IsStopped())
			return;
		changes.swap(inData->fPendingChanges);
	}

	// Runs of one kind go to the handler together, a repeated path once. A handler
	// that stops the watch gets no further run.
	std::vector<VFilePath> group;
	EventKind groupKind = kModified;
	auto deliver = [&]() {
		if (!group.empty() && !inData->IsStopped())
			inData->fHandler->FileSystemEventHandler(group, groupKind);
		group.clear();
	};
	for (const auto& [path, kind] : changes) {
		if (kind != groupKind) {
			deliver();
			groupKind = kind;
		}
		if (group.empty() || !SamePath(group.back(), path))
			group.push_back(path);
	}
	deliver();
}

} // namespace qirn
