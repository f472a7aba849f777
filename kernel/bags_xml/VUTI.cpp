#include "bags_xml/VUTI.h"

#include "bags_xml/VUTIManager.h"

#include <algorithm>

namespace qirn {

bool VUTI::IdentifierLess::operator()(const VString& inA, const VString& inB) const
{
	return inA.CompareToString(inB, false) == CR_SMALLER;
}

bool VUTI::IsPublic() const
{
	return fIdentifier.BeginsWith(VString("public"), false);
}

namespace {

void AddUnique(std::vector<VString>& ioVector, const VString& inValue)
{
	bool present = std::any_of(ioVector.begin(), ioVector.end(),
							   [&](const VString& inEntry) { return inEntry.EqualToString(inValue, false); });
	if (!present)
		ioVector.push_back(inValue);
}

void AddLink(VUTI::UTIMap& ioMap, VUTI* inUTI)
{
	if (inUTI == nullptr || inUTI->GetIdentifier().IsEmpty())
		return;
	ioMap.try_emplace(inUTI->GetIdentifier(), inUTI);
}

void RemoveTemporary(VUTI::UTIMap& ioMap, const VString& inIdentifier)
{
	VUTI::UTIMap::iterator found = ioMap.find(inIdentifier);
	if (found != ioMap.end() && found->second->IsTemporary())
		ioMap.erase(found);
}

} // namespace

void VUTI::AddExtension(const VString& inExtension)
{
	AddUnique(fExtensions, inExtension);
}

void VUTI::AddOSType(const VString& inOSType)
{
	AddUnique(fOSTypes, inOSType);
}

void VUTI::AddMIMEType(const VString& inMIMEType)
{
	AddUnique(fMIMETypes, inMIMEType);
}

void VUTI::AddParentUTI(VUTI* inUTI)
{
	AddLink(fParents, inUTI);
}

void VUTI::AddChildUTI(VUTI* inUTI)
{
	AddLink(fChildren, inUTI);
}

void VUTI::RemoveTemporaryUTI(const VString& inIdentifier)
{
	RemoveTemporary(fParents, inIdentifier);
	RemoveTemporary(fChildren, inIdentifier);
}

void VUTI::_Detach()
{
	// Moved out first: releasing a linked type may detach it in turn and
	// reach back into these maps.
	UTIMap parents;
	UTIMap children;
	parents.swap(fParents);
	children.swap(fChildren);
}

const VUTI::StringVector& VUTI::_Tags(TagClass inClass) const
{
	switch (inClass) {
	case TagClass::kExtension:
		return fExtensions;
	case TagClass::kOSType:
		return fOSTypes;
	case TagClass::kMIMEType:
		break;
	}
	return fMIMETypes;
}

bool VUTI::_HasOwnTag(TagClass inClass, const VString& inTag) const
{
	const StringVector& tags = _Tags(inClass);
	return std::any_of(tags.begin(), tags.end(),
					   [&](const VString& inEntry) { return inEntry.EqualToString(inTag, false); });
}

void VUTI::GetAllExtensionsVector(StringVector& ioExtensions) const
{
	Visited visited;
	_GetAllExtensions(ioExtensions, visited);
}

void VUTI::_GetAllExtensions(StringVector& ioExtensions, Visited& ioVisited) const
{
	if (!ioVisited.insert(this).second)
		return;
	for (const VString& extension : fExtensions)
		AddUnique(ioExtensions, extension);
	for (const auto& [identifier, parent] : fParents) {
		if (!parent->IsTemporary())
			parent->_GetAllExtensions(ioExtensions, ioVisited);
	}
}

bool VUTI::ConformsToIdentifier(const VString& inIdentifier) const
{
	if (inIdentifier.IsEmpty())
		return false;
	Visited visited;
	return _ConformsTo(inIdentifier, visited);
}

bool VUTI::_ConformsTo(const VString& inIdentifier, Visited& ioVisited) const
{
	if (!ioVisited.insert(this).second)
		return false;
	if (VUTIManager::UTTypeEqual(fIdentifier, inIdentifier))
		return true;
	for (const auto& [identifier, parent] : fParents) {
		if (!parent->IsTemporary() && parent->_ConformsTo(inIdentifier, ioVisited))
			return true;
	}
	return false;
}

VUTI* VUTI::_FindTagHolder(TagClass inClass, const VString& inTag, Visited& ioVisited)
{
	if (!ioVisited.insert(this).second)
		return nullptr;
	if (_HasOwnTag(inClass, inTag))
		return this;
	for (const auto& [identifier, parent] : fParents) {
		if (parent->IsTemporary())
			continue;
		if (VUTI* holder = parent->_FindTagHolder(inClass, inTag, ioVisited))
			return holder;
	}
	return nullptr;
}

VUTI* VUTI::GetHighestParentThatConformsToExtension(const VString& inExtension)
{
	Visited visited;
	return RetainRefCountable(_FindTagHolder(TagClass::kExtension, inExtension, visited));
}

VUTI* VUTI::GetHighestParentThatConformsToOSType(const VString& inOSType)
{
	Visited visited;
	return RetainRefCountable(_FindTagHolder(TagClass::kOSType, inOSType, visited));
}

VUTI* VUTI::GetHighestParentThatConformsToMIMEType(const VString& inMIMEType)
{
	Visited visited;
	return RetainRefCountable(_FindTagHolder(TagClass::kMIMEType, inMIMEType, visited));
}

bool VUTI::ConformsToExtension(const VString& inExtension) const
{
	Visited visited;
	return const_cast<VUTI*>(this)->_FindTagHolder(TagClass::kExtension, inExtension, visited) != nullptr;
}

bool VUTI::ConformsToOSType(const VString& inOSType) const
{
	Visited visited;
	return const_cast<VUTI*>(this)->_FindTagHolder(TagClass::kOSType, inOSType, visited) != nullptr;
}

bool VUTI::ConformsToMIMEType(const VString& inMIMEType) const
{
	Visited visited;
	return const_cast<VUTI*>(this)->_FindTagHolder(TagClass::kMIMEType, inMIMEType, visited) != nullptr;
}

bool VUTI::IsParent(const VUTI* inUTI) const
{
	if (inUTI == nullptr)
		return false;
	Visited visited;
	return _IsParent(inUTI, visited);
}

bool VUTI::_IsParent(const VUTI* inUTI, Visited& ioVisited) const
{
	if (!ioVisited.insert(this).second)
		return false;
	for (const auto& [identifier, parent] : fParents) {
		if (parent->IsTemporary())
			continue;
		if (VUTIManager::UTTypeEqual(identifier, inUTI->GetIdentifier()) || parent->_IsParent(inUTI, ioVisited))
			return true;
	}
	return false;
}

bool VUTI::IsChild(const VUTI* inUTI) const
{
	if (inUTI == nullptr)
		return false;
	Visited visited;
	return _IsChild(inUTI, visited);
}

bool VUTI::_IsChild(const VUTI* inUTI, Visited& ioVisited) const
{
	if (!ioVisited.insert(this).second)
		return false;
	for (const auto& [identifier, child] : fChildren) {
		if (child->IsTemporary())
			continue;
		if (VUTIManager::UTTypeEqual(identifier, inUTI->GetIdentifier()) || child->_IsChild(inUTI, ioVisited))
			return true;
	}
	return false;
}

bool VUTI::IsChildOrChildOfAParent(const VUTI* inUTI) const
{
	if (inUTI == nullptr)
		return false;
	Visited visited;
	return _IsChildOrChildOfAParent(inUTI, visited);
}

bool VUTI::_IsChildOrChildOfAParent(const VUTI* inUTI, Visited& ioVisited) const
{
	if (!ioVisited.insert(this).second)
		return false;
	if (IsChild(inUTI))
		return true;
	for (const auto& [identifier, parent] : fParents) {
		if (!parent->IsTemporary() && parent->_IsChildOrChildOfAParent(inUTI, ioVisited))
			return true;
	}
	return false;
}

bool VUTI::CouldBeAParent(const VUTI* inUTI) const
{
	if (inUTI == nullptr)
		return false;
	for (const auto& [identifier, parent] : fParents) {
		if (VUTIManager::UTTypeEqual(identifier, inUTI->GetIdentifier()) || parent->IsParent(inUTI))
			return true;
	}
	return false;
}

bool VUTI::CouldBeAChild(const VUTI* inUTI) const
{
	if (inUTI == nullptr)
		return false;
	for (const auto& [identifier, child] : fChildren) {
		if (VUTIManager::UTTypeEqual(identifier, inUTI->GetIdentifier()) || child->IsChild(inUTI))
			return true;
	}
	return false;
}

} // namespace qirn
