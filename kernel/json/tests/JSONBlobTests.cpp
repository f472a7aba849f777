#include "core/VBlob.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONBlob.h"
#include "json/VJSONClass.h"
#include "json/VJSONCloner.h"
#include "json/VJSONObjectFactory.h"
#include "json/VJSONErrors.h"
#include "json/VJSONFunctionContext.h"
#include "json/tests/JSONScopedClassStore.h"
#include "json/tests/JSONTestSupport.h"
#include "runtime/VErrorContext.h"
#include "testing/RaisedErrors.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace qirn {
namespace {

using testing::U;

const unsigned char kTen[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

VRefPtr<VJSONObject> TenBytes()
{
	return VRefPtr<VJSONObject>::Adopt(VJSONBlob::Create(kTen, sizeof(kTen)));
}

VJSONBlob* Blob(const VJSONObject* inObject)
{
	return VJSONBlob::CastJSONObject(inObject);
}

// "slice" called as scripts call it, through the class's method.
VRefPtr<VJSONObject> CallSlice(VJSONObject* inBlob, std::vector<VJSONValue> inParameters)
{
	VJSONValue method = inBlob->GetProperty(U("slice"));
	EXPECT_TRUE(method.IsObject());
	if (!method.IsObject())
		return nullptr;
	VJSONValue result;
	EXPECT_EQ(method.GetObject()->CallAsFunction(inBlob, nullptr, &inParameters, result, nullptr, nullptr),
			  eJSONStatus_Handled);
	return VRefPtr<VJSONObject>(result.GetObject());
}

TEST(JSONBlob, SlicesShareBytesAndClampTheirBounds)
{
	testing::ScopedClassStore store;
	VRefPtr<VJSONObject> ten = TenBytes();
	const double nan = std::numeric_limits<double>::quiet_NaN();
	struct Case {
		std::vector<VJSONValue> fParameters;
		size_t fSize;
		unsigned char fFirst;
	} cases[] = {
		{{VJSONValue(2.0), VJSONValue(5.0)}, 3, 2},
		{{VJSONValue(-3.0)}, 3, 7},
		{{VJSONValue(5.0), VJSONValue(2.0)}, 0, 0},
		{{VJSONValue(0.0), VJSONValue(100.0)}, 10, 0},
		{{}, 10, 0},
		{{VJSONValue(2.9), VJSONValue(-2.9)}, 6, 2},
		{{VJSONValue(-100.0), VJSONValue(1.0)}, 1, 0},
		// Numbers beyond any integer saturate; NaN is 0.
		{{VJSONValue(nan), VJSONValue(1e300)}, 10, 0},
		{{VJSONValue(-1e300), VJSONValue(nan)}, 0, 0},
		{{VJSONValue(U("x")), VJSONValue(4.0)}, 4, 0},
	};
	for (size_t i = 0; i < std::size(cases); ++i) {
		testing::RaisedErrors raised;
		VRefPtr<VJSONObject> slice = CallSlice(ten.Get(), cases[i].fParameters);
		// A bound that is no number is refused by name, and left at its
		// default.
		const bool notANumber = !cases[i].fParameters.empty() && cases[i].fParameters[0].IsString();
		EXPECT_EQ(raised.Codes(), notANumber ? std::vector<VError>{VE_JSON_PARAM_NOT_NUMBER} : std::vector<VError>{})
			<< i;
		ASSERT_NE(Blob(slice.Get()), nullptr) << i;
		EXPECT_EQ(Blob(slice.Get())->GetSize(), cases[i].fSize) << i;
		EXPECT_EQ(slice->GetProperty(U("size")).GetNumber(), static_cast<double>(cases[i].fSize)) << i;
		if (cases[i].fSize > 0) {
			EXPECT_EQ(*static_cast<const unsigned char*>(Blob(slice.Get())->GetData()), cases[i].fFirst) << i;
			// No copy: the slice looks into the same bytes.
			EXPECT_EQ(Blob(slice.Get())->GetData(),
					  static_cast<const unsigned char*>(Blob(ten.Get())->GetData()) + cases[i].fFirst)
				<< i;
		}
	}
	// A slice of a slice counts from its own start.
	VRefPtr<VJSONObject> middle = VRefPtr<VJSONObject>::Adopt(Blob(ten.Get())->CreateSlice(2, 8));
	VRefPtr<VJSONObject> inner = VRefPtr<VJSONObject>::Adopt(Blob(middle.Get())->CreateSlice(1, -1));
	EXPECT_EQ(Blob(inner.Get())->GetSize(), 4u);
	EXPECT_EQ(*static_cast<const unsigned char*>(Blob(inner.Get())->GetData()), 3);
	// "slice" on what is not a blob fails.
	VRefPtr<VJSONObject> plain = testing::NewObject();
	VJSONFunctionContext context(plain.Get(), nullptr, nullptr);
	EXPECT_EQ(VJSONBlob::do_slice(nullptr, &context), eJSONStatus_Failed);
}

TEST(JSONBlob, ReadsItsBytesAndRefusesChanges)
{
	testing::ScopedClassStore store;
	VRefPtr<VJSONObject> ten = TenBytes();
	EXPECT_EQ(ten->GetClassObject(), VJSONBlob::GetClass().Get());
	VString name;
	ten->GetClassName(name);
	EXPECT_TRUE(name.EqualToStringRaw(U("Blob")));
	EJSONStatus status = eJSONStatus_NotHandled;
	EXPECT_EQ(ten->GetCountPropertiesByIndex(&status), 10u);
	EXPECT_EQ(ten->GetPropertyByIndex(9, &status).GetNumber(), 9.0);
	EXPECT_EQ(status, eJSONStatus_Handled);

	StErrorContextInstaller errors(true, true);
	ten->GetPropertyByIndex(10, &status);
	EXPECT_EQ(status, eJSONStatus_Failed);
	EXPECT_EQ(errors.GetLastError(), VE_JSON_ARRAY_INDEX_BEYOND_END);
	EXPECT_FALSE(ten->SetProperty(U("size"), VJSONValue(3.0)));
	EXPECT_EQ(errors.GetLastError(), VE_JSON_READ_ONLY_PROPERTY);
	EXPECT_EQ(ten->GetProperty(U("size")).GetNumber(), 10.0);

	VRefPtr<VJSONObject> empty = VRefPtr<VJSONObject>::Adopt(VJSONBlob::Create(nullptr, 0));
	EXPECT_EQ(empty->GetProperty(U("size")).GetNumber(), 0.0);
	VString description;
	empty->GetDescription(description, false);
	EXPECT_TRUE(description.EqualToStringRaw(U("0 bytes")));
	ten->GetDescription(description, false);
	EXPECT_TRUE(description.EqualToStringRaw(U("10 bytes")));

	// Immutable, so a clone is the blob itself.
	VJSONCloner cloner;
	VJSONValue clone;
	ASSERT_EQ(ten->Clone(clone, cloner), VE_OK);
	EXPECT_EQ(clone.GetObject(), ten.Get());
}

TEST(JSONBlob, TravelsThroughTheBinaryForm)
{
	testing::ScopedClassStore store;
	VRefPtr<VJSONObject> slice = VRefPtr<VJSONObject>::Adopt(Blob(TenBytes().Get())->CreateSlice(7, 10));
	VMemoryBuffer<> buffer;
	VJSONBinaryWriter writer;
	ASSERT_EQ(writer.StreamValue(VJSONValue(slice.Get()), buffer), VE_OK);
	const unsigned char expected[] = {5, 0xFD, 0xFF, 'b', 'l', 'B', 'J', 3, 0, 0, 0, 0, 0, 0, 0, 7, 8, 9};
	ASSERT_EQ(buffer.GetDataSize(), sizeof(expected));
	EXPECT_EQ(std::memcmp(buffer.GetDataPtr(), expected, sizeof(expected)), 0);

	VJSONBinaryImporter importer(buffer.GetDataPtr(), buffer.GetDataSize());
	VJSONValue back;
	ASSERT_EQ(importer.GetValue(back), VE_OK);
	const VJSONBlob* blob = Blob(back.GetObject());
	ASSERT_NE(blob, nullptr);
	EXPECT_EQ(back.GetObject()->GetClassObject(), VJSONBlob::GetClass().Get());
	ASSERT_EQ(blob->GetSize(), 3u);
	EXPECT_EQ(std::memcmp(blob->GetData(), kTen + 7, 3), 0);
	EXPECT_TRUE(VJSONObjectFactory::Get()->IsSignatureSupported(VJSONBlob::kSignature));
}

TEST(JSONBlob, ScriptsMakeBlobsFromNothingOrFromABlob)
{
	testing::ScopedClassStore store;
	VRefPtr<VJSONObject> ten = TenBytes();
	struct Case {
		std::vector<VJSONValue> fParameters;
		bool fMade;
		size_t fSize;
	} cases[] = {
		{{}, true, 0},
		{{VJSONValue(ten.Get())}, true, 10},
		{{VJSONValue(1.0)}, false, 0},
		{{VJSONValue(ten.Get()), VJSONValue(ten.Get())}, false, 0},
	};
	StErrorContextInstaller errors(true, true);
	for (size_t i = 0; i < std::size(cases); ++i) {
		VJSONFunctionContext context(nullptr, nullptr, nullptr);
		context.SetParameters(&cases[i].fParameters);
		VRefPtr<VJSONObject> made =
			VRefPtr<VJSONObject>::Adopt(VJSONBlob::do_instantiate(VJSONBlob::GetClass().Get(), &context));
		ASSERT_EQ(made != nullptr, cases[i].fMade) << i;
		if (made != nullptr) {
			EXPECT_EQ(Blob(made.Get())->GetSize(), cases[i].fSize) << i;
			// A copy, not a view.
			if (cases[i].fSize > 0) {
				EXPECT_NE(Blob(made.Get())->GetData(), Blob(ten.Get())->GetData()) << i;
			}
		}
	}
	EXPECT_EQ(errors.GetLastError(), MAKE_VERROR(kCOMPONENT_SIGNATURE_JSON_RUNTIME, 58));
}

TEST(JSONBlob, FunctionsReadBlobParameters)
{
	testing::ScopedClassStore store;
	VRefPtr<VJSONObject> ten = TenBytes();
	std::vector<VJSONValue> parameters{VJSONValue(ten.Get()), VJSONValue(U("text"))};
	VJSONFunctionContext context(nullptr, nullptr, nullptr);
	context.SetParameters(&parameters);
	auto [valid, data, size] = context.GetBlobParam(1);
	EXPECT_TRUE(valid);
	EXPECT_EQ(data, Blob(ten.Get())->GetData());
	EXPECT_EQ(size, 10u);
	EXPECT_TRUE(context.AreParametersValid());

	// Optional: a mismatch is quiet.
	{
		StErrorContextInstaller errors(true, true);
		auto [okOptional, dataOptional, sizeOptional] = context.GetBlobParam(2, true);
		EXPECT_FALSE(okOptional);
		EXPECT_EQ(dataOptional, nullptr);
		EXPECT_EQ(sizeOptional, 0u);
		EXPECT_TRUE(context.AreParametersValid());
		EXPECT_EQ(errors.GetLastError(), VE_OK);
		auto [ok, unused, unusedSize] = context.GetBlobParam(3);
		EXPECT_FALSE(ok);
		EXPECT_FALSE(context.AreParametersValid());
		EXPECT_EQ(errors.GetLastError(), MAKE_VERROR(kCOMPONENT_SIGNATURE_JSON_RUNTIME, 54));
	}
	// Through an outer context.
	VJSONFunctionContext inner(nullptr, nullptr, &context);
	EXPECT_EQ(std::get<2>(inner.GetBlobParam(1)), 10u);
}

TEST(JSONBlob, ValueBlobsHaveTheirJSONForm)
{
	testing::ScopedClassStore store;
	VBlobWithPtr blob(kTen, 4);
	VJSONValue json;
	ASSERT_EQ(blob.GetJSONValue(json, 0), VE_OK);
	ASSERT_NE(Blob(json.GetObject()), nullptr);
	EXPECT_EQ(Blob(json.GetObject())->GetSize(), 4u);

	VBlobWithPtr back;
	ASSERT_EQ(back.FromJSONValue(json), VE_OK);
	EXPECT_TRUE(back.EqualToSameKind(&blob));
	EXPECT_FALSE(back.IsNull());

	// Anything else leaves it null and empty.
	ASSERT_EQ(back.FromJSONValue(VJSONValue(U("text"))), VE_OK);
	EXPECT_TRUE(back.IsNull());
	EXPECT_EQ(back.GetSize(), 0u);

	// An empty blob has an empty JSON blob.
	VBlobWithPtr empty;
	ASSERT_EQ(empty.GetJSONValue(json, 0), VE_OK);
	EXPECT_EQ(Blob(json.GetObject())->GetSize(), 0u);
}

} // namespace
} // namespace qirn
