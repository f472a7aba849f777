// The public JSONTestSuite parsing corpus (data/JSONTestSuite): every valid
// text is read, every invalid one refused in strict mode unless a lenient
// rule of the reader takes it on purpose, and nothing crashes or leaks.
#include "core/VReal.h"
#include "json/VJSONErrors.h"
#include "json/VJSONImporter.h"
#include "json/VJSONWriter.h"
#include "json/tests/JSONTestSupport.h"
#include "runtime/VTask.h"
#include "testing/RaisedErrors.h"
#include "testing/TestWaits.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace qirn {
namespace {

using testing::JSONLeakMonitor;
using testing::RaisedErrors;

constexpr uint32 kStrict = VJSONImporter::kOption_Strict | VJSONImporter::kOption_UndefinedOnFailure;

// The invalid texts the strict reader accepts on purpose, each with the
// lenient rule that admits it. Any other accepted invalid text is a fault.
const std::map<std::string, const char*>& AcceptedInvalidTexts()
{
	static const char* const kFirstValueOnly = "only the first value of the text is read";
	static const char* const kBlanks = "every code below 33 is white space";
	static const char* const kRawControls = "raw control characters stay in strings, U+0000 is dropped";
	static const char* const kLenientEscapes = "unknown escapes and bad \\u digits are read leniently";
	static const char* const kMinus = "\"-\" and \"-.5\" are numbers";
	static const std::map<std::string, const char*> sAccepted = {
		{"n_array_comma_after_close.json", kFirstValueOnly},
		{"n_array_extra_close.json", kFirstValueOnly},
		{"n_array_just_minus.json", kMinus},
		{"n_number_neg_real_without_int_part.json", kMinus},
		{"n_object_trailing_comment.json", kFirstValueOnly},
		{"n_object_trailing_comment_open.json", kFirstValueOnly},
		{"n_object_trailing_comment_slash_open.json", kFirstValueOnly},
		{"n_object_trailing_comment_slash_open_incomplete.json", kFirstValueOnly},
		{"n_object_with_trailing_garbage.json", kFirstValueOnly},
		{"n_string_backslash_00.json", kLenientEscapes},
		{"n_string_escape_x.json", kLenientEscapes},
		{"n_string_escaped_ctrl_char_tab.json", kLenientEscapes},
		{"n_string_escaped_emoji.json", kLenientEscapes},
		{"n_string_incomplete_surrogate_escape_invalid.json", kLenientEscapes},
		{"n_string_invalid_backslash_esc.json", kLenientEscapes},
		{"n_string_invalid_unicode_escape.json", kLenientEscapes},
		// The byte after the backslash is no UTF-8: it reads as "?", escaped.
		{"n_string_invalid_utf8_after_escape.json", kLenientEscapes},
		{"n_string_unescaped_ctrl_char.json", kRawControls},
		{"n_string_unescaped_newline.json", kRawControls},
		{"n_string_unescaped_tab.json", kRawControls},
		{"n_string_unicode_CapitalU.json", kLenientEscapes},
		{"n_string_with_trailing_garbage.json", kFirstValueOnly},
		{"n_structure_array_trailing_garbage.json", kFirstValueOnly},
		{"n_structure_array_with_extra_array_close.json", kFirstValueOnly},
		{"n_structure_close_unopened_array.json", kFirstValueOnly},
		{"n_structure_double_array.json", kFirstValueOnly},
		{"n_structure_null-byte-outside-string.json", kBlanks},
		{"n_structure_object_followed_by_closing_object.json", kFirstValueOnly},
		{"n_structure_object_with_trailing_garbage.json", kFirstValueOnly},
		{"n_structure_trailing_#.json", kFirstValueOnly},
		{"n_structure_whitespace_formfeed.json", kBlanks},
		{"n_multidigit_number_then_00.json", kBlanks},
	};
	return sAccepted;
}

struct CorpusFile {
	std::string fName;
	std::string fBytes;
};

const std::vector<CorpusFile>& Corpus()
{
	static const std::vector<CorpusFile> sFiles = [] {
		std::vector<CorpusFile> files;
		std::filesystem::path folder =
			std::filesystem::path(QIRN_TEST_SOURCE_DIR) / "json" / "tests" / "data" / "JSONTestSuite" / "test_parsing";
		for (const auto& entry : std::filesystem::directory_iterator(folder)) {
			std::ifstream stream(entry.path(), std::ios::binary);
			files.push_back({entry.path().filename().string(),
							 std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>())});
		}
		std::sort(files.begin(), files.end(), [](const CorpusFile& a, const CorpusFile& b) { return a.fName < b.fName; });
		return files;
	}();
	return sFiles;
}

// The text as the reader gets it from a file: decoded from UTF-8 (bytes that
// are no UTF-8 come out as the decoder makes them).
VString Decode(const std::string& inBytes)
{
	RaisedErrors decoding;
	VString text;
	text.FromBlock(inBytes.data(), inBytes.size(), VTC_UTF_8);
	return text;
}

bool Starts(const std::string& inName, const char* inPrefix)
{
	return inName.rfind(inPrefix, 0) == 0;
}

TEST(JSONConformance, TheCorpusIsThere)
{
	EXPECT_GT(Corpus().size(), 300u);
}

TEST(JSONConformance, StrictReaderAcceptsValidAndRefusesInvalidTexts)
{
	JSONLeakMonitor monitor;
	for (const CorpusFile& file : Corpus()) {
		SCOPED_TRACE(file.fName);
		RaisedErrors raised;
		VJSONValue value;
		VError error = VJSONImporter::ParseString(Decode(file.fBytes), value, kStrict);
		if (Starts(file.fName, "y_")) {
			EXPECT_EQ(error, VE_OK);
			EXPECT_TRUE(raised.Codes().empty());
		} else if (Starts(file.fName, "n_")) {
			const bool onPurpose = AcceptedInvalidTexts().count(file.fName) != 0;
			if (onPurpose) {
				EXPECT_EQ(error, VE_OK) << "listed as accepted on purpose";
			} else {
				EXPECT_NE(error, VE_OK) << "accepted, and no lenient rule is listed for it";
				EXPECT_EQ(raised.Last(), VE_JSON_MALFORMED);
				EXPECT_TRUE(value.IsUndefined());
			}
		} else if (error != VE_OK) {
			EXPECT_EQ(raised.Last(), VE_JSON_MALFORMED);
		}
	}
	EXPECT_EQ(monitor.Objects(), 0);
	EXPECT_EQ(monitor.Arrays(), 0);
}

TEST(JSONConformance, TolerantReaderAcceptsValidTextsAndSurvivesTheRest)
{
	JSONLeakMonitor monitor;
	for (const CorpusFile& file : Corpus()) {
		SCOPED_TRACE(file.fName);
		RaisedErrors raised;
		VJSONValue value;
		VError error = VJSONImporter::ParseString(Decode(file.fBytes), value, 0);
		if (Starts(file.fName, "y_")) {
			EXPECT_EQ(error, VE_OK);
		} else if (error != VE_OK) {
			EXPECT_EQ(raised.Last(), VE_JSON_MALFORMED);
		}
	}
	EXPECT_EQ(monitor.Objects(), 0);
	EXPECT_EQ(monitor.Arrays(), 0);
}

// Equal trees, numbers compared on the 14 digits the writer keeps.
bool SameTree(const VJSONValue& inA, const VJSONValue& inB)
{
	if (inA.GetType() != inB.GetType())
		return false;
	switch (inA.GetType()) {
		case JSON_number: {
			VString a, b;
			VReal::RealToJSONString(inA.GetNumber(), a);
			VReal::RealToJSONString(inB.GetNumber(), b);
			return a.EqualToStringRaw(b);
		}
		case JSON_string: {
			VString a, b;
			inA.GetString(a);
			inB.GetString(b);
			return a.EqualToStringRaw(b);
		}
		case JSON_array: {
			const VJSONArray* a = inA.GetArray();
			const VJSONArray* b = inB.GetArray();
			if (a->GetCount() != b->GetCount())
				return false;
			for (size_t i = 0; i < a->GetCount(); ++i) {
				if (!SameTree(a->GetAt(i), b->GetAt(i)))
					return false;
			}
			return true;
		}
		case JSON_object: {
			const VJSONObject* a = inA.GetObject();
			const VJSONObject* b = inB.GetObject();
			if (a->GetOwnPropertyCount() != b->GetOwnPropertyCount())
				return false;
			for (const auto& entry : a->GetInternalProperties()) {
				if (!b->HasOwnProperty(entry.first) || !SameTree(entry.second.first, b->GetOwnProperty(entry.first)))
					return false;
			}
			return true;
		}
		default:
			return true;
	}
}

TEST(JSONConformance, ValidTextsWrittenBackReadTheSameHereAndInAPeer)
{
	for (const CorpusFile& file : Corpus()) {
		if (!Starts(file.fName, "y_"))
			continue;
		SCOPED_TRACE(file.fName);
		VJSONValue value;
		ASSERT_EQ(VJSONImporter::ParseString(Decode(file.fBytes), value, kStrict), VE_OK);
		VString written;
		ASSERT_EQ(value.Stringify(written, VJSONWriter::kOption_Quotes), VE_OK);
		VJSONValue again;
		ASSERT_EQ(VJSONImporter::ParseString(written, again, kStrict), VE_OK) << to_string(written);
		EXPECT_TRUE(SameTree(value, again)) << to_string(written);
		EXPECT_TRUE(nlohmann::json::accept(to_string(written))) << to_string(written);
	}
}

// The deep invalid texts once more on a task with a small stack: the reader
// must stop before the stack does.
TEST(JSONConformance, DeepTextsFailCleanlyOnASmallStack)
{
	std::vector<const CorpusFile*> deep;
	for (const CorpusFile& file : Corpus()) {
		if (file.fName == "n_structure_100000_opening_arrays.json" || file.fName == "n_structure_open_array_object.json")
			deep.push_back(&file);
	}
	ASSERT_EQ(deep.size(), 2u);
	for (const CorpusFile* file : deep) {
		SCOPED_TRACE(file->fName);
		for (uint32 options : {kStrict, 0u}) {
			VError result = VE_OK;
			VError last = VE_OK;
			VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(128 * 1024, ETaskStyle::kPreemptive, [&]() {
				RaisedErrors raised;
				VJSONValue value;
				result = VJSONImporter::ParseString(Decode(file->fBytes), value, options);
				last = raised.Last();
			}));
			ASSERT_TRUE(task->Run());
			ASSERT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
			EXPECT_NE(result, VE_OK);
			EXPECT_EQ(last, VE_JSON_MALFORMED);
		}
	}
}

} // namespace
} // namespace qirn
