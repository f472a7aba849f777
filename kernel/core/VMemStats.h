#pragma once

#include "core/VKernelTypes.h"

#include <map>
#include <string>

namespace qirn {

class VStream;

// One kind of object found in the allocators, by class name.
struct VObjectInfo {
	std::string fClassName;
	uint32 fCount = 0;
	uint64 fTotalSize = 0;
};

struct VBlockTagInfo {
	uint32 fCount = 0;
	uint64 fTotalSize = 0;
};

struct VUsedFreeCount {
	uint32 fUsed = 0;
	uint32 fFree = 0;
};

struct VPageCount {
	uint32 fFull = 0;
	uint32 fPartial = 0;
};

// The record the allocators fill with their statistics.
class VMemStats {
public:
	uint64 fFreeMem = 0;
	uint64 fUsedMem = 0;
	uint32 fNbPages = 0;
	uint32 fNbObjects = 0;
	uint32 fNbSmallBlocks = 0;
	uint32 fNbFreeSmallBlocks = 0;
	uint32 fNbUsedSmallBlocks = 0;
	uint32 fNbBigBlocks = 0;
	uint32 fNbFreeBigBlocks = 0;
	uint32 fNbUsedBigBlocks = 0;
	uint64 fBiggestBlock = 0;
	uint64 fBiggestFreeBlock = 0;

	std::map<std::string, VObjectInfo> fObjectsByClass;
	std::map<OsType, VBlockTagInfo> fBlocksByTag;
	std::map<uint64, VUsedFreeCount> fSmallBlocksBySize;
	std::map<uint64, VPageCount> fPagesBySize;
	std::map<uint64, VUsedFreeCount> fOtherBigBlocksBySize;

	// Zeroes every figure and empties the maps, so a record can be filled
	// again without last time's entries.
	void Clear();

	// The short report, as DumpToStream writes it.
	std::string GetReport() const;
	// Writes the short report as text in the stream's character set.
	VError DumpToStream(VStream* ioStream) const;
	// The full report, with block, page and size sections.
	std::string Dump() const;

	void AddObject(const std::string& inClassName, uint64 inSize);
	void AddTaggedBlock(OsType inTag, uint64 inSize);
};

} // namespace qirn
