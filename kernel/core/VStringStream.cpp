// The stream form of strings.
#include "core/VString.h"

#include "files/VStream.h"
#include "runtime/VError.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace qirn {

VError VString::WriteToStream(VStream* ioStream, sLONG) const
{
	VError err = ioStream->PutLong(static_cast<sLONG>(-fLength));
	if (err == VE_OK && fLength > 0)
		err = ioStream->PutWords(reinterpret_cast<const sWORD*>(fString), fLength);
	return err;
}

VSize VString::GetStreamSpace() const
{
	return fLength == 0 ? 4 : static_cast<VSize>(fLength) * 2 + 10;
}

VError VString::ReadFromStream(VStream* ioStream, sLONG)
{
	sLONG count = 0;
	VError err = ioStream->GetLong(count);
	if (err != VE_OK)
		return err;
	// Reading is not an edit: the dirty flag stays as it was.
	const uint8 dirty = fFlags & kFlag_Dirty;

	int64 length = 0;
	if (count < 0) {
		// INT_MIN has no positive counterpart: no string is that long.
		if (count == INT_MIN) {
			_ThrowError(VE_STRING_ALLOC_FAILED);
			return ioStream->SetError(VE_STRING_ALLOC_FAILED);
		}
		length = -static_cast<int64>(count);
	} else if (count > 0) {
		// The older form: a kind, then the units and their terminator (or,
		// for any other kind, bytes that are skipped).
		sLONG kind = 0;
		err = ioStream->GetLong(kind);
		if (err != VE_OK)
			return err;
		if (kind != 1 && kind != 2)
			return ioStream->SetPosByOffset(static_cast<sLONG8>(count) + 1);
		length = static_cast<int64>(count) + 1;
	}

	// The units arrive in pieces, the string growing with what was really
	// read: a forged length on a short stream never asks for its size in
	// memory, and a short read keeps the units that came. The pieces start
	// small and double, so that the room taken stays within twice what the
	// stream really held, whatever length it declared.
	constexpr int64 kFirstPiece = 256;
	constexpr int64 kLargestPiece = 65536;
	Truncate(0);
	int64 done = 0;
	int64 nextPiece = kFirstPiece;
	while (done < length && err == VE_OK) {
		sLONG piece = static_cast<sLONG>(std::min(nextPiece, length - done));
		nextPiece = std::min(nextPiece * 2, kLargestPiece);
		if (!_EnsureSize(static_cast<VIndex>(done + piece))) {
			err = ioStream->SetError(VE_STRING_ALLOC_FAILED);
			break;
		}
		sLONG read = piece;
		err = ioStream->GetWords(reinterpret_cast<sWORD*>(fString + done), &read);
		done += std::max<sLONG>(read, 0);
		fLength = static_cast<VIndex>(done);
		fString[fLength] = 0;
	}
	// The older form's terminator is not part of the text.
	if (count > 0 && done == length && fLength > 0)
		fString[--fLength] = 0;
	_Touch();
	fFlags = (fFlags & ~kFlag_Dirty) | dirty;
	return err;
}

} // namespace qirn
