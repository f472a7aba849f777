#include "host/HostLanguages.h"

#include <algorithm>
#include <cstdlib>

namespace qirn::host {

std::string LanguageTagFromLocaleName(const std::string& inName)
{
	std::string tag = inName.substr(0, inName.find_first_of(".@"));
	if (tag.empty() || tag == "C" || tag == "POSIX")
		return std::string();
	const char first = tag[0];
	if (!((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z')))
		return std::string();
	std::replace(tag.begin(), tag.end(), '_', '-');
	return tag;
}

std::vector<std::string> CopyPreferredLanguages()
{
	std::vector<std::string> languages;
	auto add = [&languages](const std::string& inName) {
		std::string tag = LanguageTagFromLocaleName(inName);
		if (!tag.empty() && std::find(languages.begin(), languages.end(), tag) == languages.end())
			languages.push_back(std::move(tag));
	};
	for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
		const char* value = std::getenv(variable);
		if (value == nullptr)
			continue;
		std::string list(value);
		size_t start = 0;
		while (start <= list.size()) {
			size_t end = list.find(':', start);
			if (end == std::string::npos)
				end = list.size();
			add(list.substr(start, end - start));
			start = end + 1;
		}
	}
	return languages;
}

} // namespace qirn::host
