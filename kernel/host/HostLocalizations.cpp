#include "host/HostLocalizations.h"

#include "host/HostBundle.h"
#include "host/HostBundleLayout.h"
#include "host/HostLanguages.h"

#include <algorithm>
#include <filesystem>
#include <limits.h>

namespace qirn::host {

namespace {

constexpr char kLocalizationExtension[] = ".lproj";

// Tags compare without case, '_' standing for '-' ("pt_BR" is "pt-BR").
std::string NormalizedTag(const std::string& inTag)
{
	std::string tag(inTag);
	for (char& c : tag) {
		if (c == '_')
			c = '-';
		else if (c >= 'A' && c <= 'Z')
			c = static_cast<char>(c - 'A' + 'a');
	}
	return tag;
}

std::string LanguagePart(const std::string& inNormalizedTag)
{
	return inNormalizedTag.substr(0, inNormalizedTag.find('-'));
}

bool NamesNoLanguage(const std::string& inTag)
{
	return inTag.empty() || inTag == "C" || inTag == "POSIX";
}

} // namespace

std::vector<std::string> CopyBundleLocalizations(const std::string& inBundlePath)
{
	std::vector<std::string> names;
	std::error_code error;
	std::filesystem::directory_iterator entries(GetBundleResourcesPath(inBundlePath), error);
	if (error)
		return names;
	const size_t extensionLength = sizeof(kLocalizationExtension) - 1;
	for (const std::filesystem::directory_entry& entry : entries) {
		const std::string name = entry.path().filename().string();
		if (name.size() <= extensionLength || name[0] == '.' ||
			name.compare(name.size() - extensionLength, extensionLength, kLocalizationExtension) != 0)
			continue;
		std::error_code kindError;
		if (entry.is_directory(kindError))
			names.push_back(name.substr(0, name.size() - extensionLength));
	}
	std::sort(names.begin(), names.end());
	return names;
}

std::string ChoosePreferredLocalization(const std::vector<std::string>& inLocalizations,
										const std::vector<std::string>& inPreferredLanguages,
										const std::string& inDevelopmentRegion)
{
	if (inLocalizations.empty())
		return std::string();
	std::vector<std::string> normalized;
	normalized.reserve(inLocalizations.size());
	for (const std::string& localization : inLocalizations)
		normalized.push_back(NormalizedTag(localization));

	for (const std::string& preferred : inPreferredLanguages) {
		if (NamesNoLanguage(preferred))
			continue;
		const auto match = std::find(normalized.begin(), normalized.end(), NormalizedTag(preferred));
		if (match != normalized.end())
			return inLocalizations[static_cast<size_t>(match - normalized.begin())];
	}
	for (const std::string& preferred : inPreferredLanguages) {
		if (NamesNoLanguage(preferred))
			continue;
		const std::string language = LanguagePart(NormalizedTag(preferred));
		const auto bare = std::find(normalized.begin(), normalized.end(), language);
		if (bare != normalized.end())
			return inLocalizations[static_cast<size_t>(bare - normalized.begin())];
		const auto sameLanguage = std::find_if(normalized.begin(), normalized.end(), [&language](const std::string& inTag) {
			return LanguagePart(inTag) == language;
		});
		if (sameLanguage != normalized.end())
			return inLocalizations[static_cast<size_t>(sameLanguage - normalized.begin())];
	}
	if (!NamesNoLanguage(inDevelopmentRegion)) {
		const auto region = std::find(inLocalizations.begin(), inLocalizations.end(), inDevelopmentRegion);
		if (region != inLocalizations.end())
			return *region;
	}
	return *std::min_element(inLocalizations.begin(), inLocalizations.end());
}

std::string CopyMainBundlePreferredLocalization()
{
	char bundlePath[PATH_MAX];
	if (!CopyMainBundlePath(bundlePath, sizeof(bundlePath)))
		return std::string();
	const std::vector<std::string> localizations = CopyBundleLocalizations(bundlePath);
	if (localizations.empty())
		return std::string();
	char region[256];
	if (!CopyBundleInfoString(bundlePath, "CFBundleDevelopmentRegion", region, sizeof(region)))
		region[0] = '\0';
	return ChoosePreferredLocalization(localizations, CopyPreferredLanguages(), region);
}

} // namespace qirn::host
