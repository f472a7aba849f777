#include "files/platform/XLinuxFolder.h"

#include "files/VFolder.h"
#include "files/platform/XLinuxFile.h"
#include "host/HostBundle.h"
#include "runtime/VErrorBase.h"

#include <cerrno>
#include <climits>
#include <glib.h>
#include <string>

namespace qirn {

namespace {

// The folder of a kind on Linux: GLib's XDG folders; empty when Linux has
// none for it. Whether the caller may create it is told in outMayCreate.
std::string SystemFolderPath(ESystemFolderKind inKind, bool& outMayCreate)
{
	outMayCreate = true;
	switch (inKind) {
	case eFK_Executable: {
		outMayCreate = false;
		char executable[PATH_MAX];
		if (!host::CopyExecutablePath(executable, sizeof(executable)))
			return std::string();
		std::string path(executable);
		const size_t slash = path.rfind('/');
		return slash == std::string::npos ? std::string() : path.substr(0, slash);
	}
	case eFK_UserDocuments: {
		const char* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
		return documents != nullptr ? std::string(documents) : std::string(g_get_home_dir()) + "/Documents";
	}
	case eFK_Temporary:
		outMayCreate = false;
		return g_get_tmp_dir(); // $TMPDIR, else /tmp
	case eFK_CommonPreferences:
	case eFK_CommonApplicationData: {
		const gchar* const* folders = g_get_system_data_dirs();
		return folders != nullptr && folders[0] != nullptr ? std::string(folders[0]) : std::string();
	}
	case eFK_UserPreferences:
	case eFK_UserApplicationData:
		return g_get_user_data_dir();
	case eFK_Desktop: {
		const char* desktop = g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP);
		return desktop != nullptr ? std::string(desktop) : std::string(g_get_home_dir()) + "/Desktop";
	}
	case eFK_CommonCache:
		return "/var/cache";
	case eFK_UserCache:
		return g_get_user_cache_dir();
	case eFK_UserLibrary:
		return g_get_user_config_dir();
	case eFK_UserHome:
		outMayCreate = false;
		return g_get_home_dir();
	default:
		// 3, Applications (9) and anything beyond: Linux has no such folder.
		return std::string();
	}
}

} // namespace

VError XLinuxFolder::RetainSystemFolder(ESystemFolderKind inKind, bool inCreate, VFolder** outFolder)
{
	*outFolder = nullptr;
	bool mayCreate = false;
	const std::string path = SystemFolderPath(inKind, mayCreate);
	if (path.empty() || path[0] != '/')
		return VE_OK;
	if (inCreate && mayCreate && g_mkdir_with_parents(path.c_str(), 0755) != 0)
		return MAKE_VERROR(kCOMPONENT_SIGNATURE_POSIX, errno);
	VFilePath folderPath;
	XLinuxFile::GetFilePathFromPosixPath(path.c_str(), true, folderPath);
	if (!folderPath.IsFolder())
		return VE_OK;
	*outFolder = new VFolder(path.c_str(), folderPath, nullptr);
	return VE_OK;
}

} // namespace qirn
