#pragma once

// Starts an application bundle's executable, detached from the caller: the
// updater's relaunch goes through "open -a APP --args ...", and Linux has no
// such command, so the updater bundle carries this one. Plain C++ and the
// host layer only: no kernel is loaded into it.

#include <string>
#include <vector>

namespace qirn::open {

// The executable a bundle names in its Info.plist ("CFBundleExecutable"),
// inside "Contents/MacOS". Empty, with a message, when the bundle has none
// or names something outside that folder.
std::string GetBundleExecutable(const std::string& inBundlePath, std::string& outMessage);

// Starts inExecutable with inArguments (argument 0 is the executable's path)
// in a session of its own, in "/", with its standard streams on /dev/null and
// no other descriptor of ours. Answers 0 once the executable runs (its exec
// succeeded), else the errno of the failure.
int LaunchDetached(const std::string& inExecutable, const std::vector<std::string>& inArguments);

// The whole command: "open -a APP [--args ARG...]". Answers the exit status
// (0 once APP's executable has started, else 1 with a message on outError).
int RunOpenCommand(const std::vector<std::string>& inArguments, std::string& outError);

} // namespace qirn::open
