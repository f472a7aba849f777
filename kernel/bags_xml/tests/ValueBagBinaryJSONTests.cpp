// JSON text that carries a tree in the binary form, read straight into a bag.
#include "bags_xml/VValueBag.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONObject.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

VString Base64Of(const VJSONValue& inValue)
{
	VMemoryBuffer<> bytes;
	VJSONBinaryWriter writer;
	EXPECT_EQ(writer.StreamValue(inValue, bytes), VE_OK);
	VString text;
	text.EncodeBase64(bytes.GetDataPtr(), bytes.GetDataSize(), false);
	return text;
}

TEST(ValueBagBinaryJSON, ABinaryPayloadBecomesTheBagsContent)
{
	VJSONValue tree(JSON_object);
	tree.SetProperty(VString("a"), VJSONValue(2.0));
	VJSONValue child(JSON_object);
	child.SetProperty(VString("c"), VJSONValue(VString("x")));
	tree.SetProperty(VString("b"), child);

	VString text("{\"__PRIVATE_BINARY_OBJECT\": \"");
	text.AppendString(Base64Of(tree));
	text.AppendString(VString("\"}"));
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	ASSERT_EQ(bag->FromJSONString(text, 0), VE_OK);
	Real a = 0;
	EXPECT_TRUE(bag->GetReal(StPackedDictionaryKey("a"), a));
	EXPECT_EQ(a, 2.0);
	EXPECT_NE(bag->GetUniqueElementByPath(VString("b")), nullptr);

	// A payload that is no tree fails the reading.
	testing::RaisedErrors errors;
	VRefPtr<VValueBag> bad = VRefPtr<VValueBag>::Adopt(new VValueBag());
	EXPECT_EQ(bad->FromJSONString(VString("{\"__PRIVATE_BINARY_OBJECT\": \"BQ==\"}"), 0), VE_JSON_BINARY_CUT_SHORT);
}

} // namespace
} // namespace qirn
