// Named placeholders filled from a JSON object's properties.
#include "core/VString.h"
#include "json/VJSONObject.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

TEST(StringPlaceholders, AreFilledFromPropertiesByName)
{
	VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	object->SetProperty(VString("LogFilePath"), VJSONValue(VString("/tmp/a.txt")));
	object->SetProperty(VString("count"), VJSONValue(3.0));
	object->SetProperty(VString("nothing"), VJSONValue(JSON_null));
	struct Row {
		const char* fText;
		bool fRemoveMissing;
		const char* fExpected;
	};
	const Row rows[] = {
		{"see {LogFilePath}.", false, "see /tmp/a.txt."},
		{"{count} files", false, "3 files"},
		{"{Log File} {} {{LogFilePath}}", true, "{Log File} {} {{LogFilePath}}"},
		{"a{missing}b", false, "a{missing}b"},
		{"a{missing}b{nothing}c", true, "abc"},
		{"{missing}{count}", true, "3"},
		{"{count", true, "{count"},
		{"{", true, "{"},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fText);
		VString text(row.fText);
		text.Format(object.Get(), row.fRemoveMissing);
		EXPECT_EQ(to_string(text), row.fExpected);
	}
}

TEST(StringPlaceholders, StayWithoutAnObjectOrProperties)
{
	VString text("{x}");
	text.Format(nullptr, true);
	EXPECT_EQ(to_string(text), "{x}");
	VRefPtr<VJSONObject> empty = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	text.Format(empty.Get(), true);
	EXPECT_EQ(to_string(text), "{x}");
}

} // namespace
} // namespace qirn
