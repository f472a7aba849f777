#include "runtime/VSystem.h"

#include "core/VString.h"
#include "runtime/platform/XLinuxFiles.h"
#include "runtime/platform/XLinuxSystem.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace qirn {

namespace {

std::atomic<sWORD> sCenturyPivotYear{0};

void FromUTF8(const std::string& inText, VString& outText)
{
	outText.FromBlock(inText.data(), inText.size(), VTC_UTF_8);
}

// The first three numbers of a version text ("12", "22.04", "3.19.1").
void ParseVersion(const std::string& inText, int outNumbers[3])
{
	outNumbers[0] = outNumbers[1] = outNumbers[2] = 0;
	const char* at = inText.c_str();
	for (int i = 0; i < 3 && *at >= '0' && *at <= '9'; ++i) {
		char* end = nullptr;
		long number = std::strtol(at, &end, 10);
		outNumbers[i] = number > 0 && number < 1000000 ? static_cast<int>(number) : 0;
		if (*end != '.')
			break;
		at = end + 1;
	}
}

// The processor-load baseline, kept between calls.
struct ProcessorLoadState {
	std::mutex fMutex;
	std::vector<uint64> fTicks;
};

ProcessorLoadState& ProcessorLoad()
{
	static ProcessorLoadState* sState = new ProcessorLoadState;
	return *sState;
}

} // namespace

uint32 VSystem::GetDoubleClicTicks()
{
	// Linux keeps no such preference for every application: the default.
	return 30;
}

void VSystem::SetCenturyPivotYear(sWORD inYear)
{
	sCenturyPivotYear.store(inYear, std::memory_order_relaxed);
}

sWORD VSystem::GetCenturyPivotYear()
{
	return sCenturyPivotYear.load(std::memory_order_relaxed);
}

bool VSystem::Init()
{
	Random(false);
	return true;
}

sLONG VSystem::Random(bool inPseudo)
{
	if (inPseudo)
		return static_cast<sLONG>(::random());
	return static_cast<sLONG>(XLinuxSystem::ReadRandomNumber() & 0x7fffffffu);
}

void VSystem::Beep()
{
	// Linux has no alert sound of the user's choosing to play.
}

bool VSystem::IsSystemVersionOrAbove(SystemVersion)
{
	// The versions named are macOS ones; every Linux this kernel runs on
	// gives what they stand for.
	return true;
}

sLONG VSystem::MAC_GetSystemVersionDecimal()
{
	// No macOS version to give (as when the platform cannot tell it).
	return 0;
}

void VSystem::GetOSVersionString(VString& outVersion)
{
	static const std::string sVersion = [] {
		std::string name, version, pretty;
		return XLinuxSystem::ReadOSRelease(name, version, pretty) ? pretty : std::string();
	}();
	FromUTF8(sVersion, outVersion);
}

void VSystem::GetFullOSName(VString& outName)
{
	std::string name, version, pretty;
	if (!XLinuxSystem::ReadOSRelease(name, version, pretty))
		name = "Linux";
	int numbers[3];
	ParseVersion(version, numbers);
	char text[64];
	std::snprintf(text, sizeof(text), " %d.%d.%d (", numbers[0], numbers[1], numbers[2]);
	FromUTF8(name + text + XLinuxSystem::ReadKernelRelease() + ")", outName);
}

void VSystem::GetSystemBuildNumber(VString& outBuild)
{
	std::string release = XLinuxSystem::ReadKernelRelease();
	if (!release.empty())
		FromUTF8(release, outBuild);
}

void VSystem::GetComputerManufacturer(VString& outModel)
{
	std::string model = XLinuxSystem::ReadMachineModel();
	if (!model.empty())
		FromUTF8(model, outModel);
}

void VSystem::GetProcessorTypeString(VString& outType, bool inCompact)
{
	// The brand is kept as the system gives it; each caller gets the form
	// it asks for.
	static const std::string sBrand = [] {
		std::string brand = XLinuxSystem::ReadProcessorBrand();
		return brand.empty() ? std::string("-") : brand;
	}();
	std::string brand = sBrand;
	if (inCompact && brand.size() >= 2) {
		brand = XLinuxFiles::Trim(brand);
		for (size_t at = brand.find("  "); at != std::string::npos; at = brand.find("  ", at))
			brand.erase(at, 1);
	}
	FromUTF8(brand, outType);
}

bool VSystem::GetProcessorsPercentageUse(Real& outPercentage)
{
	outPercentage = 0.0;
	std::vector<uint64> ticks;
	if (!XLinuxSystem::ReadProcessorTicks(ticks))
		return false;
	ProcessorLoadState& state = ProcessorLoad();
	std::lock_guard<std::mutex> lock(state.fMutex);
	if (state.fTicks.size() != ticks.size()) {
		// The first call, or processors came or went: a new baseline.
		state.fTicks.swap(ticks);
		return false;
	}
	uint64 busy = 0, idle = 0;
	for (size_t i = 0; i + 3 < ticks.size(); i += 4) {
		auto delta = [&](size_t inIndex) {
			return ticks[inIndex] >= state.fTicks[inIndex] ? ticks[inIndex] - state.fTicks[inIndex] : 0;
		};
		busy += delta(i) + delta(i + 1) + delta(i + 3);
		idle += delta(i + 2);
	}
	uint64 total = busy + idle;
	if (total == 0) {
		total = 1;
		busy += 1;
	}
	// The counters of every processor are summed: their ratio is already a
	// share of the whole machine.
	outPercentage = static_cast<Real>(busy) / static_cast<Real>(total);
	state.fTicks.swap(ticks);
	return true;
}

Real VSystem::GetApplicationProcessorsPercentageUse()
{
	const int32 processors = GetNumberOfLogicalProcessors();
	double load = XLinuxSystem::ReadApplicationLoad();
	if (load < 0)
		return -1.0;
	return load / processors;
}

} // namespace qirn
