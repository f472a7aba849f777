// File systems defined in a JSON file: an array of objects with "name",
// "path", "parent" and "writable".

#include "files/FolderErrorCodes.h"
#include "files/IFile.h"
#include "files/VFileSystemNamespace.h"
#include "files/VFolder.h"
#include "json/VJSONArray.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "runtime/StThrowError.h"

namespace qirn {

namespace {

// A property of the wrong kind counts as absent.
VString StringProperty(const VJSONObject& inObject, const char* inName)
{
	VString text;
	VJSONValue value = inObject.GetProperty(VString(inName));
	if (value.IsString())
		value.GetString(text);
	return text;
}

} // namespace

VError VFileSystemNamespace::LoadFromDefinitionFile(IFile* inFile)
{
	if (inFile == nullptr) {
		StThrowError<> error(VE_UNKNOWN_ERROR);
		return VE_UNKNOWN_ERROR;
	}
	VJSONValue definitions;
	VError error = VJSONImporter::ParseFile(
		inFile, definitions, VJSONImporter::kOption_UndefinedOnFailure | VJSONImporter::kOption_Strict);
	if (error != VE_OK) {
		StThrowError<> raised(VE_FILE_SYSTEM_BAD_DEFINITIONS);
		VString path;
		inFile->GetPath().GetPath(path);
		raised->SetString(VString("path"), path);
		return error;
	}
	if (definitions.IsArray())
		LoadFromJSONArray(definitions.GetArray());
	return VE_OK;
}

void VFileSystemNamespace::LoadFromJSONArray(const VJSONArray* inArray)
{
	if (inArray == nullptr)
		return;
	// Held for the whole array, so that a definition sees the ones before it
	// and no other task sees half a file loaded.
	StLocker<VCriticalSection> lock(fLock);
	const size_t count = inArray->GetCount();
	for (size_t i = 0; i < count; ++i)
		_LoadDefinition(inArray->GetAt(i));
}

void VFileSystemNamespace::_LoadDefinition(const VJSONValue& inDefinition)
{
	const VJSONObject* object = inDefinition.GetObject();
	if (object == nullptr)
		return;
	const VString name = StringProperty(*object, "name");
	VString path = StringProperty(*object, "path");
	const VString parentName = StringProperty(*object, "parent");
	const VJSONValue writable = object->GetProperty(VString("writable"));
	const uint32 options = writable.IsBool() && writable.GetBool() ? VFileSystem::kWritable : 0;

	// Without a path there is no root to make: such a definition is skipped
	// like one whose parent is unknown, rather than rooted at "/".
	if (path.IsEmpty())
		return;
	const UniChar last = path.GetUniChar(path.GetLength());
	if (last != u'/' && last != u'\\')
		path.AppendUniChar(u'/');

	VRefPtr<VFolder> root;
	if (!parentName.IsEmpty()) {
		VRefPtr<VFolder> parentRoot = VRefPtr<VFolder>::Adopt(RetainFileSystemRootFolder(parentName, kSearchParents));
		if (!parentRoot)
			return;
		root = VRefPtr<VFolder>::Adopt(parentRoot->RetainRelativeFolder(path, FPS_POSIX));
	} else if (path.GetUniChar(1) == u'/') {
		VFilePath rootPath(path, FPS_POSIX);
		if (rootPath.IsFolder())
			root = VRefPtr<VFolder>::Adopt(new VFolder(rootPath));
	}
	if (!root)
		return;
	VRefPtr<VFileSystem> fileSystem =
		VRefPtr<VFileSystem>::Adopt(VFileSystem::Create(name, root.Get(), options));
	RegisterFileSystem(fileSystem.Get());
}

} // namespace qirn
