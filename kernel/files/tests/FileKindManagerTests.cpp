#include "core/VRefPtr.h"
#include "files/VFileKind.h"
#include "files/VFileKindManager.h"
#include "runtime/VTask.h"
#include "testing/TestDialect.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qirn {
namespace {

using testing::InUSEnglish;
using testing::StCurrentDialect;

constexpr DialectCode kDanish = 1030;

// A manager of the test's own, apart from the process's.
class FileKindManagerTest : public InUSEnglish {
protected:
	VRefPtr<VFileKindManager> fManager = VRefPtr<VFileKindManager>::Adopt(new VFileKindManager);

	VRefPtr<VFileKind> Kind(const char* inIdentifier)
	{
		return VRefPtr<VFileKind>::Adopt(fManager->RetainFileKind(VString(inIdentifier)));
	}
	VRefPtr<VFileKind> ByExtension(const char* inExtension)
	{
		return VRefPtr<VFileKind>::Adopt(fManager->RetainFirstFileKindMatchingWithExtension(VString(inExtension)));
	}
	VRefPtr<VFileKind> ByOsKind(const char* inOsKind)
	{
		return VRefPtr<VFileKind>::Adopt(fManager->RetainFirstFileKindMatchingWithOsKind(VString(inOsKind)));
	}
};

TEST_F(FileKindManagerTest, RegisteredKindsAreFoundByIdentifierAndReplaced)
{
	EXPECT_EQ(Kind("com.example.doc"), nullptr);
	fManager->RegisterPrivateFileKind(VString("com.example.doc"), {VString("DOC ")}, VString("Document"),
									  {VString("doc")}, {VString("public.data")});
	VRefPtr<VFileKind> first = Kind("com.example.doc");
	ASSERT_NE(first, nullptr);
	EXPECT_FALSE(first->IsPublic());
	EXPECT_TRUE(first->MatchOsKind(VString("DOC ")));
	EXPECT_EQ(Kind("com.example.doc"), first);
	// Identifiers are matched as a person reads them.
	EXPECT_EQ(Kind("COM.EXAMPLE.DOC"), first);

	fManager->RegisterPrivateFileKind(VString("com.example.doc"), VString("Other"), {VString("dok")}, {});
	VRefPtr<VFileKind> second = Kind("com.example.doc");
	ASSERT_NE(second, nullptr);
	EXPECT_NE(second, first);
	EXPECT_EQ(to_string(second->GetDescription()), "Other");
	EXPECT_FALSE(second->MatchOsKind(VString("DOC ")));
	// The replaced kind lives on for whoever still holds it.
	EXPECT_EQ(to_string(first->GetDescription()), "Document");
}

TEST_F(FileKindManagerTest, LinuxHasNoPublicKinds)
{
	EXPECT_EQ(Kind("public.plain-text"), nullptr);
	EXPECT_EQ(ByExtension("txt"), nullptr);
	EXPECT_EQ(ByOsKind("TEXT"), nullptr);
}

TEST_F(FileKindManagerTest, FirstKindInIdentifierOrderWins)
{
	fManager->RegisterPrivateFileKind(VString("b.kind"), {VString("BBBB")}, VString("b"), {VString("shared")}, {});
	fManager->RegisterPrivateFileKind(VString("c.kind"), {VString("CCCC")}, VString("c"), {VString("c")}, {});
	fManager->RegisterPrivateFileKind(VString("a.kind"), {VString("BBBB")}, VString("a"), {VString("SHARED")}, {});

	struct Case {
		const char* text;
		const char* byExtension;
		const char* byOsKind;
	};
	const Case cases[] = {
		{"shared", "a.kind", nullptr}, {"Shared", "a.kind", nullptr}, {"c", "c.kind", nullptr},
		{"BBBB", nullptr, "a.kind"},   {"bbbb", nullptr, nullptr},	  {"CCCC", nullptr, "c.kind"},
		{"none", nullptr, nullptr},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.text);
		VRefPtr<VFileKind> byExtension = ByExtension(c.text);
		VRefPtr<VFileKind> byOsKind = ByOsKind(c.text);
		EXPECT_EQ(byExtension ? to_string(byExtension->GetIdentifier()) : "", c.byExtension ? c.byExtension : "");
		EXPECT_EQ(byOsKind ? to_string(byOsKind->GetIdentifier()) : "", c.byOsKind ? c.byOsKind : "");
	}
}

TEST_F(FileKindManagerTest, LabelsChangeOnlyForKnownIdsAndText)
{
	VString label;
	fManager->GetLocalizedString(VFileKindManager::kLabelAllFiles, label);
	EXPECT_EQ(to_string(label), "All");
	fManager->GetLocalizedString(VFileKindManager::kLabelAllReadableDocuments, label);
	EXPECT_EQ(to_string(label), "All readable documents");

	fManager->RegisterLocalizedString(0, VString());
	fManager->RegisterLocalizedString(2, VString("Ignored"));
	fManager->RegisterLocalizedString(1, VString("Tous les documents lisibles"));
	fManager->GetLocalizedString(0, label);
	EXPECT_EQ(to_string(label), "All");
	fManager->GetLocalizedString(1, label);
	EXPECT_EQ(to_string(label), "Tous les documents lisibles");

	label = "kept";
	fManager->GetLocalizedString(2, label);
	fManager->GetLocalizedString(-1, label);
	EXPECT_EQ(to_string(label), "kept");
}

TEST(FileKindManagerSingleton, InitKeepsOneManagerAndDeInitForgetsIt)
{
	if (VFileKindManager::Get() != nullptr)
		GTEST_SKIP() << "the process keeps a kind manager";
	EXPECT_TRUE(VFileKindManager::Init());
	VFileKindManager* manager = VFileKindManager::Get();
	ASSERT_NE(manager, nullptr);
	EXPECT_TRUE(VFileKindManager::Init());
	EXPECT_EQ(VFileKindManager::Get(), manager);
	VFileKindManager::DeInit();
	EXPECT_EQ(VFileKindManager::Get(), nullptr);
	VFileKindManager::DeInit();
}

VRefPtr<VTask> RunTask(std::function<void()> inBody)
{
	VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, std::move(inBody)));
	EXPECT_TRUE(task->Run());
	return task;
}

TEST_F(FileKindManagerTest, OrderStaysTheManagersWhateverTheAskingTasksLanguage)
{
	// Danish sorts "aa" and "Ã¥" after "z"; the map was ordered in
	// English, where "Ã¥.kind" comes first.
	const char* identifiers[] = {"aa.kind", "ab.kind", "m.kind", "z.kind", "zz.kind", "\xC3\xA5.kind"};
	for (const char* identifier : identifiers)
		fManager->RegisterPrivateFileKind(VString(identifier), VString(identifier), {VString("same")}, {});
	std::atomic<int> found{0};
	std::string first;
	VRefPtr<VTask> task = RunTask([&]() {
		StCurrentDialect danish(kDanish);
		for (const char* identifier : identifiers) {
			if (VRefPtr<VFileKind>::Adopt(fManager->RetainFileKind(VString(identifier))) != nullptr)
				++found;
		}
		VRefPtr<VFileKind> kind = VRefPtr<VFileKind>::Adopt(
			fManager->RetainFirstFileKindMatchingWithExtension(VString("same")));
		first = kind ? to_string(kind->GetIdentifier()) : "";
	});
	ASSERT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
	EXPECT_EQ(found.load(), 6);
	EXPECT_EQ(first, "\xC3\xA5.kind");
}

TEST_F(FileKindManagerTest, ManyTasksLookUpAndRegisterAtOnce)
{
	constexpr int kTasks = 8;
	constexpr int kRounds = 200;
	std::atomic<int> misses{0};
	std::vector<VRefPtr<VTask>> tasks;
	for (int t = 0; t < kTasks; ++t) {
		tasks.push_back(RunTask([&, t]() {
			// Every other task asks in another language.
			std::unique_ptr<StCurrentDialect> dialect;
			if (t % 2 == 1)
				dialect = std::make_unique<StCurrentDialect>(kDanish);
			for (int r = 0; r < kRounds; ++r) {
				VString own;
				own.Printf("task%d.kind%d", t, r % 10);
				VString shared;
				shared.Printf("shared.kind%d", r % 5);
				fManager->RegisterPrivateFileKind(own, VString("own"), {own}, {shared});
				fManager->RegisterPrivateFileKind(shared, VString("shared"), {VString("ext")}, {});
				VRefPtr<VFileKind> kind = VRefPtr<VFileKind>::Adopt(fManager->RetainFileKind(own));
				if (kind == nullptr || !kind->MatchExtension(own))
					++misses;
				VRefPtr<VFileKind> byExtension =
					VRefPtr<VFileKind>::Adopt(fManager->RetainFirstFileKindMatchingWithExtension(VString("ext")));
				if (byExtension == nullptr)
					++misses;
				fManager->RegisterLocalizedString(r % 2, own);
				VString label;
				fManager->GetLocalizedString(r % 2, label);
				if (label.IsEmpty())
					++misses;
			}
		}));
	}
	for (VRefPtr<VTask>& task : tasks)
		ASSERT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
	EXPECT_EQ(misses.load(), 0);
	for (int t = 0; t < kTasks; ++t) {
		for (int k = 0; k < 10; ++k) {
			VString own;
			own.Printf("task%d.kind%d", t, k);
			EXPECT_NE(Kind(to_string(own).c_str()), nullptr) << to_string(own);
		}
	}
}

} // namespace
} // namespace qirn
