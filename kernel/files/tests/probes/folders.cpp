// The folders of the system for this program's environment, and folders
// moved to the trash: GLib reads HOME and the XDG variables once, so the
// tests run these in a program of its own whose environment they set.
// Prints "kind.<n>=<POSIX path>" (empty when there is none) for each kind,
// "created.<n>=<0|1>" for the kinds asked with creation, then
// "trash.<i>=<code>" for each folder path given.

#include "files/VFolder.h"

#include <cstdio>
#include <string>

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

namespace {

std::string PosixPath(const qirn::VFolder* inFolder)
{
	if (inFolder == nullptr)
		return std::string();
	qirn::VString path;
	inFolder->GetPlatformPath(path, qirn::FPS_POSIX);
	char bytes[8192];
	path.ToBlock(bytes, sizeof(bytes), qirn::VTC_UTF_8, true, false);
	return bytes;
}

} // namespace

int main(int argc, char** argv)
{
	using namespace qirn;
	for (int32 kind = 0; kind <= 14; ++kind) {
		VFolder* folder = VFolder::RetainSystemFolder(static_cast<ESystemFolderKind>(kind), false);
		std::printf("kind.%d=%s\n", kind, PosixPath(folder).c_str());
		if (folder != nullptr)
			folder->Release();
	}
	for (const ESystemFolderKind kind : {eFK_UserDocuments, eFK_UserApplicationData, eFK_UserCache}) {
		VFolder* folder = VFolder::RetainSystemFolder(kind, true);
		std::printf("created.%d=%d\n", kind, folder != nullptr && folder->Exists() ? 1 : 0);
		if (folder != nullptr)
			folder->Release();
	}
	for (int i = 1; i < argc; ++i) {
		VFolder* folder = new VFolder(VString(argv[i]), FPS_POSIX);
		std::printf("trash.%d=%llu\n", i, static_cast<unsigned long long>(folder->MoveToTrash()));
		folder->Release();
	}
	return 0;
}
