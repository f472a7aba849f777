#include "files/FileErrorCodes.h"
#include "files/VStream.h"
#include "files/platform/PosixFileOpsAt.h"
#include "files/platform/XLinuxFile.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace qirn {

namespace {

// One system call moves at most this much (tasks are threads: nothing
// else to yield to between calls).
constexpr size_t kChunk = 524'288'000;

template <typename Call>
VError Transfer(VSize& ioCount, sLONG8 inOffset, Call&& inCall)
{
	const VSize asked = ioCount;
	VSize done = 0;
	while (done < asked) {
		const size_t chunk = std::min<size_t>(asked - done, kChunk);
		const ssize_t moved = inCall(done, chunk, static_cast<off_t>(inOffset + static_cast<sLONG8>(done)));
		if (moved < 0) {
			if (errno == EINTR)
				continue; // nothing moved by the interrupted call: go on from where it stopped
			ioCount = done;
			return PosixCause(errno);
		}
		if (moved == 0)
			break;
		done += static_cast<VSize>(moved);
	}
	ioCount = done;
	return VE_OK;
}

} // namespace

XLinuxFileDesc::~XLinuxFileDesc()
{
	if (fDescriptor >= 0)
		::close(fDescriptor);
}

VError XLinuxFileDesc::GetSize(sLONG8* outSize) const
{
	struct stat status{};
	if (::fstat(fDescriptor, &status) != 0) {
		*outSize = 0;
		return PosixCause(errno);
	}
	*outSize = status.st_size;
	return VE_OK;
}

VError XLinuxFileDesc::SetSize(sLONG8 inSize) const
{
	if (PosixFileOps::RetryOnInterrupt([&] { return ::ftruncate(fDescriptor, static_cast<off_t>(inSize)); }) != 0)
		return PosixCause(errno);
	return VE_OK;
}

VError XLinuxFileDesc::Flush() const
{
	return ::fsync(fDescriptor) == 0 ? VE_OK : PosixCause(errno);
}

VError XLinuxFileDesc::GetData(void* outData, VSize& ioCount, sLONG8 inOffset, bool inFromStart)
{
	const sLONG8 offset = inFromStart ? inOffset : fPosition + inOffset;
	if (offset < 0) {
		ioCount = 0;
		return PosixCause(EINVAL);
	}
	const VSize asked = ioCount;
	char* bytes = static_cast<char*>(outData);
	const VError error = Transfer(ioCount, offset, [&](VSize inDone, size_t inChunk, off_t inAt) {
		return ::pread(fDescriptor, bytes + inDone, inChunk, inAt);
	});
	if (!inFromStart)
		fPosition = offset + static_cast<sLONG8>(ioCount);
	if (error != VE_OK)
		return error;
	return ioCount < asked ? VE_STREAM_EOF : VE_OK;
}

VError XLinuxFileDesc::PutData(const void* inData, VSize& ioCount, sLONG8 inOffset, bool inFromStart)
{
	const sLONG8 offset = inFromStart ? inOffset : fPosition + inOffset;
	if (offset < 0) {
		ioCount = 0;
		return PosixCause(EINVAL);
	}
	const VSize asked = ioCount;
	const char* bytes = static_cast<const char*>(inData);
	const VError error = Transfer(ioCount, offset, [&](VSize inDone, size_t inChunk, off_t inAt) {
		return ::pwrite(fDescriptor, bytes + inDone, inChunk, inAt);
	});
	if (!inFromStart)
		fPosition = offset + static_cast<sLONG8>(ioCount);
	if (error != VE_OK)
		return error;
	// A write that stops short without a reason must not pass for a whole one.
	return ioCount < asked ? PosixCause(EINVAL) : VE_OK;
}

} // namespace qirn
