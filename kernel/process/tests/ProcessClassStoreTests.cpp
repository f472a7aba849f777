#include "json/IJSONClassStore.h"
#include "json/VJSONClass.h"
#include "json/VJSONClassStore.h"
#include "json/VJSONObject.h"
#include "process/VProcess.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

// Start-up makes the class store "qx" with its root classes and hands it to
// the JSON objects.
TEST(ProcessClassStore, StartUpMakesTheStoreOfTheObjects)
{
	VProcess* process = VProcess::sInstance;
	ASSERT_NE(process, nullptr);
	VJSONClassStore* store = process->GetClassStore();
	ASSERT_NE(store, nullptr);
	EXPECT_EQ(to_string(store->GetName()), "qx");
	EXPECT_EQ(store->GetCount(), 3u);
	EXPECT_EQ(IJSONClassStore::GetProcessStore(), static_cast<IJSONClassStore*>(store));
	auto plain = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	EXPECT_EQ(plain->GetClassObject(), store->GetObjectClassObject());
}

TEST(ProcessClassStore, ClassObjectsByStoreAndClassNames)
{
	VProcess* process = VProcess::sInstance;
	VJSONClassStore* store = process->GetClassStore();
	ASSERT_NE(store, nullptr);
	struct Case {
		const char* storeName;
		const char* className;
		VJSONObject* expected;
	};
	for (const Case& c : {Case{"qx", "Object", store->GetObjectClassObject()},
						  Case{"qx", "Function", store->GetFunctionClassObject()}, Case{"QX", "Object", nullptr},
						  Case{"", "Object", nullptr}, Case{"qx", "object", nullptr}, Case{"qx", "Nothing", nullptr}}) {
		SCOPED_TRACE(std::string(c.storeName) + " " + c.className);
		EXPECT_EQ(process->GetClassObject(VString(c.storeName), VString(c.className)).Get(), c.expected);
	}
}

} // namespace
} // namespace qirn
