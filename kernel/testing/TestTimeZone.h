#pragma once

// Tests of local time run in a zone they choose, so that daylight-saving
// cases give the same answers on every machine, whatever its own zone.

#include "runtime/VSystem.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace qirn::testing {

// Paris: UTC+1, and UTC+2 from the last Sunday of March (01:00 UTC) to the
// last Sunday of October (01:00 UTC). Without the zone database the same
// rules are given as a POSIX zone, which agrees with it from 1996 on.
inline const char* ParisZone()
{
	return ::access("/usr/share/zoneinfo/Europe/Paris", R_OK) == 0 ? "Europe/Paris" : "CET-1CEST,M3.5.0,M10.5.0/3";
}

// Sets TZ for its scope and tells the system, then puts the old zone back.
class StTimeZone {
public:
	explicit StTimeZone(const char* inZone)
	{
		const char* previous = std::getenv("TZ");
		fHadPrevious = previous != nullptr;
		if (fHadPrevious)
			fPrevious = previous;
		::setenv("TZ", inZone, 1);
		VSystem::SystemDateTimeChanged();
	}
	~StTimeZone()
	{
		if (fHadPrevious)
			::setenv("TZ", fPrevious.c_str(), 1);
		else
			::unsetenv("TZ");
		VSystem::SystemDateTimeChanged();
	}
	StTimeZone(const StTimeZone&) = delete;
	StTimeZone& operator=(const StTimeZone&) = delete;

private:
	bool fHadPrevious = false;
	std::string fPrevious;
};

// Fixtures: TEST_F(InParis, ...) and TEST_F(InUTC, ...).
class InParis : public ::testing::Test {
private:
	StTimeZone fZone{ParisZone()};
};

class InUTC : public ::testing::Test {
private:
	StTimeZone fZone{"UTC"};
};

} // namespace qirn::testing
