// Which language a folder of ".lproj" folders is read in.
#include "process/VComponentManager.h"

#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFolder.h"
#include "files/VFolderIterator.h"
#include "host/HostLocalizations.h"

#include <algorithm>
#include <string>
#include <vector>

namespace qirn {

namespace {

// Walk options: folders, links resolved to their targets, no hidden entries.
constexpr uint32 kLanguageFolderWalk = 18;

constexpr DialectCode kNoLanguage = -2;

// A language as the main bundle's preferred localization names it: an
// English name ("French") or else a tag ("fr-CA").
bool DialectOfPreferredLocalization(const VString& inName, DialectCode& outDialect)
{
	return VIntlMgr::GetDialectCodeWithISOLanguageName(inName, outDialect) ||
		VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(inName, outDialect);
}

// A language as a folder names it: a tag or else an English name.
bool DialectOfFolderName(const VString& inName, DialectCode& outDialect)
{
	return VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(inName, outDialect) ||
		VIntlMgr::GetDialectCodeWithISOLanguageName(inName, outDialect);
}

// The sub-folder names in code-unit order, so that "the last one seen" is
// the same on every file system.
std::vector<VString> SortedFolderNames(const VFolder* inFolder)
{
	std::vector<VString> names;
	for (VFolderIterator it(inFolder, kLanguageFolderWalk); it.Current() != nullptr; ++it) {
		VString name;
		it->GetPath().GetFolderName(name);
		names.push_back(name);
	}
	std::sort(names.begin(), names.end(),
			  [](const VString& inA, const VString& inB) { return inA.CompareToStringRaw(inB) == CR_SMALLER; });
	return names;
}

} // namespace

DialectCode VComponentManager::GetLocalizationLanguage(VFolder* inFolder, bool inBundle, DialectCode inWanted)
{
	if (inFolder == nullptr || !inFolder->Exists())
		return kNoLanguage;
	VRefPtr<VFolder> searched;
	if (inBundle)
		searched = VRefPtr<VFolder>::Adopt(inFolder->RetainRelativeFolder(VString("Contents/Resources/"), FPS_POSIX));
	else
		searched = VRefPtr<VFolder>(inFolder);

	DialectCode target = inWanted;
	if (target == 0) {
		target = DC_ENGLISH_US;
		const std::string preferred = host::CopyMainBundlePreferredLocalization();
		if (!preferred.empty()) {
			const VString name(preferred.data(), static_cast<VSize>(preferred.size()), VTC_UTF_8);
			DialectCode dialect = kNoLanguage;
			if (DialectOfPreferredLocalization(name, dialect))
				return dialect;
		}
	}

	if (!searched)
		return kNoLanguage;
	const VString extension(".lproj");
	bool sawEnglish = false;
	DialectCode last = kNoLanguage;
	for (const VString& name : SortedFolderNames(searched.Get())) {
		const VIndex at = name.Find(extension, 1, true);
		if (at <= 0)
			continue;
		DialectCode dialect = kNoLanguage;
		if (!DialectOfFolderName(name.GetSubString(1, at - 1), dialect))
			continue;
		if (dialect == target)
			return target;
		if (dialect == DC_ENGLISH_US)
			sawEnglish = true;
		last = dialect;
	}
	return sawEnglish ? DC_ENGLISH_US : last;
}

} // namespace qirn
