#pragma once

// A seeded mix of mallocs, reallocs and frees through a memory manager, with
// every block's contents checked before it is resized or freed. Shared by the
// block allocator's tests, the memcheck probe and the benchmarks.

#include "core/VCppMemMgr.h"

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace qirn::testing {

class PoolWorkload {
public:
	PoolWorkload(VCppMemMgr& inManager, uint32 inSeed, size_t inSlots = 256)
		: fManager(inManager), fRandom(inSeed), fSlots(inSlots)
	{
	}
	~PoolWorkload() { FreeAll(); }

	PoolWorkload(const PoolWorkload&) = delete;
	PoolWorkload& operator=(const PoolWorkload&) = delete;

	// Runs the rounds, calling inAfterRound (when given) after each; answers
	// the first fault found, or an empty text.
	std::string Run(int inRounds, int inOperationsPerRound, const std::function<bool()>& inAfterRound = nullptr)
	{
		for (int round = 0; round < inRounds; ++round) {
			for (int i = 0; i < inOperationsPerRound && fFault.empty(); ++i)
				_Step();
			if (fFault.empty() && inAfterRound && !inAfterRound())
				fFault = "the check after round " + std::to_string(round) + " failed";
			if (!fFault.empty())
				break;
		}
		return fFault;
	}

	void FreeAll()
	{
		for (Slot& slot : fSlots) {
			fManager.Free(slot.fBlock);
			slot = Slot();
		}
	}

private:
	struct Slot {
		unsigned char* fBlock = nullptr;
		size_t fSize = 0;
		unsigned char fSeed = 0;
	};

	// Mostly small blocks, some of every big kind, a few above 1 MiB.
	size_t _PickSize()
	{
		uint32 kind = fRandom() % 100;
		if (kind < 70)
			return fRandom() % 1025;
		if (kind < 90)
			return 1025 + fRandom() % (8192 - 1025);
		if (kind < 98)
			return 8184 + fRandom() % (256 * 1024);
		return 1024 * 1024 + fRandom() % (1024 * 1024);
	}

	static unsigned char _Byte(const Slot& inSlot, size_t inAt) { return static_cast<unsigned char>(inSlot.fSeed + inAt * 7); }

	void _Fill(Slot& ioSlot, size_t inFrom)
	{
		for (size_t i = inFrom; i < ioSlot.fSize; ++i)
			ioSlot.fBlock[i] = _Byte(ioSlot, i);
	}

	bool _Holds(const Slot& inSlot, size_t inUpTo)
	{
		for (size_t i = 0; i < inUpTo; ++i)
			if (inSlot.fBlock[i] != _Byte(inSlot, i)) {
				fFault = "a block of " + std::to_string(inSlot.fSize) + " bytes changed at byte " + std::to_string(i);
				return false;
			}
		return true;
	}

	void _Step()
	{
		Slot& slot = fSlots[fRandom() % fSlots.size()];
		if (slot.fBlock == nullptr) {
			slot.fSize = _PickSize();
			slot.fSeed = static_cast<unsigned char>(fRandom());
			slot.fBlock = static_cast<unsigned char*>(fManager.Malloc(slot.fSize, false, 'test'));
			if (slot.fBlock == nullptr)
				fFault = "a request of " + std::to_string(slot.fSize) + " bytes was refused";
			else if (fManager.GetPtrSize(slot.fBlock) < slot.fSize)
				fFault = "a block is smaller than asked";
			else
				_Fill(slot, 0);
			return;
		}
		if (!_Holds(slot, slot.fSize))
			return;
		if (fRandom() % 2 == 0) {
			fManager.Free(slot.fBlock);
			slot = Slot();
			return;
		}
		size_t newSize = _PickSize();
		auto* block = static_cast<unsigned char*>(fManager.Realloc(slot.fBlock, newSize));
		if (block == nullptr && newSize != 0) {
			fFault = "a realloc to " + std::to_string(newSize) + " bytes was refused";
			return;
		}
		if (newSize == 0) {
			slot = Slot();
			return;
		}
		size_t kept = std::min(slot.fSize, newSize);
		slot.fBlock = block;
		slot.fSize = newSize;
		if (_Holds(slot, kept))
			_Fill(slot, kept);
	}

	VCppMemMgr& fManager;
	std::mt19937 fRandom;
	std::vector<Slot> fSlots;
	std::string fFault;
};

} // namespace qirn::testing
