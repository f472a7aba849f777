// Moves each file path of its command line to the trash through VFile and
// prints "trash.<n>=<code>" (the kernel code answered, in decimal): GLib
// reads HOME and XDG_DATA_HOME once, so the tests run the trash in a
// program of its own whose environment they set.

#include "files/VFile.h"

#include <cstdio>

// GIO's trash keeps a few bytes it never frees when a rename into the trash
// is refused (see the trash probe of the host layer).
extern "C" __attribute__((used)) const char* __asan_default_options()
{
	return "fast_unwind_on_malloc=0";
}
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
	return "leak:libgio-2.0.so\nleak:libglib-2.0.so\n";
}

int main(int argc, char** argv)
{
	for (int i = 1; i < argc; ++i) {
		qirn::VFile* file = new qirn::VFile(qirn::VFilePath(qirn::VString(argv[i]), qirn::FPS_POSIX));
		std::printf("trash.%d=%llu\n", i, static_cast<unsigned long long>(file->MoveToTrash()));
		file->Release();
	}
	return 0;
}
