// The peer of frame_app: a plain program loading the same libraries (one
// call into the kernel keeps the link), with no process frame.
#include "process/VProcess.h"

int main()
{
	return qirn::VProcess::GetSystemID() > 0 ? 0 : 1;
}
