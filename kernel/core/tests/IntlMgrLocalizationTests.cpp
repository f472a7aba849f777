#include "core/VIntlMgr.h"
#include "files/IFile.h"
#include "files/VFolder.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace qirn {
namespace {

std::string PosixPath(const IFileSystemObject& inObject)
{
	VString path;
	inObject.GetPlatformPath(path, FPS_POSIX);
	std::string bytes(path.GetLength() * 3 + 1, '\0');
	bytes.resize(path.ToBlock(bytes.data(), bytes.size(), VTC_UTF_8, false, false));
	return bytes;
}

class LocalizationFolders : public ::testing::Test {
protected:
	void SetUp() override
	{
		fParent = VRefPtr<VFolder>::Adopt(new VFolder(VString((fTemp.Path() + "/").c_str()), FPS_POSIX));
	}
	void Make(const std::string& inName) { ASSERT_EQ(::mkdir((fTemp / inName).c_str(), 0755), 0); }

	testing::TempFolder fTemp;
	VRefPtr<VFolder> fParent;
};

TEST_F(LocalizationFolders, AreTheDialectsExistingFoldersMostSpecificFirst)
{
	for (const char* name : {"German.lproj", "de.lproj", "de_CH.lproj", "de-ch.lproj", "fr.lproj"})
		Make(name);
	std::vector<VRefPtr<IFolder>> folders;
	EXPECT_TRUE(VIntlMgr::GetLocalizationFoldersWithDialect(2055, fParent.Get(), folders));
	std::vector<std::string> paths;
	for (const VRefPtr<IFolder>& folder : folders)
		paths.push_back(PosixPath(*folder));
	EXPECT_EQ(paths, (std::vector<std::string>{fTemp / "de-ch.lproj/", fTemp / "de.lproj/", fTemp / "de_CH.lproj/",
						 fTemp / "German.lproj/"}));

	folders.clear();
	EXPECT_FALSE(VIntlMgr::GetLocalizationFoldersWithDialect(1041, fParent.Get(), folders));
	EXPECT_TRUE(folders.empty());
	EXPECT_FALSE(VIntlMgr::GetLocalizationFoldersWithDialect(1031, nullptr, folders));
}

TEST_F(LocalizationFolders, TheFileComesFromTheMostSpecificFolderHoldingIt)
{
	for (const char* name : {"German.lproj", "de.lproj", "de-ch.lproj"})
		Make(name);
	std::ofstream(fTemp / "de.lproj/Strings.xlf") << "de";
	std::ofstream(fTemp / "German.lproj/Strings.xlf") << "German";
	bool hasFolders = false;
	VRefPtr<IFile> file = VRefPtr<IFile>::Adopt(
		VIntlMgr::RetainLocalizationFile(fParent.Get(), CVSTR("Strings.xlf"), 2055, &hasFolders));
	ASSERT_TRUE(file);
	EXPECT_TRUE(hasFolders);
	EXPECT_EQ(PosixPath(*file), fTemp / "de.lproj/Strings.xlf");
	EXPECT_EQ(VIntlMgr::RetainLocalizationFile(fParent.Get(), CVSTR("Missing.xlf"), 2055, &hasFolders), nullptr);
	EXPECT_TRUE(hasFolders);
	EXPECT_EQ(VIntlMgr::RetainLocalizationFile(fParent.Get(), CVSTR("Strings.xlf"), 1041, &hasFolders), nullptr);
	EXPECT_FALSE(hasFolders);
}

} // namespace
} // namespace qirn
