// Moves each path of its command line to the trash and prints
// "result.<n>=<errno>": GLib reads HOME and XDG_DATA_HOME once, so the tests
// run the trash in a program of its own whose environment they set.

#include "host/HostTrash.h"

#include <cstdio>

// GIO's trash keeps a few bytes it never frees when a rename into the trash
// is refused: in this program the leak checker of the sanitizer builds
// passes over what GIO allocates, unwinding fully to see who did.
extern "C" __attribute__((used)) const char* __asan_default_options()
{
	return "fast_unwind_on_malloc=0";
}
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
	return "leak:libgio-2.0.so\n";
}

int main(int argc, char** argv)
{
	for (int i = 1; i < argc; ++i)
		std::printf("result.%d=%d\n", i, qirn::host::MoveToTrash(argv[i]));
	return 0;
}
