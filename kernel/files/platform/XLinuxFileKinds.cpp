#include "files/VFileKind.h"
#include "files/VFileKindManager.h"
#include "files/platform/XLinuxFile.h"

#include <vector>

namespace qirn {

// Until a type database stands behind these, Linux declares no kind of its
// own: every kind is one the application registered.
VFileKind* XLinuxFile::CreatePublicFileKind(const VString&)
{
	return nullptr;
}

VFileKind* XLinuxFile::CreatePublicFileKindFromOsKind(const VString&)
{
	return nullptr;
}

VFileKind* XLinuxFile::CreatePublicFileKindFromExtension(const VString&)
{
	return nullptr;
}

namespace {

bool Contains(const std::vector<VString>& inIdentifiers, const VString& inIdentifier)
{
	for (const VString& identifier : inIdentifiers) {
		if (identifier.EqualToString(inIdentifier, false))
			return true;
	}
	return false;
}

} // namespace

bool XLinuxFile::IsFileKindConformsTo(const VFileKind& inKind, const VFileKind& inParentKind)
{
	const VString& target = inParentKind.GetIdentifier();
	if (inKind.GetIdentifier().IsEmpty() || target.IsEmpty())
		return false;
	if (inKind.GetIdentifier().EqualToString(target, false))
		return true;
	// A walk up the parent identifiers, breadth first. Each identifier is
	// visited once, so declarations that loop back on themselves end.
	std::vector<VString> visited{inKind.GetIdentifier()};
	std::vector<VString> pending;
	inKind.GetParentIDs(pending);
	VFileKindManager* manager = VFileKindManager::Get();
	std::vector<VString> parents;
	while (!pending.empty()) {
		std::vector<VString> next;
		for (const VString& identifier : pending) {
			if (identifier.EqualToString(target, false))
				return true;
			if (Contains(visited, identifier))
				continue;
			visited.push_back(identifier);
			if (manager == nullptr)
				continue;
			VRefPtr<VFileKind> parent = VRefPtr<VFileKind>::Adopt(manager->RetainFileKind(identifier));
			if (parent == nullptr)
				continue;
			parent->GetParentIDs(parents);
			next.insert(next.end(), parents.begin(), parents.end());
		}
		pending.swap(next);
	}
	return false;
}

} // namespace qirn
