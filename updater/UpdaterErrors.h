#pragma once
// The updater's errors, its log entries and a few file helpers of its own.
// Every function here pushes or answers error codes; none fails itself.

#include "core/VKernelTypes.h"
#include "core/VRefPtr.h"
#include "process/EMessageLevel.h"

#include <cstdarg>

namespace qirn {

class VErrorBase;
class VErrorContext;
class VFilePath;
class VFolder;
class VString;

// The updater's component: 'UPQX' in the high 32 bits of its error codes.
constexpr OsType kUPDATER_SIGNATURE = 'UPQX';
// The component of the updater's log entries.
constexpr OsType kUPDATER_LOG_SIGNATURE = 'QXUP';

constexpr VError VE_UPQX_PROCESS_STILL_RUNNING = MAKE_VERROR(kUPDATER_SIGNATURE, 1);
constexpr VError VE_UPQX_UPTODATE_APP_MISSING = MAKE_VERROR(kUPDATER_SIGNATURE, 2);
constexpr VError VE_UPQX_OUTDATED_APP_MISSING = MAKE_VERROR(kUPDATER_SIGNATURE, 3);
constexpr VError VE_UPQX_FILE_COPY_FAILED = MAKE_VERROR(kUPDATER_SIGNATURE, 8);
constexpr VError VE_UPQX_MOVE_ASIDE_FAILED = MAKE_VERROR(kUPDATER_SIGNATURE, 11);
constexpr VError VE_UPQX_INSTALL_PARENT_FAILED = MAKE_VERROR(kUPDATER_SIGNATURE, 12);
constexpr VError VE_UPQX_COPY_FAILED = MAKE_VERROR(kUPDATER_SIGNATURE, 13);
constexpr VError VE_UPQX_SAME_OR_NESTED_APPS = MAKE_VERROR(kUPDATER_SIGNATURE, 14);
constexpr VError VE_UPQX_BAD_CLIENT_INFO = MAKE_VERROR(kUPDATER_SIGNATURE, 41);
constexpr VError VE_UPQX_INSTALL_FAILED = MAKE_VERROR(kUPDATER_SIGNATURE, 100);
constexpr VError VE_UPQX_LOG_NOT_STARTED = MAKE_VERROR(kUPDATER_SIGNATURE, 101);
constexpr VError VE_UPQX_RESTART_FAILED = MAKE_VERROR(kUPDATER_SIGNATURE, 120);

// An error of that code with the path's text (the kernel's own form) under
// "path", pushed on the current error context. 0 pushes nothing. Answers
// the code.
VError ThrowErrorWithPath(VError inError, const VFilePath& inPath);
// The same with "srcPath" and "dstPath".
VError ThrowErrorWithPaths(VError inError, const VFilePath& inSource, const VFilePath& inDestination);
// The same with "ServiceName".
VError ThrowServiceError(VError inError, const VString& inServiceName);

// Log entries of the process logger, printf-style with %S for a VString
// pointer; dropped when the process has no logger.
void Log(EMessageLevel inLevel, const char* inFormat, va_list inArgs);
void LogInfo(const char* inFormat, ...);
void LogError(const char* inFormat, ...);
void LogDebug(const char* inFormat, ...);

// Logs each error of the context at ERROR level, newest first with the flag.
void DumpErrorStack(const VErrorContext* inContext, bool inNewestFirst);
void _LogError(const VRefPtr<VErrorBase>& inError);
// The error's description, or its error string when it has none.
void GetErrorMessage(const VErrorBase& inError, VString& outMessage);

// Sleeps the current task for the whole time: a wake-up (the quit a signal
// asks for, say) does not shorten the updater's waits.
void SleepFully(int32 inMilliseconds);

// A notification titled "Debug" with the text.
void DisplayMessage(const char* inText);

// Copies a file, making its folder first. 0, or the code raised.
VError RobustCopyFile(const VFilePath& inSource, const VFilePath& inDestination, uint32 inOptions);
// Copies a folder's contents into another, made when missing. A missing
// source raises the kernel error 650 with its path.
bool RobustCopyFolderContent(const VFolder& inSource, VFolder& ioDestination, uint32 inOptions);
bool RobustCopyFolderContent(const VFilePath& inSource, const VFilePath& inDestination, uint32 inOptions);

// The first file directly in the folder with that extension (compared
// without diacritical sensitivity). Answers, without raising, the kernel
// error 3 for a path that is not a folder path and 600 when none matches
// (outFile then cleared).
VError FindFileByExt(const VFilePath& inFolder, const VString& inExtension, VFilePath& outFile);
VError FindFileByExt(const VFolder& inFolder, const VString& inExtension, VFilePath& outFile);

} // namespace qirn
