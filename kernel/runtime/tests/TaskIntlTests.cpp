#include "core/VCollator.h"
#include "core/VIntlMgr.h"
#include "process/VProcess.h"
#include "runtime/VTask.h"
#include "testing/TestDialect.h"
#include "testing/TestThreads.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

VRefPtr<VTask> MakeTask(std::function<void()> inBody)
{
	return VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, std::move(inBody)));
}

TEST(TaskIntl, EveryTaskWorksThroughItsOwnCloneOfTheProcessSettings)
{
	VIntlMgr* process = VProcess::sInstance.load()->GetIntlMgr();
	ASSERT_NE(process, nullptr);
	VIntlMgr* main = VTask::GetCurrentIntlManager();
	ASSERT_NE(main, nullptr);
	EXPECT_NE(main, process);
	EXPECT_EQ(main->GetDialectCode(), process->GetDialectCode());
	EXPECT_EQ(process->GetDialectCode(), VIntlMgr::ResolveDialectCode(DC_SYSTEM));

	VIntlMgr* seen = nullptr;
	DialectCode seenDialect = 0;
	VRefPtr<VTask> task = MakeTask([&]() {
		seen = VTask::GetCurrentIntlManager();
		seenDialect = VTask::GetCurrent()->GetDialectCode();
	});
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
	EXPECT_NE(seen, nullptr);
	EXPECT_NE(seen, main);
	EXPECT_NE(seen, process);
	EXPECT_EQ(seenDialect, process->GetDialectCode());
}

TEST(TaskIntl, ATaskChangesItsOwnDialectOnly)
{
	const DialectCode before = VTask::GetCurrent()->GetDialectCode();
	{
		testing::StCurrentDialect french(1036);
		EXPECT_EQ(VTask::GetCurrent()->GetDialectCode(), 1036);
		EXPECT_EQ(VTask::GetCurrentIntlManager()->GetDialectCode(), 1036);
		DialectCode other = 0;
		VRefPtr<VTask> task = MakeTask([&]() { other = VTask::GetCurrent()->GetDialectCode(); });
		ASSERT_TRUE(task->Run());
		ASSERT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
		EXPECT_EQ(other, VProcess::sInstance.load()->GetIntlMgr()->GetDialectCode());
	}
	EXPECT_EQ(VTask::GetCurrent()->GetDialectCode(), before);
}

TEST(TaskIntl, InstallingAManagerRetainsItAndNullChangesNothing)
{
	VRefPtr<VIntlMgr> previous(VTask::GetCurrentIntlManager());
	VRefPtr<VIntlMgr> german = VRefPtr<VIntlMgr>::Adopt(VIntlMgr::Create(1031, 1031, 0));
	ASSERT_NE(german, nullptr);
	const uint32 count = german->GetRefCount();
	VTask::SetCurrentIntlManager(german.Get());
	EXPECT_EQ(german->GetRefCount(), count + 1);
	EXPECT_EQ(VTask::GetCurrentIntlManager(), german.Get());
	VTask::SetCurrentIntlManager(nullptr);
	EXPECT_EQ(VTask::GetCurrentIntlManager(), german.Get());
	VTask::SetCurrentIntlManager(previous.Get());
	EXPECT_EQ(german->GetRefCount(), count);
}

TEST(TaskIntl, TheWildcardIsTheCurrentCollators)
{
	EXPECT_EQ(VTask::GetWildChar(), u'@');
	testing::StCurrentDialect english(DC_ENGLISH_US);
	VTask::GetCurrentIntlManager()->GetCollator()->SetWildChar(u'*');
	EXPECT_EQ(VTask::GetWildChar(), u'*');
}

TEST(TaskIntl, AThreadThatIsNoTaskUsesTheProcessSettings)
{
	VIntlMgr* process = VProcess::sInstance.load()->GetIntlMgr();
	EXPECT_EQ(testing::OnAnotherThread([]() { return VTask::GetCurrentIntlManager(); }), process);
	EXPECT_FALSE(testing::OnAnotherThread([]() { return VTask::SetCurrentDialectCode(1036); }));
	EXPECT_EQ(testing::OnAnotherThread([]() { return static_cast<int>(VTask::GetWildChar()); }), u'@');
}

TEST(TaskIntl, TheDefaultSettingsAreUSEnglish)
{
	VIntlMgr* fallback = VIntlMgr::GetDefaultMgr();
	ASSERT_NE(fallback, nullptr);
	EXPECT_EQ(fallback->GetDialectCode(), DC_ENGLISH_US);
	EXPECT_EQ(fallback, VIntlMgr::GetDefaultMgr());
}

} // namespace
} // namespace qirn
