// Static keys that carry the value a bag without the attribute stands for.
#include "bags_xml/StBagKeyWithDefault.h"
#include "bags_xml/VBagLoader.h"
#include "bags_xml/VValueBag.h"
#include "core/VLong.h"
#include "core/VRefPtr.h"
#include "core/VUUID.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

const StBagKeyWithDefault<VLong, sLONG> kCount("count", 42);
const StBagKeyWithDefault<VUUID, VUUID> kID("uuid", VUUID());

TEST(BagKeyWithDefault, AnswersTheDefaultForAnAbsentAttribute)
{
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	sLONG count = 0;
	EXPECT_FALSE(kCount.Get(*bag, count));
	EXPECT_EQ(count, 42);
	EXPECT_EQ(kCount.Get(*bag), 42);
	EXPECT_TRUE(kID.Get(*bag).IsNull());

	kCount.Set(*bag, 3);
	EXPECT_TRUE(kCount.Get(*bag, count));
	EXPECT_EQ(count, 3);
	// The key is an ordinary bag key for everything else.
	sLONG plain = 0;
	EXPECT_TRUE(bag->GetLong(kCount, plain));
	EXPECT_EQ(plain, 3);
}

TEST(BagKeyWithDefault, NamesTheIdentifierTheLoaderReads)
{
	const VUUID id(true);
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	kID.Set(*bag, id);
	VBagLoader loader(false, false);
	VUUID read;
	EXPECT_TRUE(loader.GetUUID(*bag, read));
	EXPECT_TRUE(read == id);

	// Without one, the loader makes a new identifier and says so.
	VRefPtr<VValueBag> empty = VRefPtr<VValueBag>::Adopt(new VValueBag());
	EXPECT_FALSE(loader.GetUUID(*empty, read));
	EXPECT_FALSE(read.IsNull());
	EXPECT_FALSE(read == id);
}

} // namespace
} // namespace qirn
