#include "bags_xml/VHashKeyMap.h"

#include "files/VStream.h"

#include <iterator>
#include <new>

namespace qirn {

namespace {

// Bound (first count that needs the next size) and bucket count. The
// bucket counts grow by about the golden ratio and keep the map at most
// about 60% full.
struct SizeRow {
	uint32 fBound;
	uint32 fBuckets;
};

constexpr SizeRow kSizes[] = {
	{5, 5},
	{9, 11},
	{18, 23},
	{30, 41},
	{48, 67},
	{77, 113},
	{124, 199},
	{200, 317},
	{323, 521},
	{522, 839},
	{844, 1361},
	{1365, 2207},
	{2208, 3571},
	{3572, 5779},
	{5779, 9349},
	{9350, 15121},
	{15128, 24473},
	{24477, 39607},
	{39604, 64081},
	{64080, 103681},
	{103683, 167759},
	{167762, 271429},
	{271444, 439199},
	{439205, 710641},
	{710648, 1149857},
	{1149852, 1860503},
	{1860499, 3010349},
	{3010350, 4870843},
	{4870848, 7881193},
	{7881197, 12752029},
	{12752044, 20633237},
	{20633240, 33385273},
	{33385283, 54018521},
	{54018522, 87403763},
	{87403804, 141422317},
	{141422325, 228826121},
	{228826128, 370248451},
	{370248452, 599074561},
	{599074579, 969323023},
	{969323030, 1568397599},
	{1568397608, 2537720629u},
};

constexpr size_t kLargestBucketCount = 4106118251u;

} // namespace

size_t _VHashKeyMap::_ComputeHashVectorSize(size_t inCount)
{
	for (const SizeRow& row : kSizes) {
		if (row.fBound > inCount)
			return row.fBuckets;
	}
	return kLargestBucketCount;
}

void _VHashKeyMap::Clear()
{
	std::vector<uint32>().swap(fBuckets);
}

bool _VHashKeyMap::Rebuild(size_t inCount)
{
	return Reset(_ComputeHashVectorSize(inCount));
}

bool _VHashKeyMap::Reset(size_t inBucketCount)
{
	Clear();
	try {
		fBuckets.assign(inBucketCount, tag_empty);
	} catch (const std::bad_alloc&) {
		Clear();
		return false;
	}
	return true;
}

bool _VHashKeyMap::Put(size_t inHash, uint32 inIndex)
{
	if (fBuckets.empty())
		return false;
	size_t start = inHash % fBuckets.size();
	size_t bucket = start;
	do {
		if (fBuckets[bucket] == tag_empty || fBuckets[bucket] == tag_free) {
			fBuckets[bucket] = inIndex;
			return true;
		}
		bucket = bucket + 1 == fBuckets.size() ? 0 : bucket + 1;
	} while (bucket != start);
	return false;
}

VError _VHashKeyMap::WriteToStream(VStream* ioStream) const
{
	ioStream->PutLong(static_cast<uLONG>(fBuckets.size()));
	for (uint32 bucket : fBuckets)
		ioStream->PutLong(static_cast<uLONG>(bucket));
	return ioStream->GetLastError();
}

bool _VHashKeyMap::Rebuild(VStream* ioStream, size_t inMaxBuckets)
{
	Clear();
	uLONG count = 0;
	if (ioStream->GetLong(count) != VE_OK)
		return false;
	if (count > inMaxBuckets) {
		ioStream->SetError(VE_PACKED_DICTIONARY_DAMAGED);
		return false;
	}
	try {
		fBuckets.resize(count);
	} catch (const std::bad_alloc&) {
		// The keys are still good: step over the stored buckets and let the
		// next lookup build a map of its own.
		Clear();
		ioStream->SetPosByOffset(static_cast<sLONG8>(count) * 4);
		return false;
	}
	for (uint32& bucket : fBuckets) {
		uLONG value = 0;
		if (ioStream->GetLong(value) != VE_OK) {
			Clear();
			return false;
		}
		bucket = value;
	}
	return true;
}

} // namespace qirn
