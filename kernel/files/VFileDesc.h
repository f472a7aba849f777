#pragma once

#include "core/VObject.h"
#include "files/VFile.h"
#include "files/platform/XLinuxFile.h"

namespace qirn {

// An open file: reads and writes at a position, its size, flush. It keeps
// its file (retained) and its own position; the file is closed, and its lock
// let go, when the descriptor is deleted. Failures are VFileErrors on the
// owner file, raised and answered.
class VFileDesc : public VObject {
public:
	VFileDesc(const VFile* inFile, int inDescriptor, FileAccess inAccess);
	~VFileDesc() override;

	VFileDesc(const VFileDesc&) = delete;
	VFileDesc& operator=(const VFileDesc&) = delete;

	const VFile* GetParentVFile() const { return fFile; }
	FileAccess GetMode() const { return fAccess; }

	// 0 on failure.
	sLONG8 GetSize() const;
	VError SetSize(sLONG8 inSize) const;

	// At an absolute position; the descriptor's position does not move. A
	// read short of inCount is the end of the file (200), raised.
	VError GetData(void* outData, VSize inCount, sLONG8 inPosition, VSize* outRead = nullptr) const;
	// At the descriptor's position plus inOffset, which then advances by what
	// was read; the end of the file is answered (200) but not raised.
	VError GetDataAtPos(void* outData, VSize inCount, sLONG8 inOffset = 0, VSize* outRead = nullptr);
	VError PutData(const void* inData, VSize inCount, sLONG8 inPosition, VSize* outWritten = nullptr) const;
	VError PutDataAtPos(const void* inData, VSize inCount, sLONG8 inOffset = 0, VSize* outWritten = nullptr);

	sLONG8 GetPos() const;
	VError SetPos(sLONG8 inPosition, bool inAbsolute = true);
	VError Flush() const;

	const XLinuxFileDesc& GetImpl() const { return fImpl; }

	using VObject::DebugDump;
	CharSet DebugDump(char* ioBuffer, int32& ioSize) const override;

private:
	VError _Wrap(VError inNative, VError inDefault, VSize inCount, sLONG8 inOffset, bool inWithSize) const;

	const VFile* fFile;
	FileAccess fAccess;
	mutable XLinuxFileDesc fImpl;
};

} // namespace qirn
