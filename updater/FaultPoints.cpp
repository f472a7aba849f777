#include "FaultPoints.h"

#if defined(QX_UPDATER_FAULT_POINTS) && QX_UPDATER_FAULT_POINTS

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace qirn {

namespace {

struct FaultChoice {
	std::string fName;
	long fCount = 1;
};

FaultChoice ReadChoice()
{
	FaultChoice choice;
	const char* text = std::getenv("QX_UPDATER_FAULT");
	if (text == nullptr)
		return choice;
	choice.fName = text;
	if (const size_t colon = choice.fName.find(':'); colon != std::string::npos) {
		choice.fCount = std::strtol(choice.fName.c_str() + colon + 1, nullptr, 10);
		choice.fName.resize(colon);
	}
	return choice;
}

} // namespace

// Only the main task runs the update: no lock needed.
void ReachFaultPoint(const char* inName)
{
	static const FaultChoice sChoice = ReadChoice();
	static long sReached = 0;
	if (sChoice.fName.empty() || sChoice.fName != inName)
		return;
	if (++sReached == sChoice.fCount)
		::kill(::getpid(), SIGKILL);
}

} // namespace qirn

#endif
