#pragma once

#include "core/VKernelTypes.h"

#include <vector>

namespace qirn {

class VStream;

// What a damaged dictionary read from a stream answers: the data are not in
// the form this code writes.
constexpr VError VE_PACKED_DICTIONARY_DAMAGED = MAKE_VERROR('qirn', 207);

// The open-addressing map of a packed dictionary from a key's hash to the
// slot where the scan for that key starts. It only chooses a starting
// point: the dictionary still compares keys, so a collision never hides one.
class _VHashKeyMap {
public:
	static constexpr uint32 tag_empty = 0xFFFFFFFF;
	// Also free for an insertion.
	static constexpr uint32 tag_free = 0xFFFFFFFE;

	// The bucket count for a number of keys.
	static size_t _ComputeHashVectorSize(size_t inCount);

	bool IsEmpty() const { return fBuckets.empty(); }
	size_t GetBucketCount() const { return fBuckets.size(); }
	uint32 GetBucket(size_t inHash) const { return fBuckets[inHash % fBuckets.size()]; }
	const std::vector<uint32>& GetBuckets() const { return fBuckets; }
	void Clear();

	// Replaces the buckets by empty ones for inCount keys; false, the map
	// left empty, when memory runs out.
	bool Rebuild(size_t inCount);
	// The same with a given number of buckets.
	bool Reset(size_t inBucketCount);
	// False when every bucket is taken.
	bool Put(size_t inHash, uint32 inIndex);

	VError WriteToStream(VStream* ioStream) const;
	// Reads a stored map as it is. False, the map left empty, when the
	// stream fails, when the count exceeds inMaxBuckets (the stream is then
	// set in error: the data are damaged), or when the buckets cannot be
	// allocated (the stream then stands after them).
	bool Rebuild(VStream* ioStream, size_t inMaxBuckets);

private:
	std::vector<uint32> fBuckets;
};

} // namespace qirn
