#include "UpdaterErrors.h"

#include "bags_xml/VValueBag.h"
#include "core/VString.h"
#include "files/FileErrorCodes.h"
#include "files/FolderErrorCodes.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "files/VFolderIterator.h"
#include "files/VFileError.h"
#include "process/ILoggerBagKeys.h"
#include "process/VLogger.h"
#include "process/VProcess.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"

#include <chrono>
#include <thread>

namespace qirn {

namespace {

VString PathText(const VFilePath& inPath)
{
	VString text;
	inPath.GetPath(text);
	return text;
}

VError PushWithStrings(VError inError, std::initializer_list<std::pair<const char*, VString>> inParameters)
{
	if (inError == VE_OK)
		return VE_OK;
	auto* error = new VErrorBase(inError);
	for (const auto& [name, value] : inParameters)
		error->SetString(VString(name), value);
	_PushRetainedError(error);
	return inError;
}

} // namespace

VError ThrowErrorWithPath(VError inError, const VFilePath& inPath)
{
	return PushWithStrings(inError, {{"path", PathText(inPath)}});
}

VError ThrowErrorWithPaths(VError inError, const VFilePath& inSource, const VFilePath& inDestination)
{
	return PushWithStrings(inError, {{"srcPath", PathText(inSource)}, {"dstPath", PathText(inDestination)}});
}

VError ThrowServiceError(VError inError, const VString& inServiceName)
{
	return PushWithStrings(inError, {{"ServiceName", inServiceName}});
}

void Log(EMessageLevel inLevel, const char* inFormat, va_list inArgs)
{
	VProcess* process = VProcess::sInstance.load();
	VLogger* logger = process != nullptr ? process->GetLogger() : nullptr;
	if (logger == nullptr)
		return;
	VString message;
	message.VPrintf(inFormat, inArgs);
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	bag->SetString(ILoggerBagKeys::message, message);
	if (inLevel != ILoggerBagKeys::level.GetDefault())
		ILoggerBagKeys::level.Set(*bag, inLevel);
	bag->SetLong(ILoggerBagKeys::component_signature, static_cast<sLONG>(kUPDATER_LOG_SIGNATURE));
	logger->LogBag(bag.Get());
}

void LogInfo(const char* inFormat, ...)
{
	va_list args;
	va_start(args, inFormat);
	Log(EML_Information, inFormat, args);
	va_end(args);
}

void LogError(const char* inFormat, ...)
{
	va_list args;
	va_start(args, inFormat);
	Log(EML_Error, inFormat, args);
	va_end(args);
}

void LogDebug(const char* inFormat, ...)
{
	va_list args;
	va_start(args, inFormat);
	Log(EML_Debug, inFormat, args);
	va_end(args);
}

void GetErrorMessage(const VErrorBase& inError, VString& outMessage)
{
	inError.GetErrorDescription(outMessage);
	if (outMessage.IsEmpty())
		inError.GetErrorString(outMessage);
}

void _LogError(const VRefPtr<VErrorBase>& inError)
{
	if (inError.Get() == nullptr)
		return;
	VString message;
	GetErrorMessage(*inError, message);
	LogError("%S", &message);
}

void DumpErrorStack(const VErrorContext* inContext, bool inNewestFirst)
{
	if (inContext == nullptr)
		return;
	const VErrorList& errors = inContext->GetErrors();
	if (inNewestFirst) {
		for (auto error = errors.rbegin(); error != errors.rend(); ++error)
			_LogError(*error);
	} else {
		for (const VRefPtr<VErrorBase>& error : errors)
			_LogError(error);
	}
}

void SleepFully(int32 inMilliseconds)
{
	if (VTask::GetCurrent() == nullptr) {
		std::this_thread::sleep_for(std::chrono::milliseconds(inMilliseconds));
		return;
	}
	const uint32 start = VSystem::GetCurrentTime();
	for (uint32 elapsed = 0; elapsed < static_cast<uint32>(inMilliseconds);
		 elapsed = VSystem::GetCurrentTime() - start)
		VTask::Sleep(inMilliseconds - static_cast<int32>(elapsed));
}

void DisplayMessage(const char* inText)
{
	VSystem::DisplayNotification(VString("Debug"), VString(inText), 0);
}

VError RobustCopyFile(const VFilePath& inSource, const VFilePath& inDestination, uint32 inOptions)
{
	VFilePath folderPath;
	if (inDestination.GetParent(folderPath)) {
		VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(folderPath));
		if (!folder->Exists()) {
			if (const VError error = folder->CreateRecursive(false); error != VE_OK)
				return ThrowErrorWithPath(error, folderPath);
		}
	}
	VRefPtr<VFile> source = VRefPtr<VFile>::Adopt(new VFile(inSource));
	if (source->CopyTo(inDestination, nullptr, inOptions) != VE_OK)
		return ThrowErrorWithPaths(VE_UPQX_FILE_COPY_FAILED, inSource, inDestination);
	return VE_OK;
}

bool RobustCopyFolderContent(const VFolder& inSource, VFolder& ioDestination, uint32 inOptions)
{
	if (!inSource.Exists()) {
		ThrowErrorWithPath(VE_FOLDER_NOT_FOUND, inSource.GetPath());
		return false;
	}
	if (!ioDestination.Exists()) {
		if (const VError error = ioDestination.CreateRecursive(false); error != VE_OK) {
			ThrowErrorWithPath(error, ioDestination.GetPath());
			return false;
		}
	}
	if (const VError error = inSource.CopyContentsTo(ioDestination, inOptions); error != VE_OK) {
		ThrowErrorWithPath(error, ioDestination.GetPath());
		return false;
	}
	return true;
}

bool RobustCopyFolderContent(const VFilePath& inSource, const VFilePath& inDestination, uint32 inOptions)
{
	VRefPtr<VFolder> source = VRefPtr<VFolder>::Adopt(new VFolder(inSource));
	VRefPtr<VFolder> destination = VRefPtr<VFolder>::Adopt(new VFolder(inDestination));
	return RobustCopyFolderContent(*source, *destination, inOptions);
}

VError FindFileByExt(const VFilePath& inFolder, const VString& inExtension, VFilePath& outFile)
{
	if (!inFolder.IsFolder())
		return MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 3);
	VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(inFolder));
	return FindFileByExt(*folder, inExtension, outFile);
}

VError FindFileByExt(const VFolder& inFolder, const VString& inExtension, VFilePath& outFile)
{
	for (VFileIterator file(&inFolder, 4); file.Current() != nullptr; ++file) {
		VString extension;
		file->GetPath().GetExtension(extension);
		if (extension.EqualToString(inExtension, false)) {
			outFile = file->GetPath();
			return VE_OK;
		}
	}
	outFile.Clear();
	return VE_FILE_NOT_FOUND;
}

} // namespace qirn
