#include "files/VFileError.h"

#include "files/IFileSystemObject.h"

namespace qirn {

VFileError::VFileError(const IFileSystemObject* inObject, VError inError) : VErrorBase(inError)
{
	if (inObject != nullptr)
		fPath.FromFilePath(inObject->GetPath());
	_SetPathParameters();
}

VFileError::VFileError(const VFilePath& inPath, VError inError) : VErrorBase(inError), fPath(inPath)
{
	_SetPathParameters();
}

void VFileError::_SetPathParameters()
{
	VString text;
	fPath.GetPath(text);
	if (text.IsEmpty()) {
		SetString(CVSTR("name"), CVSTR("n/a"));
		SetString(CVSTR("path"), CVSTR("n/a"));
		return;
	}
	VString name;
	fPath.GetName(name);
	SetString(CVSTR("name"), name);
	SetString(CVSTR("path"), text);
}

} // namespace qirn
