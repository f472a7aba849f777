#include "core/VLong.h"
#include "core/VString.h"
#include "core/VUUID.h"
#include "core/platform/XLinuxUUID.h"
#include "files/VPtrStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>

namespace qirn {
namespace {

std::string Text(const VUUID& inValue)
{
	VString text;
	inValue.GetString(text);
	return to_string(text);
}

TEST(UUID, GeneratedIdentifiersAreRandomAndMarked)
{
	std::set<std::string> seen;
	for (int i = 0; i < 100; ++i) {
		VUUID id(true);
		EXPECT_FALSE(id.IsNull());
		EXPECT_EQ(id.GetBuffer().fBytes[6] >> 4, 4);
		EXPECT_EQ(id.GetBuffer().fBytes[8] & 0xC0, 0x80);
		seen.insert(Text(id));
	}
	EXPECT_EQ(seen.size(), 100u);
	EXPECT_TRUE(VUUID::sNullUUID.IsNull());
	EXPECT_TRUE(VUUID(false).IsNull());
}

TEST(UUID, LenientParsing)
{
	const char* digits = "0123456789ABCDEF0123456789ABCDEF";
	const char* forms[] = {
		"0123456789abcdef0123456789abcdef",
		"0123456789ABCDEF0123456789ABCDEF",
		"{01234567-89AB-CDEF-0123-456789ABCDEF}",
		"01234567-89ab-cdef-0123-456789abcdef and more 12",
	};
	for (const char* form : forms) {
		VUUID id{VString(form)};
		EXPECT_EQ(Text(id), digits) << form;
		EXPECT_FALSE(id.IsNull());
	}

	VUUID word{VString("abc")};
	EXPECT_FALSE(word.IsNull());
	EXPECT_EQ(std::memcmp(word.GetBuffer().fBytes, "abc             ", 16), 0);
	VUUID empty{VString("")};
	EXPECT_FALSE(empty.IsNull());
	EXPECT_EQ(std::memcmp(empty.GetBuffer().fBytes, "                ", 16), 0);

	VUUID zeros{VString("00000000000000000000000000000000")};
	EXPECT_FALSE(zeros.IsNull());	// 32 digits were given

	VUUID fromC("0123456789abcdefXX23456789ABCDEF");
	EXPECT_EQ(Text(fromC), "0123456789ABCDEF0023456789ABCDEF");
	VUUID shortC("hello");
	EXPECT_EQ(std::memcmp(shortC.GetBuffer().fBytes, "hello\0\0\0\0\0\0\0\0\0\0\0", 16), 0);
	VUUID nullC("");
	EXPECT_TRUE(nullC.IsNull());
	nullC.FromBuffer("seventeen chars!!");	// other lengths change nothing
	EXPECT_TRUE(nullC.IsNull());
}

TEST(UUID, IsUUIDString)
{
	EXPECT_TRUE(VUUID::IsUUIDString(VString("0123456789ABCDEF0123456789ABCDEF")));
	EXPECT_FALSE(VUUID::IsUUIDString(VString("0123456789abcdef0123456789abcdef")));
	EXPECT_FALSE(VUUID::IsUUIDString(VString("01234567-89AB-CDEF-0123-456789ABCDEF")));
	EXPECT_FALSE(VUUID::IsUUIDString(VString("00000000000000000000000000000000")));
	EXPECT_TRUE(VUUID::IsUUIDString(VString("00000000000000000000000000000000"), true));
}

TEST(UUID, OrderAndComparison)
{
	uint8 low[16] = {0x7F};
	uint8 high[16] = {0x80};
	VUUID a{VUUIDBuffer(low)};
	VUUID b{VUUIDBuffer(high)};
	EXPECT_TRUE(a < b);
	EXPECT_EQ(a.CompareToSameKind(&b), CR_SMALLER);
	EXPECT_EQ(b.CompareToSameKindPtr(low), CR_BIGGER);
	EXPECT_EQ(VUUID::sInfo.CompareTwoPtrToData(high, low, false), CR_BIGGER);
	EXPECT_EQ(a.CompareTo(VLong(1)), CR_UNRELEVANT);
	EXPECT_EQ(a.CompareTo(VUUID(a)), CR_EQUAL);
	EXPECT_TRUE(a == VUUID(a));
	EXPECT_TRUE(a != b);
	EXPECT_EQ(VUUID::sInfo.GetAvgSpace(), 16u);
}

TEST(UUID, FlatAndStreamForms)
{
	uint8 zeros[16] = {};
	VUUID loaded(true);
	EXPECT_EQ(loaded.LoadFromPtr(zeros, false), zeros + 16);
	EXPECT_TRUE(loaded.IsNull());
	std::unique_ptr<VValue> fromInfo(VUUID::sInfo.LoadFromPtr(zeros, false));
	EXPECT_TRUE(fromInfo->IsNull());

	VPtrStream stream;
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	VUUID id(true);
	VUUID::sNullUUID.WriteToStream(&stream);
	stream.PutValue(id, true);
	ASSERT_EQ(stream.CloseWriting(), VE_OK);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	VUUID read;
	EXPECT_EQ(read.ReadFromStream(&stream), VE_OK);
	EXPECT_FALSE(read.IsNull());	// read from a stream: an identifier, zeros or not
	std::unique_ptr<VValue> value(stream.GetValue());
	ASSERT_NE(value, nullptr);
	EXPECT_TRUE(*static_cast<VUUID*>(value.get()) == id);
}

TEST(UUID, AssignmentCopiesBytesAndNullFlagAndSetsDirty)
{
	for (bool targetNull : {false, true}) {
		for (bool sourceNull : {false, true}) {
			SCOPED_TRACE(std::string(targetNull ? "null" : "non-null") + " target, " +
						 (sourceNull ? "null" : "non-null") + " source");
			VUUID target(!targetNull);
			VString* linked = target.GetCachedConvertedString(true);
			target.SetDirty(false);
			VUUID source(!sourceNull);
			source.SetDirty(false);
			target = source;
			EXPECT_TRUE(target == source);
			EXPECT_EQ(target.IsNull(), sourceNull);
			EXPECT_TRUE(target.IsDirty());
			EXPECT_EQ(linked->IsNull(), sourceNull);
			if (!sourceNull) {
				EXPECT_EQ(to_string(*linked), Text(source));
			}
		}
	}
}

TEST(UUID, LinkedStringFollowsTheValue)
{
	VUUID id;
	VString* linked = id.GetCachedConvertedString(true);
	ASSERT_NE(linked, nullptr);
	EXPECT_TRUE(linked->IsNull());
	id.Regenerate();
	EXPECT_EQ(to_string(*linked), Text(id));
	EXPECT_FALSE(linked->IsNull());
	id.SetNull(true);
	EXPECT_TRUE(linked->IsNull());
	EXPECT_EQ(Text(id), "00000000000000000000000000000000");

	VUUID copy(id);
	EXPECT_EQ(copy.GetCachedConvertedString(false), nullptr);

	VString json;
	VUUID fixed{VString("0123456789ABCDEF0123456789ABCDEF")};
	fixed.GetJSONString(json, 0);
	EXPECT_EQ(to_string(json), "\"0123456789ABCDEF0123456789ABCDEF\"");

	VString asText;
	fixed.GetValue(asText);
	VUUID back;
	back.FromValue(asText);
	EXPECT_TRUE(back == fixed);
}

} // namespace
} // namespace qirn
