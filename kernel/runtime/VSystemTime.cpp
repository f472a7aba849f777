#include "runtime/VSystem.h"

#include "runtime/platform/XLinuxSystem.h"

#include <atomic>

namespace qirn {

namespace {

std::atomic<sLONG> sGMTOffset{0};
std::atomic<sLONG> sGMTOffsetWithDayLight{0};
std::atomic<bool> sGMTOffsetValid{false};
// The second (from 1970 UTC) at which the zone next changes its offset:
// from then on the offsets kept are stale. A daylight-saving change needs no
// timer on a run loop this way, and is seen by a process that runs none.
std::atomic<int64> sGMTOffsetValidUntil{0};

// How far ahead a change of offset is looked for; a zone without one in
// that span is looked at again when it ends.
constexpr int64 kZoneChangeHorizon = 400LL * 86400;

// Whole seconds, rounded down also before 1970.
int64 SecondsOf(int64 inMilliseconds)
{
	return inMilliseconds >= 0 ? inMilliseconds / 1000 : (inMilliseconds - 999) / 1000;
}

int64 NowInSeconds()
{
	return SecondsOf(XLinuxSystem::GetRealTimeMilliseconds());
}

void ConvertDateTime(sWORD ioDateTime[7], bool inFromLocal)
{
	if (ioDateTime[0] == 0 && ioDateTime[1] == 0 && ioDateTime[3] == 0)
		return;
	int64 seconds = 0;
	sWORD converted[7];
	if (!XLinuxSystem::FieldsToSeconds(ioDateTime, inFromLocal, seconds) ||
		!XLinuxSystem::SecondsToFields(seconds, !inFromLocal, converted))
		return;
	for (int i = 0; i < 6; ++i)
		ioDateTime[i] = converted[i];
}

void GetSystemTime(sWORD outDateTime[7], bool inLocal)
{
	int64 milliseconds = XLinuxSystem::GetRealTimeMilliseconds();
	int64 seconds = SecondsOf(milliseconds);
	if (!XLinuxSystem::SecondsToFields(seconds, inLocal, outDateTime))
		return;
	outDateTime[6] = static_cast<sWORD>(milliseconds - seconds * 1000);
}

} // namespace

sLONG VSystem::GetGMTOffset(bool inWithDaylight)
{
	if (!sGMTOffsetValid.load(std::memory_order_acquire) ||
		NowInSeconds() >= sGMTOffsetValidUntil.load(std::memory_order_acquire)) {
		UpdateGMTOffset();
		sGMTOffsetValid.store(true, std::memory_order_release);
	}
	return inWithDaylight ? sGMTOffsetWithDayLight.load(std::memory_order_acquire)
						  : sGMTOffset.load(std::memory_order_acquire);
}

void VSystem::UpdateGMTOffset()
{
	int64 now = NowInSeconds();
	bool daylight = false;
	sLONG offset = XLinuxSystem::GetZoneOffset(now, &daylight);
	sGMTOffsetWithDayLight.store(offset, std::memory_order_release);
	sGMTOffset.store(daylight ? offset - 3600 : offset, std::memory_order_release);
	sGMTOffsetValidUntil.store(XLinuxSystem::FindNextZoneChange(now, now + kZoneChangeHorizon),
							   std::memory_order_release);
}

void VSystem::SystemDateTimeChanged()
{
	XLinuxSystem::ResetTimeZone();
	UpdateGMTOffset();
}

void VSystem::LocalToUTCTime(sWORD ioDateTime[7])
{
	ConvertDateTime(ioDateTime, true);
}

void VSystem::UTCToLocalTime(sWORD ioDateTime[7])
{
	ConvertDateTime(ioDateTime, false);
}

void VSystem::GetSystemUTCTime(sWORD outDateTime[7])
{
	GetSystemTime(outDateTime, false);
}

void VSystem::GetSystemLocalTime(sWORD outDateTime[7])
{
	GetSystemTime(outDateTime, true);
}

} // namespace qirn
