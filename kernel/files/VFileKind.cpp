#include "files/VFileKind.h"

#include "core/VRefPtr.h"
#include "files/VFileKindManager.h"
#include "files/platform/XLinuxFile.h"

namespace qirn {

VFileKind* VFileKind::Create(const VString& inIdentifier, const std::vector<VString>& inOsKinds,
							 const VString& inDescription, const std::vector<VString>& inExtensions,
							 const std::vector<VString>& inParentIdentifiers, bool inPublic)
{
	return new VFileKind(inIdentifier, inOsKinds, inDescription, inExtensions, inParentIdentifiers, inPublic);
}

VFileKind::VFileKind(const VString& inIdentifier, const std::vector<VString>& inOsKinds,
					 const VString& inDescription, const std::vector<VString>& inExtensions,
					 const std::vector<VString>& inParentIdentifiers, bool inPublic)
	: fDescription(inDescription), fIdentifier(inIdentifier), fOsKinds(inOsKinds), fExtensions(inExtensions),
	  fParentIdentifiers(inParentIdentifiers), fPublic(inPublic)
{
}

bool VFileKind::MatchExtension(const VString& inExtension) const
{
	for (const VString& extension : fExtensions) {
		if (extension.EqualToString(inExtension, false))
			return true;
	}
	return false;
}

bool VFileKind::MatchOsKind(const VString& inOsKind) const
{
	for (const VString& osKind : fOsKinds) {
		if (osKind.EqualToString(inOsKind, true))
			return true;
	}
	return false;
}

namespace {

bool GetFirst(const std::vector<VString>& inList, VString& outText)
{
	if (inList.empty()) {
		outText.Clear();
		return false;
	}
	outText.FromString(inList.front());
	return true;
}

} // namespace

bool VFileKind::GetPreferredExtension(VString& outExtension) const
{
	return GetFirst(fExtensions, outExtension);
}

bool VFileKind::GetPreferredOsKind(VString& outOsKind) const
{
	return GetFirst(fOsKinds, outOsKind);
}

bool VFileKind::ConformsTo(const VFileKind& inKind) const
{
	return XLinuxFile::IsFileKindConformsTo(*this, inKind);
}

bool VFileKind::ConformsTo(const VString& inIdentifier) const
{
	VFileKindManager* manager = VFileKindManager::Get();
	if (manager == nullptr)
		return false;
	VRefPtr<VFileKind> kind = VRefPtr<VFileKind>::Adopt(manager->RetainFileKind(inIdentifier));
	return kind != nullptr && ConformsTo(*kind);
}

} // namespace qirn
