#include "host/HostLanguages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace qirn::host {
namespace {

// The four locale settings for the time of a test, given back after it.
class StLocaleEnvironment {
public:
	StLocaleEnvironment(const char* inLanguage, const char* inAll, const char* inMessages, const char* inLang)
	{
		const char* values[] = {inLanguage, inAll, inMessages, inLang};
		for (int i = 0; i < 4; ++i) {
			const char* old = std::getenv(kNames[i]);
			fSaved[i] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
			Set(kNames[i], values[i]);
		}
	}
	~StLocaleEnvironment()
	{
		for (int i = 0; i < 4; ++i)
			Set(kNames[i], fSaved[i].has_value() ? fSaved[i]->c_str() : nullptr);
	}

private:
	static void Set(const char* inName, const char* inValue)
	{
		if (inValue != nullptr)
			::setenv(inName, inValue, 1);
		else
			::unsetenv(inName);
	}

	static constexpr const char* kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
	std::optional<std::string> fSaved[4];
};

TEST(HostLanguages, ALocaleNameBecomesALanguageTag)
{
	struct Case {
		const char* fName;
		const char* fTag;
	};
	const Case cases[] = {
		{"fr_FR.UTF-8", "fr-FR"}, {"de_CH", "de-CH"},	{"en", "en"},	  {"sr_RS@latin", "sr-RS"},
		{"ca_ES.UTF-8@valencia", "ca-ES"}, {"C", ""}, {"POSIX", ""},		  {"C.UTF-8", ""},
		{"", ""},				  {"/usr/share/locale", ""},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		EXPECT_EQ(LanguageTagFromLocaleName(c.fName), c.fTag);
	}
}

TEST(HostLanguages, TheSettingsAreReadInTheirOrderWithoutRepeats)
{
	StLocaleEnvironment environment("de_CH:fr", "it_IT.UTF-8", "fr_FR.UTF-8", "de_CH.UTF-8");
	const std::vector<std::string> expected = {"de-CH", "fr", "it-IT", "fr-FR"};
	EXPECT_EQ(CopyPreferredLanguages(), expected);
}

TEST(HostLanguages, TheCLocaleNamesNoLanguage)
{
	{
		StLocaleEnvironment environment(nullptr, nullptr, nullptr, "C.UTF-8");
		EXPECT_TRUE(CopyPreferredLanguages().empty());
	}
	{
		StLocaleEnvironment environment("", "POSIX", nullptr, "pt_BR.UTF-8");
		const std::vector<std::string> expected = {"pt-BR"};
		EXPECT_EQ(CopyPreferredLanguages(), expected);
	}
}

} // namespace
} // namespace qirn::host
