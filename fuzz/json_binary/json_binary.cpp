// The binary form of JSON trees, from untrusted bytes. What reads is written
// by the kernel's binary writer; those bytes read back to an equal tree that
// writes to the same bytes, the whole of them consumed. The same bytes in
// Base64 under "__PRIVATE_BINARY_OBJECT" in JSON text read as the same tree,
// and a tree written as text with the binary fallback reads back equal. A
// refusal is an error code with the error raised, never past the bytes
// given. No container outlives the input, cycles and shared ones included.
//
// With QIRN_JSON_BINARY_SEEDS set to a folder, the start writes the seed
// corpus there with the binary writer and ends the program.
#include "FuzzSupport.h"
#include "../json_text/JSONLeakCount.h"
#include "../json_text/JSONTreeSize.h"

#include "core/VMemoryBuffer.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "json/VJSONArray.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONBlob.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"
#include "process/VProcess.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace qirn;

using Bytes = std::vector<uint8_t>;

// A class of the process's store, so that signature blocks naming it find it.
VRefPtr<VJSONObject> PointClass()
{
	static VRefPtr<VJSONObject> sClass = [] {
		VJSONClassStore* store = VProcess::sInstance.load()->GetClassStore();
		VRefPtr<VJSONObject> found = store->GetClassObject(VString("Point"));
		if (found == nullptr)
			found = store->AddClass(VString("Point"), {}, nullptr, nullptr, nullptr, 0);
		return found;
	}();
	return sClass;
}

bool Write(const VJSONValue& inValue, Bytes& outBytes)
{
	fuzz::StFuzzInput scope;
	VJSONBinaryWriter writer;
	VMemoryBuffer<> buffer;
	const VError error = writer.StreamValue(inValue, buffer);
	if (error != VE_OK) {
		QIRN_FUZZ_CHECK(scope.LastError() != VE_OK);
		return false;
	}
	const auto* data = static_cast<const uint8_t*>(buffer.GetDataPtr());
	outBytes.assign(data, data + buffer.GetDataSize());
	return true;
}

// Reads from an exact-size copy, so that a read past the end is caught.
VError Read(const uint8_t* inData, size_t inSize, VJSONValue& outValue, size_t* outUsed)
{
	fuzz::StFuzzInput scope;
	VJSONBinaryImporter importer(inData, inSize);
	const VError error = importer.GetValue(outValue);
	QIRN_FUZZ_CHECK(importer.GetPosition() <= inSize);
	if (error != VE_OK)
		QIRN_FUZZ_CHECK(scope.LastError() != VE_OK);
	*outUsed = importer.GetPosition();
	return error;
}

// Equal trees write the same bytes, sharing and cycles included; unlike a
// deep comparison, this takes a NaN as equal to itself.
bool Equal(const VJSONValue& inA, const VJSONValue& inB)
{
	Bytes a;
	Bytes b;
	return Write(inA, a) && Write(inB, b) && a == b;
}

// The input in Base64 inside JSON text reads as the input read directly.
void CheckInsideText(const uint8_t* inData, size_t inSize, VError inDirectError, const VJSONValue& inDirect)
{
	fuzz::StFuzzInput scope;
	VString base64;
	QIRN_FUZZ_CHECK(base64.EncodeBase64(inData, inSize));
	VString text("{\"__PRIVATE_BINARY_OBJECT\": \"");
	text += base64;
	text += VString("\"}");
	VJSONValue value;
	const VError error =
		VJSONImporter::ParseString(text, value, VJSONImporter::kOption_Strict | VJSONImporter::kOption_UndefinedOnFailure);
	QIRN_FUZZ_CHECK((error == VE_OK) == (inDirectError == VE_OK));
	if (error == VE_OK)
		QIRN_FUZZ_CHECK(Equal(value, inDirect));
	else
		QIRN_FUZZ_CHECK(value.IsUndefined());
}

// Text with the binary fallback keeps what plain text cannot (cycles,
// dates, undefined) and reads back to a tree that writes the same text.
void CheckTextFallback(const VJSONValue& inValue)
{
	// Shared containers are written out at each place in text: a tree
	// sharing them level after level would take gigabytes.
	if ((!inValue.IsObject() && !inValue.IsArray()) || !fuzz::VJSONTreeSize::AtMost(inValue))
		return;
	fuzz::StFuzzInput scope;
	VString text;
	const VError error = inValue.Stringify(text, VJSONWriter::kOption_Quotes | VJSONWriter::kOption_BinaryFallback);
	if (error != VE_OK) {
		QIRN_FUZZ_CHECK(scope.LastError() != VE_OK);
		return;
	}
	// Text turns a NaN into null and keeps 14 digits of a number, which may
	// then read as an integer and be written as one: from the second write
	// on, the text stays the same.
	VString texts[3] = {text};
	for (int i = 1; i < 3; ++i) {
		VJSONValue back;
		QIRN_FUZZ_CHECK(VJSONImporter::ParseString(texts[i - 1], back, VJSONImporter::kOption_Strict) == VE_OK);
		QIRN_FUZZ_CHECK(back.Stringify(texts[i], VJSONWriter::kOption_Quotes | VJSONWriter::kOption_BinaryFallback) ==
						VE_OK);
	}
	QIRN_FUZZ_CHECK(texts[2].EqualToStringRaw(texts[1]));
}

void Check(const uint8_t* inData, size_t inSize)
{
	VJSONValue value;
	size_t used = 0;
	const VError error = Read(inData, inSize, value, &used);
	CheckInsideText(inData, inSize, error, value);
	if (error != VE_OK)
		return;
	Bytes written;
	if (!Write(value, written))
		return;
	VJSONValue again;
	QIRN_FUZZ_CHECK(Read(written.data(), written.size(), again, &used) == VE_OK);
	QIRN_FUZZ_CHECK(used == written.size());
	QIRN_FUZZ_CHECK(Equal(value, again));
	Bytes rewritten;
	QIRN_FUZZ_CHECK(Write(again, rewritten));
	QIRN_FUZZ_CHECK(rewritten == written);
	CheckTextFallback(value);
}

// ---------------------------------------------------------------------------
// The seed corpus

VJSONValue Text(const char* inText)
{
	VJSONValue value;
	if (VJSONImporter::ParseString(VString(inText), value, VJSONImporter::kOption_Strict) != VE_OK)
		fuzz::Fail(inText, __FILE__, __LINE__);
	return value;
}

void WriteSeed(const std::string& inFolder, const char* inName, const VJSONValue& inValue)
{
	Bytes bytes;
	if (!Write(inValue, bytes))
		fuzz::Fail(inName, __FILE__, __LINE__);
	const std::string path = inFolder + "/" + inName + ".bin";
	FILE* file = std::fopen(path.c_str(), "wb");
	if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0)
		fuzz::Fail(path.c_str(), __FILE__, __LINE__);
}

void WriteSeeds(const std::string& inFolder)
{
	WriteSeed(inFolder, "null", VJSONValue(JSON_null));
	WriteSeed(inFolder, "undefined", VJSONValue(JSON_undefined));
	WriteSeed(inFolder, "number", VJSONValue(-1234.5e-7));
	WriteSeed(inFolder, "string_non_ascii", VJSONValue(VString("h\xc3\xa9 \xf0\x9f\x98\x80")));
	VTime day;
	day.FromUTCTime(2024, 2, 29, 0, 0, 0, 0);
	WriteSeed(inFolder, "date", VJSONValue(day));
	WriteSeed(inFolder, "object_nested", Text(R"({"a": [1, true, false, null, "x"], "b": {"c": {}, "d": []}, "": 0})"));
	WriteSeed(inFolder, "names_needing_escapes", Text(R"({"a/b~c": {"~": 1, "/": [2]}})"));

	auto shared = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	shared->SetProperty(VString("k"), VJSONValue(1.0));
	auto twice = VRefPtr<VJSONArray>::Adopt(new VJSONArray());
	twice->Push(VJSONValue(shared.Get()));
	twice->Push(VJSONValue(shared.Get()));
	WriteSeed(inFolder, "shared_object", VJSONValue(twice.Get()));

	auto cycle = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	auto inner = VRefPtr<VJSONArray>::Adopt(new VJSONArray());
	cycle->SetProperty(VString("self"), VJSONValue(cycle.Get()));
	cycle->SetProperty(VString("list"), VJSONValue(inner.Get()));
	inner->Push(VJSONValue(cycle.Get()));
	inner->Push(VJSONValue(inner.Get()));
	inner->Push(VJSONValue(JSON_undefined));
	WriteSeed(inFolder, "cycles", VJSONValue(cycle.Get()));
	cycle->Clear();
	inner->Clear();

	auto point = VRefPtr<VJSONObject>::Adopt(new VJSONObject(PointClass().Get()));
	point->SetProperty(VString("x"), VJSONValue(2.0));
	WriteSeed(inFolder, "object_of_a_class", VJSONValue(point.Get()));

	const uint8_t blobBytes[] = {0, 1, 2, 0xFE, 0xFF};
	auto blob = VRefPtr<VJSONObject>::Adopt(VJSONBlob::Create(blobBytes, sizeof(blobBytes)));
	auto holder = VRefPtr<VJSONArray>::Adopt(new VJSONArray());
	holder->Push(VJSONValue(blob.Get()));
	holder->Push(VJSONValue(blob.Get()));
	WriteSeed(inFolder, "blob_twice", VJSONValue(holder.Get()));

	std::string deep;
	for (int i = 0; i < 200; ++i)
		deep += "[{\"a\":";
	deep += "1";
	for (int i = 0; i < 200; ++i)
		deep += "}]";
	WriteSeed(inFolder, "deep", Text(deep.c_str()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
	fuzz::StartKernel();
	// Made once, before any input is counted: the class and the blob class
	// live as long as the process.
	PointClass();
	VJSONBlob::GetClass();
	if (const char* folder = std::getenv("QIRN_JSON_BINARY_SEEDS")) {
		{
			fuzz::StFuzzInput scope;
			fuzz::StJSONLeakCount leaks;
			WriteSeeds(folder);
			QIRN_FUZZ_CHECK(leaks.AllGone());
		}
		std::exit(0);
	}
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	fuzz::StFuzzInput input;
	fuzz::StJSONLeakCount leaks;
	Check(inData, inSize);
	QIRN_FUZZ_CHECK(leaks.AllGone());
	return 0;
}
