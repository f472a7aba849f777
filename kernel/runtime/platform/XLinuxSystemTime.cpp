#include "runtime/platform/XLinuxSystem.h"

#include <ctime>
#include <limits>

namespace qirn {

void XLinuxSystem::ResetTimeZone()
{
	// localtime_r reads TZ only once; tzset makes it read the zone again.
	::tzset();
}

int64 XLinuxSystem::GetRealTimeMilliseconds()
{
	timespec now{};
	::clock_gettime(CLOCK_REALTIME, &now);
	return static_cast<int64>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int32 XLinuxSystem::GetZoneOffset(int64 inSeconds, bool* outDaylight)
{
	time_t moment = static_cast<time_t>(inSeconds);
	tm parts{};
	if (::localtime_r(&moment, &parts) == nullptr) {
		*outDaylight = false;
		return 0;
	}
	*outDaylight = parts.tm_isdst > 0;
	return static_cast<int32>(parts.tm_gmtoff);
}

int64 XLinuxSystem::FindNextZoneChange(int64 inFrom, int64 inLimit)
{
	bool daylight = false;
	int32 offset = GetZoneOffset(inFrom, &daylight);
	auto changed = [&](int64 inSeconds) {
		bool otherDaylight = false;
		int32 otherOffset = GetZoneOffset(inSeconds, &otherDaylight);
		return otherOffset != offset || otherDaylight != daylight;
	};
	// Zones change at most a few times a year and never twice in a day:
	// walk by days, then narrow the day down to the second.
	constexpr int64 kDay = 86400;
	int64 before = inFrom;
	int64 after = inFrom;
	bool found = false;
	while (!found && after < inLimit) {
		after = inLimit - before > kDay ? before + kDay : inLimit;
		found = changed(after);
		if (!found)
			before = after;
	}
	if (!found)
		return inLimit;
	while (after - before > 1) {
		int64 middle = before + (after - before) / 2;
		if (changed(middle))
			after = middle;
		else
			before = middle;
	}
	return after;
}

bool XLinuxSystem::FieldsToSeconds(const sWORD inDateTime[7], bool inLocal, int64& outSeconds)
{
	tm parts{};
	parts.tm_year = inDateTime[0] - 1900;
	parts.tm_mon = inDateTime[1] - 1;
	parts.tm_mday = inDateTime[2];
	parts.tm_hour = inDateTime[3];
	parts.tm_min = inDateTime[4];
	parts.tm_sec = inDateTime[5];
	parts.tm_isdst = -1;
	// Both calls answer -1 for failure and for the last second of 1969
	// alike; a week day left untouched tells them apart.
	parts.tm_wday = -1;
	time_t seconds = inLocal ? ::mktime(&parts) : ::timegm(&parts);
	if (parts.tm_wday == -1)
		return false;
	outSeconds = static_cast<int64>(seconds);
	return true;
}

bool XLinuxSystem::SecondsToFields(int64 inSeconds, bool inLocal, sWORD outDateTime[7])
{
	time_t moment = static_cast<time_t>(inSeconds);
	tm parts{};
	if ((inLocal ? ::localtime_r(&moment, &parts) : ::gmtime_r(&moment, &parts)) == nullptr)
		return false;
	long long year = static_cast<long long>(parts.tm_year) + 1900;
	if (year < std::numeric_limits<sWORD>::min() || year > std::numeric_limits<sWORD>::max())
		return false;
	outDateTime[0] = static_cast<sWORD>(year);
	outDateTime[1] = static_cast<sWORD>(parts.tm_mon + 1);
	outDateTime[2] = static_cast<sWORD>(parts.tm_mday);
	outDateTime[3] = static_cast<sWORD>(parts.tm_hour);
	outDateTime[4] = static_cast<sWORD>(parts.tm_min);
	// A leap second of a zone that counts them reads as the 59th.
	outDateTime[5] = static_cast<sWORD>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
	outDateTime[6] = 0;
	return true;
}

} // namespace qirn
