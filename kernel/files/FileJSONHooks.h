#pragma once

#include "json/VJSONValue.h"

namespace qirn {

class IFile;
class IFolder;

// How JSON values become files and folders and back. The component that
// knows how (the JSON classes of files and folders) installs its hooks once
// at start-up; until then nothing is extracted and everything wraps as
// undefined.
using FileExtractor = IFile* (*)(const VJSONValue& inValue);
using FolderExtractor = IFolder* (*)(const VJSONValue& inValue);
using FileWrapper = VJSONValue (*)(IFile* inFile);
using FolderWrapper = VJSONValue (*)(IFolder* inFolder);

// Installs the four hooks; any may be null.
void SetFileFolderExtractorAndWrapper(FileExtractor inFileExtractor, FolderExtractor inFolderExtractor,
									  FileWrapper inFileWrapper, FolderWrapper inFolderWrapper);

// A retained file or folder, or null without a hook.
[[nodiscard]] IFile* ExtractFile(const VJSONValue& inValue);
[[nodiscard]] IFolder* ExtractFolder(const VJSONValue& inValue);
// The hook's value, or undefined with a new change stamp without a hook.
VJSONValue WrapFile(IFile* inFile);
VJSONValue WrapFolder(IFolder* inFolder);

} // namespace qirn
