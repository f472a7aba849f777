#include "host/HostNotification.h"

#include "host/HostBundle.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qirn::host {

namespace {

constexpr const char* kZenity = "zenity";

bool IsSet(const char* inName)
{
	const char* value = std::getenv(inName);
	return value != nullptr && *value != 0;
}

// zenity's full path from PATH, or empty.
std::string FindZenity()
{
	const char* path = std::getenv("PATH");
	if (path == nullptr)
		return std::string();
	std::string list(path);
	size_t start = 0;
	while (start <= list.size()) {
		size_t end = list.find(':', start);
		if (end == std::string::npos)
			end = list.size();
		std::string folder = list.substr(start, end - start);
		if (!folder.empty()) {
			std::string candidate = folder + (folder.back() == '/' ? "" : "/") + kZenity;
			struct stat info {};
			if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
				return candidate;
		}
		start = end + 1;
	}
	return std::string();
}

bool HasOnlyOneButton(const NotificationRequest& inRequest)
{
	return inRequest.fAlternateButton.empty() && inRequest.fOtherButton.empty();
}

std::vector<std::string> ZenityArguments(const NotificationRequest& inRequest)
{
	std::vector<std::string> arguments{kZenity};
	if (HasOnlyOneButton(inRequest)) {
		arguments.push_back(inRequest.fCaution ? "--warning" : "--info");
		arguments.push_back("--ok-label=" + (inRequest.fDefaultButton.empty() ? std::string("OK") : inRequest.fDefaultButton));
	} else {
		arguments.push_back("--question");
		if (inRequest.fCaution)
			arguments.push_back("--icon-name=dialog-warning");
		arguments.push_back("--ok-label=" + inRequest.fDefaultButton);
		arguments.push_back("--cancel-label=" + inRequest.fAlternateButton);
		if (!inRequest.fOtherButton.empty())
			arguments.push_back("--extra-button=" + inRequest.fOtherButton);
	}
	if (!inRequest.fIconPath.empty())
		arguments.push_back("--window-icon=" + inRequest.fIconPath);
	// The texts are the caller's own: never read as markup.
	arguments.push_back("--no-markup");
	arguments.push_back("--title=" + inRequest.fHeader);
	arguments.push_back("--text=" + (inRequest.fMessage.empty() ? inRequest.fHeader : inRequest.fMessage));
	return arguments;
}

pid_t SpawnZenity(const std::string& inPath, const NotificationRequest& inRequest, int* outOutput)
{
	int pipeEnds[2];
	if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
		return 0;
	std::vector<std::string> arguments = ZenityArguments(inRequest);
	std::vector<char*> argv;
	for (std::string& argument : arguments)
		argv.push_back(argument.data());
	argv.push_back(nullptr);

	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
	posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
	pid_t pid = 0;
	int error = ::posix_spawn(&pid, inPath.c_str(), &actions, nullptr, argv.data(), environ);
	posix_spawn_file_actions_destroy(&actions);
	::close(pipeEnds[1]);
	if (error != 0) {
		::close(pipeEnds[0]);
		return 0;
	}
	*outOutput = pipeEnds[0];
	return pid;
}

void WriteToStandardError(const NotificationRequest& inRequest)
{
	std::string line = inRequest.fHeader;
	if (!inRequest.fMessage.empty())
		line += (line.empty() ? "" : ": ") + inRequest.fMessage;
	line += '\n';
	std::fputs(line.c_str(), stderr);
	std::fflush(stderr);
}

} // namespace

std::string HostNotification::FindMainBundleIcon()
{
	char bundle[4096];
	char name[1024];
	if (!CopyMainBundlePath(bundle, sizeof(bundle)) || !CopyMainBundleInfoString("CFBundleIconFile", name, sizeof(name)) ||
		name[0] == 0)
		return std::string();
	// A bundle keeps its resources in Contents/Resources; a plain folder
	// beside the executable. The name may leave out its extension.
	struct stat info {};
	const std::string contents = std::string(bundle) + "/Contents";
	const std::string folder = ::stat(contents.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? contents + "/Resources" : std::string(bundle);
	const std::string path = folder + "/" + name;
	for (const std::string& candidate : {path, path + ".icns"})
		if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode))
			return candidate;
	return std::string();
}

bool HostNotification::HasGraphicalService()
{
	return (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) && !FindZenity().empty();
}

std::unique_ptr<HostNotification> HostNotification::Show(const NotificationRequest& inRequest)
{
	if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) {
		std::string zenity = FindZenity();
		if (!zenity.empty()) {
			int output = -1;
			pid_t pid = SpawnZenity(zenity, inRequest, &output);
			if (pid == 0)
				return nullptr;
			return std::unique_ptr<HostNotification>(new HostNotification(inRequest, pid, output));
		}
	}
	WriteToStandardError(inRequest);
	return std::unique_ptr<HostNotification>(new HostNotification(inRequest, 0, -1));
}

HostNotification::HostNotification(const NotificationRequest& inRequest, pid_t inPid, int inOutput)
: fRequest(inRequest), fPid(inPid), fOutput(inOutput)
{
}

HostNotification::~HostNotification()
{
	// A dialog still open is left to the user: it outlives this object (and
	// the process) as a system alert would.
	if (fOutput >= 0)
		::close(fOutput);
}

void HostNotification::_ReadOutput()
{
	if (fOutput < 0)
		return;
	char buffer[256];
	for (;;) {
		ssize_t count = ::read(fOutput, buffer, sizeof(buffer));
		if (count > 0)
			fPrinted.append(buffer, static_cast<size_t>(count));
		else if (count == 0 || errno != EINTR)
			break;
	}
	::close(fOutput);
	fOutput = -1;
}

NotificationPress HostNotification::_Collect(int inStatus)
{
	fPid = 0;
	_ReadOutput();
	if (!WIFEXITED(inStatus))
		return fPress = NotificationPress::kCancelled;
	const int code = WEXITSTATUS(inStatus);
	if (code == 0)
		return fPress = NotificationPress::kDefault;
	if (code == 1) {
		// An extra button prints its title and ends as the cancel button does.
		std::string printed = fPrinted;
		while (!printed.empty() && (printed.back() == '\n' || printed.back() == '\r'))
			printed.pop_back();
		if (!fRequest.fOtherButton.empty() && printed == fRequest.fOtherButton)
			return fPress = NotificationPress::kOther;
		// An information alert has no second button: closing it is no answer.
		return fPress = HasOnlyOneButton(fRequest) ? NotificationPress::kCancelled : NotificationPress::kAlternate;
	}
	return fPress = NotificationPress::kCancelled;
}

NotificationPress HostNotification::WaitForPress()
{
	if (fPid == 0)
		return fPress;
	_ReadOutput();
	int status = 0;
	pid_t ended;
	while ((ended = ::waitpid(fPid, &status, 0)) < 0 && errno == EINTR) {
	}
	if (ended != fPid) {
		fPid = 0;
		return fPress = NotificationPress::kCancelled;
	}
	return _Collect(status);
}

bool HostNotification::HasEnded()
{
	if (fPid == 0)
		return true;
	int status = 0;
	pid_t ended = ::waitpid(fPid, &status, WNOHANG);
	if (ended == 0)
		return false;
	if (ended == fPid)
		_Collect(status);
	else if (errno != EINTR) {
		fPid = 0;
		fPress = NotificationPress::kCancelled;
	}
	return fPid == 0;
}

void HostNotification::Cancel()
{
	if (fPid == 0)
		return;
	::kill(fPid, SIGTERM);
	WaitForPress();
	fPress = NotificationPress::kCancelled;
}

} // namespace qirn::host
