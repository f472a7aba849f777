// An application the tests start through "open": it reports how it was
// started (arguments, folder, session, descriptors) on the FIFO named by
// QIRN_FAKEAPP_FIFO, in one write, then exits.

#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

static bool IsDevNull(int inFD)
{
	struct stat fd {}, null {};
	return ::fstat(inFD, &fd) == 0 && ::stat("/dev/null", &null) == 0 && S_ISCHR(fd.st_mode) && fd.st_rdev == null.st_rdev;
}

int main(int argc, char** argv)
{
	std::string report;
	for (int i = 0; i < argc; ++i)
		report += "arg=" + std::string(argv[i]) + "\n";
	char cwd[4096];
	report += "cwd=" + std::string(::getcwd(cwd, sizeof(cwd)) != nullptr ? cwd : "?") + "\n";
	report += "session=" + std::string(::getsid(0) == ::getpid() ? "own" : "caller's") + "\n";
	std::string fds;
	if (DIR* dir = ::opendir("/proc/self/fd")) {
		while (dirent* entry = ::readdir(dir)) {
			if (entry->d_name[0] == '.' || std::stoi(entry->d_name) == ::dirfd(dir))
				continue;
			fds += (fds.empty() ? "" : " ") + std::string(entry->d_name);
		}
		::closedir(dir);
	}
	report += "fds=" + fds + "\n";
	report += "null=" + std::string(IsDevNull(0) && IsDevNull(1) && IsDevNull(2) ? "yes" : "no") + "\n";
	report += "end\n";
	const char* fifo = ::getenv("QIRN_FAKEAPP_FIFO");
	if (fifo == nullptr)
		return 2;
	int out = ::open(fifo, O_WRONLY | O_CLOEXEC);
	if (out < 0)
		return 3;
	const bool written = ::write(out, report.data(), report.size()) == static_cast<ssize_t>(report.size());
	::close(out);
	return written ? 0 : 4;
}
