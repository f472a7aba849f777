// Streams at the edges: positions near the limit of a 64-bit offset, empty
// blocks, and random sequences of operations checked against a plain model.
#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

namespace qirn {
namespace {

// The new position must not be worked out by an overflowing sum.
TEST(StreamLimits, RelativeMoveBeyondTheLargestPosition)
{
	const char data[] = "abcdef";
	VConstPtrStream stream(data, 6);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	ASSERT_EQ(stream.SetPos(2), VE_OK);
	testing::RaisedErrors raised;
	EXPECT_EQ(stream.SetPosByOffset(LLONG_MAX), VE_STREAM_BAD_OFFSET);
	EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_STREAM_BAD_OFFSET});
	EXPECT_EQ(stream.GetPos(), 2);

	VPtrStream writer;
	ASSERT_EQ(writer.OpenWriting(), VE_OK);
	ASSERT_EQ(writer.PutData("xyz", 3), VE_OK);
	EXPECT_EQ(writer.SetPosByOffset(LLONG_MAX - 1), VE_STREAM_BAD_OFFSET);
	EXPECT_EQ(writer.GetPos(), 3);
	EXPECT_EQ(writer.GetSize(), 3);
}

// A block of no bytes may come without an address.
TEST(StreamLimits, EmptyConstBlock)
{
	VConstPtrStream stream(nullptr, 0);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	char byte = 'x';
	EXPECT_EQ(stream.GetData(&byte, VSize(0)), VE_OK);
	VSize read = 9;
	EXPECT_EQ(stream.GetData(&byte, 1, &read), VE_STREAM_EOF);
	EXPECT_EQ(read, 0u);
	EXPECT_EQ(byte, 'x');
}

template <typename T>
void PutInModel(std::vector<uint8>& ioModel, size_t& ioPos, T inValue, bool inSwap)
{
	if (inSwap)
		inValue = ByteSwap(inValue);
	if (ioModel.size() < ioPos + sizeof(T))
		ioModel.resize(ioPos + sizeof(T), 0);
	std::memcpy(ioModel.data() + ioPos, &inValue, sizeof(T));
	ioPos += sizeof(T);
}

// Writes, moves and resizes in random order; the block must hold what a
// vector written the same way holds (gaps and growth zeroed, numbers in the
// stream's byte order), and read back the same.
TEST(StreamLimits, RandomWritesMatchAModel)
{
	std::mt19937 rng(99);
	for (int round = 0; round < 500; ++round) {
		VPtrStream stream;
		std::vector<uint8> model;
		size_t pos = 0;
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		const bool swap = rng() % 2 != 0;
		stream.SetNeedSwap(swap);
		for (int op = 0; op < 40; ++op) {
			switch (rng() % 6) {
				case 0: {
					std::vector<uint8> bytes(rng() % 40);
					for (uint8& byte : bytes)
						byte = static_cast<uint8>(rng());
					ASSERT_EQ(stream.PutData(bytes.data(), bytes.size()), VE_OK);
					if (model.size() < pos + bytes.size())
						model.resize(pos + bytes.size(), 0);
					std::copy(bytes.begin(), bytes.end(), model.begin() + static_cast<ptrdiff_t>(pos));
					pos += bytes.size();
					break;
				}
				case 1: {
					size_t target = rng() % (model.size() + 60);
					ASSERT_EQ(stream.SetPos(static_cast<sLONG8>(target)), VE_OK);
					if (target > model.size())
						model.resize(target, 0);
					pos = target;
					break;
				}
				case 2: {
					size_t size = rng() % (model.size() + 60);
					ASSERT_EQ(stream.SetSize(static_cast<sLONG8>(size)), VE_OK);
					model.resize(size, 0);
					pos = std::min(pos, size);
					break;
				}
				case 3: {
					sLONG value = static_cast<sLONG>(rng());
					ASSERT_EQ(stream.PutLong(value), VE_OK);
					PutInModel(model, pos, value, swap);
					break;
				}
				case 4: {
					Real value = static_cast<Real>(rng()) * 0.25;
					ASSERT_EQ(stream.PutReal(value), VE_OK);
					PutInModel(model, pos, value, swap);
					break;
				}
				default: {
					sLONG8 values[5];
					for (sLONG8& value : values)
						value = static_cast<sLONG8>((static_cast<uint64>(rng()) << 32) | rng());
					sLONG count = static_cast<sLONG>(rng() % 6);
					ASSERT_EQ(stream.PutLong8s(values, count), VE_OK);
					for (sLONG i = 0; i < count; ++i)
						PutInModel(model, pos, values[i], swap);
					break;
				}
			}
			ASSERT_EQ(stream.GetPos(), static_cast<sLONG8>(pos));
			ASSERT_EQ(stream.GetSize(), static_cast<sLONG8>(model.size()));
		}
		ASSERT_EQ(stream.CloseWriting(), VE_OK);

		ASSERT_EQ(stream.OpenReading(), VE_OK);
		std::vector<uint8> back(model.size() + 1);
		VSize read = 0;
		EXPECT_EQ(stream.GetData(back.data(), back.size(), &read), VE_STREAM_EOF);
		back.resize(read);
		ASSERT_EQ(back, model);
	}
}

// Reading operations in random order over random bytes (line ends, parts
// of multi-byte characters, byte order marks) never read or write out of
// bounds, whatever the character set and errors met on the way.
TEST(StreamLimits, RandomReadsOverRandomBytes)
{
	std::mt19937 rng(1234);
	const CharSet sets[] = {VTC_UTF_16_BIGENDIAN, VTC_UTF_16_SMALLENDIAN, VTC_UTF_32_BIGENDIAN, VTC_UTF_32_SMALLENDIAN,
							VTC_UTF_8, VTC_DefaultTextExport};
	const uint8 alphabet[] = {0, 10, 13, 'a', 0xC3, 0xA9, 0xFF, 0xFE, 0xEF, 0xBB, 0xBF, 0xD8, 0xDC, 0x80};
	for (int round = 0; round < 2000; ++round) {
		std::vector<uint8> data(rng() % 700);
		for (uint8& byte : data)
			byte = rng() % 3 == 0 ? static_cast<uint8>(rng()) : alphabet[rng() % sizeof(alphabet)];
		VConstPtrStream stream(data.data(), data.size());
		stream.SetCharSet(sets[rng() % std::size(sets)]);
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		stream.SetNeedSwap(rng() % 3 == 0);
		for (int op = 0; op < 30; ++op) {
			if (rng() % 2 != 0)
				stream.ResetLastError();
			VString text;
			switch (rng() % 9) {
				case 0:
					stream.GetTextLine(text, rng() % 2 != 0);
					break;
				case 1: {
					UniChar end = static_cast<UniChar>(rng() % 2 != 0 ? 10 : rng() % 0x10000);
					stream.GetTextLine(text, rng() % 2 != 0, &end);
					break;
				}
				case 2:
					stream.GetText(text, static_cast<sLONG>(rng() % 300) - 5, rng() % 2 != 0);
					break;
				case 3:
					stream.GetText(text);
					break;
				case 4: {
					bool foundBOM = false;
					stream.GuessCharSetFromLeadingBytes(sets[rng() % std::size(sets)], rng() % 2 != 0, &foundBOM);
					break;
				}
				case 5: {
					const sLONG8 offsets[] = {0, 1, -1, 7, LLONG_MAX, LLONG_MIN, -stream.GetPos()};
					stream.SetPosByOffset(offsets[rng() % std::size(offsets)]);
					break;
				}
				case 6: {
					sWORD words[50];
					sLONG count = std::min<sLONG>(static_cast<sLONG>(rng() % 60) - 5, 50);
					stream.GetWords(words, &count);
					ASSERT_LE(count, 50);
					break;
				}
				case 7: {
					char bytes[8];
					VSize count = rng() % 8;
					VSize read = 0;
					stream.GetData(bytes, count, &read);
					stream.UngetData(bytes, read);
					break;
				}
				default:
					stream.SetCharSet(sets[rng() % std::size(sets)]);
					break;
			}
			ASSERT_GE(stream.GetPos(), 0);
			ASSERT_LE(stream.GetPos(), static_cast<sLONG8>(data.size()));
		}
		stream.CloseReading();
	}
}

} // namespace
} // namespace qirn
