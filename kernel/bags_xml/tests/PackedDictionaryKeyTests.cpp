#include "bags_xml/StPackedDictionaryKey.h"
#include "core/VString.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

uint32 Expected(const std::string& inBytes, const std::string& inHashed)
{
	uint32 hash = static_cast<uint32>(inBytes.size());
	for (unsigned char c : inHashed)
		hash = hash * 257 + c;
	return hash;
}

TEST(PackedDictionaryKey, LongNamesHashTheirFirstAndLastEightBytes)
{
	std::string sixteen = "abcdefghijklmnop";
	std::string seventeen = "abcdefghXjklmnopq";
	EXPECT_EQ(StPackedDictionaryKey::GetHashCode(sixteen.data(), 16), Expected(sixteen, sixteen));
	EXPECT_EQ(StPackedDictionaryKey::GetHashCode(seventeen.data(), 17),
			  Expected(seventeen, seventeen.substr(0, 8) + seventeen.substr(9)));
	std::string other = seventeen;
	other[8] = 'Y';
	EXPECT_EQ(StPackedDictionaryKey::GetHashCode(other.data(), 17),
			  StPackedDictionaryKey::GetHashCode(seventeen.data(), 17));
	EXPECT_EQ(StPackedDictionaryKey::GetHashCode("", 0), 0u);
	// Bytes count unsigned.
	EXPECT_EQ(StPackedDictionaryKey::GetHashCode("\xE9", 1), 1u * 257 + 0xE9);
}

TEST(PackedDictionaryKey, KeysFromTextMatchKeysFromBytes)
{
	StPackedDictionaryKey literal("caf\xC3\xA9");
	StPackedDictionaryKey text(VString(u"caf\u00E9"));
	StPackedDictionaryKey wide(L"caf\u00E9");
	for (const StPackedDictionaryKey* key : {&text, &wide}) {
		EXPECT_TRUE(key->IsUsable());
		EXPECT_TRUE(key->Equal(literal.GetKey(), literal.GetKeyLength()));
		EXPECT_EQ(key->GetHash(), literal.GetHash());
		EXPECT_EQ(key->GetKey()[key->GetKeyLength()], 0);
	}
}

TEST(PackedDictionaryKey, AKeyFromBytesCopiesOnlyItsLengthAndTerminatesTheCopy)
{
	// The byte after the name lies outside the caller's block.
	char* bytes = new char[3]{'a', 'b', 'c'};
	StPackedDictionaryKey key(bytes, 3);
	delete[] bytes;
	ASSERT_EQ(key.GetKeyLength(), 3u);
	EXPECT_EQ(std::string(key.GetKey()), "abc");
	StPackedDictionaryKey copy(key);
	EXPECT_NE(copy.GetKey(), key.GetKey());
	EXPECT_EQ(std::string(copy.GetKey()), "abc");
}

TEST(PackedDictionaryKey, NamesBeyondTheLimitNeverAliasTheEmptyName)
{
	std::string longest(255, 'x');
	std::string tooLong(256, 'x');
	EXPECT_TRUE(StPackedDictionaryKey(VString(longest.c_str())).IsUsable());
	struct Row {
		const char* fWhat;
		StPackedDictionaryKey fKey;
	};
	Row rows[] = {
		{"text", StPackedDictionaryKey(VString(tooLong.c_str()))},
		{"C string", StPackedDictionaryKey(tooLong.c_str())},
		{"bytes", StPackedDictionaryKey(tooLong.data(), tooLong.size())},
		{"wide text", StPackedDictionaryKey(std::wstring(256, L'x').c_str())},
	};
	StPackedDictionaryKey empty;
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fWhat);
		EXPECT_FALSE(row.fKey.IsUsable());
		EXPECT_FALSE(row.fKey.Equal(empty.GetKey(), 0));
		EXPECT_FALSE(row.fKey.Equal(tooLong.data(), 255));
	}
}

} // namespace
} // namespace qirn
