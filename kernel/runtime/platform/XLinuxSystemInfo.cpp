#include "runtime/VError.h"
#include "runtime/platform/XLinuxFiles.h"
#include "runtime/platform/XLinuxSystem.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <cstring>
#include <pwd.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace qirn {

namespace {

// A value of os-release: unquoted, with its escapes read.
std::string OSReleaseValue(const std::string& inText, const char* inKey)
{
	const std::string key = std::string(inKey) + "=";
	for (const std::string& line : XLinuxFiles::SplitLines(inText)) {
		if (line.compare(0, key.size(), key) == 0) {
			std::string value = XLinuxFiles::Trim(line.substr(key.size()));
			if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
				std::string unquoted;
				for (size_t i = 1; i + 1 < value.size(); ++i) {
					if (value[i] == '\\' && i + 2 < value.size())
						++i;
					unquoted += value[i];
				}
				value = unquoted;
			}
			return value;
		}
	}
	return std::string();
}

std::string ReadOSReleaseText()
{
	std::string text;
	if (!XLinuxFiles::ReadText("/etc/os-release", text, 64 * 1024))
		XLinuxFiles::ReadText("/usr/lib/os-release", text, 64 * 1024);
	return text;
}

const passwd* CurrentUser(passwd* outEntry, std::vector<char>& ioBuffer)
{
	passwd* found = nullptr;
	for (;;) {
		int error = ::getpwuid_r(::getuid(), outEntry, ioBuffer.data(), ioBuffer.size(), &found);
		if (error == ERANGE && ioBuffer.size() < (1u << 20)) {
			ioBuffer.resize(ioBuffer.size() * 2);
			continue;
		}
		return error == 0 ? found : nullptr;
	}
}

// Whether this process may run the file: the owner's bit for its owner,
// the group's for its group, the others' bit for everyone else.
bool IsExecutableFile(const char* inPath)
{
	struct stat info {};
	if (::stat(inPath, &info) != 0 || !S_ISREG(info.st_mode))
		return false;
	if (info.st_uid == ::geteuid())
		return (info.st_mode & S_IXUSR) != 0;
	if (info.st_gid == ::getegid())
		return (info.st_mode & S_IXGRP) != 0;
	return (info.st_mode & S_IXOTH) != 0;
}

bool ResolveExecutable(const std::string& inCandidate, std::string& outPath)
{
	char resolved[PATH_MAX];
	if (::realpath(inCandidate.c_str(), resolved) == nullptr || !IsExecutableFile(resolved))
		return false;
	outPath = resolved;
	return true;
}

} // namespace

uint32 XLinuxSystem::ReadRandomNumber()
{
	uint32 value = 0;
	size_t got = 0;
	while (got < sizeof(value)) {
		ssize_t count = ::getrandom(reinterpret_cast<char*>(&value) + got, sizeof(value) - got, 0);
		if (count > 0)
			got += static_cast<size_t>(count);
		else if (errno != EINTR)
			break;
	}
	return value;
}

bool XLinuxSystem::ReadOSRelease(std::string& outName, std::string& outVersion, std::string& outPrettyName)
{
	std::string text = ReadOSReleaseText();
	if (text.empty())
		return false;
	outName = OSReleaseValue(text, "NAME");
	outVersion = OSReleaseValue(text, "VERSION_ID");
	outPrettyName = OSReleaseValue(text, "PRETTY_NAME");
	if (outName.empty())
		outName = "Linux"; // what os-release itself takes when NAME is absent
	if (outPrettyName.empty())
		outPrettyName = outVersion.empty() ? outName : outName + " " + outVersion;
	return true;
}

std::string XLinuxSystem::ReadKernelRelease()
{
	utsname names{};
	return ::uname(&names) == 0 ? std::string(names.release) : std::string();
}

std::string XLinuxSystem::ReadMachineModel()
{
	return XLinuxFiles::ReadFirstLine("/sys/devices/virtual/dmi/id/product_name");
}

std::string XLinuxSystem::ReadProcessorBrand()
{
	std::string text;
	if (!XLinuxFiles::ReadText("/proc/cpuinfo", text, 4 << 20))
		return std::string();
	// x86 names it "model name"; other machines have no such line.
	for (const std::string& line : XLinuxFiles::SplitLines(text)) {
		size_t colon = line.find(':');
		if (colon != std::string::npos && XLinuxFiles::Trim(line.substr(0, colon)) == "model name")
			return line.substr(colon + 1);
	}
	return std::string();
}

bool XLinuxSystem::ReadProcessorTicks(std::vector<uint64>& outTicks)
{
	std::string text;
	if (!XLinuxFiles::ReadText("/proc/stat", text, 4 << 20))
		return false;
	outTicks.clear();
	for (const std::string& line : XLinuxFiles::SplitLines(text)) {
		// "cpuN user nice system idle ...": the per-processor lines only.
		if (line.size() < 4 || line.compare(0, 3, "cpu") != 0 || line[3] < '0' || line[3] > '9')
			continue;
		unsigned long long user = 0, nice = 0, system = 0, idle = 0;
		if (std::sscanf(line.c_str(), "%*s %llu %llu %llu %llu", &user, &nice, &system, &idle) != 4)
			return false;
		outTicks.insert(outTicks.end(), {user, system, idle, nice});
	}
	return !outTicks.empty();
}

double XLinuxSystem::ReadApplicationLoad()
{
	// The process's processor time since it started over the time it has
	// lived: Linux keeps no decaying usage figure per thread.
	std::string stat;
	if (!XLinuxFiles::ReadText("/proc/self/stat", stat, 4096))
		return -1.0;
	size_t close = stat.rfind(')');
	if (close == std::string::npos)
		return -1.0;
	unsigned long long user = 0, system = 0, started = 0;
	// After the name: state (3), ..., utime (14), stime (15), ..., starttime (22).
	if (std::sscanf(stat.c_str() + close + 1,
					" %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu %*d %*d %*d %*d %*d %*d %llu", &user,
					&system, &started) != 3)
		return -1.0;
	long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
	int64 uptime = 0;
	timespec now{};
	if (ticksPerSecond <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
		return -1.0;
	uptime = static_cast<int64>(now.tv_sec) * ticksPerSecond + now.tv_nsec / (1000000000L / ticksPerSecond);
	const double lived = static_cast<double>(uptime) - static_cast<double>(started);
	if (lived <= 0)
		return 0.0;
	return static_cast<double>(user + system) / lived;
}

std::string XLinuxSystem::ReadUserName()
{
	passwd entry{};
	std::vector<char> buffer(4096);
	const passwd* user = CurrentUser(&entry, buffer);
	return user != nullptr && user->pw_name != nullptr ? std::string(user->pw_name) : std::string();
}

std::string XLinuxSystem::ReadUserFullName()
{
	passwd entry{};
	std::vector<char> buffer(4096);
	const passwd* user = CurrentUser(&entry, buffer);
	if (user == nullptr)
		return std::string();
	// The comment field's first part is the person's name; an account
	// without one is known by its login name.
	std::string comment = user->pw_gecos != nullptr ? std::string(user->pw_gecos) : std::string();
	std::string name = XLinuxFiles::Trim(comment.substr(0, comment.find(',')));
	return name.empty() && user->pw_name != nullptr ? std::string(user->pw_name) : name;
}

std::string XLinuxSystem::ReadHostName()
{
	char name[HOST_NAME_MAX + 1] = {};
	if (::gethostname(name, sizeof(name) - 1) != 0)
		return std::string();
	return std::string(name);
}

bool XLinuxSystem::SearchExecutablePath(const std::string& inName, std::string& outPath)
{
	if (inName.empty())
		return false;
	if (inName.find('/') != std::string::npos)
		return inName.size() < PATH_MAX && ResolveExecutable(inName, outPath);
	const char* path = std::getenv("PATH");
	if (path == nullptr || *path == 0)
		return false;
	const std::string list(path);
	size_t start = 0;
	for (;;) {
		size_t end = list.find(':', start);
		std::string folder = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
		// An empty element names no folder: it is skipped, never taken for
		// the current folder (a program planted there would run instead).
		if (!folder.empty()) {
			std::string candidate = folder + (folder.back() == '/' ? "" : "/") + inName;
			// A candidate too long for the system is skipped: cut, it could
			// name another program.
			if (candidate.size() < PATH_MAX && ResolveExecutable(candidate, outPath))
				return true;
		}
		if (end == std::string::npos)
			return false;
		start = end + 1;
	}
}

VError XLinuxSystem::CreateSymbolicLink(const char* inTarget, const char* inLinkPath)
{
	if (::symlink(inTarget, inLinkPath) == 0)
		return VE_OK;
	const VError error = MAKE_VERROR('POSX', errno);
	_ThrowError(error);
	return error;
}

} // namespace qirn
