#include "bags_xml/VLocalizationManager.h"
#include "bags_xml/VUTI.h"
#include "bags_xml/VUTIManager.h"
#include "bags_xml/tests/LocalizationFixtures.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

using namespace qirn::testing;

TEST(UTIManager, ProcessManagerIsMadeOnceAndForgottenByDeInit)
{
	VUTIManager* manager = VUTIManager::GetUTIManager();
	ASSERT_NE(manager, nullptr);
	EXPECT_EQ(VUTIManager::GetUTIManager(), manager);
	EXPECT_EQ(manager->GetLocalizationManager(), nullptr);

	VRefPtr<VLocalizationManager> localizer = NewManager(kFrench);
	manager->SetLocalizationManager(localizer.Get());
	EXPECT_EQ(VUTIManager::GetUTIManager()->GetLocalizationManager(), localizer.Get());

	EXPECT_TRUE(VUTIManager::DeInit());
	VUTIManager* fresh = VUTIManager::GetUTIManager();
	ASSERT_NE(fresh, nullptr);
	EXPECT_EQ(fresh->GetLocalizationManager(), nullptr);
	EXPECT_TRUE(VUTIManager::DeInit());
	EXPECT_TRUE(VUTIManager::DeInit());
}

} // namespace
} // namespace qirn
