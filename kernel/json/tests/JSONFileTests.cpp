// JSON text in files: values saved and loaded, a file's content as JSON,
// and what a failure leaves in the file and the value.
#include "files/VFile.h"
#include "files/tests/PosixFiles.h"
#include "json/VJSONErrors.h"
#include "json/VJSONImporter.h"
#include "json/VJSONWriter.h"
#include "json/tests/JSONTestSupport.h"
#include "runtime/VErrorBase.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

using testing::NewArray;
using testing::NewObject;
using testing::RaisedErrors;
using testing::ReadFile;
using testing::U;
using testing::WriteFile;

class JSONFiles : public ::testing::Test {
protected:
	VRefPtr<VFile> File(const char* inName)
	{
		return VRefPtr<VFile>::Adopt(new VFile(VString((fFolder / inName).c_str()), FPS_POSIX));
	}
	static std::string Text(const VJSONValue& inValue)
	{
		VString text;
		inValue.Stringify(text, VJSONWriter::kOption_Quotes);
		return to_string(text);
	}

	testing::TempFolder fFolder;
};

TEST_F(JSONFiles, SavedValuesLoadBackEqual)
{
	VRefPtr<VJSONObject> object = NewObject();
	object->SetProperty(U("name"), VJSONValue(U("Zo\xC3\xAB \xE2\x82\xAC")));
	object->SetProperty(U("n"), VJSONValue(1.5));
	VRefPtr<VJSONArray> list = NewArray();
	list->Push(VJSONValue(JSON_true));
	list->Push(VJSONValue(JSON_null));
	object->SetProperty(U("list"), VJSONValue(list.Get()));
	VRefPtr<VFile> file = File("value.json");
	for (uint32 options : {VJSONWriter::kOption_Quotes, VJSONWriter::kOption_Quotes | VJSONWriter::kOption_Pretty}) {
		SCOPED_TRACE(options);
		ASSERT_EQ(VJSONValue(object.Get()).SaveToFile(file.Get(), options), VE_OK);
		VJSONValue loaded;
		ASSERT_EQ(loaded.LoadFromFile(file.Get()), VE_OK);
		EXPECT_EQ(Text(loaded), R"({"name":"Zoë €","n":1.5,"list":[true,null]})");
	}
	// Written as UTF-8 without a byte-order mark.
	ASSERT_EQ(VJSONValue(U("\xC3\xA9")).SaveToFile(file.Get(), VJSONWriter::kOption_Quotes), VE_OK);
	EXPECT_EQ(ReadFile(fFolder / "value.json"), "\"\xC3\xA9\"");
}

TEST_F(JSONFiles, NullFilesAndMissingFiles)
{
	VJSONValue value(U("kept"));
	EXPECT_EQ(value.LoadFromFile(nullptr), VE_OK);
	EXPECT_TRUE(value.IsUndefined());
	EXPECT_EQ(VJSONValue(1.0).SaveToFile(nullptr), VE_OK);
	EXPECT_EQ(VJSONWriter::StringifyValueToFile(nullptr, VJSONValue(1.0), 0), VE_OK);

	RaisedErrors raised;
	VJSONValue missing(U("kept"));
	EXPECT_NE(missing.LoadFromFile(File("none.json").Get()), VE_OK);
	EXPECT_NE(raised.Last(), VE_OK);
	// The read failed: nothing was parsed.
	EXPECT_EQ(Text(missing), "\"kept\"");
	VJSONValue strict(U("kept"));
	EXPECT_NE(VJSONImporter::ParseFile(File("none.json").Get(), strict, VJSONImporter::kOption_UndefinedOnFailure),
			  VE_OK);
	EXPECT_TRUE(strict.IsUndefined());
}

TEST_F(JSONFiles, ParseErrorsNameTheFile)
{
	ASSERT_TRUE(WriteFile(fFolder / "bad.json", "{\r\n\"a\": 1,\r\n  \"b\" 2\r\n}"));
	RaisedErrors raised;
	VJSONValue value;
	EXPECT_EQ(VJSONImporter::ParseFile(File("bad.json").Get(), value, VJSONImporter::kOption_Strict),
			  VE_JSON_MALFORMED);
	VErrorBase* last = raised.LastError();
	ASSERT_NE(last, nullptr);
	auto param = [&](const char* inName) {
		VJSONValue parameter = last->GetParameters()->GetProperty(U(inName));
		VString text;
		if (parameter.IsNumber())
			return std::to_string(static_cast<long long>(parameter.GetNumber()));
		parameter.GetString(text);
		return to_string(text);
	};
	EXPECT_EQ(param("source"), fFolder / "bad.json" + ", ");
	EXPECT_EQ(param("line"), "3");
	EXPECT_EQ(param("position"), "7");
}

TEST_F(JSONFiles, AValueThatCannotBeWrittenLeavesTheFileAsItWas)
{
	ASSERT_TRUE(WriteFile(fFolder / "keep.json", "[1]"));
	VRefPtr<VJSONArray> self = NewArray();
	self->Push(VJSONValue(self.Get()));
	{
		RaisedErrors raised;
		EXPECT_EQ(VJSONValue(self.Get()).SaveToFile(File("keep.json").Get(), VJSONWriter::kOption_Quotes),
				  VE_JSON_CIRCULAR);
		EXPECT_EQ(File("keep.json")->SetContentAsJSON(VJSONValue(self.Get()), VTC_UTF_8, eCRM_NONE, false),
				  VE_JSON_CIRCULAR);
	}
	self->Clear();
	EXPECT_EQ(ReadFile(fFolder / "keep.json"), "[1]");
}

TEST_F(JSONFiles, LoadingWithDatesReadsDateTexts)
{
	ASSERT_TRUE(WriteFile(fFolder / "date.json", R"(["!!2024-03-05!!"])"));
	VJSONValue plain;
	ASSERT_EQ(plain.LoadFromFile(File("date.json").Get()), VE_OK);
	EXPECT_TRUE(plain.GetArray()->GetAt(0).IsString());
	VJSONValue dated;
	ASSERT_EQ(dated.LoadFromFile(File("date.json").Get(), true), VE_OK);
	EXPECT_TRUE(dated.GetArray()->GetAt(0).IsDate());
}

TEST_F(JSONFiles, FileContentAsJSON)
{
	VRefPtr<VJSONObject> object = NewObject();
	object->SetProperty(U("a"), VJSONValue(1.0));
	VRefPtr<VFile> file = File("content.json");
	// Quoted, indented text after the set's byte-order mark.
	ASSERT_EQ(file->SetContentAsJSON(VJSONValue(object.Get()), VTC_UTF_8, eCRM_LF, true), VE_OK);
	const std::string bytes = ReadFile(fFolder / "content.json");
	EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
	EXPECT_NE(bytes.find("\"a\""), std::string::npos);
	EXPECT_NE(bytes.find('\n'), std::string::npos);
	VJSONValue back;
	ASSERT_EQ(file->GetContentAsJSON(back, VTC_UTF_8), VE_OK);
	EXPECT_EQ(Text(back), R"({"a":1})");

	// A byte-order mark decides the set over the one asked for.
	ASSERT_EQ(file->SetContentAsJSON(VJSONValue(U("\xC3\xA9t\xC3\xA9")), VTC_UTF_16_SMALLENDIAN, eCRM_NONE, true), VE_OK);
	VJSONValue utf16;
	ASSERT_EQ(file->GetContentAsJSON(utf16, VTC_UTF_8), VE_OK);
	EXPECT_EQ(Text(utf16), "\"\xC3\xA9t\xC3\xA9\"");

	// The content is read tolerantly, as the other settings files are.
	ASSERT_TRUE(WriteFile(fFolder / "content.json", "{mode: alwaysSleep, maxSpins: 10}"));
	VJSONValue tolerant;
	ASSERT_EQ(file->GetContentAsJSON(tolerant, VTC_UTF_8), VE_OK);
	EXPECT_EQ(Text(tolerant), R"({"mode":"alwaysSleep","maxSpins":10})");

	RaisedErrors raised;
	VJSONValue none;
	EXPECT_NE(File("none.json")->GetContentAsJSON(none, VTC_UTF_8), VE_OK);
}

} // namespace
} // namespace qirn
