#pragma once

#include "files/VFilePath.h"
#include "runtime/VErrorBase.h"

namespace qirn {

class IFileSystemObject;

// The error every file and folder operation raises: it names the file or
// folder concerned with the parameters "name" and "path" (its internal
// text), both "n/a" when there is no path. The operation adds its own
// parameters before pushing it.
class VFileError : public VErrorBase {
public:
	// The path of the file or folder; a null one leaves it empty.
	VFileError(const IFileSystemObject* inObject, VError inError);
	VFileError(const VFilePath& inPath, VError inError);

	const VFilePath& GetPath() const { return fPath; }

private:
	void _SetPathParameters();

	VFilePath fPath;
};

} // namespace qirn
