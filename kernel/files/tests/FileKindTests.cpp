#include "core/VRefPtr.h"
#include "files/VFileKind.h"
#include "files/VFileKindManager.h"
#include "runtime/VTask.h"
#include "testing/TestDialect.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace qirn {
namespace {

using testing::InUSEnglish;

VRefPtr<VFileKind> MakeKind(const char* inIdentifier, std::vector<VString> inOsKinds,
							std::vector<VString> inExtensions, std::vector<VString> inParents = {})
{
	return VRefPtr<VFileKind>::Adopt(
		VFileKind::Create(VString(inIdentifier), inOsKinds, VString("A kind"), inExtensions, inParents, false));
}

using FileKind = InUSEnglish;

TEST_F(FileKind, ExtensionsMatchWhateverTheirCaseOsKindsOnlyExactly)
{
	VRefPtr<VFileKind> kind = MakeKind("com.example.text", {"TEXT", "utxt"}, {"txt", "t\xC3\xA9xte"});
	struct Case {
		const char* text;
		bool extension;
		bool osKind;
	};
	const Case cases[] = {
		{"txt", true, false},	{"TXT", true, false},	  {"Txt", true, false},	 {"TEXTE", true, false},
		{"text", false, false}, {"TEXT", false, true},	  {"utxt", false, true}, {"UTXT", false, false},
		{"", false, false},		{"t\xC3\xA9xte", true, false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.text);
		EXPECT_EQ(kind->MatchExtension(VString(c.text)), c.extension);
		EXPECT_EQ(kind->MatchOsKind(VString(c.text)), c.osKind);
	}
}

TEST_F(FileKind, PreferredExtensionAndOsKindAreTheFirstOrNone)
{
	VRefPtr<VFileKind> kind = MakeKind("com.example.jpeg", {"JPEG"}, {"jpg", "jpeg"}, {"public.image"});
	VString text("left over");
	EXPECT_TRUE(kind->GetPreferredExtension(text));
	EXPECT_EQ(to_string(text), "jpg");
	EXPECT_TRUE(kind->GetPreferredOsKind(text));
	EXPECT_EQ(to_string(text), "JPEG");

	VRefPtr<VFileKind> bare = MakeKind("com.example.bare", {}, {});
	text = "left over";
	EXPECT_FALSE(bare->GetPreferredExtension(text));
	EXPECT_TRUE(text.IsEmpty());
	text = "left over";
	EXPECT_FALSE(bare->GetPreferredOsKind(text));
	EXPECT_TRUE(text.IsEmpty());

	std::vector<VString> parents{VString("stale")};
	kind->GetParentIDs(parents);
	ASSERT_EQ(parents.size(), 1u);
	EXPECT_EQ(to_string(parents[0]), "public.image");
	EXPECT_FALSE(kind->IsPublic());
	EXPECT_EQ(to_string(kind->GetIdentifier()), "com.example.jpeg");
	EXPECT_EQ(to_string(kind->GetDescription()), "A kind");
}

// The process's manager for one test, so that kinds conform through the
// kinds it knows; the identifiers are the test's own.
class FileKindConformance : public InUSEnglish {
protected:
	void SetUp() override
	{
		fCreated = VFileKindManager::Get() == nullptr;
		VFileKindManager::Init();
		fManager = VFileKindManager::Get();
	}
	void TearDown() override
	{
		if (fCreated)
			VFileKindManager::DeInit();
	}
	void Register(const char* inIdentifier, std::vector<VString> inParents)
	{
		fManager->RegisterPrivateFileKind(VString(inIdentifier), VString("d"), {}, inParents);
	}
	VRefPtr<VFileKind> Kind(const char* inIdentifier)
	{
		return VRefPtr<VFileKind>::Adopt(fManager->RetainFileKind(VString(inIdentifier)));
	}

	VFileKindManager* fManager = nullptr;
	bool fCreated = false;
};

TEST_F(FileKindConformance, ThroughParentsOfKnownKindsOnly)
{
	// conf.png -> conf.image -> conf.data -> conf.item; conf.orphan names a
	// parent nobody registered, which names conf.item in turn.
	Register("conf.item", {});
	Register("conf.data", {VString("conf.item")});
	Register("conf.image", {VString("conf.data")});
	Register("conf.png", {VString("conf.image"), VString("conf.unknown")});
	Register("conf.orphan", {VString("conf.ghost")});
	VRefPtr<VFileKind> png = Kind("conf.png");
	ASSERT_NE(png, nullptr);

	struct Case {
		const char* kind;
		const char* parent;
		bool conforms;
	};
	const Case cases[] = {
		{"conf.png", "conf.png", true},		 {"conf.png", "CONF.PNG", true},   {"conf.png", "conf.image", true},
		{"conf.png", "conf.data", true},	 {"conf.png", "conf.item", true},  {"conf.item", "conf.png", false},
		{"conf.image", "conf.png", false},	 {"conf.orphan", "conf.item", false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.kind) + " -> " + c.parent);
		VRefPtr<VFileKind> kind = Kind(c.kind);
		ASSERT_NE(kind, nullptr);
		VRefPtr<VFileKind> parent =
			VRefPtr<VFileKind>::Adopt(VFileKind::Create(VString(c.parent), {}, VString(), {}, {}, false));
		EXPECT_EQ(kind->ConformsTo(*parent), c.conforms);
		// By identifier the parent must be a kind the manager knows.
		EXPECT_EQ(kind->ConformsTo(VString(c.parent)), c.conforms);
	}
	// A parent named but never registered is reached by name...
	VRefPtr<VFileKind> unknown = MakeKind("conf.unknown", {}, {});
	EXPECT_TRUE(png->ConformsTo(*unknown));
	// ...but no kind has that identifier.
	EXPECT_FALSE(png->ConformsTo(VString("conf.unknown")));
}

TEST_F(FileKindConformance, LoopsInDeclarationsEnd)
{
	Register("loop.a", {VString("loop.b")});
	Register("loop.b", {VString("loop.c")});
	Register("loop.c", {VString("loop.a"), VString("loop.c")});
	VRefPtr<VFileKind> a = Kind("loop.a");
	EXPECT_TRUE(a->ConformsTo(VString("loop.c")));
	EXPECT_FALSE(a->ConformsTo(*MakeKind("loop.elsewhere", {}, {})));
}

TEST_F(FileKindConformance, KindsWithoutIdentifierConformToNothing)
{
	VRefPtr<VFileKind> empty = MakeKind("", {}, {}, {VString("conf.item")});
	VRefPtr<VFileKind> item = MakeKind("conf.item", {}, {});
	EXPECT_FALSE(empty->ConformsTo(*item));
	EXPECT_FALSE(item->ConformsTo(*empty));
	EXPECT_FALSE(empty->ConformsTo(*empty));
}

TEST_F(FileKindConformance, TasksWalkWhileOthersRedeclare)
{
	// race.leaf -> race.mid -> race.top, while other tasks declare race.mid
	// again and again, with the same parent or, for a moment, none.
	Register("race.top", {});
	Register("race.mid", {VString("race.top")});
	Register("race.leaf", {VString("race.mid")});
	VRefPtr<VFileKind> leaf = Kind("race.leaf");
	VRefPtr<VFileKind> elsewhere = MakeKind("race.elsewhere", {}, {});
	std::atomic<int> wrong{0};
	std::vector<VRefPtr<VTask>> tasks;
	for (int t = 0; t < 8; ++t) {
		VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, [&, t]() {
			for (int r = 0; r < 300; ++r) {
				if (t % 2 == 0) {
					Register("race.mid", r % 3 == 0 ? std::vector<VString>{} : std::vector<VString>{VString("race.top")});
					Register("race.mid", {VString("race.top")});
				} else {
					(void)leaf->ConformsTo(VString("race.top"));
					if (!leaf->ConformsTo(VString("race.mid")) || leaf->ConformsTo(*elsewhere))
						++wrong;
				}
			}
		}));
		ASSERT_TRUE(task->Run());
		tasks.push_back(task);
	}
	for (VRefPtr<VTask>& task : tasks)
		ASSERT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
	EXPECT_EQ(wrong.load(), 0);
	EXPECT_TRUE(leaf->ConformsTo(VString("race.top")));
}

TEST(FileKindWithoutManager, ConformsThroughItsOwnParentsOnly)
{
	if (VFileKindManager::Get() != nullptr)
		GTEST_SKIP() << "the process keeps a kind manager";
	VRefPtr<VFileKind> png = MakeKind("solo.png", {}, {}, {VString("solo.image")});
	EXPECT_TRUE(png->ConformsTo(*MakeKind("solo.image", {}, {})));
	EXPECT_FALSE(png->ConformsTo(*MakeKind("solo.data", {}, {})));
	EXPECT_FALSE(png->ConformsTo(VString("solo.image")));
}

} // namespace
} // namespace qirn
