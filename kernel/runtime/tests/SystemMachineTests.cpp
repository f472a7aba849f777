#include "core/StStringConverter.h"
#include "core/VString.h"
#include "runtime/VSystem.h"
#include "testing/ProbeOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <pwd.h>
#include <string>
#include <sys/utsname.h>
#include <unistd.h>

namespace qirn {
namespace {

std::string UTF8(const VString& inText)
{
	StStringConverter<char> converter(inText, VTC_UTF_8);
	return std::string(converter.GetCPointer(), converter.GetLength());
}

std::string KernelRelease()
{
	utsname names{};
	return ::uname(&names) == 0 ? std::string(names.release) : std::string();
}

// "14.5.0": three numbers and two dots.
bool IsThreeNumbers(const std::string& inText)
{
	int dots = 0;
	bool digit = false;
	for (char c : inText) {
		if (c == '.') {
			if (!digit)
				return false;
			++dots;
			digit = false;
		} else if (c >= '0' && c <= '9') {
			digit = true;
		} else {
			return false;
		}
	}
	return dots == 2 && digit;
}

// The versions named are macOS ones: every one, and any other number, holds.
TEST(SystemMachine, EverySystemVersionHolds)
{
	for (int32 version : {10, 11, 14, 18, 22, 23, 0, -1}) {
		SCOPED_TRACE(version);
		EXPECT_TRUE(VSystem::IsSystemVersionOrAbove(static_cast<SystemVersion>(version)));
	}
	EXPECT_EQ(VSystem::MAC_GetSystemVersionDecimal(), 0);
}

TEST(SystemMachine, OSNamesAndBuild)
{
	VString full;
	VSystem::GetFullOSName(full);
	const std::string text = UTF8(full);
	// Three version numbers always, then the build in parentheses.
	const size_t open = text.rfind(" (");
	ASSERT_NE(open, std::string::npos) << text;
	const size_t space = text.rfind(' ', open - 1);
	ASSERT_NE(space, std::string::npos) << text;
	EXPECT_TRUE(IsThreeNumbers(text.substr(space + 1, open - space - 1))) << text;
	EXPECT_GT(space, 0u) << text; // a name comes first
	EXPECT_NE(text.find("(" + KernelRelease() + ")"), std::string::npos) << text;

	VString build("unchanged");
	VSystem::GetSystemBuildNumber(build);
	EXPECT_EQ(UTF8(build), KernelRelease());

	VString version;
	VSystem::GetOSVersionString(version);
	EXPECT_FALSE(version.IsEmpty());
	std::ifstream release("/etc/os-release");
	for (std::string line; std::getline(release, line);) {
		if (line.rfind("PRETTY_NAME=", 0) == 0) {
			std::string value = line.substr(12);
			if (value.size() >= 2 && value.front() == '"')
				value = value.substr(1, value.size() - 2);
			EXPECT_EQ(UTF8(version), value);
		}
	}
}

// The compact form trims and folds spaces; the plain one is the system's
// text as it stands, whichever form was asked for first.
TEST(SystemMachine, ProcessorTypeInBothForms)
{
	VString compact, plain, compactAgain;
	VSystem::GetProcessorTypeString(compact, true);
	VSystem::GetProcessorTypeString(plain, false);
	VSystem::GetProcessorTypeString(compactAgain, true);
	const std::string compactText = UTF8(compact);
	ASSERT_FALSE(compactText.empty());
	EXPECT_EQ(compactText.find("  "), std::string::npos);
	EXPECT_NE(compactText.front(), ' ');
	EXPECT_NE(compactText.back(), ' ');
	EXPECT_EQ(compactText, UTF8(compactAgain));

	std::ifstream cpuinfo("/proc/cpuinfo");
	std::string brand = "-";
	for (std::string line; std::getline(cpuinfo, line);) {
		const size_t colon = line.find(':');
		if (line.rfind("model name", 0) == 0 && colon != std::string::npos) {
			brand = line.substr(colon + 1);
			break;
		}
	}
	EXPECT_EQ(UTF8(plain), brand);
}

TEST(SystemMachine, FirstLoadAndNetworkCallsGiveNoFigures)
{
	const testing::ProbeOutput output = testing::RunProbe(QIRN_PROBE_DIR "/qirn_probe_system_first_calls");
	ASSERT_EQ(output.fExitCode, 0);
	EXPECT_EQ(output.fValues.at("cpu.first"), "0");
	EXPECT_EQ(output.fValues.at("cpu.firstValue"), "0");
	EXPECT_EQ(output.fValues.at("net.first"), "0");
	EXPECT_EQ(output.fValues.at("net.firstCount"), "0");
	EXPECT_EQ(output.fValues.at("cpu.second"), "1");
	EXPECT_EQ(output.fValues.at("cpu.secondInRange"), "1");
	EXPECT_EQ(output.fValues.at("net.second"), "1");
	EXPECT_EQ(output.fValues.at("net.secondCount"), "2");
}

// Back-to-back calls may come within the same millisecond: then there is no
// rate to give, never a division by zero.
TEST(SystemMachine, NetworkRatesAreNeverInfinite)
{
	std::vector<Real> rates;
	for (int i = 0; i < 200; ++i) {
		if (VSystem::GetInOutNetworkStats(rates)) {
			ASSERT_EQ(rates.size(), 2u);
			for (Real rate : rates) {
				EXPECT_TRUE(std::isfinite(rate));
				EXPECT_GE(rate, 0.0);
			}
		} else {
			EXPECT_TRUE(rates.empty());
		}
	}
}

TEST(SystemMachine, ApplicationLoadIsAShareOfTheMachine)
{
	const Real load = VSystem::GetApplicationProcessorsPercentageUse();
	EXPECT_GE(load, 0.0);
	EXPECT_LE(load, 1.0);
}

TEST(SystemMachine, RandomNumbers)
{
	// 31 bits from the system's source; not all the same.
	sLONG first = VSystem::Random(false);
	bool differs = false;
	for (int i = 0; i < 16; ++i) {
		sLONG next = VSystem::Random(false);
		EXPECT_GE(next, 0);
		differs = differs || next != first;
	}
	EXPECT_TRUE(differs);
	EXPECT_GE(VSystem::Random(true), 0);
	EXPECT_TRUE(VSystem::Init());
}

TEST(SystemMachine, FixedFiguresAndThePivotYear)
{
	EXPECT_EQ(VSystem::GetDoubleClicTicks(), 30u); // no such preference on Linux
	EXPECT_TRUE(VSystem::AllowedToGetSystemInfo());
	const sWORD previous = VSystem::GetCenturyPivotYear();
	VSystem::SetCenturyPivotYear(30);
	EXPECT_EQ(VSystem::GetCenturyPivotYear(), 30);
	VSystem::SetCenturyPivotYear(previous);
}

TEST(SystemMachine, UserAndHostNames)
{
	const passwd* user = ::getpwuid(::getuid());
	ASSERT_NE(user, nullptr);
	VString name("unchanged");
	VSystem::GetCurrentUserName(name);
	EXPECT_EQ(UTF8(name), user->pw_name);

	VString full;
	VSystem::GetLoginUserName(full);
	EXPECT_FALSE(full.IsEmpty());

	char host[256] = {};
	ASSERT_EQ(::gethostname(host, sizeof(host) - 1), 0);
	VString hostName("unchanged");
	VSystem::GetHostName(hostName);
	EXPECT_EQ(UTF8(hostName), host);
}

} // namespace
} // namespace qirn
