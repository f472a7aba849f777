#pragma once

#include "files/VStream.h"

namespace qirn {

class VFile;
class VFileDesc;

// A stream over a file: the file is opened when the stream is, and one
// buffer stands in front of it. The stream keeps its own idea of the file's
// size, so that positions past the end, truncation and growth behave as an
// ordinary file's. Reads and writes larger than the buffer go straight to
// the file.
class VFileStream : public VStream {
public:
	// inOpenOptions are the file's open options when writing (create,
	// truncate, follow a link...); reading always follows a final link.
	explicit VFileStream(const VFile* inFile, uint32 inOpenOptions = 0);
	~VFileStream() override;

	// The buffer's size from now on (32,768 bytes at first); when open, a new
	// buffer of it is made at once, the old one written out first.
	void SetBufferSize(size_t inSize);
	void ReleaseBuffer();
	void AllocateBuffer(size_t inHint);

	static constexpr size_t kDefaultBufferSize = 32768;
	static constexpr int32 kTag_Buffer = 'stmf';

protected:
	VError DoOpenReading() override;
	VError DoOpenWriting() override;
	VError DoCloseReading() override;
	VError DoCloseWriting(bool inSetSize) override;
	VError DoPutData(const void* inBuffer, VSize inCount) override;
	VError DoGetData(void* outBuffer, VSize* ioCount) override;
	sLONG8 DoGetSize() override { return fLogicalSize; }
	VError DoSetSize(sLONG8 inSize) override;
	VError DoSetPos(sLONG8 inPosition) override;
	VError DoFlush() override;

private:
	// Makes a buffer of inSize, halving after each refusal down to 1 byte.
	void _Allocate(size_t inSize);
	// Writes the buffer's valid bytes at the window and empties the window.
	VError _WriteBuffer();
	size_t _ReadingBufferSize() const;

	const VFile* fFile;
	VFileDesc* fDesc = nullptr;
	sLONG8 fLogicalSize = 0;
	sLONG8 fBufferOffset = 0;
	size_t fBufferCount = 0;
	size_t fBufferCapacity = 0;
	size_t fPreferredSize = kDefaultBufferSize;
	char* fBuffer = nullptr;
	uint32 fOpenOptions;
};

} // namespace qirn
