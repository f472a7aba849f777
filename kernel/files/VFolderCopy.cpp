#include "files/VFolder.h"

#include "files/FolderErrorCodes.h"
#include "files/VFileError.h"
#include "files/VFolderIterator.h"
#include "files/platform/XLinuxFSObjectIterator.h"
#include "runtime/VError.h"

#include <string>

namespace qirn {

namespace {

bool BeginsWith(const std::string& inText, const std::string& inPrefix)
{
	return inText.size() >= inPrefix.size() && inText.compare(0, inPrefix.size(), inPrefix) == 0;
}

} // namespace

VFolder::ERelation VFolder::_RelationTo(const VFolder& inTarget) const
{
	const VFilePath& target = inTarget.GetPath();
	if (IsSameFolder(&inTarget))
		return ERelation::kSame;
	if (target.IsChildOf(fPath))
		return ERelation::kInside;
	if (fPath.IsChildOf(target))
		return ERelation::kHolds;
	// The same again on the disk, where links (on the way or in the target's
	// place) may make two texts one folder.
	const std::string source = XLinuxFolder::RealPath(fPlatform.GetPosixPathBytes());
	if (source.empty())
		return ERelation::kApart;
	// A target not made yet: where it would be made.
	const std::string real = XLinuxFolder::RealPath(inTarget.GetPlatform().GetPosixPathBytes(), false);
	if (real.empty())
		return ERelation::kApart;
	if (real == source)
		return ERelation::kSame;
	if (BeginsWith(real, source))
		return ERelation::kInside;
	return BeginsWith(source, real) ? ERelation::kHolds : ERelation::kApart;
}

VError VFolder::CopyTo(const VFolder& inDestination, VFolder** outFolder, uint32 inOptions) const
{
	VString name;
	fPath.GetName(name);
	return CopyTo(inDestination, name, outFolder, inOptions);
}

VError VFolder::CopyTo(const VFolder& inDestination, const VString& inName, VFolder** outFolder,
					   uint32 inOptions) const
{
	if (outFolder != nullptr)
		*outFolder = nullptr;
	VRefPtr<VFolder> target = VRefPtr<VFolder>::Adopt(new VFolder(inDestination, inName, FPS_SYSTEM));
	// Refused before anything changes: replacing a target that is this folder
	// or holds it would delete the source, and a copy into itself would
	// never end.
	const ERelation destination = _RelationTo(inDestination);
	if (destination == ERelation::kSame || destination == ERelation::kInside ||
		_RelationTo(*target) != ERelation::kApart)
		return _ThrowCopyIntoItself(inDestination.GetPath());

	VError error = VE_OK;
	bool copied = false;
	if ((inOptions & kCopyReplace) != 0) {
		if (target->Exists())
			error = target->Delete(true);
		if (error == VE_OK) {
			if (fPlatform.CopyToNonExistingFolder(inDestination, inName) == VE_OK) {
				copied = true;
			} else if (target->Exists()) {
				error = target->Delete(true);
			}
		}
	}
	if (error == VE_OK && !copied)
		error = CopyContentsTo(*target, inOptions);
	if (outFolder != nullptr)
		*outFolder = target.Retain();
	return error;
}

VError VFolder::CopyContentsTo(const VFolder& inDestination, uint32 inOptions) const
{
	if (!Exists())
		return _Throw(VE_FOLDER_NOT_FOUND);
	// Checked before the destination is made, so that a refused copy leaves
	// nothing behind.
	if (const ERelation destination = _RelationTo(inDestination);
		destination == ERelation::kSame || destination == ERelation::kInside)
		return _ThrowCopyIntoItself(inDestination.GetPath());
	if (!inDestination.Exists()) {
		if (const VError error = inDestination.Create(); error != VE_OK)
			return error;
	}

	const bool keepGoing = (inOptions & kCopyKeepGoing) != 0;
	const uint32 hidden = (inOptions & kCopyWithoutHidden) != 0 ? 0 : 8;
	VError firstError = VE_OK;
	for (VFolderIterator folder(this, 2 | hidden); folder.Current() != nullptr; ++folder) {
		VString name;
		folder->GetPath().GetName(name);
		const VError error = folder->CopyTo(inDestination, name, nullptr, inOptions);
		if (error != VE_OK && firstError == VE_OK)
			firstError = error;
		if (error != VE_OK && !keepGoing)
			break;
	}
	if (firstError != VE_OK && !keepGoing)
		return firstError;

	// Links are files here: copied as links.
	for (VFileIterator file(this, 4 | hidden); file.Current() != nullptr; ++file) {
		const VError error = file->CopyTo(inDestination.GetPath(), nullptr, inOptions);
		if (error != VE_OK && firstError == VE_OK)
			firstError = error;
		if (error != VE_OK && !keepGoing)
			break;
	}
	return firstError;
}

} // namespace qirn
