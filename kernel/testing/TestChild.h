#pragma once

// Work run in a forked child, where a test may change what it must not
// change in the test process: its user (dropped to nobody), its limits, its
// mounts (a private mount namespace with a small tmpfs). The child answers a
// text, which the test compares; a child that dies answers how it ended.

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qirn::testing {

inline std::string RunInChild(const std::function<std::string()>& inWork)
{
	int pipe[2];
	if (::pipe2(pipe, O_CLOEXEC) != 0)
		return "no pipe";
	const pid_t child = ::fork();
	if (child < 0) {
		::close(pipe[0]);
		::close(pipe[1]);
		return "no fork";
	}
	if (child == 0) {
		::close(pipe[0]);
		const std::string answer = inWork();
		size_t done = 0;
		while (done < answer.size()) {
			const ssize_t put = ::write(pipe[1], answer.data() + done, answer.size() - done);
			if (put <= 0)
				::_exit(2);
			done += static_cast<size_t>(put);
		}
		::_exit(0);
	}
	::close(pipe[1]);
	std::string answer;
	char buffer[512];
	for (;;) {
		const ssize_t got = ::read(pipe[0], buffer, sizeof(buffer));
		if (got > 0)
			answer.append(buffer, static_cast<size_t>(got));
		else if (got == 0 || errno != EINTR)
			break;
	}
	::close(pipe[0]);
	int status = 0;
	while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
	}
	if (WIFSIGNALED(status))
		return "child killed by signal " + std::to_string(WTERMSIG(status));
	if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
		return "child exited with " + std::to_string(WEXITSTATUS(status));
	return answer;
}

// The ids of the user nobody, looked up in the test process (not in a forked
// child, where the name service is not safe to start).
struct UserIds {
	uid_t fUser = 0;
	gid_t fGroup = 0;
};

// False (with the reason) unless the process is root and nobody exists.
inline bool FindNobody(UserIds& outIds, std::string& outWhyNot)
{
	if (::geteuid() != 0) {
		outWhyNot = "not root: cannot become nobody";
		return false;
	}
	const passwd* entry = ::getpwnam("nobody");
	if (entry == nullptr) {
		outWhyNot = "no user nobody";
		return false;
	}
	outIds.fUser = entry->pw_uid;
	outIds.fGroup = entry->pw_gid;
	return true;
}

// For a child: drops every privilege for good.
inline bool BecomeUser(const UserIds& inIds)
{
	return ::setgroups(0, nullptr) == 0 && ::setgid(inIds.fGroup) == 0 && ::setuid(inIds.fUser) == 0;
}

namespace detail {
inline bool WriteSmallFile(const char* inPath, const std::string& inText)
{
	const int file = ::open(inPath, O_WRONLY | O_CLOEXEC);
	if (file < 0)
		return false;
	const bool written = ::write(file, inText.data(), inText.size()) == static_cast<ssize_t>(inText.size());
	::close(file);
	return written;
}
} // namespace detail

// For a child: a mount namespace of its own (as root, or as root of a new
// user namespace), whose mounts nobody else sees. Empty on success, else why
// not.
inline std::string EnterPrivateMounts()
{
	if (::geteuid() == 0) {
		if (::unshare(CLONE_NEWNS) != 0)
			return std::string("unshare: ") + std::strerror(errno);
	} else {
		const uid_t user = ::getuid();
		const gid_t group = ::getgid();
		if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
			return std::string("unshare: ") + std::strerror(errno);
		detail::WriteSmallFile("/proc/self/setgroups", "deny");
		if (!detail::WriteSmallFile("/proc/self/uid_map", "0 " + std::to_string(user) + " 1") ||
			!detail::WriteSmallFile("/proc/self/gid_map", "0 " + std::to_string(group) + " 1"))
			return "no user mapping";
	}
	if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
		return std::string("private mounts: ") + std::strerror(errno);
	return std::string();
}

// For a child in private mounts: a tmpfs of inBytes at inFolder.
inline std::string MountTmpfs(const std::string& inFolder, size_t inBytes)
{
	const std::string options = "size=" + std::to_string(inBytes);
	if (::mount("tmpfs", inFolder.c_str(), "tmpfs", 0, options.c_str()) != 0)
		return std::string("tmpfs: ") + std::strerror(errno);
	return std::string();
}

} // namespace qirn::testing
