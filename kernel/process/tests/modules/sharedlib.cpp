// A plain shared library the library tests load, from a copy without its
// execute bits, and look an entry point up in.
extern "C" __attribute__((visibility("default"))) int qirn_library_answer()
{
	return 42;
}
