#include "runtime/VSystem.h"

#include "core/VString.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/platform/XLinuxSystem.h"

#include <mutex>
#include <string>

namespace qirn {

namespace {

VJSONValue Text(const std::string& inText)
{
	VString text;
	text.FromBlock(inText.data(), inText.size(), VTC_UTF_8);
	return VJSONValue(text);
}

void Set(VJSONValue& ioObject, const char* inName, const VJSONValue& inValue)
{
	ioObject.GetObject()->SetProperty(VString(inName), inValue);
}

// The byte totals of the previous call, and when it was made.
struct NetworkRatesState {
	std::mutex fMutex;
	bool fHasPrevious = false;
	uint64 fMilliseconds = 0;
	double fReceived = 0;
	double fSent = 0;
};

NetworkRatesState& NetworkRates()
{
	static NetworkRatesState* sState = new NetworkRatesState;
	return *sState;
}

} // namespace

void VSystem::GetNetworkAdaptersInformations(VJSONArray& ioArray)
{
	std::vector<XLinuxSystem::Adapter> adapters;
	XLinuxSystem::ReadAdapters(adapters);
	for (const XLinuxSystem::Adapter& adapter : adapters) {
		VJSONValue addresses(JSON_array);
		for (const XLinuxSystem::AdapterAddress& address : adapter.fAddresses) {
			VJSONValue entry(JSON_object);
			Set(entry, "ip", Text(address.fAddress));
			Set(entry, "type", Text(address.fIPv6 ? "ipv6" : "ipv4"));
			addresses.GetArray()->Push(entry);
		}
		VJSONValue object(JSON_object);
		Set(object, "type", Text(adapter.fType));
		// Linux gives interfaces no display name: the name is the one to show.
		Set(object, "name", Text(adapter.fName));
		Set(object, "ipAddresses", addresses);
		ioArray.Push(object);
	}
}

void VSystem::GetDiskPartitionsInfos(VJSONArray& ioArray)
{
	std::vector<XLinuxSystem::Volume> volumes;
	XLinuxSystem::ReadVolumes(volumes);
	for (const XLinuxSystem::Volume& volume : volumes) {
		VJSONValue object(JSON_object);
		Set(object, "mountPoint", Text(volume.fMountPoint));
		Set(object, "capacity", VJSONValue(volume.fCapacity));
		Set(object, "available", VJSONValue(volume.fAvailable));
		Set(object, "filesystem", Text(volume.fFileSystem));
		Set(object, "name", Text(volume.fName));
		VJSONValue disk(JSON_object);
		Set(disk, "interface", Text(volume.fInterface));
		Set(disk, "description", Text(volume.fDescription));
		if (volume.fNetwork) {
			Set(disk, "identifier", Text(""));
			Set(disk, "size", VJSONValue(volume.fSize));
		} else {
			Set(disk, "size", VJSONValue(volume.fSize));
			Set(disk, "identifier", Text(volume.fIdentifier));
		}
		Set(object, "disk", disk);
		ioArray.Push(object);
	}
}

bool VSystem::GetInOutNetworkStats(std::vector<Real>& outRates)
{
	outRates.clear();
	double received = 0, sent = 0;
	// Timed on the monotonic clock: a change of the wall clock between two
	// calls would give negative or huge rates.
	const uint64 now = XLinuxSystem::GetMonotonicNanoseconds() / 1000000ull;
	if (!XLinuxSystem::ReadNetworkByteTotals(received, sent))
		return false;
	NetworkRatesState& state = NetworkRates();
	std::lock_guard<std::mutex> lock(state.fMutex);
	bool answered = false;
	if (state.fHasPrevious && now > state.fMilliseconds && received >= state.fReceived && sent >= state.fSent) {
		const double milliseconds = static_cast<double>(now - state.fMilliseconds);
		outRates.push_back((received - state.fReceived) / milliseconds * 1000.0);
		outRates.push_back((sent - state.fSent) / milliseconds * 1000.0);
		answered = true;
	}
	state.fHasPrevious = true;
	state.fMilliseconds = now;
	state.fReceived = received;
	state.fSent = sent;
	return answered;
}

} // namespace qirn
