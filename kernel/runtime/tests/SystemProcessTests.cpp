#include "core/StStringConverter.h"
#include "core/VString.h"
#include "runtime/VSystem.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qirn {
namespace {

std::string UTF8(const VString& inText)
{
	StStringConverter<char> converter(inText, VTC_UTF_8);
	return std::string(converter.GetCPointer(), converter.GetLength());
}

std::string RealPath(const std::string& inPath)
{
	char resolved[PATH_MAX];
	return ::realpath(inPath.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

bool IsListed(pid_t inPid)
{
	std::vector<pid_t> ids;
	VSystem::GetProcessList(ids);
	return std::find(ids.begin(), ids.end(), inPid) != ids.end();
}

// A child process the test starts; reaped by the test itself, or at the end.
class StChild {
public:
	explicit StChild(const std::string& inPath, const std::vector<std::string>& inArguments, bool inOwnGroup = false)
	{
		std::vector<std::string> arguments{inPath};
		arguments.insert(arguments.end(), inArguments.begin(), inArguments.end());
		std::vector<char*> argv;
		for (std::string& argument : arguments)
			argv.push_back(argument.data());
		argv.push_back(nullptr);
		posix_spawnattr_t attributes;
		posix_spawnattr_init(&attributes);
		if (inOwnGroup) {
			posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
			posix_spawnattr_setpgroup(&attributes, 0);
		}
		if (::posix_spawn(&fPid, inPath.c_str(), nullptr, &attributes, argv.data(), environ) != 0)
			fPid = 0;
		posix_spawnattr_destroy(&attributes);
	}
	~StChild()
	{
		if (fPid > 0 && !fReaped) {
			::kill(fPid, SIGKILL);
			::waitpid(fPid, nullptr, 0);
		}
	}
	StChild(const StChild&) = delete;
	StChild& operator=(const StChild&) = delete;

	pid_t Pid() const { return fPid; }
	void MarkReaped() { fReaped = true; }
	// Waits until it has ended, leaving it unreaped.
	bool WaitUntilEnded()
	{
		siginfo_t info{};
		return ::waitid(P_PID, static_cast<id_t>(fPid), &info, WEXITED | WNOWAIT) == 0;
	}

private:
	pid_t fPid = 0;
	bool fReaped = false;
};

const std::string kSleep = "/bin/sleep";

TEST(SystemProcesses, ListAppendsAndHoldsThisProcess)
{
	std::vector<pid_t> ids{-7};
	VSystem::GetProcessList(ids);
	ASSERT_GE(ids.size(), 2u);
	EXPECT_EQ(ids.front(), -7);
	EXPECT_NE(std::find(ids.begin(), ids.end(), ::getpid()), ids.end());
}

// A running child is listed and named; once killed and reaped, every
// query answers that there is no such process.
TEST(SystemProcesses, RunningChildFromStartToReaping)
{
	StChild child(kSleep, {"600"});
	ASSERT_GT(child.Pid(), 0);
	EXPECT_TRUE(IsListed(child.Pid()));

	VString name("unchanged");
	ASSERT_TRUE(VSystem::GetProcessName(child.Pid(), name));
	EXPECT_EQ(UTF8(name), "sleep");
	VString path;
	ASSERT_TRUE(VSystem::GetProcessPath(child.Pid(), path));
	EXPECT_EQ(UTF8(path), RealPath(kSleep));

	VSystem::EWFP_Reason reason{};
	EXPECT_FALSE(VSystem::WaitForProcess(child.Pid(), 0, &reason));
	EXPECT_EQ(reason, VSystem::EWFP_StillRunning);

	EXPECT_TRUE(VSystem::KillProcess(child.Pid()));
	EXPECT_TRUE(VSystem::WaitForProcess(child.Pid(), -1, nullptr));
	child.MarkReaped();

	EXPECT_FALSE(IsListed(child.Pid()));
	name = VString("unchanged");
	path = VString("unchanged");
	EXPECT_FALSE(VSystem::GetProcessName(child.Pid(), name));
	EXPECT_FALSE(VSystem::GetProcessPath(child.Pid(), path));
	EXPECT_EQ(UTF8(name), "unchanged");
	EXPECT_EQ(UTF8(path), "unchanged");
	reason = VSystem::EWFP_Reason{};
	EXPECT_FALSE(VSystem::WaitForProcess(child.Pid(), 0, &reason));
	EXPECT_EQ(reason, VSystem::EWFP_NoChild);
	EXPECT_FALSE(VSystem::KillProcess(child.Pid()));
}

// An ended child nobody reaped yet runs no more: it is not listed, its name
// is still known, its executable no more.
TEST(SystemProcesses, EndedButUnreapedChildIsNotListed)
{
	StChild child("/bin/true", {});
	ASSERT_GT(child.Pid(), 0);
	ASSERT_TRUE(child.WaitUntilEnded());

	EXPECT_FALSE(IsListed(child.Pid()));
	VString name;
	EXPECT_TRUE(VSystem::GetProcessName(child.Pid(), name));
	EXPECT_EQ(UTF8(name), "true");
	VString path;
	EXPECT_FALSE(VSystem::GetProcessPath(child.Pid(), path));

	EXPECT_TRUE(VSystem::WaitForProcess(child.Pid(), 0, nullptr));
	child.MarkReaped();
}

// The state follows the last ')' of the process's record: a name with
// parentheses and spaces must not hide a running process.
TEST(SystemProcesses, NameWithParenthesesAndSpaces)
{
	testing::TempFolder folder;
	const std::string program = folder / "a) b (c";
	std::filesystem::copy_file(kSleep, program);
	StChild child(program, {"600"});
	ASSERT_GT(child.Pid(), 0);
	EXPECT_TRUE(IsListed(child.Pid()));
	VString name;
	ASSERT_TRUE(VSystem::GetProcessName(child.Pid(), name));
	EXPECT_EQ(UTF8(name), "a) b (c");
}

// 0 and negative ids name process groups (-1, every process): refused.
TEST(SystemProcesses, KillRefusesGroups)
{
	StChild grouped(kSleep, {"600"}, true);
	ASSERT_GT(grouped.Pid(), 0);
	EXPECT_FALSE(VSystem::KillProcess(-grouped.Pid()));
	VSystem::EWFP_Reason reason{};
	EXPECT_FALSE(VSystem::WaitForProcess(grouped.Pid(), 0, &reason));
	EXPECT_EQ(reason, VSystem::EWFP_StillRunning);

	// Id 0 is this process's own group: asked in a child leading a group of
	// its own, so that a regression kills only that child.
	const pid_t asker = ::fork();
	ASSERT_GE(asker, 0);
	if (asker == 0) {
		::setpgid(0, 0);
		::_exit(VSystem::KillProcess(0) ? 1 : 0);
	}
	int status = 0;
	ASSERT_EQ(::waitpid(asker, &status, 0), asker);
	EXPECT_TRUE(WIFEXITED(status));
	EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SystemProcesses, WaitForAProcessThatIsNoChild)
{
	VSystem::EWFP_Reason reason{};
	EXPECT_FALSE(VSystem::WaitForProcess(::getppid(), 0, &reason));
	EXPECT_EQ(reason, VSystem::EWFP_NoChild);
	reason = VSystem::EWFP_Reason{};
	EXPECT_FALSE(VSystem::WaitForProcess(::getpid(), -1, &reason));
	EXPECT_EQ(reason, VSystem::EWFP_NoChild);
}

} // namespace
} // namespace qirn
