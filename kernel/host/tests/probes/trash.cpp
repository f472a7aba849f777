// Moves each path of its command line to the trash and prints
// "result.<n>=<errno>": GLib reads HOME and XDG_DATA_HOME once, so the tests
// run the trash in a program of its own whose environment they set.

#include "host/HostTrash.h"

#include <cstdio>

int main(int argc, char** argv)
{
	for (int i = 1; i < argc; ++i)
		std::printf("result.%d=%d\n", i, qirn::host::MoveToTrash(argv[i]));
	return 0;
}
