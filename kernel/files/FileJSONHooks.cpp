#include "files/FileJSONHooks.h"

#include <atomic>

namespace qirn {

namespace {

// Set once at start-up and read from any task afterwards: atomics keep a
// late installation from being a data race.
std::atomic<FileExtractor> sFileExtractor{nullptr};
std::atomic<FolderExtractor> sFolderExtractor{nullptr};
std::atomic<FileWrapper> sFileWrapper{nullptr};
std::atomic<FolderWrapper> sFolderWrapper{nullptr};

} // namespace

void SetFileFolderExtractorAndWrapper(FileExtractor inFileExtractor, FolderExtractor inFolderExtractor,
									  FileWrapper inFileWrapper, FolderWrapper inFolderWrapper)
{
	sFileExtractor.store(inFileExtractor, std::memory_order_release);
	sFolderExtractor.store(inFolderExtractor, std::memory_order_release);
	sFileWrapper.store(inFileWrapper, std::memory_order_release);
	sFolderWrapper.store(inFolderWrapper, std::memory_order_release);
}

IFile* ExtractFile(const VJSONValue& inValue)
{
	FileExtractor extractor = sFileExtractor.load(std::memory_order_acquire);
	return extractor != nullptr ? extractor(inValue) : nullptr;
}

IFolder* ExtractFolder(const VJSONValue& inValue)
{
	FolderExtractor extractor = sFolderExtractor.load(std::memory_order_acquire);
	return extractor != nullptr ? extractor(inValue) : nullptr;
}

VJSONValue WrapFile(IFile* inFile)
{
	FileWrapper wrapper = sFileWrapper.load(std::memory_order_acquire);
	return wrapper != nullptr ? wrapper(inFile) : VJSONValue(JSON_undefined);
}

VJSONValue WrapFolder(IFolder* inFolder)
{
	FolderWrapper wrapper = sFolderWrapper.load(std::memory_order_acquire);
	return wrapper != nullptr ? wrapper(inFolder) : VJSONValue(JSON_undefined);
}

} // namespace qirn
