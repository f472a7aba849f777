#pragma once

// Runs a probe program (tests/probes/<name>.cpp, built as qirn_probe_<name>)
// as a black box and collects what it reports, one "name=value" line per
// check.

#include <cstdio>
#include <map>
#include <string>
#include <sys/wait.h>

namespace qirn::testing {

struct ProbeOutput {
	std::map<std::string, std::string> fValues;
	// The program's exit code; -1 when it could not run or ended by a signal.
	int fExitCode = -1;
};

inline ProbeOutput RunProbe(const std::string& inPath)
{
	ProbeOutput output;
	FILE* pipe = ::popen(("'" + inPath + "'").c_str(), "r");
	if (pipe == nullptr)
		return output;
	char line[1024];
	while (std::fgets(line, sizeof(line), pipe) != nullptr) {
		std::string text(line);
		if (!text.empty() && text.back() == '\n')
			text.pop_back();
		const size_t equal = text.find('=');
		if (equal != std::string::npos)
			output.fValues[text.substr(0, equal)] = text.substr(equal + 1);
	}
	const int status = ::pclose(pipe);
	if (status != -1 && WIFEXITED(status))
		output.fExitCode = WEXITSTATUS(status);
	return output;
}

} // namespace qirn::testing
