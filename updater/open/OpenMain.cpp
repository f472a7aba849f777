#include "OpenApplication.h"

#include <cstdio>

int main(int argc, char** argv)
{
	std::vector<std::string> arguments(argv, argv + argc);
	std::string error;
	const int status = qirn::open::RunOpenCommand(arguments, error);
	if (status != 0)
		std::fprintf(stderr, "open: %s\n", error.c_str());
	return status;
}
