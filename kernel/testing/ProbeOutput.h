#pragma once

// Runs a probe program (tests/probes/<name>.cpp, built as qirn_probe_<name>)
// as a black box and collects what it reports, one "name=value" line per
// check.

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qirn::testing {

struct ProbeOutput {
	std::map<std::string, std::string> fValues;
	// The program's exit code; -1 when it could not run or ended by a signal.
	int fExitCode = -1;
};

namespace detail {
inline void ReadProbeLines(FILE* inPipe, ProbeOutput& ioOutput)
{
	char line[1024];
	while (std::fgets(line, sizeof(line), inPipe) != nullptr) {
		std::string text(line);
		if (!text.empty() && text.back() == '\n')
			text.pop_back();
		const size_t equal = text.find('=');
		if (equal != std::string::npos)
			ioOutput.fValues[text.substr(0, equal)] = text.substr(equal + 1);
	}
}
} // namespace detail

inline ProbeOutput RunProbe(const std::string& inPath)
{
	ProbeOutput output;
	FILE* pipe = ::popen(("'" + inPath + "'").c_str(), "r");
	if (pipe == nullptr)
		return output;
	detail::ReadProbeLines(pipe, output);
	const int status = ::pclose(pipe);
	if (status != -1 && WIFEXITED(status))
		output.fExitCode = WEXITSTATUS(status);
	return output;
}

// The same with arguments and nothing but the environment given ("NAME=value"
// entries); inChildSetUp runs in the child before the program starts (to
// drop privileges, say) and ends it with 126 when it answers false.
inline ProbeOutput RunProbe(const std::string& inPath, const std::vector<std::string>& inArguments,
	const std::vector<std::string>& inEnvironment, const std::function<bool()>& inChildSetUp = {})
{
	ProbeOutput output;
	std::vector<char*> arguments{const_cast<char*>(inPath.c_str())};
	for (const std::string& argument : inArguments)
		arguments.push_back(const_cast<char*>(argument.c_str()));
	arguments.push_back(nullptr);
	std::vector<char*> environment;
	for (const std::string& entry : inEnvironment)
		environment.push_back(const_cast<char*>(entry.c_str()));
	environment.push_back(nullptr);
	int pipe[2];
	if (::pipe2(pipe, O_CLOEXEC) != 0)
		return output;
	const pid_t child = ::fork();
	if (child == 0) {
		::dup2(pipe[1], STDOUT_FILENO);
		if (inChildSetUp && !inChildSetUp())
			::_exit(126);
		::execve(inPath.c_str(), arguments.data(), environment.data());
		::_exit(127);
	}
	::close(pipe[1]);
	if (child < 0) {
		::close(pipe[0]);
		return output;
	}
	FILE* reading = ::fdopen(pipe[0], "r");
	if (reading != nullptr) {
		detail::ReadProbeLines(reading, output);
		::fclose(reading);
	} else {
		::close(pipe[0]);
	}
	int status = 0;
	while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
	}
	if (WIFEXITED(status))
		output.fExitCode = WEXITSTATUS(status);
	return output;
}

} // namespace qirn::testing
