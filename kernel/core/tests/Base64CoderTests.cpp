#include "TestPool.h"

#include "core/Base64Coder.h"
#include "core/VString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace qirn {
namespace {

std::string Text(const VMemoryBuffer<>& inBuffer)
{
	return std::string(static_cast<const char*>(inBuffer.GetDataPtr()), inBuffer.GetDataSize());
}

TEST(Base64Coder, Encoding)
{
	VMemoryBuffer<> out;
	EXPECT_TRUE(Base64Coder::Encode("abc", 3, out));
	EXPECT_EQ(Text(out), "YWJj");
	EXPECT_TRUE(Base64Coder::Encode("\0", 1, out));
	EXPECT_EQ(Text(out), "AA==");
	EXPECT_TRUE(Base64Coder::EncodeURL("\0", 1, out));
	EXPECT_EQ(Text(out), "AA");
	EXPECT_TRUE(Base64Coder::Encode("ab", 2, out));
	EXPECT_EQ(Text(out), "YWI=");
	const unsigned char urlBytes[] = {0xFB, 0xFF};
	EXPECT_TRUE(Base64Coder::EncodeURL(urlBytes, 2, out));
	EXPECT_EQ(Text(out), "-_8");
	EXPECT_TRUE(Base64Coder::Encode(urlBytes, 2, out));
	EXPECT_EQ(Text(out), "+/8=");
	EXPECT_TRUE(Base64Coder::Encode(nullptr, 0, out));
	EXPECT_TRUE(out.IsEmpty());
	EXPECT_FALSE(Base64Coder::Encode(nullptr, 3, out));
}

TEST(Base64Coder, LineBreaks)
{
	std::string bytes(60, 'x');
	VMemoryBuffer<> out;
	EXPECT_TRUE(Base64Coder::Encode(bytes.data(), 57, out, 19));
	EXPECT_EQ(out.GetDataSize(), 76u);
	EXPECT_EQ(Text(out).find('\r'), std::string::npos);
	EXPECT_TRUE(Base64Coder::Encode(bytes.data(), 60, out, 19));
	std::string text = Text(out);
	ASSERT_EQ(text.size(), 82u);
	EXPECT_EQ(text.substr(76, 2), "\r\n");
	// The URL alphabet ignores line lengths.
	EXPECT_TRUE(Base64Coder::_Encode(bytes.data(), 60, out, 19, true));
	EXPECT_EQ(out.GetDataSize(), 80u);
}

TEST(Base64Coder, Decoding)
{
	struct Case {
		const char* fText;
		bool fURL;
		bool fOK;
		const char* fBytes;
	};
	for (const Case& c : {Case{"YWJj", false, true, "abc"}, Case{"YW\r\nJ j\t", false, true, "abc"},
						  Case{"YWJj", true, true, "abc"}, Case{"YW Jj", true, false, ""},
						  Case{"QQ", false, false, ""}, Case{"QQ", true, true, "A"}, Case{"QR==", false, false, ""},
						  Case{"QQ==", false, true, "A"}, Case{"QUI=", false, true, "AB"},
						  Case{"QUJ=", false, false, ""}, Case{"QQ==QUJD", false, false, ""},
						  Case{"Q===", false, false, ""}, Case{"Q", true, false, ""}, Case{"QUI", true, true, "AB"},
						  Case{"QUJ", true, false, ""}, Case{"-_8", true, true, "\xFB\xFF"},
						  Case{"+/8=", false, true, "\xFB\xFF"}, Case{"    ", false, true, ""}}) {
		VMemoryBuffer<> out;
		EXPECT_EQ(Base64Coder::Decode(c.fText, std::strlen(c.fText), out, c.fURL), c.fOK) << c.fText;
		EXPECT_EQ(Text(out), c.fBytes) << c.fText;
	}
	VMemoryBuffer<> partial;
	EXPECT_FALSE(Base64Coder::Decode("QUJDQQ=!", 8, partial, false, true));
	EXPECT_EQ(Text(partial), "ABC");
}

TEST(Base64Coder, RoundTripOfEveryByte)
{
	std::string bytes;
	for (int i = 0; i < 256; ++i)
		bytes.push_back(static_cast<char>(i));
	for (bool url : {false, true}) {
		for (size_t size : {0u, 1u, 2u, 3u, 100u, 256u}) {
			VMemoryBuffer<> encoded, decoded;
			ASSERT_TRUE(Base64Coder::_Encode(bytes.data(), size, encoded, url ? 0 : 5, url));
			ASSERT_TRUE(Base64Coder::Decode(encoded.GetDataPtr(), encoded.GetDataSize(), decoded, url));
			EXPECT_EQ(Text(decoded), bytes.substr(0, size));
		}
	}
}

// The coder's output belongs to the buffer's manager, which frees it: a
// block of any other manager would be a foreign block to it.
TEST(Base64Coder, OutputComesFromTheBuffersOwnManager)
{
	testing::StTestPools pools;
	std::unique_ptr<VCppMemMgr> manager(new VCppMemMgr(eAllocator_Pools));
	ASSERT_TRUE(manager->AddVirtualAllocation(16 * 1024 * 1024, nullptr, false));
	auto used = [&manager] {
		size_t allocated = 0, bytes = 0;
		manager->GetMemUsageInfo(allocated, bytes);
		return bytes;
	};
	{
		VMemoryBuffer<> out(manager.get());
		ASSERT_TRUE(Base64Coder::Encode("abc", 3, out));
		EXPECT_EQ(Text(out), "YWJj");
		EXPECT_EQ(used(), out.GetAllocatedSize());
		ASSERT_TRUE(Base64Coder::Decode("YWJj", 4, out, true));
		EXPECT_EQ(Text(out), "abc");
		ASSERT_TRUE(Base64Coder::Decode("YW\nJj", 5, out, false));
		EXPECT_EQ(Text(out), "abc");
		EXPECT_EQ(used(), out.GetAllocatedSize());
		EXPECT_FALSE(Base64Coder::Decode("QUJDQQ=!", 8, out, false, true));
		EXPECT_EQ(Text(out), "ABC");
		EXPECT_EQ(out.GetMemoryManager(), manager.get());
	}
	EXPECT_EQ(used(), 0u) << "every block went back to the manager it came from";
}

TEST(Base64Coder, Checksums)
{
	const uint8 digest[] = {0xAB, 0x01};
	VString text;
	Base64Coder::DO_EncodeChecksumHexa(digest, 2, text);
	EXPECT_EQ(to_string(text), "ab01");
	Base64Coder::DO_EncodeChecksumBase64(reinterpret_cast<const uint8*>("abcd"), 4, text);
	EXPECT_EQ(to_string(text), "YWJjZA==");
	EXPECT_EQ(Base64Coder::sBase64Inverse[static_cast<uint8>('/')], 63);
	EXPECT_EQ(Base64Coder::sBase64URLInverse[static_cast<uint8>('_')], 63);
	EXPECT_EQ(Base64Coder::sBase64Inverse[static_cast<uint8>('=')], 255);
}

} // namespace
} // namespace qirn
