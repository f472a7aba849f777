#include "files/VFile.h"

#include <memory>

#include "core/VTime.h"
#include "files/FileErrorCodes.h"
#include "files/VFileDesc.h"
#include "files/VFileError.h"
#include "files/VFileKind.h"
#include "files/VFileKindManager.h"
#include "files/VFileSystem.h"
#include "files/IFolder.h"
#include "files/VURL.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "runtime/VSystem.h"

namespace qirn {

namespace {

bool IsSystemCause(VError inError)
{
	const OsType signature = COMPONENT_FROM_VERROR(inError);
	return signature == kCOMPONENT_SIGNATURE_POSIX || signature == kCOMPONENT_SIGNATURE_MACH ||
		   signature == kCOMPONENT_SIGNATURE_CARBON || signature == kCOMPONENT_SIGNATURE_COCOA;
}

VString PathText(const VFilePath& inPath)
{
	VString text;
	inPath.GetPath(text);
	return text;
}

} // namespace

// The last answer about the file's volume, kept for callers that accept an
// answer up to some age.
struct VFile::VolumeInfo {
	uint32 fTime = 0;
	bool fWithQuotas = false;
	sLONG8 fFree = 0;
	sLONG8 fTotal = 0;
};

// ---- Construction ------------------------------------------------------------

VFile::VFile(const VFile& inOther) : VObject(), IFile(), fPath(inOther.fPath), fFileSystem(inOther.fFileSystem)
{
	_Bind();
}

VFile::VFile(const VURL& inURL)
{
	inURL.GetFilePath(fPath);
	_Bind();
}

VFile::VFile(const VString& inFullPath, FilePathStyle inStyle)
{
	fPath.FromFullPath(inFullPath, inStyle);
	_Bind();
}

VFile::VFile(const VFilePath& inPath, VFileSystem* inFileSystem) : fPath(inPath), fFileSystem(inFileSystem)
{
	_Bind();
}

VFile::VFile(const VFilePath& inBase, const VString& inRelativePath, FilePathStyle inStyle)
{
	fPath.FromRelativePath(inBase, inRelativePath, inStyle, false);
	_Bind();
}

VFile::VFile(const char* inPosixPath, const VFilePath& inPath, VFileSystem* inFileSystem)
: fImpl(inPosixPath), fPath(inPath), fFileSystem(inFileSystem)
{
	_Bind();
}

VFile::~VFile()
{
	delete fVolumeInfo.exchange(nullptr);
	ReleaseRefCountable(&fFileSystem);
}

void VFile::_Bind()
{
	RetainRefCountable(fFileSystem);
	fImpl.Init(this);
}

// ---- Errors ------------------------------------------------------------------

VError VFile::_WrapWith(VError inNative, VError inDefault, const std::function<void(VFileError&)>& inParameters) const
{
	if (inNative == VE_OK || !IsSystemCause(inNative))
		return inNative;
	VFileError* error = new VFileError(this, VErrorBase::EncodedNativeErrorToVError(inNative, inDefault));
	if (inParameters)
		inParameters(*error);
	const VError code = error->GetError();
	_PushRetainedError(error, inNative);
	return code;
}

VError VFile::_Wrap(VError inNative, VError inDefault) const
{
	return _WrapWith(inNative, inDefault, nullptr);
}

// ---- Opening -------------------------------------------------------------------

VError VFile::Open(FileAccess inAccess, VFileDesc** outDesc, uint32 inOptions) const
{
	*outDesc = nullptr;
	const VError error = fImpl.Open(inAccess, inOptions, outDesc);
	return _WrapWith(error, VE_FILE_CANNOT_OPEN, [&](VFileError& ioError) {
		ioError.SetLong(CVSTR("access"), inAccess);
		ioError.SetLong(CVSTR("options"), static_cast<int32>(inOptions));
	});
}

VError VFile::Create(uint32 inOptions) const
{
	return _WrapWith(fImpl.Create(inOptions), VE_FILE_CANNOT_CREATE,
					 [&](VFileError& ioError) { ioError.SetLong(CVSTR("options"), static_cast<int32>(inOptions)); });
}

// ---- Copy, move, rename ------------------------------------------------------------

VError VFile::CopyTo(const VFilePath& inDestination, VFile** outFile, uint32 inOptions) const
{
	if (outFile != nullptr)
		*outFile = nullptr;
	const auto parameters = [&](VFileError& ioError) {
		ioError.SetString(CVSTR("destination"), PathText(inDestination));
		ioError.SetLong(CVSTR("options"), static_cast<int32>(inOptions));
	};
	if (!fPath.IsValid() || !inDestination.IsValid()) {
		VFileError* error = new VFileError(this, VE_FILE_CANNOT_COPY);
		parameters(*error);
		_PushRetainedError(error, VE_FILE_CANNOT_COPY);
		return VE_FILE_CANNOT_COPY;
	}
	VFileSystem* fileSystem = _FileSystemHolding(inDestination);
	return _WrapWith(fImpl.Copy(inDestination, fileSystem, outFile, inOptions), VE_FILE_CANNOT_COPY, parameters);
}

VError VFile::CopyTo(const VFile& inDestination, uint32 inOptions) const
{
	return CopyTo(inDestination.GetPath(), nullptr, inOptions);
}

VError VFile::CopyTo(const IFile& inDestination, uint32 inOptions) const
{
	return CopyTo(inDestination.GetPath(), nullptr, inOptions);
}

VError VFile::CopyTo(const IFolder& inDestination, VFile** outFile, uint32 inOptions) const
{
	return CopyTo(inDestination.GetPath(), outFile, inOptions);
}

VError VFile::CopyFrom(const VFile& inSource, uint32 inOptions) const
{
	return inSource.CopyTo(fPath, nullptr, inOptions);
}

VError VFile::Rename(const VString& inNewName, VFile** outFile) const
{
	if (outFile != nullptr)
		*outFile = nullptr;
	return _WrapWith(fImpl.Rename(inNewName, outFile), VE_FILE_CANNOT_RENAME,
					 [&](VFileError& ioError) { ioError.SetString(CVSTR("newname"), inNewName); });
}

VError VFile::_Move(const VFilePath& inDestination, VFileSystem* inFileSystem, VFile** outFile, uint32 inOptions) const
{
	if (outFile != nullptr)
		*outFile = nullptr;
	const auto parameters = [&](VFileError& ioError) {
		ioError.SetString(CVSTR("destination"), PathText(inDestination));
		ioError.SetLong(CVSTR("options"), static_cast<int32>(inOptions));
	};
	if (!fPath.IsValid() || !inDestination.IsValid()) {
		VFileError* error = new VFileError(this, VE_FILE_CANNOT_MOVE);
		parameters(*error);
		_PushRetainedError(error, VE_FILE_CANNOT_MOVE);
		return VE_FILE_CANNOT_MOVE;
	}
	return _WrapWith(fImpl.Move(inDestination, inFileSystem, outFile, inOptions), VE_FILE_CANNOT_MOVE, parameters);
}

VError VFile::Move(const VFilePath& inDestination, VFile** outFile, uint32 inOptions) const
{
	return _Move(inDestination, _FileSystemHolding(inDestination), outFile, inOptions);
}

VError VFile::Move(const VFile& inDestination, uint32 inOptions) const
{
	return _Move(inDestination.GetPath(), inDestination.GetFileSystem(), nullptr, inOptions);
}

VError VFile::Delete() const
{
	if (!fPath.IsValid() || !fPath.IsFile()) {
		_PushRetainedError(new VFileError(this, VE_FILE_CANNOT_DELETE), VE_FILE_CANNOT_DELETE);
		return VE_FILE_CANNOT_DELETE;
	}
	const VError error = fImpl.Delete();
	if (error == MAKE_VERROR(kCOMPONENT_SIGNATURE_POSIX, ENOENT))
		return VE_OK;
	return _Wrap(error, VE_FILE_CANNOT_DELETE);
}

VError VFile::MoveToTrash() const
{
	if (!fPath.IsValid() || !fPath.IsFile()) {
		_PushRetainedError(new VFileError(this, VE_FILE_CANNOT_DELETE), VE_FILE_CANNOT_DELETE);
		return VE_FILE_CANNOT_DELETE;
	}
	const VError error = fImpl.MoveToTrash();
	if (error == MAKE_VERROR(kCOMPONENT_SIGNATURE_POSIX, ENOENT))
		return VE_OK;
	return _Wrap(error, VE_FILE_CANNOT_DELETE);
}

// ---- Attributes ------------------------------------------------------------------

bool VFile::Exists() const
{
	if (!fPath.IsFile())
		return false;
	if (const std::optional<bool> cached = _CachedExistence(); cached.has_value())
		return *cached;
	return fImpl.Exists();
}

VError VFile::GetSize(sLONG8* outSize) const
{
	return _Wrap(fImpl.GetSize(outSize), VE_FILE_CANNOT_GET_ATTRIBUTES);
}

bool VFile::HasResourceFork() const
{
	return fImpl.HasResourceFork();
}

VError VFile::GetResourceForkSize(sLONG8* outSize) const
{
	return _Wrap(fImpl.GetResourceForkSize(outSize), VE_FILE_CANNOT_GET_ATTRIBUTES);
}

VError VFile::GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const
{
	if (_CachedTimes(outModified, outCreated, outAccessed))
		return VE_OK;
	const VError error = fImpl.GetTimeAttributes(outModified, outCreated, outAccessed);
	if (error != VE_OK) {
		for (VTime* time : {outModified, outCreated, outAccessed})
			if (time != nullptr)
				time->SetNull(true);
	}
	return _Wrap(error, VE_FILE_CANNOT_GET_ATTRIBUTES);
}

VError VFile::SetTimeAttributes(const VTime* inModified, const VTime* inCreated, const VTime* inAccessed) const
{
	return _Wrap(fImpl.SetTimeAttributes(inModified, inCreated, inAccessed), VE_FILE_CANNOT_GET_ATTRIBUTES);
}

VError VFile::GetFileAttributes(uint32& outAttributes) const
{
	return _Wrap(fImpl.GetFileAttributes(outAttributes), VE_FILE_CANNOT_GET_ATTRIBUTES);
}

VError VFile::SetFileAttributes(uint32 inAttributes) const
{
	return _Wrap(fImpl.SetFileAttributes(inAttributes), VE_FILE_CANNOT_GET_ATTRIBUTES);
}

VError VFile::GetVolumeFreeSpace(sLONG8* outFree, sLONG8* outTotal, bool inWithQuotas, uint32 inMaxAgeMs,
								 const VFileDesc* inDesc) const
{
	const uint32 now = VSystem::GetCurrentTime();
	if (inMaxAgeMs != 0) {
		// Taken out of its slot, so that concurrent callers never share one.
		std::unique_ptr<VolumeInfo> info(fVolumeInfo.exchange(nullptr));
		if (info != nullptr && info->fWithQuotas == inWithQuotas) {
			const uint32 age = now >= info->fTime ? now - info->fTime : info->fTime - now;
			if (age <= inMaxAgeMs) {
				if (outFree != nullptr)
					*outFree = info->fFree;
				if (outTotal != nullptr)
					*outTotal = info->fTotal;
				delete fVolumeInfo.exchange(info.release());
				return VE_OK;
			}
		}
	}
	sLONG8 free = 0;
	sLONG8 total = 0;
	const VError error = fImpl.GetVolumeFreeSpace(&free, &total, inWithQuotas, inDesc);
	if (outFree != nullptr)
		*outFree = error == VE_OK ? free : 0;
	if (outTotal != nullptr)
		*outTotal = error == VE_OK ? total : 0;
	if (error == VE_OK && inMaxAgeMs != 0)
		delete fVolumeInfo.exchange(new VolumeInfo{now, inWithQuotas, free, total});
	return _Wrap(error, VE_FILE_CANNOT_GET_ATTRIBUTES);
}

bool VFile::RevealInFinder() const
{
	return _Wrap(fImpl.RevealInFinder(), VE_FILE_CANNOT_REVEAL) == VE_OK;
}

// ---- Links ---------------------------------------------------------------------------

bool VFile::IsAliasFile() const
{
	return fImpl.IsAliasFile();
}

VError VFile::ResolveAlias(VFilePath& outTarget) const
{
	const VError error = fImpl.ResolveAlias(outTarget);
	if (error != VE_OK)
		outTarget.Clear();
	return _Wrap(error, VE_FILE_CANNOT_RESOLVE_ALIAS);
}

VError VFile::ResolveAliasFile(VFile** ioFile, bool inDeleteUnresolved)
{
	if (*ioFile == nullptr || !(*ioFile)->IsAliasFile())
		return VE_OK;
	VFilePath target;
	VError error;
	{
		// With deletion asked for, the failure to resolve is no error.
		std::optional<StErrorContextInstaller> quiet;
		if (inDeleteUnresolved)
			quiet.emplace(false, true);
		error = (*ioFile)->ResolveAlias(target);
		if (error == VE_OK && !target.IsFile()) {
			error = VE_FILE_CANNOT_RESOLVE_ALIAS_TO_FILE;
			_PushRetainedError(new VFileError(*ioFile, error));
		}
	}
	if (error != VE_OK)
		return inDeleteUnresolved ? (*ioFile)->Delete() : error;
	VFile* resolved = new VFile(target);
	(*ioFile)->Release();
	*ioFile = resolved;
	return VE_OK;
}

VError VFile::ResolveAliasFile(VRefPtr<VFile>& ioFile, bool inDeleteUnresolved)
{
	VFile* file = ioFile.Get();
	if (file != nullptr)
		file->Retain();
	const VError error = ResolveAliasFile(&file, inDeleteUnresolved);
	ioFile = VRefPtr<VFile>::Adopt(file);
	return error;
}

VError VFile::CreateAlias(const VFilePath& inTarget, const VFilePath* inRelativeTo) const
{
	return _Wrap(fImpl.CreateAlias(inTarget, inRelativeTo), VE_FILE_CANNOT_CREATE_ALIAS);
}

bool VFile::IsSameFile(const VFile* inOther) const
{
	// Unit for unit: names differing in case or composition are different
	// files on Linux.
	return inOther != nullptr && PathText(fPath).EqualToStringRaw(PathText(inOther->fPath));
}

bool VFile::ConformsTo(const VFileKind& inKind) const
{
	bool conforms = false;
	return fImpl.ConformsTo(inKind, conforms) == VE_OK && conforms;
}

bool VFile::ConformsTo(const VString& inKindIdentifier) const
{
	VFileKindManager* manager = VFileKindManager::Get();
	if (manager == nullptr)
		return false;
	VRefPtr<VFileKind> kind = VRefPtr<VFileKind>::Adopt(manager->RetainFileKind(inKindIdentifier));
	return kind && ConformsTo(*kind);
}

// ---- Owner and permissions ---------------------------------------------------------------

// The system keeps no four-character types: nothing to give or store.
VError VFile::MAC_GetKind(uint32* outKind) const
{
	*outKind = 0;
	return VE_OK;
}

VError VFile::MAC_GetCreator(uint32* outCreator) const
{
	*outCreator = 0;
	return VE_OK;
}

VError VFile::MAC_SetKind(uint32 /*inKind*/) const
{
	return VE_OK;
}

VError VFile::MAC_SetCreator(uint32 /*inCreator*/) const
{
	return VE_OK;
}

VError VFile::Mac_GetOwner(uint32& outUser, uint32& outGroup) const
{
	return _Wrap(fImpl.GetOwner(outUser, outGroup), VE_FILE_CANNOT_GET_ATTRIBUTES);
}

// Linux hides no extensions: there is nothing to show or hide.
VError VFile::MAC_SetExtensionVisible(bool /*inVisible*/) const
{
	return VE_OK;
}

VError VFile::MAC_MakeWritableByAll() const
{
	return _Wrap(fImpl.MakeWritableByAll(), VE_FILE_CANNOT_SET_ATTRIBUTES);
}

bool VFile::MAC_IsWritableByAll() const
{
	return fImpl.IsWritableByAll();
}

VError VFile::MAC_SetPermissions(uint16 inMode) const
{
	return _Wrap(fImpl.SetPermissions(inMode), VE_FILE_CANNOT_SET_ATTRIBUTES);
}

VError VFile::MAC_GetPermissions(uint16* outMode) const
{
	return _Wrap(fImpl.GetPermissions(outMode), VE_FILE_CANNOT_GET_ATTRIBUTES);
}

bool VFile::MAC_IsSymbolicLink() const
{
	return fImpl.IsSymbolicLink();
}

VError VFile::MAC_CreateSymbolicLink(const VFilePath& inTarget, bool inRelative) const
{
	const VError error = fImpl.CreateSymbolicLink(inTarget, !inRelative);
	if (error != VE_OK)
		_ThrowError(error);
	return error;
}

// ---- URLs ------------------------------------------------------------------------------------

void VFile::GetURL(VString& outURL, bool inEncoded) const
{
	VURL(fPath).GetAbsoluteURL(outURL, inEncoded);
}

// ---- Content -----------------------------------------------------------------------------------

VError VFile::GetContent(VMemoryBuffer<>& outContent) const
{
	VFileDesc* desc = nullptr;
	VError error = Open(FA_READ, &desc, FO_FollowLink);
	if (error != VE_OK)
		return error;
	const sLONG8 size = desc->GetSize();
	if (size <= 0) {
		outContent.Clear();
	} else if (!outContent.SetSize(static_cast<size_t>(size))) {
		delete desc;
		_PushRetainedError(new VFileError(this, VE_MEMORY_FULL));
		return VE_MEMORY_FULL;
	}
	if (size > 0)
		error = desc->GetData(outContent.GetDataPtr(), static_cast<VSize>(size), 0);
	delete desc;
	return error;
}

VError VFile::GetData(void* outData, VSize inSize, VSize* outRead) const
{
	if (outRead != nullptr)
		*outRead = 0;
	VFileDesc* desc = nullptr;
	VError error = Open(FA_READ, &desc, FO_FollowLink);
	if (error != VE_OK)
		return error;
	error = desc->GetData(outData, inSize, 0, outRead);
	delete desc;
	return error;
}

VError VFile::SetContent(const void* inData, VSize inSize) const
{
	_CreateParentFolder();
	VFileDesc* desc = nullptr;
	VError error = Open(FA_READ_WRITE, &desc, FO_CreateIfNotFound | FO_Overwrite | FO_FollowLink);
	if (error != VE_OK)
		return error;
	error = desc->SetSize(static_cast<sLONG8>(inSize));
	if (error == VE_OK && inSize > 0)
		error = desc->PutData(inData, inSize, 0);
	delete desc;
	return error;
}

VError VFile::AppendContent(const void* inData, VSize inSize) const
{
	_CreateParentFolder();
	VFileDesc* desc = nullptr;
	VError error = Open(FA_READ_WRITE, &desc, FO_CreateIfNotFound | FO_FollowLink);
	if (error != VE_OK)
		return error;
	if (inSize > 0)
		error = desc->PutData(inData, inSize, desc->GetSize());
	delete desc;
	return error;
}

bool VFile::IsWritable() const
{
	StErrorContextInstaller scope(false, true);
	VFileDesc* desc = nullptr;
	const bool writable = Open(FA_READ_WRITE, &desc, FO_FollowLink) == VE_OK;
	delete desc;
	return writable;
}

VError VFile::Unlock() const
{
	return _Wrap(fImpl.Unlock(), VE_FILE_CANNOT_SET_ATTRIBUTES);
}

// ---- Path ----------------------------------------------------------------------------------------

void VFile::GetPlatformPath(VString& outPath, FilePathStyle inStyle) const
{
	if (inStyle == FPS_POSIX) {
		if (fImpl.GetPosixPath(outPath) != VE_OK)
			fPath.GetPosixPath(outPath);
	} else if (inStyle == FPS_SYSTEM) {
		fPath.GetPath(outPath);
	} else {
		outPath.Clear();
	}
}

CharSet VFile::DebugDump(char* ioBuffer, int32& ioSize) const
{
	return fPath.DebugDump(ioBuffer, ioSize);
}

} // namespace qirn
