#include "OpenApplication.h"

#include "host/HostBundle.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace qirn::open {

namespace {

constexpr const char* kUsage = "usage: open -a APP [--args ARG...]";

// posix_spawn's attributes and file actions, destroyed on every path.
class SpawnSetup {
public:
	SpawnSetup()
	{
		fAttrOK = ::posix_spawnattr_init(&fAttr) == 0;
		fActionsOK = ::posix_spawn_file_actions_init(&fActions) == 0;
	}
	~SpawnSetup()
	{
		if (fAttrOK)
			::posix_spawnattr_destroy(&fAttr);
		if (fActionsOK)
			::posix_spawn_file_actions_destroy(&fActions);
	}
	SpawnSetup(const SpawnSetup&) = delete;
	SpawnSetup& operator=(const SpawnSetup&) = delete;

	// Detached: a new session (no terminal, no signal of the caller's group),
	// default signal dispositions and an empty mask, whatever the caller had.
	int Prepare()
	{
		if (!fAttrOK || !fActionsOK)
			return ENOMEM;
		sigset_t none, all;
		::sigemptyset(&none);
		::sigfillset(&all);
		int err = ::posix_spawnattr_setflags(&fAttr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
		if (err == 0)
			err = ::posix_spawnattr_setsigmask(&fAttr, &none);
		if (err == 0)
			err = ::posix_spawnattr_setsigdefault(&fAttr, &all);
		if (err == 0)
			err = ::posix_spawn_file_actions_addopen(&fActions, 0, "/dev/null", O_RDONLY, 0);
		if (err == 0)
			err = ::posix_spawn_file_actions_addopen(&fActions, 1, "/dev/null", O_WRONLY, 0);
		if (err == 0)
			err = ::posix_spawn_file_actions_addopen(&fActions, 2, "/dev/null", O_WRONLY, 0);
		if (err == 0)
			err = ::posix_spawn_file_actions_addclosefrom_np(&fActions, 3);
		// Not the caller's folder, which may be a temporary one about to go.
		if (err == 0)
			err = ::posix_spawn_file_actions_addchdir_np(&fActions, "/");
		return err;
	}

	posix_spawnattr_t fAttr;
	posix_spawn_file_actions_t fActions;

private:
	bool fAttrOK = false;
	bool fActionsOK = false;
};

} // namespace

std::string GetBundleExecutable(const std::string& inBundlePath, std::string& outMessage)
{
	char name[PATH_MAX];
	if (!host::CopyBundleInfoString(inBundlePath.c_str(), "CFBundleExecutable", name, sizeof(name)) || name[0] == 0) {
		outMessage = inBundlePath + ": no CFBundleExecutable in its Info.plist";
		return {};
	}
	// The name is a file of Contents/MacOS, never a way out of it.
	if (std::strchr(name, '/') != nullptr || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
		outMessage = inBundlePath + ": bad CFBundleExecutable \"" + name + "\"";
		return {};
	}
	return inBundlePath + "/Contents/MacOS/" + name;
}

int LaunchDetached(const std::string& inExecutable, const std::vector<std::string>& inArguments)
{
	SpawnSetup setup;
	int err = setup.Prepare();
	if (err != 0)
		return err;
	std::vector<char*> argv;
	argv.reserve(inArguments.size() + 1);
	for (const std::string& argument : inArguments)
		argv.push_back(const_cast<char*>(argument.c_str()));
	argv.push_back(nullptr);
	// glibc's posix_spawn answers the exec's own failure, so 0 here means the
	// executable runs. The child is not waited for: once we exit it belongs
	// to init, and while we live it cannot outlast us as a zombie for long.
	pid_t child = 0;
	return ::posix_spawn(&child, inExecutable.c_str(), &setup.fActions, &setup.fAttr, argv.data(), environ);
}

int RunOpenCommand(const std::vector<std::string>& inArguments, std::string& outError)
{
	// inArguments[0] is this program.
	if (inArguments.size() < 3 || inArguments[1] != "-a" || inArguments[2].empty() ||
		(inArguments.size() > 3 && inArguments[3] != "--args")) {
		outError = kUsage;
		return 1;
	}
	// The child runs in "/": a relative bundle path is made whole first.
	char whole[PATH_MAX];
	if (::realpath(inArguments[2].c_str(), whole) == nullptr) {
		outError = inArguments[2] + ": " + std::strerror(errno);
		return 1;
	}
	struct stat info {};
	if (::stat(whole, &info) != 0 || !S_ISDIR(info.st_mode)) {
		outError = inArguments[2] + ": not an application bundle";
		return 1;
	}
	std::string executable = GetBundleExecutable(whole, outError);
	if (executable.empty())
		return 1;
	std::vector<std::string> arguments{executable};
	if (inArguments.size() > 4)
		arguments.insert(arguments.end(), inArguments.begin() + 4, inArguments.end());
	if (int err = LaunchDetached(executable, arguments); err != 0) {
		outError = executable + ": " + std::strerror(err);
		return 1;
	}
	return 0;
}

} // namespace qirn::open
