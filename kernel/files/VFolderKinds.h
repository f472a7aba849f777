#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// The system folders VFolder::RetainSystemFolder knows.
enum ESystemFolderKind : int32 {
	eFK_Executable = 0,
	eFK_UserDocuments = 1,
	eFK_Temporary = 2,
	eFK_CommonPreferences = 4,
	eFK_UserPreferences = 5,
	eFK_CommonApplicationData = 6,
	eFK_UserApplicationData = 7,
	eFK_Desktop = 8,
	eFK_Applications = 9,
	eFK_CommonCache = 10,
	eFK_UserCache = 11,
	eFK_UserLibrary = 12,
	eFK_UserHome = 13,
};

} // namespace qirn
