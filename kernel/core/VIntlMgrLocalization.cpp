// Where a dialect's localized resources lie: folders named from the dialect,
// asked of any folder through the folder interface.
#include "core/VIntlMgr.h"

#include "files/IFile.h"
#include "files/IFolder.h"

namespace qirn {

namespace {

void AddCandidate(std::vector<VString>& ioNames, const VString& inName, const VString& inFirst, bool inIsFirst)
{
	if (inName.IsEmpty())
		return;
	if (!inIsFirst && inName.EqualToString(inFirst, false))
		return;
	ioNames.push_back(inName);
}

} // namespace

bool VIntlMgr::GetLocalizationFoldersWithDialect(DialectCode inDialect, const IFolder* inParent,
												 std::vector<VRefPtr<IFolder>>& ioFolders)
{
	const size_t before = ioFolders.size();
	if (inParent == nullptr)
		return false;
	std::vector<VString> names;
	VString first;
	GetRFC3066BisLanguageCodeWithDialectCode(inDialect, first, u'-');
	AddCandidate(names, first, first, true);
	VString underscored;
	GetRFC3066BisLanguageCodeWithDialectCode(inDialect, underscored, u'_');
	AddCandidate(names, underscored, first, false);
	VString language;
	GetISO6391LanguageCode(inDialect, language);
	AddCandidate(names, language, first, false);
	VString region;
	if (!language.IsEmpty() && GetISO3166RegionCode(inDialect, region) && !region.IsEmpty()) {
		VString withRegion(language);
		withRegion.AppendUniChar(u'_');
		withRegion.AppendString(region);
		AddCandidate(names, withRegion, first, false);
	}
	VString englishName;
	if (GetISOLanguageName(inDialect, englishName) && !englishName.IsEmpty()) {
		VString initial(englishName.GetCPointer()[0]);
		initial.ToUpperCase();
		englishName.Replace(initial, 1, 1);
		AddCandidate(names, englishName, first, false);
	}
	for (VString& name : names) {
		name.AppendCString(".lproj");
		VRefPtr<IFolder> folder = VRefPtr<IFolder>::Adopt(inParent->RetainRelativeFolder(name, FPS_POSIX));
		if (folder && folder->Exists())
			ioFolders.push_back(folder);
	}
	return ioFolders.size() > before;
}

IFile* VIntlMgr::RetainLocalizationFile(const IFolder* inParent, const VString& inFileName, DialectCode inDialect,
										bool* outHasFolders)
{
	std::vector<VRefPtr<IFolder>> folders;
	const bool found = GetLocalizationFoldersWithDialect(inDialect, inParent, folders);
	if (outHasFolders != nullptr)
		*outHasFolders = found;
	for (const VRefPtr<IFolder>& folder : folders) {
		VRefPtr<IFile> file = VRefPtr<IFile>::Adopt(folder->_RetainRelativeIFile(inFileName, FPS_POSIX));
		if (file && file->Exists())
			return file.Retain();
	}
	return nullptr;
}

} // namespace qirn
