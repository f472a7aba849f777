// JSON text as a file brings it (UTF-8), read tolerantly and strictly. What
// either mode reads is written by the kernel's writer, and that text reads
// back strictly; written and read once more, it gives the same text again
// (numbers settle on the digits the writer keeps after one round). A text
// the strict mode takes, the tolerant mode takes too, to the same tree. A refusal is an error code
// with the error raised, and the strict mode then leaves an undefined value,
// not part of a tree. The text is read once more with dates and symbols on,
// whose paths differ. No container outlives the input.
#include "FuzzSupport.h"
#include "JSONLeakCount.h"
#include "JSONTreeSize.h"

#include "core/VString.h"
#include "json/VJSONErrors.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"

namespace {

using namespace qirn;

constexpr uint32 kTolerant = 0;
constexpr uint32 kStrict = VJSONImporter::kOption_Strict | VJSONImporter::kOption_UndefinedOnFailure;

// The writer's text of a value read, checked to read back strictly and to
// write again to itself. False when the writer refuses the tree (a tree
// expanded from a binary object may hold a cycle, which text cannot), or
// when the tree shares containers into a text too large to be worth writing.
bool WriteAndReadBack(const VJSONValue& inValue, uint32 inWriterOptions, VString& outText)
{
	fuzz::StFuzzInput scope;
	outText.Clear();
	if (!fuzz::VJSONTreeSize::AtMost(inValue))
		return false;
	const VError error = inValue.Stringify(outText, inWriterOptions);
	if (error != VE_OK) {
		QIRN_FUZZ_CHECK(scope.LastError() != VE_OK);
		QIRN_FUZZ_CHECK(outText.IsEmpty());
		return false;
	}
	// A lone undefined (from a binary object) is written as the bare word,
	// which is no JSON text.
	if (inValue.IsUndefined())
		return true;
	// A number keeps 14 digits, which may then read as an integer and be
	// written as one: from the second write on, the text stays the same.
	VString texts[3] = {outText};
	for (int i = 1; i < 3; ++i) {
		VJSONValue again;
		QIRN_FUZZ_CHECK(VJSONImporter::ParseString(texts[i - 1], again, kStrict) == VE_OK);
		QIRN_FUZZ_CHECK(again.Stringify(texts[i], inWriterOptions) == VE_OK);
	}
	QIRN_FUZZ_CHECK(texts[2].EqualToStringRaw(texts[1]));
	return true;
}

// Reads in a mode and checks what a refusal must look like.
VError Read(const VString& inText, uint32 inOptions, VJSONValue& outValue)
{
	fuzz::StFuzzInput scope;
	const VError error = VJSONImporter::ParseString(inText, outValue, inOptions);
	if (error != VE_OK) {
		QIRN_FUZZ_CHECK(scope.LastError() != VE_OK);
		if ((inOptions & VJSONImporter::kOption_UndefinedOnFailure) != 0)
			QIRN_FUZZ_CHECK(outValue.IsUndefined());
	}
	return error;
}

void ReadWithDatesAndSymbols(const VString& inText)
{
	fuzz::StFuzzInput scope;
	VJSONImporter importer(inText, VJSONImporter::kOption_Dates | VJSONImporter::kOption_Symbols |
									   VJSONImporter::kOption_UndefinedOnFailure);
	VJSONValue value;
	if (importer.Parse(value) != VE_OK) {
		QIRN_FUZZ_CHECK(scope.LastError() != VE_OK);
		QIRN_FUZZ_CHECK(value.IsUndefined());
		return;
	}
	VString text;
	WriteAndReadBack(value, VJSONWriter::kOption_Quotes | VJSONWriter::kOption_Pretty, text);
}

void Check(const VString& inText)
{
	VJSONValue tolerant;
	VJSONValue strict;
	const VError tolerantError = Read(inText, kTolerant, tolerant);
	const VError strictError = Read(inText, kStrict, strict);

	VString tolerantText;
	const bool tolerantWritten = tolerantError == VE_OK &&
								 WriteAndReadBack(tolerant, VJSONWriter::kOption_Quotes, tolerantText);
	if (strictError == VE_OK) {
		QIRN_FUZZ_CHECK(tolerantError == VE_OK);
		VString strictText;
		const bool strictWritten = WriteAndReadBack(strict, VJSONWriter::kOption_Quotes, strictText);
		QIRN_FUZZ_CHECK(strictWritten == tolerantWritten);
		QIRN_FUZZ_CHECK(strictText.EqualToStringRaw(tolerantText));
	}
	ReadWithDatesAndSymbols(inText);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	fuzz::StFuzzInput input;
	fuzz::StJSONLeakCount leaks;
	{
		VString text;
		text.FromBlock(inData, inSize, VTC_UTF_8);
		Check(text);
	}
	QIRN_FUZZ_CHECK(leaks.AllGone());
	return 0;
}
