#include "core/VTime.h"
#include "core/tests/RefusingMemory.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONBlob.h"
#include "json/VJSONClass.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONErrors.h"
#include "json/VJSONImporter.h"
#include "json/VJSONNesting.h"
#include "json/tests/JSONScopedClassStore.h"
#include "json/tests/JSONTestSupport.h"
#include "core/VCompareOptions.h"
#include "runtime/VErrorContext.h"

#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace qirn {
namespace {

using testing::NewArray;
using testing::NewObject;
using testing::U;
using Bytes = std::vector<unsigned char>;

// Builds expected streams byte by byte, little-endian.
struct Stream {
	Bytes fBytes;
	Stream& u8(unsigned v)
	{
		fBytes.push_back(static_cast<unsigned char>(v));
		return *this;
	}
	Stream& u16(unsigned v) { return u8(v & 0xFF).u8(v >> 8); }
	Stream& u32(uint32 v) { return u16(v & 0xFFFF).u16(v >> 16); }
	Stream& u64(uint64 v) { return u32(static_cast<uint32>(v)).u32(static_cast<uint32>(v >> 32)); }
	Stream& units(const char* text)
	{
		for (const char* p = text; *p != 0; ++p)
			u16(static_cast<unsigned char>(*p));
		return *this;
	}
	Stream& name(const char* text) { return u16(static_cast<unsigned>(std::strlen(text))).units(text); }
	Stream& number(double v)
	{
		uint64 bits;
		std::memcpy(&bits, &v, 8);
		return u8(4).u64(bits);
	}
	Stream& ref(const char* pointer) { return u8(255).u32(static_cast<uint32>(std::strlen(pointer))).units(pointer); }
};

Bytes Write(const VJSONValue& inValue, VError* outError = nullptr)
{
	VMemoryBuffer<> buffer;
	VJSONBinaryWriter writer;
	VError error = writer.StreamValue(inValue, buffer);
	if (outError != nullptr)
		*outError = error;
	const auto* data = static_cast<const unsigned char*>(buffer.GetDataPtr());
	return Bytes(data, data + buffer.GetDataSize());
}

VError Read(const Bytes& inBytes, VJSONValue& outValue)
{
	static const unsigned char sNothing = 0;
	VJSONBinaryImporter importer(inBytes.empty() ? &sNothing : inBytes.data(), inBytes.size());
	return importer.GetValue(outValue);
}

VJSONValue Parse(const char* inText)
{
	VJSONValue value;
	EXPECT_EQ(VJSONImporter::ParseString(U(inText), value, 0), VE_OK) << inText;
	return value;
}

std::string Text(const VJSONValue& inValue)
{
	VString text;
	inValue.Stringify(text, 0);
	std::string out;
	for (VIndex i = 0; i < text.GetLength(); ++i)
		out.push_back(static_cast<char>(text.GetCPointer()[i]));
	return out;
}

// ---------------------------------------------------------------------------
// Layouts

TEST(JSONBinary, ValuesHaveTheirByteLayouts)
{
	VTime day;
	day.FromUTCTime(2024, 5, 17, 0, 0, 0, 0);
	VJSONValue date(day);
	struct Case {
		const char* fName;
		VJSONValue fValue;
		Bytes fExpected;
	} cases[] = {
		{"object", Parse(R"({"a": 1})"), Stream().u8(5).name("a").number(1.0).u16(0xFFFF).fBytes},
		{"array", Parse("[true, null]"), Stream().u8(6).u32(2).u8(2).u8(0).fBytes},
		{"string", VJSONValue(U("hé")), Stream().u8(3).u32(2).u16('h').u16(0xE9).fBytes},
		{"false and undefined", Parse("[false]"), Stream().u8(6).u32(1).u8(1).fBytes},
		{"undefined", VJSONValue(JSON_undefined), Stream().u8(7).fBytes},
		{"date", date, Stream().u8(8).u64(static_cast<uint64>(day.GetMilliseconds())).fBytes},
		{"escaped names in pointers", VJSONValue(JSON_null), {}},
	};
	for (auto& c : cases) {
		if (c.fExpected.empty())
			continue;
		EXPECT_EQ(Write(c.fValue), c.fExpected) << c.fName;
	}

	// A container met twice is written once, then referred to.
	VJSONValue root(JSON_object);
	VRefPtr<VJSONObject> shared = NewObject();
	root.SetProperty(U("a/b~c"), VJSONValue(shared.Get()));
	root.SetProperty(U("second"), VJSONValue(shared.Get()));
	EXPECT_EQ(Write(root), Stream()
							   .u8(5)
							   .name("a/b~c")
							   .u8(5)
							   .u16(0xFFFF)
							   .name("second")
							   .ref("#/a~1b~0c")
							   .u16(0xFFFF)
							   .fBytes);

	// A root that holds itself is "#" inside itself.
	VRefPtr<VJSONArray> cycle = NewArray();
	cycle->Push(VJSONValue(cycle.Get()));
	EXPECT_EQ(Write(VJSONValue(cycle.Get())), Stream().u8(6).u32(1).ref("#").fBytes);
	cycle->Clear();
}

TEST(JSONBinary, ObjectsOfANamedClassCarryTheirClass)
{
	testing::ScopedClassStore store("qx");
	VRefPtr<VJSONObject> classObject = store.Get()->AddClass(U("Point"), {}, nullptr, nullptr, nullptr, 0);
	ASSERT_NE(classObject, nullptr);
	VRefPtr<VJSONObject> point = VRefPtr<VJSONObject>::Adopt(new VJSONObject(classObject.Get()));
	point->SetProperty(U("x"), VJSONValue(2.0));
	const Bytes bytes = Write(VJSONValue(point.Get()));
	EXPECT_EQ(bytes, Stream()
						 .u8(5)
						 .name("x")
						 .number(2.0)
						 .u16(0xFFFD)
						 .u32(0x2A2A2A2A)
						 .u64(4 + 2 * (2 + 5))
						 .name("qx")
						 .name("Point")
						 .fBytes);
	VJSONValue back;
	ASSERT_EQ(Read(bytes, back), VE_OK);
	ASSERT_TRUE(back.IsObject());
	EXPECT_EQ(back.GetObject()->GetClassObject(), classObject.Get());
	EXPECT_EQ(back.GetProperty(U("x")).GetNumber(), 2.0);

	// An unknown class reads as a plain object, nothing lost.
	Bytes other = bytes;
	other[other.size() - 1] = 'X';
	ASSERT_EQ(Read(other, back), VE_OK);
	EXPECT_NE(back.GetObject()->GetClassObject(), classObject.Get());
	EXPECT_EQ(back.GetProperty(U("x")).GetNumber(), 2.0);
}

// ---------------------------------------------------------------------------
// Reading the forms only other writers make

TEST(JSONBinary, ReaderTakesTheFormsItNeverWrites)
{
	VJSONValue value;
	// An object tag then 0xFFFE is undefined; the member list skips the
	// marker.
	ASSERT_EQ(Read(Stream().u8(5).name("u").u8(5).u16(0xFFFE).u16(0x9000).name("v").u8(2).u16(0xFFFF).fBytes, value),
			  VE_OK);
	EXPECT_TRUE(value.GetProperty(U("u")).IsUndefined());
	EXPECT_TRUE(value.GetProperty(U("v")).GetBool());
	// An array count of 0xFFFFFFFE is undefined.
	ASSERT_EQ(Read(Stream().u8(6).u32(0xFFFFFFFE).fBytes, value), VE_OK);
	EXPECT_TRUE(value.IsUndefined());
	// An unknown tag is skipped by its size, the value left as it was.
	ASSERT_EQ(Read(Stream().u8(6).u32(2).u8(42).u32(6).u16(0).u8(2).fBytes, value), VE_OK);
	EXPECT_EQ(Text(value), "[null,true]");
	// A signature block without signature ends the object quietly.
	ASSERT_EQ(Read(Stream().u8(5).u16(0xFFFD).fBytes, value), VE_OK);
	EXPECT_TRUE(value.IsObject());
	// An unknown signature: the payload is skipped.
	ASSERT_EQ(Read(Stream().u8(6).u32(2).u8(5).u16(0xFFFD).u32('ZZZZ').u64(3).u8(1).u8(2).u8(3).u8(2).fBytes, value),
			  VE_OK);
	EXPECT_EQ(Text(value), "[{},true]");
}

TEST(JSONBinary, BackReferencesResolveInsideTheDocumentOnly)
{
	VJSONValue value;
	// A name that looks URL-encoded is its own name.
	ASSERT_EQ(Read(Stream().u8(5).name("50%25").u8(6).u32(0).name("b").ref("#/50%25").u16(0xFFFF).fBytes, value),
			  VE_OK);
	EXPECT_EQ(value.GetProperty(U("b")).GetArray(), value.GetProperty(U("50%25")).GetArray());

	struct Case {
		const char* fName;
		const char* fPointer;
	} dangling[] = {
		{"missing member", "#/nothing"}, {"beyond the array", "#/a/5"},	 {"a scalar", "#/n"},
		{"a file", "other.json#/a"},	 {"bad escape", "#/a~2"},		 {"index with sign", "#/a/+0"},
		{"leading zero", "#/a/00"},		 {"a later container", "#/z"},
	};
	for (const Case& c : dangling) {
		const Bytes bytes = Stream()
								.u8(5)
								.name("a")
								.u8(6)
								.u32(1)
								.u8(6)
								.u32(0)
								.name("n")
								.number(1)
								.name("r")
								.ref(c.fPointer)
								.name("z")
								.u8(5)
								.u16(0xFFFF)
								.u16(0xFFFF)
								.fBytes;
		ASSERT_EQ(Read(bytes, value), VE_OK) << c.fName;
		// Kept as the reference it is: nothing read is lost.
		VString target;
		EXPECT_TRUE(VJSONValue::GetStringByPath(value, U("r.$ref"), target)) << c.fName;
		EXPECT_TRUE(target.EqualToStringRaw(U(c.fPointer))) << c.fName;
	}
	ASSERT_EQ(Read(Stream().u8(5).name("a").u8(6).u32(1).u8(6).u32(0).name("r").ref("#/a/0").u16(0xFFFF).fBytes, value),
			  VE_OK);
	EXPECT_EQ(value.GetProperty(U("r")).GetArray(), value.GetProperty(U("a")).GetArray()->GetAt(0).GetArray());
}

// ---------------------------------------------------------------------------
// Hostile streams

TEST(JSONBinary, EveryPrefixOfAValidStreamFailsCleanly)
{
	testing::ScopedClassStore store("qx");
	VJSONValue root = Parse(R"({"s": "text", "n": 1.5, "a": [1, [2, {"x": null}], true], "o": {"k": false}})");
	VJSONValue shared = root.GetProperty(U("a"));
	root.SetProperty(U("again"), shared);
	root.SetProperty(U("self"), root);
	VTime day;
	day.FromUTCTime(2000, 2, 29, 0, 0, 0, 0);
	root.SetProperty(U("d"), VJSONValue(day));
	root.SetProperty(U("u"), VJSONValue(JSON_undefined));
	const unsigned char bytes[] = {1, 2, 3, 4, 5};
	VRefPtr<VJSONObject> blob = VRefPtr<VJSONObject>::Adopt(VJSONBlob::Create(bytes, sizeof(bytes)));
	root.SetProperty(U("blob"), VJSONValue(blob.Get()));
	const Bytes full = Write(root);

	StErrorContextInstaller quiet(false, true);
	for (size_t length = 0; length < full.size(); ++length) {
		const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
		VJSONValue value;
		// A cut inside a signature's absent signature may end quietly;
		// everything else is cut short.
		const VError error = Read(prefix, value);
		EXPECT_TRUE(error == VE_JSON_BINARY_CUT_SHORT || error == VE_OK) << length;
	}
	root.GetObject()->RemoveProperty(U("self"));
	VJSONValue whole;
	ASSERT_EQ(Read(full, whole), VE_OK);
	whole.GetObject()->RemoveProperty(U("self"));
}

// Arrays nested in one another, each claiming as many elements as bytes are
// left: sized by their counts, they once took memory in the square of the
// input's size (gigabytes from a few hundred kilobytes). Each holds only the
// elements actually read.
TEST(JSONBinary, ArraysHoldOnlyTheElementsReadNotTheirCounts)
{
	Stream stream;
	constexpr uint32 kSize = 2000;
	while (stream.fBytes.size() + 5 <= kSize) {
		const uint32 left = kSize - static_cast<uint32>(stream.fBytes.size()) - 5;
		stream.u8(6).u32(left);
	}
	StErrorContextInstaller quiet(false, true);
	VJSONValue value;
	EXPECT_EQ(Read(stream.fBytes, value), VE_JSON_BINARY_CUT_SHORT);
	size_t levels = 0;
	for (VJSONValue level = value; level.IsArray(); level = level.GetArray()->GetAt(0)) {
		ASSERT_EQ(level.GetArray()->GetCount(), level.GetArray()->GetAt(0).IsArray() ? 1u : 0u) << levels;
		++levels;
	}
	EXPECT_EQ(levels, kSize / 5);
}

// A date is written as its day's UTC midnight; a day before year 1 has no
// such time and would be written as a null one. It reads as null at once,
// not as a date that turns into something else when written back.
TEST(JSONBinary, DatesBeforeYearOneReadAsNull)
{
	VJSONValue value;
	ASSERT_EQ(Read(Stream().u8(8).u64(0x000041562DE91C00ULL).fBytes, value), VE_OK);
	EXPECT_TRUE(value.IsNull());
	VJSONValue first;
	first.SetDate(1, 1, 1);
	ASSERT_EQ(Read(Write(first), value), VE_OK);
	EXPECT_TRUE(value.IsDate());
}

TEST(JSONBinary, LiesAboutSizesAreRefusedBeforeAllocating)
{
	struct Case {
		const char* fName;
		Bytes fBytes;
		VError fError;
	} cases[] = {
		{"no data", {}, VE_JSON_BINARY_CUT_SHORT},
		{"huge string", Stream().u8(3).u32(0xFFFFFFFF).u16('a').fBytes, VE_JSON_BINARY_CUT_SHORT},
		{"odd string", Stream().u8(3).u32(1).u8('a').fBytes, VE_JSON_BINARY_CUT_SHORT},
		{"huge array", Stream().u8(6).u32(0xFFFFFFF0).u8(0).fBytes, VE_JSON_BINARY_CUT_SHORT},
		{"count above bytes", Stream().u8(6).u32(3).u8(0).u8(0).fBytes, VE_JSON_BINARY_CUT_SHORT},
		{"huge name", Stream().u8(5).u16(0x7FFF).u16('a').fBytes, VE_JSON_BINARY_CUT_SHORT},
		{"huge reference", Stream().u8(255).u32(0x80000000).fBytes, VE_JSON_BINARY_CUT_SHORT},
		{"huge skip", Stream().u8(77).u32(0xFFFFFFFF).fBytes, VE_JSON_BINARY_CUT_SHORT},
		{"huge signature payload",
		 Stream().u8(5).u16(0xFFFD).u32('JBlb').u64(0xFFFFFFFFFFFFFFFFULL).fBytes,
		 VE_JSON_BINARY_CUT_SHORT},
		{"signature without size", Stream().u8(5).u16(0xFFFD).u32('JBlb').u32(0).fBytes, VE_JSON_BINARY_CUT_SHORT},
		{"short number", Stream().u8(4).u32(0).fBytes, VE_JSON_BINARY_CUT_SHORT},
		{"short date", Stream().u8(8).u16(0).fBytes, VE_JSON_BINARY_CUT_SHORT},
		{"object without end", Stream().u8(5).name("a").u8(0).fBytes, VE_JSON_BINARY_CUT_SHORT},
		{"array of missing values", Stream().u8(6).u32(2).u8(0).fBytes, VE_JSON_BINARY_CUT_SHORT},
	};
	StErrorContextInstaller quiet(false, true);
	for (const Case& c : cases) {
		VJSONValue value(JSON_null);
		EXPECT_EQ(Read(c.fBytes, value), c.fError) << c.fName;
	}
	// No data pointer at all is nothing to read.
	VJSONBinaryImporter none(nullptr, 0);
	VJSONValue value(JSON_null);
	EXPECT_EQ(none.GetValue(value), VE_OK);
	EXPECT_TRUE(value.IsUndefined());
}

TEST(JSONBinary, DeepNestingStopsWithStackErrorBothWays)
{
	constexpr size_t kDepth = 200000;
	Stream nested;
	for (size_t i = 0; i < kDepth; ++i)
		nested.u8(6).u32(1);
	nested.u8(0);
	StErrorContextInstaller quiet(false, true);
	VJSONValue value;
	EXPECT_EQ(Read(nested.fBytes, value), VE_STACK_OVERFLOW);
	value.SetUndefined();

	// Objects 200,000 deep as well.
	Stream objects;
	for (size_t i = 0; i < kDepth; ++i)
		objects.u8(5).name("o");
	EXPECT_EQ(Read(objects.fBytes, value), VE_STACK_OVERFLOW);
	value.SetUndefined();

	// Writing a tree deeper than the stack allows stops too, arrays as well
	// as objects.
	// (Just past the bound: a deeper tree would overflow the stack as it is
	// released, before the writer is ever in question.)
	VJSONValue deep(JSON_array);
	VJSONValue inner = deep;
	for (uint32 i = 0; i < kJSONMaxDepth + 10; ++i) {
		VJSONValue next(i % 2 == 0 ? JSON_array : JSON_object);
		if (inner.IsArray())
			inner.GetArray()->Push(next);
		else
			inner.SetProperty(U("o"), next);
		inner = next;
	}
	VError error = VE_OK;
	Write(deep, &error);
	EXPECT_EQ(error, VE_STACK_OVERFLOW);
}

TEST(JSONBinary, WriterRefusesNamesThatReadAsMarkers)
{
	std::u16string longName(0x8000, u'n');
	VJSONValue root(JSON_object);
	root.SetProperty(VString(longName.data(), static_cast<VIndex>(longName.size())), VJSONValue(1.0));
	StErrorContextInstaller quiet(false, true);
	VError error = VE_OK;
	Write(root, &error);
	EXPECT_EQ(error, VE_STRING_ALLOC_FAILED);

	VJSONValue fits(JSON_object);
	fits.SetProperty(VString(longName.data(), 0x7FFF), VJSONValue(1.0));
	VJSONValue back;
	ASSERT_EQ(Read(Write(fits, &error), back), VE_OK);
	EXPECT_EQ(error, VE_OK);
	EXPECT_EQ(back.GetObject()->GetOwnPropertyCount(), 1u);
}

// A buffer that cannot grow stops the writer with 100, whatever it was
// writing, and nothing later is appended.
TEST(JSONBinary, WriterStopsWhenTheBufferCannotGrow)
{
	VJSONValue tree = Parse(R"({"a": [1, "two", {"b": null}], "c": "three"})");
	VError error = VE_OK;
	StErrorContextInstaller quiet(false, true);
	{
		testing::StRefusingMemory refusing;
		ASSERT_TRUE(refusing.IsRefusing());
		VMemoryBuffer<> buffer;
		VJSONBinaryWriter writer;
		error = writer.StreamValue(tree, buffer);
		EXPECT_EQ(buffer.GetDataSize(), 0u);
	}
	EXPECT_EQ(error, VE_MEMORY_FULL);
}

// Pointers count from the root of the call that writes them: a writer used
// again must not refer to a container of the stream it wrote before, which
// the reader of the new stream never sees (here the pointer would even
// designate another container of the new stream).
TEST(JSONBinary, AWriterUsedAgainStartsAFreshStream)
{
	VRefPtr<VJSONObject> shared = NewObject();
	shared->SetProperty(U("k"), VJSONValue(1.0));
	VJSONValue first(JSON_object);
	first.SetProperty(U("x"), VJSONValue(shared.Get()));
	VJSONValue second(JSON_object);
	second.SetProperty(U("x"), VJSONValue(JSON_array));
	second.SetProperty(U("y"), VJSONValue(shared.Get()));

	VJSONBinaryWriter writer;
	VMemoryBuffer<> one;
	VMemoryBuffer<> two;
	ASSERT_EQ(writer.StreamValue(first, one), VE_OK);
	ASSERT_EQ(writer.StreamValue(second, two), VE_OK);
	const auto* data = static_cast<const unsigned char*>(two.GetDataPtr());
	VJSONValue back;
	ASSERT_EQ(Read(Bytes(data, data + two.GetDataSize()), back), VE_OK);
	EXPECT_EQ(Text(back), "{x:[],y:{k:1}}");

	// The same holds for the object and array entries.
	VMemoryBuffer<> three;
	ASSERT_EQ(writer.StreamObject(shared.Get(), three), VE_OK);
	data = static_cast<const unsigned char*>(three.GetDataPtr());
	EXPECT_EQ(Bytes(data, data + three.GetDataSize()), Stream().u8(5).name("k").number(1).u16(0xFFFF).fBytes);
	VRefPtr<VJSONArray> array = NewArray();
	array->Push(VJSONValue(shared.Get()));
	VMemoryBuffer<> four;
	ASSERT_EQ(writer.StreamArray(array.Get(), four), VE_OK);
	ASSERT_EQ(writer.StreamArray(array.Get(), four), VE_OK);
	data = static_cast<const unsigned char*>(four.GetDataPtr());
	const Bytes once = Stream().u8(6).u32(1).u8(5).name("k").number(1).u16(0xFFFF).fBytes;
	Bytes twice = once;
	twice.insert(twice.end(), once.begin(), once.end());
	EXPECT_EQ(Bytes(data, data + four.GetDataSize()), twice);
}

// ---------------------------------------------------------------------------
// Round trips

class RandomTree {
public:
	explicit RandomTree(uint32 inSeed) : fRandom(inSeed) {}

	VJSONValue Make(int inDepth)
	{
		const int kind = Pick(inDepth > 0 ? 12 : 7);
		switch (kind) {
			case 0: return VJSONValue(JSON_null);
			case 1: return VJSONValue(Pick(2) == 0 ? JSON_true : JSON_false);
			case 2: return VJSONValue(static_cast<double>(Pick(1000000)) / 7.0);
			case 3: {
				std::u16string text;
				for (int i = Pick(8); i > 0; --i)
					text.push_back(static_cast<char16_t>(Pick(2) == 0 ? u'a' + Pick(26) : 0x100 + Pick(0xD000)));
				return VJSONValue(VString(text.data(), static_cast<VIndex>(text.size())));
			}
			case 4: {
				VTime time;
				time.FromUTCTime(static_cast<sWORD>(1900 + Pick(200)), static_cast<sWORD>(1 + Pick(12)),
								 static_cast<sWORD>(1 + Pick(28)), 0, 0, 0, 0);
				return VJSONValue(time);
			}
			case 5: return VJSONValue(JSON_undefined);
			case 6: {
				std::vector<unsigned char> bytes(static_cast<size_t>(Pick(20)));
				for (auto& b : bytes)
					b = static_cast<unsigned char>(Pick(256));
				VRefPtr<VJSONObject> blob =
					VRefPtr<VJSONObject>::Adopt(VJSONBlob::Create(bytes.data(), bytes.size()));
				return VJSONValue(blob.Get());
			}
			case 7:
			case 8:
				// Shared or cyclic: a container already made.
				if (!fContainers.empty())
					return fContainers[static_cast<size_t>(Pick(static_cast<int>(fContainers.size())))];
				[[fallthrough]];
			case 9:
			case 10: {
				VJSONValue object(JSON_object);
				fContainers.push_back(object);
				for (int i = Pick(5); i > 0; --i) {
					const std::u16string name = {static_cast<char16_t>(u'a' + Pick(5)), u'/', u'~'};
					object.SetProperty(VString(name.data(), Pick(3) + 1), Make(inDepth - 1));
				}
				return object;
			}
			default: {
				VJSONValue array(JSON_array);
				fContainers.push_back(array);
				for (int i = Pick(5); i > 0; --i)
					array.GetArray()->Push(Make(inDepth - 1));
				return array;
			}
		}
	}

	// Breaks every link so the cycles go.
	void Clear()
	{
		for (VJSONValue& c : fContainers) {
			if (c.IsObject())
				c.GetObject()->Clear();
			else
				c.GetArray()->Clear();
		}
		fContainers.clear();
	}

private:
	int Pick(int inCount) { return std::uniform_int_distribution<int>(0, inCount - 1)(fRandom); }

	std::mt19937 fRandom;
	std::vector<VJSONValue> fContainers;
};

// Walks both trees together: each container of the first maps to exactly
// one of the second, and back; blobs hold the same bytes.
void ExpectSameShape(const VJSONValue& inA, const VJSONValue& inB, std::map<const void*, const void*>& ioAToB,
					 std::map<const void*, const void*>& ioBToA, std::vector<VJSONValue>& ioCopies)
{
	ASSERT_EQ(inA.GetType(), inB.GetType());
	const VJSONContainer* a = VJSONContainer::FromValue(inA);
	const VJSONContainer* b = VJSONContainer::FromValue(inB);
	if (a == nullptr)
		return;
	auto [forward, added] = ioAToB.emplace(a, b);
	auto [backward, addedBack] = ioBToA.emplace(b, a);
	ASSERT_EQ(forward->second, b);
	ASSERT_EQ(backward->second, a);
	if (!added)
		return;
	ioCopies.push_back(inB);
	if (inA.IsArray()) {
		ASSERT_EQ(inA.GetArray()->GetCount(), inB.GetArray()->GetCount());
		for (size_t i = 0; i < inA.GetArray()->GetCount(); ++i)
			ExpectSameShape(inA.GetArray()->GetAt(i), inB.GetArray()->GetAt(i), ioAToB, ioBToA, ioCopies);
		return;
	}
	const VJSONBlob* blobA = VJSONBlob::CastJSONObject(inA.GetObject());
	const VJSONBlob* blobB = VJSONBlob::CastJSONObject(inB.GetObject());
	ASSERT_EQ(blobA == nullptr, blobB == nullptr);
	if (blobA != nullptr) {
		ASSERT_EQ(blobA->GetSize(), blobB->GetSize());
		if (blobA->GetSize() > 0) {
			EXPECT_EQ(std::memcmp(blobA->GetData(), blobB->GetData(), blobA->GetSize()), 0);
		}
		return;
	}
	const VJSONObject::PropertyMap props = inA.GetObject()->GetInternalProperties();
	ASSERT_EQ(props.size(), inB.GetObject()->GetOwnPropertyCount());
	for (const auto& [name, entry] : props)
		ExpectSameShape(entry.first, inB.GetObject()->GetOwnProperty(name), ioAToB, ioBToA, ioCopies);
}

TEST(JSONBinary, RandomTreesComeBackWithTheirSharingAndCycles)
{
	testing::ScopedClassStore store("qx");
	VCompareOptions options;
	VJSONBlob::GetClass();
	std::optional<testing::JSONLeakMonitor> leaks(std::in_place);
	for (uint32 seed = 1; seed <= 150; ++seed) {
		RandomTree maker(seed);
		VJSONValue tree = maker.Make(6);
		VError error = VE_OK;
		const Bytes bytes = Write(tree, &error);
		ASSERT_EQ(error, VE_OK) << seed;
		VJSONValue back;
		ASSERT_EQ(Read(bytes, back), VE_OK) << seed;
		EXPECT_TRUE(tree.DeepEqualTo(back, options) || VJSONBlob::CastJSONObject(tree.GetObject()) != nullptr)
			<< seed;
		std::map<const void*, const void*> aToB, bToA;
		std::vector<VJSONValue> copies;
		ExpectSameShape(tree, back, aToB, bToA, copies);
		// Written again, the copy gives the same bytes.
		EXPECT_EQ(Write(back), bytes) << seed;
		maker.Clear();
		for (VJSONValue& copy : copies) {
			if (copy.IsArray())
				copy.GetArray()->Clear();
			else if (VJSONBlob::CastJSONObject(copy.GetObject()) == nullptr)
				copy.GetObject()->Clear();
		}
	}
	// Everything both trees made is gone, cycles included.
	EXPECT_EQ(leaks->Objects(), 0);
	EXPECT_EQ(leaks->Arrays(), 0);
	leaks.reset();
}

// ---------------------------------------------------------------------------
// Inside JSON text

TEST(JSONBinary, StringifyFallsBackToTheBinaryFormWhereTextCannotHoldTheTree)
{
	testing::ScopedClassStore store("qx");
	VJSONValue plain = Parse(R"({"a": [1, 2]})");
	VString text;
	ASSERT_EQ(plain.Stringify(text, 0x801), VE_OK);
	EXPECT_TRUE(text.EqualToStringRaw(U(R"({"a":[1,2]})")));

	VJSONValue cyclic = Parse(R"({"a": [1, 2], "b": {"c": true}})");
	cyclic.SetProperty(U("again"), cyclic.GetProperty(U("a")));
	cyclic.GetProperty(U("b")).SetProperty(U("up"), cyclic);
	{
		StErrorContextInstaller errors;
		ASSERT_EQ(cyclic.Stringify(text, 0x801), VE_OK);
		// The refusals of the text writer are not left behind.
		EXPECT_EQ(errors.GetLastError(), VE_OK);
	}
	EXPECT_EQ(text.Find(U("{\"__PRIVATE_BINARY_OBJECT\":\"")), 1);

	for (uint32 options : {0u, 64u}) {
		VJSONValue back;
		ASSERT_EQ(VJSONImporter::ParseString(text, back, options), VE_OK);
		ASSERT_TRUE(back.IsObject());
		EXPECT_EQ(back.GetProperty(U("again")).GetArray(), back.GetProperty(U("a")).GetArray());
		EXPECT_EQ(back.GetProperty(U("b")).GetProperty(U("up")).GetObject(), back.GetObject());
		back.GetProperty(U("b")).GetObject()->Clear();
	}

	// Nested inside text, in members and elements.
	VString nested(U("{\"x\": "));
	nested.AppendString(text);
	nested.AppendString(U(", \"y\": ["));
	nested.AppendString(text);
	nested.AppendString(U("]}"));
	VJSONValue outer;
	ASSERT_EQ(VJSONImporter::ParseString(nested, outer, 0), VE_OK);
	VJSONValue x = outer.GetProperty(U("x"));
	VJSONValue y0 = outer.GetProperty(U("y")).GetArray()->GetAt(0);
	EXPECT_EQ(x.GetProperty(U("b")).GetProperty(U("up")).GetObject(), x.GetObject());
	EXPECT_EQ(y0.GetProperty(U("b")).GetProperty(U("up")).GetObject(), y0.GetObject());
	x.GetProperty(U("b")).GetObject()->Clear();
	y0.GetProperty(U("b")).GetObject()->Clear();
	cyclic.GetProperty(U("b")).GetObject()->Clear();

	// A blob goes as binary as well.
	const unsigned char bytes[] = {9, 8, 7};
	VRefPtr<VJSONObject> blob = VRefPtr<VJSONObject>::Adopt(VJSONBlob::Create(bytes, 3));
	ASSERT_EQ(VJSONValue(blob.Get()).Stringify(text, 0x801), VE_OK);
	VJSONValue back;
	ASSERT_EQ(back.ParseFromString(text), VE_OK);
	ASSERT_NE(VJSONBlob::CastJSONObject(back.GetObject()), nullptr);
	EXPECT_EQ(VJSONBlob::CastJSONObject(back.GetObject())->GetSize(), 3u);

	// A payload that is not a tree is an error.
	StErrorContextInstaller quiet(false, true);
	EXPECT_NE(VJSONImporter::ParseString(U(R"({"__PRIVATE_BINARY_OBJECT": "BQ=="})"), back, 0), VE_OK);
	EXPECT_NE(VJSONImporter::ParseString(U(R"([{"__PRIVATE_BINARY_OBJECT": "!!"}])"), back, 0), VE_OK);
	// Not a string: an ordinary object.
	ASSERT_EQ(VJSONImporter::ParseString(U(R"({"__PRIVATE_BINARY_OBJECT": 1})"), back, 0), VE_OK);
	EXPECT_EQ(back.GetProperty(U("__PRIVATE_BINARY_OBJECT")).GetNumber(), 1.0);
}

} // namespace
} // namespace qirn
