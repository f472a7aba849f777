#include "process/VLibrary.h"

#include "files/VFile.h"
#include "files/VFolder.h"

namespace qirn {

VLibrary::VLibrary(const VFilePath& inPath) : fPath(inPath) {}

VLibrary::~VLibrary()
{
	Unload();
}

bool VLibrary::Load()
{
	StLocker<VCriticalSection> locker(fLock);
	if (!fLoaded)
		fLoaded = fImpl.Load(fPath);
	return fLoaded;
}

void VLibrary::Unload()
{
	StLocker<VCriticalSection> locker(fLock);
	if (!fLoaded)
		return;
	fImpl.Unload();
	fLoaded = false;
	ReleaseRefCountable(&fResourceFile);
	fResourceFileRead = false;
}

bool VLibrary::IsLoaded() const
{
	StLocker<VCriticalSection> locker(fLock);
	return fLoaded;
}

void* VLibrary::GetProcAddress(const VString& inName) const
{
	StLocker<VCriticalSection> locker(fLock);
	return fLoaded ? fImpl.GetProcAddress(inName) : nullptr;
}

bool VLibrary::IsSameFile(const VFilePath& inPath) const
{
	StLocker<VCriticalSection> locker(fLock);
	VString ours;
	VString theirs;
	fPath.GetPath(ours);
	inPath.GetPath(theirs);
	return ours.EqualToStringRaw(theirs);
}

VFolder* VLibrary::RetainFolder(BundleFolderKind inKind) const
{
	StLocker<VCriticalSection> locker(fLock);
	return fLoaded ? fImpl.RetainFolder(inKind) : nullptr;
}

VFile* VLibrary::RetainExecutableFile() const
{
	StLocker<VCriticalSection> locker(fLock);
	return fLoaded ? fImpl.RetainExecutableFile() : nullptr;
}

VFile* VLibrary::RetainResourceFile() const
{
	StLocker<VCriticalSection> locker(fLock);
	if (!fLoaded)
		return nullptr;
	if (!fResourceFileRead) {
		fResourceFile = fImpl.RetainResourceFile();
		fResourceFileRead = true;
	}
	return RetainRefCountable(fResourceFile);
}

} // namespace qirn
