#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "core/VLong.h"
#include "core/VTime.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "process/VProcess.h"
#include "runtime/VMetricsManager.h"
#include "runtime/VProgressIndicator.h"
#include "runtime/VProgressManager.h"
#include "runtime/VTask.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>

namespace qirn {
namespace {

using Indicator = VRefPtr<VProgressIndicator>;

Indicator MakeIndicator()
{
	return Indicator::Adopt(new VProgressIndicator());
}

TEST(ProgressIndicator, PercentDoneNestsInnerSessionsInTheCurrentStep)
{
	struct Case {
		const char* fName;
		std::vector<std::pair<sLONG8, sLONG8>> fSessions; // max, value; outermost first
		float fExpected;
	};
	const Case cases[] = {
		{"no session", {}, 0.0f},
		{"one session", {{12, 3}}, 0.25f},
		{"two sessions", {{4, 2}, {10, 5}}, 0.625f},
		{"undetermined current answers its value", {{4, 2}, {-1, 7}}, 7.0f},
		{"undetermined enclosing", {{0, 2}, {10, 5}}, 0.0f},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		Indicator indicator = MakeIndicator();
		for (auto [max, value] : c.fSessions)
			indicator->BeginSession(max, value, VString("step"), true, nullptr);
		EXPECT_FLOAT_EQ(indicator->ComputePercentDone(), c.fExpected);
	}
}

TEST(ProgressIndicator, SessionsNestAndCountVersions)
{
	Indicator indicator = MakeIndicator();
	EXPECT_TRUE(indicator->Increment(5));
	EXPECT_EQ(indicator->GetCurrentValue(), 0);
	indicator->EndSession();
	EXPECT_EQ(indicator->GetSessionVersion(), 0u);

	indicator->BeginSession(10, VString("outer"));
	EXPECT_EQ(indicator->GetSessionVersion(), 1u);
	indicator->Increment(3);
	indicator->BeginSession(100, VString("inner {curValue} of {maxValue}, {rateValue}%"));
	EXPECT_EQ(indicator->GetSessionCount(), 2);
	indicator->Progress(40);
	VString message;
	indicator->GetMessage(message);
	EXPECT_EQ(to_string(message), "inner 40 of 100, 40%");
	indicator->EndSession();
	EXPECT_EQ(indicator->GetCurrentValue(), 3);
	EXPECT_EQ(indicator->GetMaxValue(), 10);
	EXPECT_EQ(indicator->GetSessionVersion(), 1u);
	indicator->EndSession();
	EXPECT_EQ(indicator->GetSessionCount(), 0);
	EXPECT_EQ(indicator->GetSessionVersion(), 2u);
	EXPECT_EQ(indicator->GetMaxValue(), 0);
}

TEST(ProgressIndicator, RateIsZeroWithoutAMaximum)
{
	Indicator indicator = MakeIndicator();
	indicator->BeginUndeterminedSession(VString("{rateValue}/{curValue}"));
	indicator->Progress(50);
	VString message;
	indicator->GetMessage(message);
	EXPECT_EQ(to_string(message), "0/50");
}

TEST(ProgressIndicator, UserAbortAndADyingTaskStopTheWorker)
{
	Indicator indicator = MakeIndicator();
	indicator->BeginSession(10, VString("work"));
	EXPECT_TRUE(indicator->Increment());
	indicator->SetUserAbort(true);
	EXPECT_FALSE(indicator->Increment());
	EXPECT_FALSE(indicator->Progress(3));
	indicator->SetUserAbort(false);

	std::atomic<int> answers{-1};
	std::atomic<bool> killed{false};
	VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, [&]() {
		while (!killed.load())
			VTask::Sleep(1);
		answers = (indicator->Progress(5) ? 1 : 0) * 10;
		indicator->SetCanInterrupt(false);
		answers += indicator->Progress(6) ? 1 : 0;
	}));
	ASSERT_TRUE(task->Run());
	task->Kill();
	killed = true;
	ASSERT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
	// Dying stops it only while the indicator may be interrupted.
	EXPECT_EQ(answers.load(), 1);
}

TEST(ProgressIndicator, AttributesGoToTheExtraBagAndItsVersion)
{
	Indicator indicator = MakeIndicator();
	indicator->BeginSession(5, VString("copy"));
	indicator->SetAttribute(VString("file"), VString("a.txt"));
	indicator->SetAttribute(VString("count"), VLong(3));
	VValueBag bag;
	ASSERT_EQ(indicator->SaveInfoToBag(bag), VE_OK);
	VBagArray* sessions = bag.GetElements("SessionInfo");
	ASSERT_NE(sessions, nullptr);
	ASSERT_EQ(sessions->GetCount(), 1);
	VValueBag* session = sessions->GetNth(1);
	sLONG version = 0;
	EXPECT_TRUE(session->GetLong("fExtraInfoBagVersion", version));
	EXPECT_EQ(version, 2);
	VBagArray* extra = session->GetElements("ExtraInfo");
	ASSERT_NE(extra, nullptr);
	VString file;
	EXPECT_TRUE(extra->GetNth(1)->GetString("file", file));
	EXPECT_EQ(to_string(file), "a.txt");
}

TEST(ProgressIndicatorInfo, BagFormsWriteOnlyWhatChanged)
{
	VProgressIndicatorInfo info;
	info.SetMessage(VString("m"));
	info.SetValue(4);
	info.SetMax(9);
	info.Start();

	VValueBag same;
	VString kind;
	VProgressIndicatorInfo copy(info);
	info.SaveToBag(same, kind, &copy);
	EXPECT_EQ(to_string(kind), "VProgressIndicatorInfo");
	EXPECT_EQ(same.GetAttributesCount(), 1);
	sLONG flags = -1;
	EXPECT_TRUE(same.GetLong("fUpdateFlags", flags));
	EXPECT_EQ(flags, 0);

	copy.SetValue(5);
	copy.SetMessage(VString("other"));
	VValueBag changed;
	info.SaveToBag(changed, kind, &copy);
	EXPECT_TRUE(changed.GetLong("fUpdateFlags", flags));
	EXPECT_EQ(flags, VProgressIndicatorInfo::kUpdateMessage | VProgressIndicatorInfo::kUpdateValue);

	VValueBag full;
	info.SaveToBag(full, kind);
	EXPECT_TRUE(full.GetLong("fUpdateFlags", flags));
	EXPECT_EQ(flags, 1024);

	// What a partial form carries loads onto the info it was made against.
	copy.LoadFromBag(changed);
	EXPECT_EQ(copy.GetValue(), 4);
	EXPECT_EQ(to_string(copy.GetMessage()), "m");
	EXPECT_EQ(copy.GetMax(), 9);
}

TEST(ProgressIndicatorInfo, ExtraBagIsReadUnderEitherName)
{
	for (const char* name : {"ExtraInfo", "Extra"}) {
		SCOPED_TRACE(name);
		VValueBag bag;
		bag.SetLong("fUpdateFlags", 1024);
		VRefPtr<VValueBag> extra = VRefPtr<VValueBag>::Adopt(new VValueBag());
		extra->SetString("k", VString("v"));
		bag.AddElement(name, extra.Get());
		VProgressIndicatorInfo info;
		info.LoadFromBag(bag);
		ASSERT_NE(info.GetExtraInfoBag(), nullptr);
		VString value;
		EXPECT_TRUE(info.GetExtraInfoBag()->GetString("k", value));
		EXPECT_TRUE(info.IsRemote());
	}
}

TEST(ProgressIndicatorInfo, JSONFormDatesTheStartFromTheElapsedTime)
{
	VProgressIndicatorInfo info;
	info.SetMessage(VString("m"));
	info.SetMax(8);
	info.SetValue(2);
	info.Start();
	VJSONValue value(JSON_object);
	value.GetObject()->SetProperty(VString("stale"), VJSONValue(1.0));
	info.GetJSONObject(*value.GetObject());
	EXPECT_FALSE(value.GetObject()->HasOwnProperty(VString("stale")));
	EXPECT_EQ(value.GetProperty(VString("maxValue")).GetNumber(), 8);
	EXPECT_EQ(value.GetProperty(VString("currentValue")).GetNumber(), 2);
	EXPECT_LT(value.GetProperty(VString("duration")).GetNumber(), 60000);
	VString start;
	value.GetProperty(VString("startTime")).GetString(start);
	VTime when;
	ASSERT_TRUE(when.FromRfc3339String(start));
	VTime now;
	VTime::Now(now);
	EXPECT_LT(std::llabs(now.GetMilliseconds() - when.GetMilliseconds()), 60000);
}

// Sends the sender's state to the receiver the way two processes would:
// through the bag form, each side keeping its previous form.
struct Mirror {
	VRemoteProgressSessionInfo fSent;
	VRemoteProgressSessionInfo fReceived;
	bool fHasSent = false;

	bool Send(VProgressIndicator& inSender, VProgressIndicator& inReceiver)
	{
		VRemoteProgressSessionInfo now;
		if (!inSender.GetProgressInfo(now, fHasSent ? &fSent : nullptr))
			return false;
		VValueBag bag;
		VString kind;
		now.SaveToBag(bag, kind, fHasSent ? &fSent : nullptr);
		EXPECT_EQ(to_string(kind), "DistantSessionInfo");
		fReceived.LoadFromBag(bag);
		inReceiver.UpdateFromRemoteInfo(fReceived);
		fSent = now;
		fHasSent = true;
		return true;
	}
};

TEST(ProgressMirroring, FollowsTheSenderThroughTheBagForms)
{
	Indicator sender = MakeIndicator();
	Indicator receiver = MakeIndicator();
	Mirror mirror;
	sender->BeginSession(10, VString("outer"));
	sender->BeginSession(4, VString("inner"));
	sender->Increment(1);
	ASSERT_TRUE(mirror.Send(*sender, *receiver));
	EXPECT_EQ(mirror.fSent.fFlags & 0xC0u, VRemoteProgressSessionInfo::kHasStack);
	EXPECT_EQ(receiver->GetSessionCount(), 2);
	EXPECT_EQ(receiver->GetSessionVersion(), sender->GetSessionVersion());
	EXPECT_EQ(receiver->GetCurrentValue(), 1);

	// Nothing changed: nothing to send.
	EXPECT_FALSE(mirror.Send(*sender, *receiver));

	// A value changed: only the current session travels, and only its value.
	sender->Increment(2);
	ASSERT_TRUE(mirror.Send(*sender, *receiver));
	EXPECT_EQ(mirror.fSent.fFlags & 0xC0u, VRemoteProgressSessionInfo::kHasCurrentOnly);
	EXPECT_EQ(receiver->GetCurrentValue(), 3);
	EXPECT_EQ(receiver->GetChangesVersion(), sender->GetChangesVersion());
	VString message;
	receiver->GetMessage(message);
	EXPECT_EQ(to_string(message), "inner");

	// The user stops the sender: the receiver learns it.
	sender->SetUserAbort(true);
	sender->SetMessage(VString("stopping"));
	ASSERT_TRUE(mirror.Send(*sender, *receiver));
	EXPECT_TRUE(receiver->IsUserAbort());
	receiver->GetMessage(message);
	EXPECT_EQ(to_string(message), "stopping");
	sender->SetUserAbort(false);

	// A session ends: the whole stack travels again.
	sender->EndSession();
	ASSERT_TRUE(mirror.Send(*sender, *receiver));
	EXPECT_EQ(receiver->GetSessionCount(), 1);
	EXPECT_EQ(receiver->GetMaxValue(), 10);

	// A new outermost session (a new session version) replaces the mirror.
	sender->EndSession();
	sender->BeginSession(7, VString("again"));
	ASSERT_TRUE(mirror.Send(*sender, *receiver));
	EXPECT_EQ(receiver->GetSessionCount(), 1);
	EXPECT_EQ(receiver->GetSessionVersion(), sender->GetSessionVersion());
	EXPECT_EQ(receiver->GetMaxValue(), 7);

	// The sender's last session ends: the mirror closes.
	sender->EndSession();
	ASSERT_TRUE(mirror.Send(*sender, *receiver));
	EXPECT_EQ(receiver->GetSessionCount(), 0);
}

TEST(ProgressMirroring, MirrorSitsOnTopOfLocalSessions)
{
	Indicator sender = MakeIndicator();
	Indicator receiver = MakeIndicator();
	receiver->BeginSession(2, VString("local"));
	sender->BeginSession(10, VString("remote"));
	Mirror mirror;
	ASSERT_TRUE(mirror.Send(*sender, *receiver));
	EXPECT_EQ(receiver->GetSessionCount(), 2);
	// The receiver's own report goes to the mirrored session on top.
	EXPECT_EQ(receiver->GetMaxValue(), 10);
	// Ending closes the mirror, then the session under it.
	receiver->EndSession();
	EXPECT_EQ(receiver->GetSessionCount(), 0);
	EXPECT_EQ(receiver->GetMaxValue(), 0);
}

TEST(ProgressIndicator, WritesItsIdentityForARemoteObserver)
{
	VUUID id(true);
	Indicator indicator = Indicator::Adopt(new VProgressIndicator(id, 41));
	indicator->BeginSession(1, VString("x"));
	VValueBag bag;
	VString kind;
	indicator->WriteInfoForRemote(bag, kind);
	EXPECT_EQ(to_string(kind), "VProgressIndicator");
	VUUID read;
	EXPECT_TRUE(bag.GetVUUID("uuid", read));
	EXPECT_EQ(read, id);
	sLONG version = 0;
	EXPECT_TRUE(bag.GetLong("version", version));
	EXPECT_EQ(version, 42);
}

TEST(ProgressIndicator, SummaryKeepsOutermostAboveCurrentAndCurrent)
{
	Indicator indicator = MakeIndicator();
	const char* names[] = {"a", "b", "c", "d"};
	for (const char* name : names)
		indicator->BeginSession(10, VString(name));
	VProgressSessionInfo summary;
	EXPECT_FALSE(indicator->GetProgressInfo(summary)); // no snapshot yet
	indicator->Increment(5);
	ASSERT_TRUE(indicator->GetProgressInfo(summary));
	EXPECT_EQ(summary.fSessionCount, 4);
	EXPECT_EQ(summary.fLevelCount, 3);
	EXPECT_EQ(to_string(summary.fLevels[0].GetMessage()), "a");
	EXPECT_EQ(to_string(summary.fLevels[1].GetMessage()), "c");
	EXPECT_EQ(to_string(summary.fLevels[2].GetMessage()), "d");

	// A session is found by its UUID among the open ones.
	VProgressIndicatorInfo found;
	ASSERT_TRUE(indicator->GetProgressInfo(summary.fLevels[0].GetUUID(), found));
	EXPECT_EQ(to_string(found.GetMessage()), "a");
	EXPECT_FALSE(indicator->GetProgressInfo(VUUID(true), found));
}

// Turns metric collection of indicators on for the test's length.
class CollectingMetrics {
public:
	explicit CollectingMetrics(uint32 inKinds)
		: fMetrics(VProcess::sInstance.load()->GetMetricsManager())
	{
		fMetrics->Start(0, inKinds);
	}
	~CollectingMetrics() { fMetrics->Reset(); }
	VMetricsManager* operator->() const { return fMetrics; }

private:
	VMetricsManager* fMetrics;
};

class Collector : public IProgressInfoCollector {
public:
	VJSONObject* RetainSubOperations(VProgressIndicator*, bool inOutermost) override
	{
		VJSONValue value(JSON_object);
		value.GetObject()->SetProperty(VString("outermost"), VJSONValue(inOutermost ? JSON_true : JSON_false));
		return RetainRefCountable(value.GetObject());
	}
};

TEST(ProgressMetrics, TheOutermostSessionReportsOnceAsKindTwo)
{
	CollectingMetrics metrics(4);
	Collector collector;
	{
		Indicator indicator = MakeIndicator();
		indicator->SetTitle(VString("Copying"));
		indicator->BeginSession(10, 0, VString("{curValue} files"), true, &collector);
		indicator->SetAttribute(VString("disk"), VString("one"));
		indicator->BeginSession(3, VString("inner"));
		indicator->UpdateSessionsInfos();
		indicator->Increment(1);
		indicator->EndSession();
		EXPECT_EQ(metrics->GetRecords().size(), 0u);
		indicator->Progress(6);
		indicator->EndSession();
	}
	VRefPtr<VJSONArray> records = metrics->Collect();
	ASSERT_EQ(records->GetCount(), 1u);
	VJSONValue data = records->GetAt(0).GetProperty(VString("activityData"));
	EXPECT_EQ(records->GetAt(0).GetProperty(VString("activityKind")).GetNumber(), 4);
	VString text;
	data.GetProperty(VString("title")).GetString(text);
	EXPECT_EQ(to_string(text), "Copying");
	data.GetProperty(VString("infoMessage")).GetString(text);
	EXPECT_EQ(to_string(text), "6 files");
	data.GetProperty(VString("extraInfo")).GetProperty(VString("disk")).GetString(text);
	EXPECT_EQ(to_string(text), "one");
	EXPECT_TRUE(data.GetProperty(VString("subOperations")).GetProperty(VString("outermost")).GetBool());
	// The sub-operations are merged into the session's own form as well.
	EXPECT_TRUE(data.GetProperty(VString("outermost")).GetBool());
}

TEST(ProgressMetrics, NothingIsBuiltWhileKindTwoIsNotCollected)
{
	CollectingMetrics metrics(2);
	Indicator indicator = MakeIndicator();
	indicator->BeginSession(1, VString("x"));
	indicator->EndSession();
	EXPECT_EQ(metrics->GetRecords().size(), 0u);
}

TEST(ProgressMetrics, AnIndicatorDestroyedWithAnOpenSessionReports)
{
	CollectingMetrics metrics(4);
	{
		Indicator indicator = MakeIndicator();
		indicator->BeginSession(1, VString("x"));
	}
	EXPECT_EQ(metrics->GetRecords().size(), 1u);
}

TEST(ProgressManager, FindsIndicatorsByUUIDAndUserInformation)
{
	VProgressManager* manager = VProgressManager::Get();
	ASSERT_NE(manager, nullptr);
	VUUID id(true);
	Indicator first = Indicator::Adopt(new VProgressIndicator(id, 0));
	{
		Indicator second = Indicator::Adopt(new VProgressIndicator(id, 0));
		VRefPtr<VProgressIndicator> found = VRefPtr<VProgressIndicator>::Adopt(VProgressManager::RetainProgress(id));
		EXPECT_EQ(found.Get(), first.Get());
	}
	// The second one's end left the first one's entry.
	VRefPtr<VProgressIndicator> found = VRefPtr<VProgressIndicator>::Adopt(VProgressManager::RetainProgress(id));
	EXPECT_EQ(found.Get(), first.Get());
	EXPECT_EQ(VProgressManager::RetainProgress(VUUID(true)), nullptr);

	first->SetUserInfo(VString("backup-7"));
	VRefPtr<VProgressIndicator> byInfo =
		VRefPtr<VProgressIndicator>::Adopt(manager->_RetainProgressIndicator(VString("backup-7")));
	EXPECT_EQ(byInfo.Get(), first.Get());
	EXPECT_EQ(manager->_RetainProgressIndicator(VString("nobody")), nullptr);

	first->BeginSession(3, VString("x"));
	VValueBag one;
	VString userInfo("backup-7");
	manager->_GetProgressInfo(one, &userInfo);
	VBagArray* infos = one.GetElements("ProgressInfo");
	ASSERT_NE(infos, nullptr);
	ASSERT_EQ(infos->GetCount(), 1);
	sLONG count = 0;
	EXPECT_TRUE(infos->GetNth(1)->GetLong("SessionCount", count));
	EXPECT_EQ(count, 1);
	VValueBag none;
	VString nobody("nobody");
	EXPECT_EQ(manager->_GetProgressInfo(none, &nobody), VE_OK);
	EXPECT_EQ(none.GetElements("ProgressInfo"), nullptr);
	first->EndSession();
}

TEST(ProgressManager, StandardProgressComesFromTheInstalledFactory)
{
	EXPECT_EQ(VProgressManager::CreateStdProgress(1, 0), nullptr);
	VProgressManager::SetStdProgressFactory([](int32 inKind, uint32) {
		VProgressIndicator* made = new VProgressIndicator();
		made->SetTitle(VString(inKind == 1 ? "one" : "other"));
		return made;
	});
	Indicator made = Indicator::Adopt(VProgressManager::CreateStdProgress(1, 0));
	VProgressManager::SetStdProgressFactory(nullptr);
	ASSERT_TRUE(made);
	VString title;
	made->GetTitle(title);
	EXPECT_EQ(to_string(title), "one");
}

TEST(ProgressManager, CollectsOnlyBusyIndicatorsThatHaveASnapshot)
{
	VProgressManager* manager = VProgressManager::Get();
	Indicator idle = MakeIndicator();
	Indicator busy = MakeIndicator();
	busy->BeginSession(5, VString("busy"));
	std::vector<VRefPtr<VRefCountedSessionInfo>> snapshots;
	manager->GetAllProgressInfo(snapshots);
	EXPECT_TRUE(snapshots.empty()); // asked, built at the next report
	busy->Increment();
	busy->Increment();
	manager->GetAllProgressInfo(snapshots);
	ASSERT_EQ(snapshots.size(), 1u);
	// Built before the report that served the request changed anything.
	EXPECT_EQ(snapshots[0]->GetNth(0).GetValue(), 0);
	EXPECT_EQ(to_string(snapshots[0]->GetNth(0).GetMessage()), "busy");
	busy->EndSession();
}

// A worker task reports while observer tasks poll; indicators come and go
// meanwhile, so lookups meet indicators being destroyed.
TEST(ProgressManager, ObserversPollWhileAWorkerReports)
{
	VProgressManager* manager = VProgressManager::Get();
	std::atomic<bool> done{false};
	std::atomic<int> seen{0};
	std::vector<VRefPtr<VTask>> observers;
	Indicator indicator = MakeIndicator();
	VUUID id = indicator->GetUUID();
	VRefPtr<VTask> worker = VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, [&]() {
		// Until the observers have read a good many snapshots.
		for (int round = 0; round < 30 || (seen.load() < 100 && round < 100000); ++round) {
			indicator->BeginSession(1000, VString("outer"));
			for (int i = 0; i < 10; ++i) {
				indicator->BeginSession(100, VString("inner"));
				for (int j = 0; j < 100; ++j) {
					indicator->Increment();
					if (j % 25 == 0)
						indicator->SetMessage(VString("inner step"));
				}
				indicator->SetAttribute(VString("round"), VLong(round));
				indicator->EndSession();
				indicator->Increment(100);
			}
			indicator->EndSession();
			Indicator passing = MakeIndicator();
			passing->BeginSession(1, VString("passing"));
		}
		done = true;
	}));
	for (int o = 0; o < 3; ++o) {
		observers.push_back(VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, [&, o]() {
			while (!done.load()) {
				std::vector<VRefPtr<VRefCountedSessionInfo>> snapshots;
				manager->GetAllProgressInfo(snapshots);
				for (auto& snapshot : snapshots) {
					for (size_t i = 0; i < snapshot->GetCount(); ++i) {
						VString message(snapshot->GetNth(i).GetMessage());
						if (!message.IsEmpty())
							++seen;
					}
				}
				VRefPtr<VProgressIndicator> found =
					VRefPtr<VProgressIndicator>::Adopt(VProgressManager::RetainProgress(id));
				if (found) {
					VProgressSessionInfo summary;
					found->GetProgressInfo(summary);
					VString message;
					found->GetMessage(message);
					VValueBag bag;
					if (o == 0)
						manager->_GetProgressInfo(bag, nullptr);
				}
			}
		})));
	}
	ASSERT_TRUE(worker->Run());
	for (auto& observer : observers)
		ASSERT_TRUE(observer->Run());
	ASSERT_TRUE(worker->WaitForDeath(testing::kHangMilliseconds * 4));
	for (auto& observer : observers)
		ASSERT_TRUE(observer->WaitForDeath(testing::kHangMilliseconds));
	EXPECT_GT(seen.load(), 0);
	EXPECT_EQ(indicator->GetSessionCount(), 0);
}

} // namespace
} // namespace qirn
