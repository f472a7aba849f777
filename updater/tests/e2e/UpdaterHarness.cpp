#include "UpdaterHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace qirn::e2e {

namespace {

int PidFdOpen(pid_t inPid)
{
	return static_cast<int>(::syscall(SYS_pidfd_open, inPid, 0));
}

long long NowMs()
{
	timespec now {};
	::clock_gettime(CLOCK_MONOTONIC, &now);
	return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int Remaining(long long inDeadline)
{
	const long long left = inDeadline - NowMs();
	return left > 0 ? static_cast<int>(left) : 0;
}

void RemoveTree(const std::string& inPath)
{
	// Made writable first: tests leave read-only folders behind.
	std::error_code ignored;
	for (auto it = std::filesystem::recursive_directory_iterator(inPath, ignored);
		 it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
		if (it->is_directory(ignored) && !it->is_symlink(ignored))
			::chmod(it->path().c_str(), 0700);
	}
	::chmod(inPath.c_str(), 0700);
	std::filesystem::remove_all(inPath, ignored);
}

} // namespace

std::string UpdaterExecutable()
{
	return std::string(QIRN_E2E_UPDATER_BUNDLE) + "/Contents/MacOS/Updater";
}

std::string FaultsExecutable()
{
	const std::string bundle = QIRN_E2E_FAULTS_BUNDLE;
	return bundle.empty() ? std::string() : bundle + "/Contents/MacOS/Updater";
}

void WriteFile(const std::string& inPath, const std::string& inText, unsigned inMode)
{
	const int file = ::open(inPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
	ASSERT_GE(file, 0) << inPath << ": " << std::strerror(errno);
	size_t done = 0;
	while (done < inText.size()) {
		const ssize_t put = ::write(file, inText.data() + done, inText.size() - done);
		ASSERT_GT(put, 0) << inPath;
		done += static_cast<size_t>(put);
	}
	::close(file);
	ASSERT_EQ(::chmod(inPath.c_str(), inMode), 0) << inPath;
}

std::string ReadFile(const std::string& inPath)
{
	std::string text;
	const int file = ::open(inPath.c_str(), O_RDONLY | O_CLOEXEC);
	if (file < 0)
		return text;
	char buffer[65536];
	ssize_t got;
	while ((got = ::read(file, buffer, sizeof(buffer))) > 0)
		text.append(buffer, static_cast<size_t>(got));
	::close(file);
	return text;
}

bool Exists(const std::string& inPath)
{
	struct stat info {};
	return ::lstat(inPath.c_str(), &info) == 0;
}

void MakeFolder(const std::string& inPath, unsigned inMode)
{
	std::error_code error;
	std::filesystem::create_directories(inPath, error);
	ASSERT_FALSE(error) << inPath << ": " << error.message();
	ASSERT_EQ(::chmod(inPath.c_str(), inMode), 0) << inPath;
}

std::vector<std::string> ListNames(const std::string& inFolder)
{
	std::vector<std::string> names;
	if (DIR* folder = ::opendir(inFolder.c_str())) {
		while (dirent* entry = ::readdir(folder)) {
			const std::string name = entry->d_name;
			if (name != "." && name != "..")
				names.push_back(name);
		}
		::closedir(folder);
	}
	std::sort(names.begin(), names.end());
	return names;
}

void ChangeOwner(const std::string& inPath, uid_t inUser, gid_t inGroup)
{
	ASSERT_EQ(::lchown(inPath.c_str(), inUser, inGroup), 0) << inPath;
}

namespace {
void AddToSnapshot(const std::string& inRoot, const std::string& inRelative, Tree& ioTree)
{
	const std::string path = inRelative.empty() ? inRoot : inRoot + "/" + inRelative;
	struct stat info {};
	if (::lstat(path.c_str(), &info) != 0)
		return;
	Entry entry;
	entry.fMode = info.st_mode & 07777;
	if (S_ISDIR(info.st_mode)) {
		entry.fKind = 'd';
		ioTree[inRelative] = entry;
		for (const std::string& name : ListNames(path))
			AddToSnapshot(inRoot, inRelative.empty() ? name : inRelative + "/" + name, ioTree);
		return;
	}
	if (S_ISLNK(info.st_mode)) {
		entry.fKind = 'l';
		entry.fMode = 0;
		char target[4096];
		const ssize_t length = ::readlink(path.c_str(), target, sizeof(target));
		entry.fData.assign(target, length > 0 ? static_cast<size_t>(length) : 0);
	} else {
		entry.fKind = 'f';
		entry.fData = ReadFile(path);
	}
	ioTree[inRelative] = entry;
}
} // namespace

Tree Snapshot(const std::string& inRoot)
{
	Tree tree;
	std::string root = inRoot;
	while (root.size() > 1 && root.back() == '/')
		root.pop_back();
	AddToSnapshot(root, std::string(), tree);
	return tree;
}

std::string DescribeDifference(const Tree& inExpected, const Tree& inActual)
{
	std::ostringstream text;
	int shown = 0;
	auto describe = [](const Entry& inEntry) {
		std::ostringstream entry;
		entry << inEntry.fKind << " " << std::oct << inEntry.fMode << std::dec << " " << inEntry.fData.size() << " bytes";
		return entry.str();
	};
	for (const auto& [path, entry] : inExpected) {
		auto found = inActual.find(path);
		if (found == inActual.end())
			text << "missing: '" << path << "'\n";
		else if (!(found->second == entry))
			text << "differs: '" << path << "' (" << describe(entry) << " vs " << describe(found->second) << ")\n";
		else
			continue;
		if (++shown == 10)
			return text.str() + "...\n";
	}
	for (const auto& [path, entry] : inActual)
		if (inExpected.find(path) == inExpected.end()) {
			text << "extra: '" << path << "'\n";
			if (++shown == 10)
				break;
		}
	return text.str();
}

void MakeSampleBundle(const std::string& inPath, const SampleBundle& inSample)
{
	const std::string contents = inPath + "/Contents";
	MakeFolder(contents + "/MacOS");
	MakeFolder(contents + "/Resources/Data");
	MakeFolder(contents + "/Resources/Empty", 0700);
	MakeFolder(contents + "/Frameworks");
	WriteFile(contents + "/Info.plist",
			  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
			  "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
			  "<plist version=\"1.0\">\n<dict>\n"
			  "\t<key>CFBundleName</key>\n\t<string>Sample</string>\n"
			  "\t<key>CFBundleExecutable</key>\n\t<string>Sample</string>\n"
			  "\t<key>CFBundleIdentifier</key>\n\t<string>com.example.sample</string>\n"
			  "\t<key>CFBundleShortVersionString</key>\n\t<string>" +
				  inSample.fVersion + "</string>\n</dict>\n</plist>\n");
	// Builtins only: the sandbox's PATH holds nothing else.
	WriteFile(contents + "/MacOS/Sample",
			  "#!/bin/sh\n"
			  "# Sample application " + inSample.fVersion + ": records each start.\n"
			  "line=\"version=" + inSample.fVersion + "\"\n"
			  "for a in \"$@\"; do line=\"$line [$a]\"; done\n"
			  "printf '%s\\n' \"$line\" >> \"$HOME/starts\"\n",
			  inSample.fExecutable ? 0755 : 0644);
	WriteFile(contents + "/Resources/version.txt", inSample.fVersion + "\n");
	WriteFile(contents + "/Resources/read-only.txt", "kept read-only " + inSample.fVersion + "\n", 0444);
	WriteFile(contents + "/Resources/.hidden", "hidden " + inSample.fVersion + "\n", 0600);
	WriteFile(contents + "/Resources/Data/table.bin", std::string(3000, static_cast<char>(inSample.fVersion[0])));
	WriteFile(contents + "/Frameworks/libsample.so.1", "library " + inSample.fVersion + "\n", 0755);
	ASSERT_EQ(::symlink("libsample.so.1", (contents + "/Frameworks/libsample.so").c_str()), 0);
	if (inSample.fPayloadFiles > 0) {
		MakeFolder(contents + "/Payload");
		std::string data(inSample.fPayloadBytes, 'x');
		for (int i = 0; i < inSample.fPayloadFiles; ++i) {
			if (!data.empty())
				data[0] = static_cast<char>('a' + i % 26);
			const std::string folder = contents + "/Payload/" + std::to_string(i % 10);
			if (i < 10)
				MakeFolder(folder);
			WriteFile(folder + "/item" + std::to_string(i) + ".dat", data);
		}
	}
}

Sandbox::Sandbox()
{
	std::string pattern = std::filesystem::temp_directory_path().string() + "/qirn-e2e-XXXXXX";
	if (::mkdtemp(pattern.data()) == nullptr) {
		ADD_FAILURE() << "no temporary folder";
		return;
	}
	fRoot = pattern;
	// Others must reach it: some runs are as nobody.
	::chmod(fRoot.c_str(), 0755);
	for (const char* folder : {"home/.local/share", "home/.config", "home/.cache", "fakes", "apps", "updates", "work"})
		MakeFolder(Path(folder));
	OpenFifo(Home() + "/starts", fStarts);
}

Sandbox::~Sandbox()
{
	for (Listener* listener : {&fStarts}) {
		::close(listener->fRead);
		::close(listener->fWrite);
	}
	for (auto& [name, listener] : fFakes) {
		::close(listener.fRead);
		::close(listener.fWrite);
	}
	if (!fRoot.empty())
		RemoveTree(fRoot);
}

void Sandbox::OpenFifo(const std::string& inPath, Listener& outListener)
{
	ASSERT_EQ(::mkfifo(inPath.c_str(), 0666), 0) << inPath;
	::chmod(inPath.c_str(), 0666);
	// A reader and a writer of our own: writers never block, and the reader
	// never sees an end of file between two of them.
	outListener.fRead = ::open(inPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	outListener.fWrite = ::open(inPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
	ASSERT_GE(outListener.fRead, 0);
	ASSERT_GE(outListener.fWrite, 0);
}

std::string Sandbox::ReadAvailable(Listener& ioListener, int inTimeoutMs, const std::function<bool(const std::string&)>& inDone)
{
	const long long deadline = NowMs() + inTimeoutMs;
	for (;;) {
		char buffer[4096];
		ssize_t got;
		while ((got = ::read(ioListener.fRead, buffer, sizeof(buffer))) > 0)
			ioListener.fPending.append(buffer, static_cast<size_t>(got));
		if (inDone(ioListener.fPending))
			break;
		const int left = Remaining(deadline);
		if (left == 0)
			break;
		pollfd wait {ioListener.fRead, POLLIN, 0};
		::poll(&wait, 1, left);
	}
	return ioListener.fPending;
}

void Sandbox::MakeBundles(const SampleBundle& inOld, const SampleBundle& inNew)
{
	MakeSampleBundle(Installed(), inOld);
	MakeSampleBundle(Update(), inNew);
}

void Sandbox::AddFake(const std::string& inName, const std::string& inScript)
{
	WriteFile(Fakes() + "/" + inName, "#!/bin/sh\n" + inScript, 0755);
}

std::vector<std::string> Sandbox::Environment(const std::vector<std::string>& inExtra) const
{
	std::vector<std::string> environment{
		"HOME=" + Home(),
		"XDG_DATA_HOME=" + DataHome(),
		"XDG_CONFIG_HOME=" + Home() + "/.config",
		"XDG_CACHE_HOME=" + Home() + "/.cache",
		"LANG=en_US.UTF-8",
		"TZ=UTC",
		"PATH=" + Fakes(),
	};
	// A later entry of the same name replaces the usual one.
	for (const std::string& extra : inExtra) {
		const std::string name = extra.substr(0, extra.find('=') + 1);
		std::erase_if(environment, [&](const std::string& inEntry) { return inEntry.rfind(name, 0) == 0; });
		environment.push_back(extra);
	}
	return environment;
}

std::vector<std::string> Sandbox::Starts(size_t inCount, int inTimeoutMs)
{
	const std::string text = ReadAvailable(fStarts, inTimeoutMs, [&](const std::string& inText) {
		return static_cast<size_t>(std::count(inText.begin(), inText.end(), '\n')) >= inCount;
	});
	std::vector<std::string> lines;
	std::istringstream stream(text);
	for (std::string line; std::getline(stream, line);)
		lines.push_back(line);
	return lines;
}

void Sandbox::OpenFakeReport(const std::string& inName)
{
	OpenFifo(Path(inName + ".fifo"), fFakes[inName]);
}

std::string Sandbox::FakeReport(const std::string& inName, int inTimeoutMs)
{
	return ReadAvailable(fFakes[inName], inTimeoutMs,
						 [](const std::string& inText) { return inText.find("end\n") != std::string::npos; });
}

std::vector<std::string> Sandbox::TrashNames() const
{
	return ListNames(DataHome() + "/Trash/files");
}

std::vector<std::string> Sandbox::SetAside() const
{
	std::vector<std::string> names;
	for (const std::string& name : ListNames(Path("apps")))
		if (name.rfind("Sample_old", 0) == 0)
			names.push_back(name);
	return names;
}

std::string Sandbox::LogText() const
{
	for (const std::string& name : ListNames(Logs()))
		if (name.size() > 6 && name.compare(name.size() - 6, 6, "_1.txt") == 0)
			return ReadFile(Logs() + "/" + name);
	return std::string();
}

void Sandbox::GiveTo(uid_t inUser, gid_t inGroup) const
{
	std::error_code ignored;
	ChangeOwner(fRoot, inUser, inGroup);
	for (auto it = std::filesystem::recursive_directory_iterator(fRoot, ignored);
		 it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
		ChangeOwner(it->path().string(), inUser, inGroup);
}

bool HasLogLine(const std::string& inLog, const std::string& inLevel, const std::string& inText)
{
	for (const std::string& message : LogMessages(inLog, inLevel))
		if (message.find(inText) != std::string::npos)
			return true;
	return false;
}

std::vector<std::string> LogMessages(const std::string& inLog, const std::string& inLevel)
{
	// "<sequence> <time> [<source>] <LEVEL> - <message>"
	std::vector<std::string> messages;
	std::istringstream stream(inLog);
	const std::string marker = " " + inLevel + " - ";
	for (std::string line; std::getline(stream, line);) {
		const size_t at = line.find(marker);
		if (at != std::string::npos && line.find(" [") < at)
			messages.push_back(line.substr(at + marker.size()));
	}
	return messages;
}

Caller::Caller()
{
	int control[2];
	if (::pipe2(control, O_CLOEXEC) != 0) {
		ADD_FAILURE() << "no pipe";
		return;
	}
	fPid = ::fork();
	if (fPid == 0) {
		::close(control[1]);
		char byte;
		while (::read(control[0], &byte, 1) < 0 && errno == EINTR) {
		}
		::_exit(0);
	}
	::close(control[0]);
	fControl = control[1];
}

Caller::~Caller()
{
	Quit();
	Reap();
}

void Caller::Quit()
{
	if (fControl >= 0)
		::close(fControl);
	fControl = -1;
}

void Caller::Reap()
{
	if (fPid <= 0)
		return;
	int status = 0;
	while (::waitpid(fPid, &status, 0) < 0 && errno == EINTR) {
	}
	fPid = -1;
}

UpdaterRun::~UpdaterRun()
{
	if (fPid > 0 && !fExited) {
		Kill(SIGKILL);
		Wait(10000);
	}
	for (int fd : {fPidFd, fOut, fErr})
		if (fd >= 0)
			::close(fd);
}

bool UpdaterRun::Start(const RunOptions& inOptions)
{
	int out[2], err[2];
	if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
		return false;
	std::vector<std::string> arguments{inOptions.fExecutable.empty() ? UpdaterExecutable() : inOptions.fExecutable};
	arguments.insert(arguments.end(), inOptions.fArguments.begin(), inOptions.fArguments.end());
	std::vector<char*> argv;
	for (std::string& argument : arguments)
		argv.push_back(argument.data());
	argv.push_back(nullptr);
	std::vector<std::string> environment = inOptions.fEnvironment;
	std::vector<char*> envp;
	for (std::string& entry : environment)
		envp.push_back(entry.data());
	envp.push_back(nullptr);

	fPid = ::fork();
	if (fPid == 0) {
		const int input = ::open("/dev/null", O_RDONLY);
		::dup2(input, STDIN_FILENO);
		::dup2(out[1], STDOUT_FILENO);
		::dup2(err[1], STDERR_FILENO);
		if (!inOptions.fWorkingFolder.empty() && ::chdir(inOptions.fWorkingFolder.c_str()) != 0)
			::_exit(125);
		if (inOptions.fChildSetUp && !inOptions.fChildSetUp())
			::_exit(126);
		::execve(argv[0], argv.data(), envp.data());
		::_exit(127);
	}
	::close(out[1]);
	::close(err[1]);
	fOut = out[0];
	fErr = err[0];
	if (fPid < 0)
		return false;
	fPidFd = PidFdOpen(fPid);
	return fPidFd >= 0;
}

void UpdaterRun::Pump(int inTimeoutMs, const std::function<bool()>& inDone)
{
	const long long deadline = NowMs() + inTimeoutMs;
	while (!inDone()) {
		pollfd waits[3] = {{fOut, POLLIN, 0}, {fErr, POLLIN, 0}, {fExited ? -1 : fPidFd, POLLIN, 0}};
		const int left = Remaining(deadline);
		if (left == 0)
			return;
		if (::poll(waits, 3, left) < 0 && errno != EINTR)
			return;
		int* fds[2] = {&fOut, &fErr};
		std::string* texts[2] = {&fOutput, &fErrors};
		for (int i = 0; i < 2; ++i) {
			if (waits[i].revents == 0)
				continue;
			char buffer[4096];
			const ssize_t got = ::read(*fds[i], buffer, sizeof(buffer));
			if (got > 0) {
				texts[i]->append(buffer, static_cast<size_t>(got));
			} else if (got == 0 || errno != EINTR) {
				::close(*fds[i]);
				*fds[i] = -1;
			}
		}
		if (waits[2].revents != 0 && !fExited) {
			siginfo_t info {};
			if (::waitid(P_PIDFD, static_cast<id_t>(fPidFd), &info, WEXITED) == 0) {
				fExited = true;
				fExitCode = info.si_code == CLD_EXITED ? info.si_status : -1;
				fSignal = info.si_code == CLD_EXITED ? 0 : info.si_status;
			}
		}
	}
}

std::string UpdaterRun::ReadOutputLine(int inTimeoutMs)
{
	Pump(inTimeoutMs, [&] { return fOutput.find('\n', fOutputRead) != std::string::npos || fOut < 0; });
	const size_t end = fOutput.find('\n', fOutputRead);
	if (end == std::string::npos)
		return std::string();
	std::string line = fOutput.substr(fOutputRead, end - fOutputRead);
	fOutputRead = end + 1;
	return line;
}

bool UpdaterRun::OutputEnds(int inTimeoutMs)
{
	Pump(inTimeoutMs, [&] { return fOut < 0; });
	return fOut < 0;
}

bool UpdaterRun::Wait(int inTimeoutMs)
{
	// The streams may stay open in a detached grandchild: the end of the
	// process is what counts, then what is left in the pipes.
	Pump(inTimeoutMs, [&] { return fExited; });
	if (!fExited)
		return false;
	for (int* fd : {&fOut, &fErr}) {
		if (*fd < 0)
			continue;
		::fcntl(*fd, F_SETFL, O_NONBLOCK);
		char buffer[4096];
		ssize_t got;
		while ((got = ::read(*fd, buffer, sizeof(buffer))) > 0)
			(fd == &fOut ? fOutput : fErrors).append(buffer, static_cast<size_t>(got));
	}
	return true;
}

void UpdaterRun::Kill(int inSignal)
{
	if (fPidFd >= 0 && !fExited)
		::syscall(SYS_pidfd_send_signal, fPidFd, inSignal, nullptr, 0);
}

RunResult RunUpdater(const RunOptions& inOptions, int inTimeoutMs)
{
	RunResult result;
	UpdaterRun run;
	if (!run.Start(inOptions)) {
		ADD_FAILURE() << "the updater could not be started";
		return result;
	}
	if (!run.Wait(inTimeoutMs)) {
		ADD_FAILURE() << "the updater did not end within " << inTimeoutMs << " ms";
		run.Kill(SIGKILL);
		run.Wait(10000);
	}
	result.fExitCode = run.ExitCode();
	result.fSignal = run.Signal();
	result.fOutput = run.Output();
	result.fErrors = run.Errors();
	return result;
}

std::vector<std::string> UsualArguments(const Sandbox& inSandbox, const std::vector<std::string>& inBefore)
{
	std::vector<std::string> arguments = inBefore;
	arguments.insert(arguments.end(), {"--log-dir", inSandbox.Logs(), inSandbox.Installed(), inSandbox.Update()});
	return arguments;
}

bool FindNobody(uid_t& outUser, gid_t& outGroup)
{
	if (::geteuid() != 0)
		return false;
	const passwd* entry = ::getpwnam("nobody");
	if (entry == nullptr)
		return false;
	outUser = entry->pw_uid;
	outGroup = entry->pw_gid;
	return true;
}

} // namespace qirn::e2e
