#pragma once

// Files and folders that live in memory, for the tests of what the file
// interfaces build over their byte operations. A file can be told to fail
// its reads, writes or times the way a disk would: a file error raised on
// the task and its code answered.

#include "core/VRefPtr.h"
#include "core/VTime.h"
#include "files/IFile.h"
#include "files/IFolder.h"
#include "files/VFileError.h"
#include "runtime/VError.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace qirn::testing {

inline VFilePath SystemPath(const char* inText)
{
	return VFilePath(VString(inText), FPS_SYSTEM);
}

class MemoryFile : public IFile {
public:
	explicit MemoryFile(const char* inPath) : fPath(SystemPath(inPath)) {}

	mutable std::string fContent;
	VError fReadError = VE_OK;
	VError fWriteError = VE_OK;
	VError fTimesError = VE_OK;
	VTime fModified;
	VTime fCreated;
	VTime fAccessed;
	mutable int fWrites = 0;

	const VFilePath& GetPath() const override { return fPath; }
	VFileSystem* GetFileSystem() const override { return nullptr; }
	void GetPlatformPath(VString& outPath, FilePathStyle inStyle) const override { outPath = fPath.GetPath(inStyle); }
	VString GetPathWithFileSystem() const override { return fPath.GetPath(FPS_POSIX); }
	IFolder* RetainParentFolder(bool) const override { return nullptr; }
	bool Exists() const override { return true; }
	VError GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const override
	{
		if (fTimesError != VE_OK)
			return _Fail(fTimesError);
		if (outModified != nullptr)
			*outModified = fModified;
		if (outCreated != nullptr)
			*outCreated = fCreated;
		if (outAccessed != nullptr)
			*outAccessed = fAccessed;
		return VE_OK;
	}

	VError GetContent(VMemoryBuffer<>& outContent) const override
	{
		if (fReadError != VE_OK)
			return _Fail(fReadError);
		outContent.Clear();
		outContent.AddData(fContent.data(), fContent.size());
		return VE_OK;
	}
	VError GetData(void* outData, VSize inSize, VSize* outRead) const override
	{
		if (fReadError != VE_OK)
			return _Fail(fReadError);
		VSize count = std::min<VSize>(inSize, fContent.size());
		std::memcpy(outData, fContent.data(), count);
		*outRead = count;
		return VE_OK;
	}
	VError SetContent(const void* inData, VSize inSize) const override
	{
		++fWrites;
		if (fWriteError != VE_OK)
			return _Fail(fWriteError);
		fContent.assign(static_cast<const char*>(inData), inSize);
		return VE_OK;
	}
	VError AppendContent(const void* inData, VSize inSize) const override
	{
		std::string content = fContent + std::string(static_cast<const char*>(inData), inSize);
		return SetContent(content.data(), content.size());
	}
	VError Delete() const override { return VE_UNIMPLEMENTED; }
	bool IsWritable() const override { return fWriteError == VE_OK; }
	VError GetSize(sLONG8* outSize) const override
	{
		*outSize = static_cast<sLONG8>(fContent.size());
		return VE_OK;
	}
	VError CopyTo(const IFile& inDestination, uint32) const override { return CopyContentTo(&inDestination); }
	VError CopyTo(const IFolder&, VFile** outFile, uint32) const override
	{
		if (outFile != nullptr)
			*outFile = nullptr;
		return VE_UNIMPLEMENTED;
	}

private:
	VError _Fail(VError inError) const
	{
		_PushRetainedError(new VFileError(this, inError));
		return inError;
	}

	VFilePath fPath;
};

// A folder of memory files, handed out in the order they were added. It
// keeps the options of its last walk.
class MemoryFolder : public IFolder {
public:
	explicit MemoryFolder(const char* inPath) : fPath(SystemPath(inPath)) {}

	std::vector<VRefPtr<MemoryFile>> fFiles;
	mutable uint32 fLastOptions = 0;

	MemoryFile* AddFile(const char* inName)
	{
		VString path;
		fPath.GetPath(path);
		fFiles.push_back(VRefPtr<MemoryFile>::Adopt(new MemoryFile((to_string(path) + inName).c_str())));
		return fFiles.back().Get();
	}

	const VFilePath& GetPath() const override { return fPath; }
	VFileSystem* GetFileSystem() const override { return nullptr; }
	void GetPlatformPath(VString& outPath, FilePathStyle inStyle) const override { outPath = fPath.GetPath(inStyle); }
	VString GetPathWithFileSystem() const override { return fPath.GetPath(FPS_POSIX); }
	IFolder* RetainParentFolder(bool) const override { return nullptr; }
	bool Exists() const override { return true; }
	VError GetTimeAttributes(VTime*, VTime*, VTime*) const override { return VE_OK; }

	IFolder* RetainRelativeFolder(const VString&, FilePathStyle, VFileSystem*) const override { return nullptr; }
	bool GetElements(std::vector<VRefPtr<IFile>>*, std::vector<VRefPtr<IFolder>>*, bool) const override
	{
		return true;
	}
	// Files only; invisible ones (a name that begins with '.') with bit 8.
	bool IterateFiles(const std::function<bool(IFile*, IFileAttributeAccessor*)>& inFunction,
					  uint32 inOptions) const override
	{
		fLastOptions = inOptions;
		for (const VRefPtr<MemoryFile>& file : fFiles) {
			VString name;
			file->GetName(name);
			if ((inOptions & 8) == 0 && name.GetUniChar(1) == u'.')
				continue;
			if (!inFunction(file.Get(), nullptr))
				break;
		}
		return true;
	}
	bool IterateFolders(const std::function<bool(IFolder*, IFileAttributeAccessor*)>&, uint32) const override
	{
		return true;
	}
	IFile* _RetainRelativeIFile(const VString&, FilePathStyle) const override { return nullptr; }

private:
	VFilePath fPath;
};

} // namespace qirn::testing
