#include "files/platform/XLinuxVolumes.h"
#include "files/tests/PathUnits.h"
#include "testing/TestThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace qirn {
namespace {

using testing::Text;
using testing::Units;

// A volume list that a test changes, and a clock it moves by hand.
class FakeSystem {
public:
	XLinuxVolumes::Source Source()
	{
		return [this](std::vector<XLinuxVolumes::Volume>& outVolumes) {
			std::lock_guard<std::mutex> lock(fMutex);
			++fListings;
			outVolumes = fVolumes;
		};
	}
	XLinuxVolumes::Clock Clock()
	{
		return [this]() { return fNow.load(); };
	}
	void Mount(const std::string& inMountPath, const std::string& inName)
	{
		std::lock_guard<std::mutex> lock(fMutex);
		fVolumes.push_back({inMountPath, inName});
	}
	int Listings()
	{
		std::lock_guard<std::mutex> lock(fMutex);
		return fListings;
	}
	std::atomic<uint32> fNow{1000};

private:
	std::mutex fMutex;
	std::vector<XLinuxVolumes::Volume> fVolumes;
	int fListings = 0;
};

std::string NameOf(XLinuxVolumes& ioVolumes, const char* inMountPath)
{
	char name[64];
	return ioVolumes.GetVolumeNameFromMountPath(inMountPath, name, sizeof(name)) ? std::string(name) : "(none)";
}

TEST(LinuxVolumes, TheSystemHasTheRootAlone)
{
	XLinuxVolumes& volumes = XLinuxVolumes::Get();
	EXPECT_EQ(NameOf(volumes, "/"), "Root");
	VString mountPath;
	ASSERT_TRUE(volumes.GetMountPathFromVolumeName(Text(u"Root"), mountPath));
	EXPECT_EQ(Units(mountPath), u"/");
	EXPECT_EQ(NameOf(volumes, "/home"), "(none)");
	EXPECT_FALSE(volumes.GetMountPathFromVolumeName(Text(u"root"), mountPath));

	std::vector<XLinuxVolumes::Volume> listed;
	XLinuxVolumes::ListSystemVolumes(listed);
	ASSERT_EQ(listed.size(), 1u);
	EXPECT_EQ(listed[0].fMountPath, "/");
	EXPECT_EQ(listed[0].fName, "Root");
}

TEST(LinuxVolumes, TheListIsAskedAtMostEveryTwoSeconds)
{
	FakeSystem system;
	system.Mount("/", "Root");
	XLinuxVolumes volumes(system.Source(), system.Clock());
	EXPECT_EQ(system.Listings(), 0);

	EXPECT_EQ(NameOf(volumes, "/"), "Root");
	EXPECT_EQ(NameOf(volumes, "/mnt/usb"), "(none)");
	EXPECT_EQ(system.Listings(), 1);

	// Mounted in between: not seen until the list is older than 2,000 ms.
	system.Mount("/mnt/usb", "Stick");
	system.fNow += 2000;
	EXPECT_EQ(NameOf(volumes, "/mnt/usb"), "(none)");
	VString mountPath;
	EXPECT_FALSE(volumes.GetMountPathFromVolumeName(Text(u"Stick"), mountPath));
	EXPECT_EQ(system.Listings(), 1);

	system.fNow += 1;
	EXPECT_EQ(NameOf(volumes, "/mnt/usb"), "Stick");
	ASSERT_TRUE(volumes.GetMountPathFromVolumeName(Text(u"Stick"), mountPath));
	EXPECT_EQ(Units(mountPath), u"/mnt/usb");
	EXPECT_EQ(system.Listings(), 2);
}

TEST(LinuxVolumes, TheClockMayWrap)
{
	FakeSystem system;
	system.Mount("/", "Root");
	system.fNow = 0xFFFFFF00u;
	XLinuxVolumes volumes(system.Source(), system.Clock());
	EXPECT_EQ(NameOf(volumes, "/"), "Root");
	system.fNow = 0x100u; // 512 ms later
	EXPECT_EQ(NameOf(volumes, "/"), "Root");
	EXPECT_EQ(system.Listings(), 1);
	system.fNow = 0x100u + 2000u;
	EXPECT_EQ(NameOf(volumes, "/"), "Root");
	EXPECT_EQ(system.Listings(), 2);
}

TEST(LinuxVolumes, NamesAreTakenAsTheyAre)
{
	FakeSystem system;
	system.Mount("/media/nfc", "Caf\xC3\xA9");
	system.Mount("/media/nfd", "Cafe\xCC\x81");
	system.Mount("/media/\xFF", "Raw");
	XLinuxVolumes volumes(system.Source(), system.Clock());

	VString mountPath;
	ASSERT_TRUE(volumes.GetMountPathFromVolumeName(Text(u"Caf\u00E9"), mountPath));
	EXPECT_EQ(Units(mountPath), u"/media/nfc");
	ASSERT_TRUE(volumes.GetMountPathFromVolumeName(Text(u"Cafe\u0301"), mountPath));
	EXPECT_EQ(Units(mountPath), u"/media/nfd");
	ASSERT_TRUE(volumes.GetMountPathFromVolumeName(Text(u"Raw"), mountPath));
	EXPECT_EQ(Units(mountPath), u"/media/\xDCFF");
	EXPECT_EQ(NameOf(volumes, "/media/\xFF"), "Raw");
	EXPECT_EQ(NameOf(volumes, "/media/nfd"), "Cafe\xCC\x81");
}

TEST(LinuxVolumes, ANameThatDoesNotFitIsNotCut)
{
	FakeSystem system;
	system.Mount("/", "Root");
	XLinuxVolumes volumes(system.Source(), system.Clock());
	char name[5] = {'x', 'x', 'x', 'x', 'x'};
	EXPECT_TRUE(volumes.GetVolumeNameFromMountPath("/", name, 5));
	EXPECT_EQ(std::string(name), "Root");
	EXPECT_FALSE(volumes.GetVolumeNameFromMountPath("/", name, 4));
	EXPECT_FALSE(volumes.GetVolumeNameFromMountPath("/", name, 0));
	EXPECT_FALSE(volumes.GetVolumeNameFromMountPath(nullptr, name, 5));
}

TEST(LinuxVolumes, NamesOrderShorterFirstThenByUnits)
{
	const XLinuxVolumes::VolumeNameComparator less;
	EXPECT_TRUE(less(Text(u"Zz"), Text(u"Aaa")));
	EXPECT_TRUE(less(Text(u"Ab"), Text(u"Ac")));
	EXPECT_TRUE(less(Text(u"AB"), Text(u"Ab")));
	EXPECT_FALSE(less(Text(u"Ab"), Text(u"Ab")));
	EXPECT_FALSE(less(Text(u"Aaa"), Text(u"Zz")));
}

TEST(LinuxVolumes, LookupsFromManyThreadsSeeAWholeList)
{
	FakeSystem system;
	system.Mount("/", "Root");
	system.Mount("/mnt/a", "A");
	XLinuxVolumes volumes(system.Source(), system.Clock());
	std::atomic<int> wrong{0};
	testing::RunOnThreads(8, [&](int inThread) {
		for (int i = 0; i < 2000; ++i) {
			if (inThread == 0)
				system.fNow += 700; // a reload every few lookups
			VString mountPath;
			if (NameOf(volumes, "/mnt/a") != "A" || !volumes.GetMountPathFromVolumeName(Text(u"Root"), mountPath) ||
				Units(mountPath) != u"/")
				++wrong;
		}
	});
	EXPECT_EQ(wrong.load(), 0);
	EXPECT_GT(system.Listings(), 1);
}

} // namespace
} // namespace qirn
