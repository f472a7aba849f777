#include "files/VFolder.h"

#include "files/FolderErrorCodes.h"
#include "files/VFileError.h"
#include "files/VFileSystem.h"
#include "files/VFolderIterator.h"
#include "files/VURL.h"
#include "runtime/VError.h"
#include "runtime/VTaskMgr.h"

namespace qirn {

namespace {

bool IsNativeError(VError inError)
{
	const OsType signature = COMPONENT_FROM_VERROR(inError);
	return signature == kCOMPONENT_SIGNATURE_POSIX || signature == kCOMPONENT_SIGNATURE_MACH ||
		   signature == kCOMPONENT_SIGNATURE_CARBON || signature == kCOMPONENT_SIGNATURE_COCOA;
}

// The relative text of a folder ends with the style's separator.
VString FolderRelativeText(const VString& inRelativePath, FilePathStyle inStyle)
{
	VString text(inRelativePath);
	const UniChar separator = inStyle == FPS_SYSTEM ? u':' : u'/';
	if (!text.IsEmpty() && text.GetCPointer()[text.GetLength() - 1] != separator)
		text.AppendUniChar(separator);
	return text;
}

} // namespace

// ---- Construction --------------------------------------------------------

VFolder::VFolder(const VFilePath& inPath, VFileSystem* inFileSystem) : fPath(inPath)
{
	_Init(inFileSystem);
}

VFolder::VFolder(const VFolder& inOther) : VObject(), IFolder(), fPath(inOther.GetPath())
{
	_Init(inOther.GetFileSystem());
}

VFolder::VFolder(const VString& inFullPath, FilePathStyle inStyle)
{
	fPath.FromFullPath(inFullPath, inStyle);
	_Init(nullptr);
}

VFolder::VFolder(const VFolder& inParent, const VString& inRelativePath, FilePathStyle inStyle)
{
	VFileSystem* fileSystem = inParent.GetFileSystem();
	fPath.FromRelativePath(inParent.GetPath(), FolderRelativeText(inRelativePath, inStyle), inStyle,
		fileSystem != nullptr);
	if (fileSystem != nullptr && !fPath.IsSameOrChildOf(fileSystem->GetRoot()))
		fileSystem = nullptr;
	_Init(fileSystem);
}

VFolder::VFolder(const char* inPosixPath, const VFilePath& inPath, VFileSystem* inFileSystem)
	: fPlatform(inPosixPath), fPath(inPath)
{
	_Init(inFileSystem);
}

VFolder::~VFolder()
{
	ReleaseRefCountable(&fFileSystem);
}

void VFolder::_Init(VFileSystem* inFileSystem)
{
	fFileSystem = RetainRefCountable(inFileSystem);
	fPlatform.Init(this);
}

// ---- Errors ----------------------------------------------------------------

VError VFolder::_Wrap(VError inError, VError inDefault) const
{
	if (inError == VE_OK || !IsNativeError(inError))
		return inError;
	auto* error = new VFileError(this, VErrorBase::EncodedNativeErrorToVError(inError, inDefault));
	const VError code = error->GetError();
	_PushRetainedError(error, inError);
	return code;
}

VError VFolder::_Throw(VError inError) const
{
	_PushRetainedError(new VFileError(this, inError));
	return inError;
}

VError VFolder::_ThrowCopyIntoItself(const VFilePath& inDestination) const
{
	auto* error = new VFileError(this, VE_FOLDER_COPY_INTO_ITSELF);
	VString destination;
	inDestination.GetPath(destination);
	error->SetString(CVSTR("destination"), destination);
	_PushRetainedError(error);
	return VE_FOLDER_COPY_INTO_ITSELF;
}

void VFolder::_ThrowRestoreError(VError inNativeError) const
{
	auto* error =
		new VFileError(this, VErrorBase::EncodedNativeErrorToVError(inNativeError, VE_FOLDER_CANNOT_SET_ATTRIBUTES));
	_PushRetainedError(error, inNativeError);
}

// ---- Existence and creation ----------------------------------------------

bool VFolder::Exists() const
{
	return fPath.IsFolder() && fPlatform.Exists(true);
}

VError VFolder::Create() const
{
	if (Exists())
		return VE_OK;
	return _Wrap(fPlatform.Create(), VE_FOLDER_CANNOT_CREATE);
}

VError VFolder::CreateRecursive(bool inMakeWritableByAll) const
{
	if (Exists())
		return VE_OK;
	if (VRefPtr<VFolder> parent = VRefPtr<VFolder>::Adopt(RetainParentFolder(false)); parent) {
		if (const VError error = parent->CreateRecursive(inMakeWritableByAll); error != VE_OK)
			return error;
	}
	VError error = Create();
	if (error == VE_OK && inMakeWritableByAll)
		error = MakeWritableByAll();
	return error;
}

VError VFolder::MakeWritableByAll() const
{
	return _Wrap(fPlatform.MakeWritableByAll(), VE_FOLDER_CANNOT_SET_ATTRIBUTES);
}

bool VFolder::IsEmpty() const
{
	if (!Exists())
		return true;
	VFilePath path;
	std::string posix;
	XLinuxFSObjectIterator folders(this, 2 | 8);
	if (folders.GetNextPath(path, posix))
		return false;
	XLinuxFSObjectIterator files(this, 4 | 8);
	return !files.GetNextPath(path, posix);
}

// ---- Deletion ----------------------------------------------------------------

VError VFolder::Delete(bool inDeleteContents) const
{
	// A link in the folder's place, with the flag, goes as a link: emptying
	// it would empty the folder it leads to, which is not this one.
	if (inDeleteContents && fPlatform.IsLink())
		return _Wrap(fPlatform.DeleteTree(), VE_FOLDER_CANNOT_DELETE);
	if (IsEmpty())
		return _Wrap(fPlatform.Delete(), VE_FOLDER_CANNOT_DELETE);
	if (!inDeleteContents)
		return _Throw(VE_FOLDER_NOT_EMPTY);
	return _Wrap(fPlatform.DeleteTree(), VE_FOLDER_CANNOT_DELETE);
}

VError VFolder::DeleteContents(bool inDeleteSubFolders) const
{
	VError error = VE_OK;
	if (inDeleteSubFolders) {
		for (VFolderIterator folder(this, 2 | 8 | 32); error == VE_OK && folder.Current() != nullptr; ++folder) {
			error = folder->DeleteContents(true);
			VTaskMgr::Yield();
			if (error == VE_OK)
				error = folder->Delete(false);
		}
	}
	if (error != VE_OK)
		return error;
	// Links are files here: removed, never followed.
	for (VFileIterator file(this, 4 | 8 | 32); error == VE_OK && file.Current() != nullptr; ++file)
		error = file->Delete();
	return error;
}

VError VFolder::DeleteForced() const
{
	return _Wrap(fPlatform.DeleteForced(), VE_FOLDER_CANNOT_DELETE);
}

VError VFolder::MoveToTrash() const
{
	if (!fPlatform.Exists(true))
		return VE_OK;
	return _Wrap(fPlatform.MoveToTrash(), VE_FOLDER_CANNOT_MOVE_TO_TRASH);
}

// ---- Renaming and moving ---------------------------------------------------

VError VFolder::Rename(const VString& inNewName, VFolder** outFolder) const
{
	const VError error = fPlatform.Rename(inNewName, outFolder);
	if (error == VE_OK || !IsNativeError(error))
		return error;
	auto* fileError = new VFileError(this, VErrorBase::EncodedNativeErrorToVError(error, VE_FOLDER_CANNOT_RENAME));
	fileError->SetString(CVSTR("newname"), inNewName);
	const VError code = fileError->GetError();
	_PushRetainedError(fileError, error);
	return code;
}

VError VFolder::Move(const VFolder& inDestination, VFolder** outFolder) const
{
	return _Wrap(fPlatform.Move(inDestination, nullptr, outFolder), VE_FOLDER_CANNOT_RENAME);
}

VError VFolder::Move(const VFolder& inDestination, const VString& inNewName, VFolder** outFolder) const
{
	return _Wrap(fPlatform.Move(inDestination, &inNewName, outFolder), VE_FOLDER_CANNOT_RENAME);
}

// ---- Paths and attributes --------------------------------------------------

VFolder* VFolder::RetainRelativeFolder(const VString& inRelativePath, FilePathStyle inStyle,
									   VFileSystem* inFileSystem) const
{
	VFileSystem* fileSystem = inFileSystem != nullptr ? inFileSystem : fFileSystem;
	VFilePath path;
	path.FromRelativePath(fPath, FolderRelativeText(inRelativePath, inStyle), inStyle, fileSystem != nullptr);
	if (!path.IsFolder() || (fileSystem != nullptr && !fileSystem->IsAuthorized(path)))
		return nullptr;
	return new VFolder(path, fileSystem);
}

VFolder* VFolder::RetainParentFolder(bool inSandboxed) const
{
	VFilePath parent;
	if (!fPath.GetParent(parent))
		return nullptr;
	if (fFileSystem != nullptr && fFileSystem->IsAuthorized(parent))
		return new VFolder(parent, fFileSystem);
	if (inSandboxed && fFileSystem != nullptr)
		return nullptr;
	return new VFolder(parent);
}

void VFolder::GetPlatformPath(VString& outPath, FilePathStyle inStyle) const
{
	if (inStyle == FPS_POSIX) {
		if (fPlatform.GetPosixPath(outPath) != VE_OK)
			fPath.GetPosixPath(outPath);
	} else if (inStyle == FPS_SYSTEM) {
		fPath.GetPath(outPath);
	} else {
		outPath.Clear();
	}
}

VString VFolder::GetPathWithFileSystem() const
{
	VString text;
	if (fFileSystem == nullptr || !fFileSystem->GetPathWithName(fPath, text))
		GetPlatformPath(text, FPS_POSIX);
	return text;
}

void VFolder::GetURL(VString& outURL, bool inEncoded) const
{
	VURL(fPath).GetAbsoluteURL(outURL, inEncoded);
}

void VFolder::GetRelativeURL(const VFolder* inBase, VString& outURL, bool inEncoded) const
{
	GetURL(outURL, inEncoded);
	if (inBase == nullptr)
		return;
	VString base;
	inBase->GetURL(base, inEncoded);
	// Names are case-sensitive here: the base must match unit for unit.
	if (outURL.BeginsWithRawString(base))
		outURL.Remove(1, base.GetLength());
}

VError VFolder::GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const
{
	return _Wrap(fPlatform.GetTimeAttributes(outModified, outCreated, outAccessed), VE_FOLDER_CANNOT_GET_ATTRIBUTES);
}

VError VFolder::SetTimeAttributes(const VTime* inModified, const VTime* inCreated, const VTime* inAccessed) const
{
	return _Wrap(fPlatform.SetTimeAttributes(inModified, inCreated, inAccessed), VE_FOLDER_CANNOT_SET_TIMES);
}

VError VFolder::GetVolumeCapacity(sLONG8* outTotal) const
{
	return _Wrap(fPlatform.GetVolumeCapacity(outTotal), VE_FOLDER_CANNOT_GET_ATTRIBUTES);
}

VError VFolder::GetVolumeFreeSpace(sLONG8* outFree, bool inWithQuotas) const
{
	return _Wrap(fPlatform.GetVolumeFreeSpace(outFree, inWithQuotas), VE_FOLDER_CANNOT_GET_ATTRIBUTES);
}

VError VFolder::MAC_GetPermissions(uint16* outMode) const
{
	return _Wrap(fPlatform.GetPermissions(outMode), VE_FOLDER_CANNOT_GET_ATTRIBUTES);
}

VError VFolder::MAC_SetPermissions(uint16 inMode) const
{
	return _Wrap(fPlatform.SetPermissions(inMode), VE_FOLDER_CANNOT_SET_ATTRIBUTES);
}

VError VFolder::Mac_GetOwner(uint32& outUser, uint32& outGroup) const
{
	return _Wrap(fPlatform.GetOwner(outUser, outGroup), VE_FOLDER_CANNOT_GET_ATTRIBUTES);
}

VFolder* VFolder::RetainSystemFolder(ESystemFolderKind inKind, bool inCreate)
{
	VFolder* folder = nullptr;
	XLinuxFolder::RetainSystemFolder(inKind, inCreate, &folder);
	return folder;
}

bool VFolder::RevealInFinder(bool inRevealContent) const
{
	if (inRevealContent) {
		if (VFileIterator file(this, 4 | 16); file.Current() != nullptr) {
			if (file->RevealInFinder())
				return true;
		} else if (VFolderIterator folders(this, 2 | 16); folders.Current() != nullptr) {
			if (folders->RevealInFinder(false))
				return true;
		}
	}
	return _Wrap(fPlatform.RevealInFinder(), VE_FOLDER_CANNOT_REVEAL) == VE_OK;
}

} // namespace qirn
