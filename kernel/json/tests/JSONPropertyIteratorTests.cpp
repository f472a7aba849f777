#include "json/VJSONPropertyIterator.h"
#include "json/tests/JSONTestSupport.h"

namespace qirn {
namespace {

using testing::NewObject;
using testing::U;

class NamedImpl : public IJSONObject {
public:
	EJSONStatus IJSON_GetProperty(const VJSONObject*, const VString& inName, VJSONValue& outValue,
								  VDBLanguageContext*) override
	{
		if (!inName.EqualToStringRaw(U("extra")))
			return eJSONStatus_NotHandled;
		outValue.SetNumber(1);
		return eJSONStatus_Handled;
	}
	EJSONStatus IJSON_GetPropertyNames(std::vector<VString>& outNames) override
	{
		outNames.push_back(U("extra"));
		return eJSONStatus_Handled;
	}
};

TEST(JSONPropertyIterator, TheImplementationsNamesComeBeforeTheOwnProperties)
{
	VRefPtr<NamedImpl> impl = VRefPtr<NamedImpl>::Adopt(new NamedImpl);
	VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(new VJSONObject(nullptr, impl.Get()));
	object->SetProperty(U("own"), VJSONValue(2.0));
	std::vector<std::string> names;
	double sum = 0;
	for (VJSONPropertyIterator it(object.Get()); it.IsValid(); ++it) {
		names.push_back(to_string(it.GetName()));
		sum += it.GetValue().GetNumber();
	}
	EXPECT_EQ(names, (std::vector<std::string>{"extra", "own"}));
	EXPECT_EQ(sum, 3);
	names.clear();
	for (VJSONPropertyConstIterator it(object.Get()); it.IsValid(); ++it)
		names.push_back(to_string(it.GetName()));
	EXPECT_EQ(names, (std::vector<std::string>{"extra", "own"}));
}

TEST(JSONPropertyIterator, SettingUndefinedLeavesTheCurrentPropertyInPlace)
{
	VRefPtr<VJSONObject> object = NewObject();
	object->SetProperty(U("a"), VJSONValue(1.0));
	object->SetProperty(U("b"), VJSONValue(2.0));
	for (VJSONPropertyIterator it(object.Get()); it.IsValid(); ++it) {
		if (it.GetName().EqualToStringRaw(U("a")))
			it.SetValue(VJSONValue(JSON_undefined));
		else
			it.SetValue(VJSONValue(20.0));
	}
	EXPECT_EQ(object->GetProperty(U("a")).GetNumber(), 1);
	EXPECT_EQ(object->GetProperty(U("b")).GetNumber(), 20);
}

TEST(JSONPropertyIterator, ASharedObjectIsWalkedOverASnapshotInOrder)
{
	VRefPtr<VJSONObject> shared = VRefPtr<VJSONObject>::Adopt(new VJSONObject(nullptr, nullptr, true));
	{
		VJSONUser user(shared.Get(), false);
		for (const char* name : {"z", "y", "x"})
			shared->SetProperty(U(name), VJSONValue(1.0));
	}
	std::vector<std::string> names;
	for (VJSONPropertyConstOrderedIterator it(shared.Get(), 3); it.IsValid(); ++it)
		names.push_back(to_string(it.GetName()));
	EXPECT_EQ(names, (std::vector<std::string>{"z", "y", "x"}));
	size_t count = 0;
	for (VJSONPropertyConstIterator it(shared.Get()); it.IsValid(); ++it) {
		EXPECT_EQ(it.GetValue().GetNumber(), 1);
		++count;
	}
	EXPECT_EQ(count, 3u);
}

} // namespace
} // namespace qirn
