#include "core/VString.h"
#include "files/FileNameCoding.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

VString Units(std::u16string inText)
{
	return VString(inText.data(), static_cast<VIndex>(inText.size()));
}

std::u16string Units(const VString& inText)
{
	return std::u16string(inText.GetCPointer(), static_cast<size_t>(inText.GetLength()));
}

TEST(FileNameCoding, EncodesEveryReservedCharacterAndNothingElse)
{
	struct Case {
		std::u16string plain;
		std::u16string encoded;
	};
	const Case cases[] = {
		{u"", u""},
		{u"notes.txt", u"notes.txt"},
		{u"a:b", u"a%3Ab"},
		{u"a/b", u"a%2Fb"},
		{u"50%", u"50%25"},
		{u"\t", u"%09"},
		{std::u16string(1, u'\0'), u"%00"},
		{u"\x1F", u"%1F"},
		{u"\"*<>?\\|", u"%22%2A%3C%3E%3F%5C%7C"},
		{u" #&.;=[]{}~\x7F\u00E9\U0001F600", u" #&.;=[]{}~\x7F\u00E9\U0001F600"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(to_string(Units(c.plain)));
		EXPECT_EQ(Units(EncodeReservedFileCharacters(Units(c.plain))), c.encoded);
		EXPECT_EQ(Units(DecodeReservedFileCharacters(Units(c.encoded))), c.plain);
	}
}

TEST(FileNameCoding, DecodesOnlyRealEscapes)
{
	struct Case {
		std::u16string encoded;
		std::u16string decoded;
	};
	const Case cases[] = {
		{u"%41", u"A"},
		{u"%e9t%C3%a9", u"\u00E9t\u00C3\u00A9"},
		{u"50%", u"50%"},
		{u"5%3", u"5%3"},
		{u"%", u"%"},
		{u"%zz", u"%zz"},
		{u"%4g%41", u"%4gA"},
		{u"%%41", u"%A"},
		{u"%2541", u"%41"},
		{u"%\uFF14\uFF11", u"%\uFF14\uFF11"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(to_string(Units(c.encoded)));
		EXPECT_EQ(Units(DecodeReservedFileCharacters(Units(c.encoded))), c.decoded);
	}
}

} // namespace
} // namespace qirn
