#include "bags_xml/VPackedDictionary_with_backstore.h"

#include "core/VByteSwap.h"
#include "core/VString.h"
#include "core/VValueInfo.h"
#include "core/VValueSingle.h"

#include <cstring>
#include <memory>

namespace qirn {

namespace {

using Dictionary = VPackedDictionary_with_backstore<VPackedValue_VValueSingle>;

constexpr uint16 kStringKind = 10;
constexpr uint16 kBlobKind = 11;

uint16 KindOf(const VValue& inValue)
{
	return inValue.GetValueInfo()->GetKind();
}

// The units a value takes once packed: its kind word and its flat data,
// padded to a whole unit.
size_t UnitsFor(const VValueSingle& inValue)
{
	return (inValue.GetSpace(0) + 3) / 2;
}

void WriteRun(uint16* ioRun, const VValueSingle& inValue)
{
	ioRun[0] = KindOf(inValue);
	inValue.WriteToPtr(ioRun + 1, false, 0);
}

// Whether the value can overwrite the run in place.
bool FitsRun(const uint16* inRun, const VValueSingle& inValue)
{
	return Dictionary::_GetPackedSize(inRun) == inValue.GetSpace(0) + 2;
}

} // namespace

Dictionary::VPackedDictionary_with_backstore(const VPackedDictionary_with_backstore& inOther)
	: VPackedDictionary_base()
{
	_CopyFrom(inOther);
}

Dictionary& Dictionary::operator=(const VPackedDictionary_with_backstore& inOther)
{
	if (this != &inOther) {
		RemoveAll();
		_CopyFrom(inOther);
	}
	return *this;
}

Dictionary::~VPackedDictionary_with_backstore()
{
	_DeleteClones();
}

VSize Dictionary::_GetPackedSize(const uint16* inRun)
{
	switch (inRun[0]) {
		case 1:
		case 2:
			return 3;
		case 3:
			return 4;
		case 4:
			return 6;
		case 5:
		case 6:
		case 9:
			return 10;
		case kStringKind:
			return VString::sInfo.GetSizeOfValueDataPtr(inRun + 1) + 2;
		default: {
			const VValueInfo* info = VValue::ValueInfoFromValueKind(inRun[0]);
			return info != nullptr ? info->GetSizeOfValueDataPtr(inRun + 1) + 2 : 2;
		}
	}
}

bool Dictionary::GetValue(const StPackedDictionaryKey& inKey, VValueSingle& outValue) const
{
	size_t index = _Find(inKey);
	return index != End() && GetValueAt(index, outValue);
}

bool Dictionary::GetValueAt(size_t inIndex, VValueSingle& outValue) const
{
	const Slot& slot = fSlots[inIndex];
	if (slot.fClone == nullptr) {
		const uint16* run = _Run(inIndex);
		if (run[0] == KindOf(outValue)) {
			outValue.LoadFromPtr(run + 1, false);
			return true;
		}
		slot.fClone = NewValueAt(inIndex);
		if (slot.fClone == nullptr)
			return true;
	}
	slot.fClone->GetValue(outValue);
	return true;
}

VValueSingle* Dictionary::NewValueAt(size_t inIndex) const
{
	const Slot& slot = fSlots[inIndex];
	if (slot.fClone != nullptr)
		return slot.fClone->Clone();
	const uint16* run = _Run(inIndex);
	const VValueInfo* info = VValue::ValueInfoFromValueKind(run[0]);
	if (info == nullptr)
		return nullptr;
	std::unique_ptr<VValue> value(info->LoadFromPtr(run + 1, false));
	if (value == nullptr || value->IsVValueSingle() == nullptr)
		return nullptr;
	return value.release()->IsVValueSingle();
}

uint16 Dictionary::GetKindAt(size_t inIndex) const
{
	const Slot& slot = fSlots[inIndex];
	return slot.fClone != nullptr ? KindOf(*slot.fClone) : _Run(inIndex)[0];
}

bool Dictionary::SetExistingValue(const StPackedDictionaryKey& inKey, const VValueSingle& inValue)
{
	size_t index = _Find(inKey);
	return index != End() && SetValueAt(index, inValue);
}

bool Dictionary::SetValueAt(size_t inIndex, const VValueSingle& inValue)
{
	Slot& slot = fSlots[inIndex];
	if (slot.fClone == nullptr) {
		uint16* run = _Run(inIndex);
		if (FitsRun(run, inValue)) {
			WriteRun(run, inValue);
			return true;
		}
		slot.fClone = inValue.Clone();
	} else if (slot.fClone != &inValue) {
		if (KindOf(*slot.fClone) == KindOf(inValue)) {
			slot.fClone->FromValueSameKind(&inValue);
		} else {
			delete slot.fClone;
			slot.fClone = inValue.Clone();
		}
	}
	fPackNeeded = true;
	return true;
}

size_t Dictionary::Append(const StPackedDictionaryKey& inKey, const VValueSingle& inValue)
{
	if (!inKey.IsUsable())
		return End();
	size_t offset = fBackstore.size();
	try {
		fBackstore.resize(offset + UnitsFor(inValue), 0);
	} catch (const std::bad_alloc&) {
		return End();
	}
	WriteRun(fBackstore.data() + offset, inValue);
	Slot slot;
	slot.fValueOffset = offset;
	size_t index = _AppendKeyAndSlot(inKey, slot);
	if (index == End())
		fBackstore.resize(offset);
	return index;
}

void Dictionary::Clear(const StPackedDictionaryKey& inKey)
{
	size_t index = _Find(inKey);
	if (index != End())
		ClearAt(index);
}

void Dictionary::ClearAt(size_t inIndex)
{
	Slot& slot = fSlots[inIndex];
	delete slot.fClone;
	slot.fClone = nullptr;
	size_t start = slot.fValueOffset;
	size_t end = _RunEnd(inIndex);
	fBackstore.erase(fBackstore.begin() + static_cast<std::ptrdiff_t>(start),
					 fBackstore.begin() + static_cast<std::ptrdiff_t>(end));
	for (size_t later = inIndex + 1; later < fSlots.size(); ++later)
		fSlots[later].fValueOffset -= end - start;
	_EraseKeyAndSlot(inIndex);
}

void Dictionary::RemoveAll()
{
	_DeleteClones();
	_ClearKeys();
	std::vector<uint16>().swap(fBackstore);
	fPackNeeded = false;
}

void Dictionary::_DeleteClones()
{
	for (Slot& slot : fSlots) {
		delete slot.fClone;
		slot.fClone = nullptr;
	}
}

void Dictionary::_Pack() const
{
	bool allFit = true;
	for (size_t index = 0; index < fSlots.size(); ++index) {
		const Slot& slot = fSlots[index];
		if (slot.fClone == nullptr)
			continue;
		uint16* run = _Run(index);
		if (FitsRun(run, *slot.fClone))
			WriteRun(run, *slot.fClone);
		else
			allFit = false;
	}
	if (!allFit) {
		std::vector<uint16> backstore;
		std::vector<size_t> offsets;
		try {
			offsets.reserve(fSlots.size());
			for (size_t index = 0; index < fSlots.size(); ++index) {
				const Slot& slot = fSlots[index];
				size_t offset = backstore.size();
				offsets.push_back(offset);
				if (slot.fClone != nullptr) {
					backstore.resize(offset + UnitsFor(*slot.fClone), 0);
					WriteRun(backstore.data() + offset, *slot.fClone);
				} else {
					backstore.insert(backstore.end(), _Run(index), fBackstore.data() + _RunEnd(index));
				}
			}
		} catch (const std::bad_alloc&) {
			// Left as it was: the clones still hold the values.
			return;
		}
		fBackstore.swap(backstore);
		for (size_t index = 0; index < fSlots.size(); ++index)
			fSlots[index].fValueOffset = offsets[index];
	}
	fPackNeeded = false;
}

bool Dictionary::_CopyFrom(const VPackedDictionary_with_backstore& inOther)
{
	if (inOther.fPackNeeded)
		inOther._Pack();
	try {
		fKeys = inOther.fKeys;
		fSlots = inOther.fSlots;
		fHashMap = inOther.fHashMap;
		fBackstore = inOther.fBackstore;
	} catch (const std::bad_alloc&) {
		_ClearKeys();
		std::vector<uint16>().swap(fBackstore);
		return false;
	}
	// After a pack the runs hold every value. Only a pack that ran out of
	// memory leaves clones that are the sole good form of their values.
	for (size_t index = 0; index < fSlots.size(); ++index) {
		const Slot& source = inOther.fSlots[index];
		bool keep = inOther.fPackNeeded && source.fClone != nullptr;
		fSlots[index].fClone = keep ? source.fClone->Clone() : nullptr;
	}
	fPackNeeded = inOther.fPackNeeded;
	return true;
}

void Dictionary::_SwapRuns(bool inFromNative) const
{
	for (size_t index = 0; index < fSlots.size(); ++index) {
		uint16* run = _Run(index);
		uint16 kind = inFromNative ? run[0] : ByteSwap(run[0]);
		run[0] = ByteSwap(run[0]);
		if (const VValueInfo* info = VValue::ValueInfoFromValueKind(kind))
			info->ByteSwapPtr(run + 1, inFromNative);
	}
}

VError Dictionary::WriteToStream(VStream* ioStream, bool inWithHashMap) const
{
	if (fPackNeeded)
		_Pack();
	_WriteKeysToStream(ioStream, inWithHashMap);
	ioStream->PutLong(static_cast<uLONG>(fBackstore.size()));
	if (!fBackstore.empty()) {
		if (ioStream->NeedSwap())
			_SwapRuns(true);
		ioStream->PutData(fBackstore.data(), fBackstore.size() * 2);
		if (ioStream->NeedSwap())
			_SwapRuns(false);
	}
	return ioStream->GetLastError();
}

VError Dictionary::ReadFromStream(VStream* ioStream)
{
	RemoveAll();
	if (ioStream->GetLastError() != VE_OK)
		return ioStream->GetLastError();
	VError err = _ReadKeysFromStream(ioStream);
	if (err != VE_OK)
		return _FailReadingValues(ioStream, err);
	uLONG units = 0;
	if (ioStream->GetLong(units) != VE_OK)
		return _FailReadingValues(ioStream, VE_OK);
	if (!_HasBytes(ioStream, uint64(units) * 2))
		return _FailReadingValues(ioStream, VE_PACKED_DICTIONARY_DAMAGED);
	try {
		fBackstore.resize(units);
	} catch (const std::bad_alloc&) {
		return _FailReadingValues(ioStream, VE_MEMORY_FULL);
	}
	if (units != 0 && ioStream->GetData(fBackstore.data(), size_t(units) * 2) != VE_OK)
		return _FailReadingValues(ioStream, VE_OK);
	// Each run's length comes from its own kind and data: check it lies in
	// the backstore before anything reads or swaps it.
	size_t offset = 0;
	bool swap = ioStream->NeedSwap();
	for (Slot& slot : fSlots) {
		if (offset >= fBackstore.size())
			return _FailReadingValues(ioStream, VE_PACKED_DICTIONARY_DAMAGED);
		uint16* run = fBackstore.data() + offset;
		size_t left = fBackstore.size() - offset;
		if (swap)
			run[0] = ByteSwap(run[0]);
		// Strings and blobs begin with their length (units or bytes): it must
		// lie in the backstore, in the stream's order, before it is read.
		if (run[0] == kStringKind || run[0] == kBlobKind) {
			if (left < 3)
				return _FailReadingValues(ioStream, VE_PACKED_DICTIONARY_DAMAGED);
			int32 length;
			std::memcpy(&length, run + 1, sizeof(length));
			if (swap)
				length = ByteSwap(length);
			const size_t room = run[0] == kStringKind ? left - 3 : (left - 3) * 2;
			if (length < 0 || size_t(length) > room)
				return _FailReadingValues(ioStream, VE_PACKED_DICTIONARY_DAMAGED);
		} else if (_GetPackedSize(run) > left * 2) {
			return _FailReadingValues(ioStream, VE_PACKED_DICTIONARY_DAMAGED);
		}
		if (swap) {
			if (const VValueInfo* info = VValue::ValueInfoFromValueKind(run[0]))
				info->ByteSwapPtr(run + 1, false);
		}
		slot.fValueOffset = offset;
		offset += (_GetPackedSize(run) + 1) / 2;
	}
	if (offset != fBackstore.size())
		return _FailReadingValues(ioStream, VE_PACKED_DICTIONARY_DAMAGED);
	return VE_OK;
}

VError Dictionary::_FailReadingValues(VStream* ioStream, VError inError)
{
	RemoveAll();
	return _FailReading(ioStream, inError);
}

} // namespace qirn
