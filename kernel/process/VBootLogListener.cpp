#include "process/VBootLogListener.h"

#include "bags_xml/VValueBag.h"

namespace qirn {

VBootLogListener::~VBootLogListener()
{
	for (const VValueBag* bag : fEntries)
		bag->Release();
}

void VBootLogListener::Put(const std::vector<const VValueBag*>& inBags)
{
	std::vector<const VValueBag*> dropped;
	{
		StLocker<VCriticalSection> lock(fLock);
		for (const VValueBag* bag : inBags) {
			if (bag == nullptr)
				continue;
			bag->Retain();
			fEntries.push_back(bag);
		}
		while (fEntries.size() > kMaxEntries) {
			dropped.push_back(fEntries.front());
			fEntries.pop_front();
		}
	}
	// Releasing may free a bag: not under the lock.
	for (const VValueBag* bag : dropped)
		bag->Release();
}

std::vector<const VValueBag*> VBootLogListener::TakeEntries()
{
	StLocker<VCriticalSection> lock(fLock);
	std::vector<const VValueBag*> entries(fEntries.begin(), fEntries.end());
	fEntries.clear();
	return entries;
}

size_t VBootLogListener::CountEntries() const
{
	StLocker<VCriticalSection> lock(fLock);
	return fEntries.size();
}

} // namespace qirn
