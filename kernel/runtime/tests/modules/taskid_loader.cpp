// Loads the module named by its argument with dlopen, the kernel library with
// it, and calls it: exits 0 when the module answers the thread's id; 1, with
// the loader's message, when it cannot be loaded.
#include <cstdio>
#include <dlfcn.h>
#include <unistd.h>

int main(int argc, char** argv)
{
	if (argc != 2)
		return 2;
	void* module = ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
	if (module == nullptr) {
		std::fprintf(stderr, "%s\n", ::dlerror());
		return 1;
	}
	auto taskID = reinterpret_cast<int (*)()>(::dlsym(module, "QirnModuleTaskID"));
	if (taskID == nullptr)
		return 3;
	return taskID() == ::gettid() ? 0 : 4;
}
