#pragma once

#include "bags_xml/StPackedDictionaryKey.h"
#include "bags_xml/VHashKeyMap.h"
#include "core/VObject.h"
#include "files/VStream.h"

#include <new>
#include <vector>

namespace qirn {

// The name-to-slot store behind a bag: every key lies in one byte vector (a
// length byte, then the bytes, in insertion order) and every slot starts
// with the offset of its key there. Small dictionaries are scanned; from
// kHashMapThreshold keys on, a hash map chooses where the scan starts.
template <class Slot>
class VPackedDictionary_base : public VObject {
public:
	static constexpr size_t kHashMapThreshold = 6;

	VPackedDictionary_base() = default;
	VPackedDictionary_base(const VPackedDictionary_base&) = default;
	VPackedDictionary_base& operator=(const VPackedDictionary_base&) = default;

	size_t GetCount() const { return fSlots.size(); }
	bool IsEmpty() const { return fSlots.empty(); }
	// The position answered by a search or an insertion that finds or makes
	// nothing.
	size_t End() const { return fSlots.size(); }

	const char* GetKeyBytesAt(size_t inIndex) const
	{
		return reinterpret_cast<const char*>(fKeys.data() + fSlots[inIndex].fKeyOffset + 1);
	}
	size_t GetKeyLengthAt(size_t inIndex) const { return fKeys[fSlots[inIndex].fKeyOffset]; }
	// A key that points into this dictionary: valid until it changes.
	StPackedDictionaryKey GetKeyAt(size_t inIndex) const
	{
		return StPackedDictionaryKey::NoCopy(GetKeyBytesAt(inIndex), GetKeyLengthAt(inIndex));
	}
	size_t GetHashMapBucketCount() const { return fHashMap.GetBucketCount(); }

	size_t _Find(const StPackedDictionaryKey& inKey) const
	{
		if (!inKey.IsUsable() || fSlots.empty())
			return End();
		if (fHashMap.IsEmpty() && fSlots.size() >= kHashMapThreshold)
			_BuildHashMap();
		if (fHashMap.IsEmpty())
			return _Scan(inKey);
		// The buckets a key's insertion probed, from its own on: a missing
		// name stops at the first empty bucket instead of comparing every
		// key, which would make filling a large bag quadratic.
		const std::vector<uint32>& buckets = fHashMap.GetBuckets();
		size_t bucket = inKey.GetHash() % buckets.size();
		for (size_t step = 0; step < buckets.size(); ++step) {
			uint32 index = buckets[bucket];
			if (index == _VHashKeyMap::tag_empty)
				return End();
			if (index < fSlots.size() && inKey.Equal(GetKeyBytesAt(index), GetKeyLengthAt(index)))
				return index;
			bucket = bucket + 1 == buckets.size() ? 0 : bucket + 1;
		}
		return End();
	}

	size_t _AppendKeyAndSlot(const StPackedDictionaryKey& inKey, const Slot& inSlot)
	{
		if (!inKey.IsUsable() || fSlots.size() >= _VHashKeyMap::tag_free)
			return End();
		size_t keyOffset = fKeys.size();
		// The vectors grow by their own geometric rule: an exact reserve
		// per key would copy them on every append.
		try {
			fKeys.push_back(static_cast<uint8>(inKey.GetKeyLength()));
			fKeys.insert(fKeys.end(), reinterpret_cast<const uint8*>(inKey.GetKey()),
						 reinterpret_cast<const uint8*>(inKey.GetKey()) + inKey.GetKeyLength());
			fSlots.push_back(inSlot);
		} catch (const std::bad_alloc&) {
			fKeys.resize(keyOffset);
			return End();
		}
		fSlots.back().fKeyOffset = keyOffset;
		size_t index = fSlots.size() - 1;
		if (!fHashMap.IsEmpty() && !fHashMap.Put(inKey.GetHash(), static_cast<uint32>(index)))
			_BuildHashMap();
		return index;
	}

	// Cuts a key record and its slot out; the map is built again on demand.
	void _EraseKeyAndSlot(size_t inIndex)
	{
		size_t keyOffset = fSlots[inIndex].fKeyOffset;
		size_t recordSize = 1 + size_t(fKeys[keyOffset]);
		fKeys.erase(fKeys.begin() + static_cast<std::ptrdiff_t>(keyOffset),
					fKeys.begin() + static_cast<std::ptrdiff_t>(keyOffset + recordSize));
		fSlots.erase(fSlots.begin() + static_cast<std::ptrdiff_t>(inIndex));
		for (Slot& slot : fSlots) {
			if (slot.fKeyOffset > keyOffset)
				slot.fKeyOffset -= recordSize;
		}
		fHashMap.Clear();
	}

	// Puts the entries in the order given (a permutation of the indexes).
	bool _Reorder(const std::vector<size_t>& inOrder)
	{
		try {
			std::vector<uint8> keys;
			std::vector<Slot> slots;
			keys.reserve(fKeys.size());
			slots.reserve(fSlots.size());
			for (size_t index : inOrder) {
				size_t offset = fSlots[index].fKeyOffset;
				slots.push_back(fSlots[index]);
				slots.back().fKeyOffset = keys.size();
				keys.insert(keys.end(), fKeys.begin() + static_cast<std::ptrdiff_t>(offset),
							fKeys.begin() + static_cast<std::ptrdiff_t>(offset + 1 + fKeys[offset]));
			}
			fKeys.swap(keys);
			fSlots.swap(slots);
		} catch (const std::bad_alloc&) {
			return false;
		}
		fHashMap.Clear();
		return true;
	}

	void _ClearKeys()
	{
		std::vector<uint8>().swap(fKeys);
		std::vector<Slot>().swap(fSlots);
		fHashMap.Clear();
	}

	VError _WriteKeysToStream(VStream* ioStream, bool inWithHashMap) const
	{
		if (inWithHashMap && fHashMap.IsEmpty() && fSlots.size() >= kHashMapThreshold)
			_BuildHashMap();
		ioStream->PutLong(static_cast<uLONG>(fSlots.size()));
		ioStream->PutLong(static_cast<uLONG>(fKeys.size()));
		if (!fKeys.empty())
			ioStream->PutData(fKeys.data(), fKeys.size());
		bool withMap = inWithHashMap && !fHashMap.IsEmpty();
		ioStream->PutByte(static_cast<uBYTE>(withMap ? 1 : 0));
		if (withMap)
			fHashMap.WriteToStream(ioStream);
		return ioStream->GetLastError();
	}

	// Every count, length and stored bucket is checked against the stream
	// and the keys before it is used: a damaged block empties the
	// dictionary and answers an error.
	VError _ReadKeysFromStream(VStream* ioStream)
	{
		_ClearKeys();
		uLONG count = 0;
		uLONG byteCount = 0;
		if (ioStream->GetLong(count) != VE_OK || ioStream->GetLong(byteCount) != VE_OK)
			return _FailReading(ioStream, VE_OK);
		// Every key takes at least its length byte.
		if (count > byteCount || !_HasBytes(ioStream, uint64(byteCount) + 1))
			return _FailReading(ioStream, VE_PACKED_DICTIONARY_DAMAGED);
		try {
			fKeys.resize(byteCount);
			fSlots.resize(count);
		} catch (const std::bad_alloc&) {
			return _FailReading(ioStream, VE_MEMORY_FULL);
		}
		if (byteCount != 0 && ioStream->GetData(fKeys.data(), byteCount) != VE_OK)
			return _FailReading(ioStream, VE_OK);
		size_t offset = 0;
		for (Slot& slot : fSlots) {
			if (offset >= fKeys.size() || offset + 1 + fKeys[offset] > fKeys.size())
				return _FailReading(ioStream, VE_PACKED_DICTIONARY_DAMAGED);
			slot.fKeyOffset = offset;
			offset += 1 + size_t(fKeys[offset]);
		}
		if (offset != fKeys.size())
			return _FailReading(ioStream, VE_PACKED_DICTIONARY_DAMAGED);
		uBYTE withMap = 0;
		if (ioStream->GetByte(withMap) != VE_OK)
			return _FailReading(ioStream, VE_OK);
		if (withMap > 1)
			return _FailReading(ioStream, VE_PACKED_DICTIONARY_DAMAGED);
		if (withMap == 1) {
			sLONG8 left = ioStream->GetSize() - ioStream->GetPos();
			size_t maxBuckets = left > 4 ? static_cast<size_t>(left / 4 - 1) : 0;
			fHashMap.Rebuild(ioStream, maxBuckets);
			if (ioStream->GetLastError() != VE_OK)
				return _FailReading(ioStream, VE_OK);
			if (!_HashMapFitsKeys())
				return _FailReading(ioStream, VE_PACKED_DICTIONARY_DAMAGED);
		} else if (fSlots.size() >= kHashMapThreshold) {
			_BuildHashMap();
		}
		return VE_OK;
	}

protected:
	static bool _HasBytes(VStream* ioStream, uint64 inBytes)
	{
		sLONG8 left = ioStream->GetSize() - ioStream->GetPos();
		return left >= 0 && static_cast<uint64>(left) >= inBytes;
	}

	// Empties the keys and answers the stream's error, setting inError on
	// it first when the stream has none (a damaged block is no success).
	VError _FailReading(VStream* ioStream, VError inError)
	{
		_ClearKeys();
		if (ioStream->GetLastError() == VE_OK)
			ioStream->SetError(inError != VE_OK ? inError : VE_PACKED_DICTIONARY_DAMAGED);
		return ioStream->GetLastError();
	}

	std::vector<uint8> fKeys;
	std::vector<Slot> fSlots;
	mutable _VHashKeyMap fHashMap;

private:
	size_t _Scan(const StPackedDictionaryKey& inKey) const
	{
		for (size_t index = 0; index < fSlots.size(); ++index) {
			if (inKey.Equal(GetKeyBytesAt(index), GetKeyLengthAt(index)))
				return index;
		}
		return End();
	}

	void _BuildHashMap() const
	{
		if (fHashMap.Rebuild(fSlots.size()) && !_PutAllKeys(fHashMap))
			fHashMap.Clear();
	}

	// A stored map is used as it is, so it must be the map these keys give
	// with its bucket count: anything else could lead a lookup astray.
	bool _HashMapFitsKeys() const
	{
		if (fHashMap.IsEmpty())
			return true;
		_VHashKeyMap expected;
		if (!expected.Reset(fHashMap.GetBucketCount())) {
			// Cannot be checked: dropped, the next lookup builds its own.
			fHashMap.Clear();
			return true;
		}
		return _PutAllKeys(expected) && expected.GetBuckets() == fHashMap.GetBuckets();
	}

	bool _PutAllKeys(_VHashKeyMap& ioMap) const
	{
		for (size_t index = 0; index < fSlots.size(); ++index) {
			uint32 hash = StPackedDictionaryKey::GetHashCode(GetKeyBytesAt(index), GetKeyLengthAt(index));
			if (!ioMap.Put(hash, static_cast<uint32>(index)))
				return false;
		}
		return true;
	}
};

} // namespace qirn
