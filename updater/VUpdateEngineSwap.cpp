#include "VUpdateEngine.h"

#include "BundleSwap.h"
#include "FaultPoints.h"
#include "UpdaterErrors.h"

#include "files/FolderErrorCodes.h"
#include "files/VFolder.h"
#include "files/VFolderIterator.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTask.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qirn {

namespace {

constexpr int kMoveAsideAttempts = 5;
constexpr int32 kMoveAsidePauseMilliseconds = 3000;

VError ThrowCopyFailed(const VFilePath& inFrom, const VFilePath& inTo)
{
	auto* error = new VErrorBase(VE_UPQX_COPY_FAILED);
	VString text;
	inFrom.GetPath(text);
	error->SetString(VString("from"), text);
	inTo.GetPath(text);
	error->SetString(VString("to"), text);
	_PushRetainedError(error);
	return VE_UPQX_COPY_FAILED;
}

VErrorBase* NewMoveAsideError(const VFilePath& inSource, const VFilePath& inDestination)
{
	auto* error = new VErrorBase(VE_UPQX_MOVE_ASIDE_FAILED);
	VString text;
	inSource.GetPath(text);
	error->SetString(VString("srcPath"), text);
	inDestination.GetPath(text);
	error->SetString(VString("dstPath"), text);
	return error;
}

// Whether any entry (folder, file, link, dangling or not) has that path.
bool EntryExists(const VFilePath& inPath)
{
	VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(inPath));
	// Without the folder path's final '/', which would follow a link.
	std::string bytes(folder->GetPlatform().GetPosixPathBytes());
	while (bytes.size() > 1 && bytes.back() == '/')
		bytes.pop_back();
	struct stat info;
	return ::lstat(bytes.c_str(), &info) == 0 || errno != ENOENT;
}

// The outdated bundle goes to the temporary path while an empty folder takes
// its place in the same instant, so that the path never lacks a folder: a
// crash now leaves a folder there that the next run replaces, and the old
// bundle whole under its temporary name. Where the file system cannot
// exchange, the bundle is renamed (the path is empty until the install
// makes the folder). Null, with the error raised, on failure.
VFolder* MoveAside(const VFolder& inOutdated, const VFilePath& inTempPath)
{
	VRefPtr<VFolder> placeholder = VRefPtr<VFolder>::Adopt(new VFolder(inTempPath));
	if (::mkdir(placeholder->GetPlatform().GetPosixPathBytes(), 0700) != 0) {
		ThrowFolderSystemError(inOutdated, errno, VE_FOLDER_CANNOT_RENAME);
		return nullptr;
	}
	const int exchangeError = ExchangeEntries(inOutdated, *placeholder);
	if (exchangeError == 0)
		return new VFolder(inTempPath);
	::rmdir(placeholder->GetPlatform().GetPosixPathBytes());
	if (!IsExchangeUnsupported(exchangeError)) {
		ThrowFolderSystemError(inOutdated, exchangeError, VE_FOLDER_CANNOT_RENAME);
		return nullptr;
	}
	VString newName;
	inTempPath.GetName(newName);
	VFolder* old = nullptr;
	if (inOutdated.Rename(newName, &old) != VE_OK) {
		if (old != nullptr)
			old->Release();
		return nullptr;
	}
	return old;
}

} // namespace

bool VUpdateEngine::_ComputeTempFolderPath(const VFilePath& inSource, VFilePath& outPath, const VString* inSuffix)
{
	VString baseName;
	inSource.GetFolderName(baseName, false);
	VString extension;
	inSource.GetExtension(extension);
	for (int number = 1; number <= 9999; ++number) {
		VString name(baseName);
		if (inSuffix != nullptr && !inSuffix->IsEmpty())
			name.AppendPrintf("_%S%04d", inSuffix, number);
		else
			name.AppendPrintf("%04d", number);
		outPath = inSource;
		outPath.SetFolderName(name, false);
		// Any entry takes the name, a file or a link as much as a folder.
		if (!EntryExists(outPath))
			return true;
	}
	(void)extension;
	return false;
}

VFolder* VUpdateEngine::_SwapApplications(VFolder& inOutdated, VFolder& inUpToDate, VFolder& inInstall)
{
	if (inOutdated.IsSameFolder(&inUpToDate) || inUpToDate.GetPath().IsChildOf(inOutdated.GetPath())) {
		ThrowErrorWithPath(VE_UPQX_SAME_OR_NESTED_APPS, inOutdated.GetPath());
		return nullptr;
	}

	VFilePath tempPath;
	const VString suffix(kOldSuffix);
	_ComputeTempFolderPath(inOutdated.GetPath(), tempPath, &suffix);

	QX_UPDATER_FAULT_POINT("before-move-aside");
	VRefPtr<VFolder> old;
	{
		// A later success forgets the failures before it.
		StErrorContextInstaller attempts(true, true);
		VRefPtr<VErrorBase> pending;
		for (int attempt = 1; attempt <= kMoveAsideAttempts; ++attempt) {
			old = VRefPtr<VFolder>::Adopt(MoveAside(inOutdated, tempPath));
			if (old != nullptr)
				break;
			if (pending != nullptr)
				_PushRetainedError(pending.Retain());
			pending.Clear();
			if (attempt < kMoveAsideAttempts) {
				pending = VRefPtr<VErrorBase>::Adopt(NewMoveAsideError(inOutdated.GetPath(), tempPath));
				SleepFully(kMoveAsidePauseMilliseconds);
			}
		}
		if (old != nullptr)
			attempts.GetContext()->Flush();
	}
	if (old == nullptr)
		return nullptr;
	QX_UPDATER_FAULT_POINT("after-move-aside");

	bool failed = false;
	VRefPtr<VFolder> parent = VRefPtr<VFolder>::Adopt(inInstall.RetainParentFolder());
	if (parent != nullptr && !parent->Exists() && parent->CreateRecursive(false) != VE_OK) {
		ThrowErrorWithPath(VE_UPQX_INSTALL_PARENT_FAILED, parent->GetPath());
		failed = true;
	} else {
		// The install path holds the empty folder that took the old bundle's
		// place: the new bundle is copied into it.
		VError error = VE_OK;
		if (!inInstall.Exists())
			error = inInstall.Create();
		if (error == VE_OK)
			error = CopyFolderContentsInto(inUpToDate, inInstall, [] { QX_UPDATER_FAULT_POINT("copied-file"); });
		if (error != VE_OK) {
			ThrowCopyFailed(inUpToDate.GetPath(), inInstall.GetPath());
			failed = true;
		}
	}
	if (failed) {
		_RollBack(old, inOutdated, inInstall);
		return nullptr;
	}
	QX_UPDATER_FAULT_POINT("after-copy");
	return old.Retain();
}

void VUpdateEngine::_RollBack(VRefPtr<VFolder>& ioOld, const VFolder& inOutdated, const VFolder& inInstall)
{
	QX_UPDATER_FAULT_POINT("before-rollback");
	LogInfo("Rolling back up-to-date application install");
	// The failed copy and the old bundle trade places at once, then the copy
	// goes: the path never lacks the old bundle's folder.
	if (inInstall.GetPath().IsSameOrChildOf(inOutdated.GetPath()) &&
		inOutdated.GetPath().IsSameOrChildOf(inInstall.GetPath()) && inInstall.Exists()) {
		const int exchangeError = ExchangeEntries(*ioOld, inInstall);
		if (exchangeError == 0) {
			QX_UPDATER_FAULT_POINT("rollback-mid");
			VRefPtr<VFolder> failedCopy = VRefPtr<VFolder>::Adopt(new VFolder(ioOld->GetPath()));
			failedCopy->Delete(true);
			QX_UPDATER_FAULT_POINT("after-rollback");
			ioOld.Clear();
			return;
		}
		if (!IsExchangeUnsupported(exchangeError))
			ThrowFolderSystemError(inInstall, exchangeError, VE_FOLDER_CANNOT_RENAME);
	}
	if (inInstall.Exists())
		inInstall.Delete(true);
	QX_UPDATER_FAULT_POINT("rollback-mid");
	VString name;
	inOutdated.GetPath().GetName(name);
	ioOld->Rename(name, nullptr);
	QX_UPDATER_FAULT_POINT("after-rollback");
	ioOld.Clear();
}

void VUpdateEngine::_DisposeOfOldApplication(const VFolder& inOld)
{
	QX_UPDATER_FAULT_POINT("before-dispose");
	StErrorContextInstaller disposal(true, true);
	if (inOld.MoveToTrash() == VE_OK)
		return;
	// The first sub-folder goes on its own, so that a crash test can stop
	// the deletion part way; the rest of the tree follows. An old bundle
	// that is a link goes as a link: its sub-folders are those of the folder
	// it leads to, which is no part of the update.
	VError error = VE_OK;
	if (!inOld.GetPlatform().IsLink()) {
		VFolderIterator first(&inOld, 2 | 8);
		if (first.Current() != nullptr)
			error = first->DeleteForced();
	}
	if (error == VE_OK) {
		QX_UPDATER_FAULT_POINT("mid-dispose");
		error = inOld.DeleteForced();
	}
	// A trash refusal that the deletion made up for is no failure.
	if (error == VE_OK)
		disposal.GetContext()->Flush();
}

} // namespace qirn
