#include "bags_xml/VValueBag.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

std::string Formatted(const char* inText, const VValueBag* inBag, bool inRemoveMissing)
{
	VString text(inText);
	text.Format(inBag, inRemoveMissing);
	return to_string(text);
}

TEST(StringPlaceholders, NamesInBracesAreFilledFromABag)
{
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
	bag->SetString("LogFilePath", VString("/tmp/a.txt"));
	bag->SetLong("n", 5);
	bag->SetString("self", VString("{self}"));
	struct Row {
		const char* fText;
		bool fRemoveMissing;
		const char* fExpected;
	};
	const Row rows[] = {
		{"see {LogFilePath}.", false, "see /tmp/a.txt."},
		{"{Log File} and {} and {{LogFilePath}}", false, "{Log File} and {} and {{LogFilePath}}"},
		{"a{missing}b", true, "ab"},
		{"a{missing}b", false, "a{missing}b"},
		{"{n}{n}", false, "55"},
		{"{missing}{n}", true, "5"},
		// An inserted text is never scanned again.
		{"{self}{n}", false, "{self}5"},
		{"{", false, "{"},
		{"open {n", false, "open {n"},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fText);
		EXPECT_EQ(Formatted(row.fText, bag.Get(), row.fRemoveMissing), row.fExpected);
	}
	EXPECT_EQ(Formatted("{n}", nullptr, true), "{n}");
}

TEST(StringPlaceholders, NamesInBracesAreFilledFromAJSONObject)
{
	VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	object->SetProperty(VString("n"), VJSONValue(5.0));
	object->SetProperty(VString("s"), VJSONValue(VString("text")));
	object->SetProperty(VString("nothing"), VJSONValue(JSON_null));
	struct Row {
		const char* fText;
		bool fRemoveMissing;
		const char* fExpected;
	};
	const Row rows[] = {
		{"n={n}", false, "n=5"},
		{"{s}!", false, "text!"},
		{"[{nothing}]", false, "[{nothing}]"},
		{"[{nothing}][{absent}]", true, "[][]"},
		{"{Log File} {} {{n}}", true, "{Log File} {} {{n}}"},
		{"{absent}{n}", true, "5"},
		{"{n", true, "{n"},
		{"{", true, "{"},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fText);
		VString text(row.fText);
		text.Format(object.Get(), row.fRemoveMissing);
		EXPECT_EQ(to_string(text), row.fExpected);
	}
	// No object, or an empty one, changes nothing, even when asked to remove.
	VRefPtr<VJSONObject> empty = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	VString text("a{b}");
	text.Format(empty.Get(), true);
	EXPECT_EQ(to_string(text), "a{b}");
	text.Format(static_cast<const VJSONObject*>(nullptr), true);
	EXPECT_EQ(to_string(text), "a{b}");
}

TEST(StringPlaceholders, TemplatesFollowPropertyPaths)
{
	VRefPtr<VJSONObject> user = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	user->SetProperty(VString("name"), VJSONValue(VString("Ann")));
	VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	object->SetProperty(VString("user"), VJSONValue(user.Get()));
	object->SetProperty(VString("count"), VJSONValue(3.0));
	struct Row {
		const char* fTemplate;
		const char* fWithObject;
		const char* fWithNull;
	};
	const Row rows[] = {
		{"Hello {{user.name}}!", "Hello Ann!", "Hello !"},
		{"{{count}} x {{missing}}.", "3 x .", " x ."},
		// Text before the first marker opens is kept as it stands, a lone
		// closing pair included.
		{"no markers }}", "no markers }}", "no markers }}"},
		{"a}}b {{count}}", "a}}b 3", "a}}b "},
		{"plain text", "plain text", "plain text"},
		{"{{count}}a}}b", "3ab", "ab"},
		{"", "", ""},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fTemplate);
		VString result("stale");
		VString(row.fTemplate).FormatWithTemplate(object.Get(), result);
		EXPECT_EQ(to_string(result), row.fWithObject);
		VString(row.fTemplate).FormatWithTemplate(nullptr, result);
		EXPECT_EQ(to_string(result), row.fWithNull);
	}
}

} // namespace
} // namespace qirn
