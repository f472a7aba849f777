// Paths in the kernel's form and in POSIX form. The first input byte picks
// how the rest is read (UTF-8 or raw UTF-16 units, so that NULs and lone
// surrogates arrive) and the style of the text. What must hold: a path the
// kernel writes reads back to the same path in both forms, a parent and a
// name rebuild the path, and nothing that fails to read is taken as valid.
#include "FuzzSupport.h"

#include "core/VString.h"
#include "files/VFilePath.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace qirn;

bool Same(const VFilePath& inOne, const VFilePath& inOther)
{
	return inOne.IsValid() == inOther.IsValid() && inOne.GetPath().EqualToStringRaw(inOther.GetPath());
}

bool HasColon(const VString& inText)
{
	return inText.FindUniChar(u':') > 0;
}

// What holds for every valid path, whatever text it came from.
void CheckValidPath(const VFilePath& inPath)
{
	const VString kernel = inPath.GetPath();
	QIRN_FUZZ_CHECK(!kernel.IsEmpty());
	QIRN_FUZZ_CHECK(inPath.IsFolder() != inPath.IsFile());
	QIRN_FUZZ_CHECK(inPath.GetDepth() >= 1);
	QIRN_FUZZ_CHECK(!VFilePath::BadChar(kernel, FPS_SYSTEM));

	// The kernel's text reads back to the same path.
	const VFilePath again(kernel, FPS_SYSTEM);
	QIRN_FUZZ_CHECK(Same(again, inPath));

	// Its POSIX text reads back to the same path on the root volume, or to
	// the volume as a folder of the root when it names another.
	VString posix;
	inPath.GetPosixPath(posix);
	QIRN_FUZZ_CHECK(posix.GetLength() > 0 && posix.GetCPointer()[0] == u'/');
	QIRN_FUZZ_CHECK(inPath.GetPath(FPS_POSIX).EqualToStringRaw(posix));
	const VFilePath fromPosix(posix, FPS_POSIX);
	if (std::getenv("QIRN_FUZZ_VERBOSE") != nullptr) {
		std::fprintf(stderr, "kernel \"%s\" posix \"%s\" read back \"%s\"\n", fuzz::Printable(kernel).c_str(),
					 fuzz::Printable(posix).c_str(), fuzz::Printable(fromPosix.GetPath()).c_str());
	}
	QIRN_FUZZ_CHECK(fromPosix.IsValid());
	VString expected = kernel;
	if (!kernel.BeginsWithRawString(CVSTR("Root:")))
		expected.Insert(CVSTR("Root:"), 1);
	QIRN_FUZZ_CHECK(fromPosix.GetPath().EqualToStringRaw(expected));
	VString posixAgain;
	fromPosix.GetPosixPath(posixAgain);
	QIRN_FUZZ_CHECK(posixAgain.EqualToStringRaw(posix));

	VString name;
	inPath.GetName(name);
	if (!inPath.HasParent()) {
		QIRN_FUZZ_CHECK(inPath.IsFolder());
		QIRN_FUZZ_CHECK(inPath.GetDepth() == 1);
		return;
	}
	// The parent holds the path, one level up, and its name leads back.
	VFilePath parent;
	QIRN_FUZZ_CHECK(inPath.GetParent(parent));
	QIRN_FUZZ_CHECK(parent.IsFolder());
	QIRN_FUZZ_CHECK(parent.GetDepth() == inPath.GetDepth() - 1);
	QIRN_FUZZ_CHECK(inPath.IsChildOf(parent));
	QIRN_FUZZ_CHECK(inPath.IsSameOrChildOf(parent));
	QIRN_FUZZ_CHECK(!parent.IsChildOf(inPath));
	VFilePath up(inPath);
	QIRN_FUZZ_CHECK(up.ToParent());
	QIRN_FUZZ_CHECK(Same(up, parent));

	QIRN_FUZZ_CHECK(!name.IsEmpty() && !HasColon(name));
	VFilePath down(parent);
	QIRN_FUZZ_CHECK(inPath.IsFolder() ? down.ToSubFolder(name) : down.ToSubFile(name));
	QIRN_FUZZ_CHECK(Same(down, inPath));

	VFilePath renamed(inPath);
	QIRN_FUZZ_CHECK(renamed.SetName(name));
	QIRN_FUZZ_CHECK(Same(renamed, inPath));

	// Relative text below the parent, in both forms, rebuilds the path.
	VString relative;
	QIRN_FUZZ_CHECK(inPath.GetRelativePath(parent, relative));
	QIRN_FUZZ_CHECK(Same(VFilePath(parent, relative, FPS_SYSTEM), inPath));
	VString relativePosix;
	QIRN_FUZZ_CHECK(inPath.GetRelativePosixPath(parent, relativePosix));
	QIRN_FUZZ_CHECK(Same(VFilePath(parent, relativePosix, FPS_POSIX, true), inPath));

	// An extension set to itself changes nothing.
	VString extension;
	inPath.GetExtension(extension);
	if (!extension.IsEmpty()) {
		VFilePath same(inPath);
		QIRN_FUZZ_CHECK(same.SetExtension(extension));
		QIRN_FUZZ_CHECK(Same(same, inPath));
	}
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	fuzz::StFuzzInput input;
	const uint8_t mode = inData[0];
	const VString text = fuzz::TextFromBytes(inData + 1, inSize - 1, (mode & 1) != 0);
	const FilePathStyle style = (mode & 2) != 0 ? FPS_POSIX : FPS_SYSTEM;

	const VFilePath path(text, style);
	if (path.IsValid()) {
		QIRN_FUZZ_CHECK(!VFilePath::BadChar(text, style));
		CheckValidPath(path);
	} else {
		VString posix;
		path.GetPosixPath(posix);
		QIRN_FUZZ_CHECK(posix.IsEmpty());
		QIRN_FUZZ_CHECK(!path.HasParent() && path.GetDepth() == 0);
		QIRN_FUZZ_CHECK(!path.IsFolder() && !path.IsFile());
	}

	// The same text relative to a folder, absolute POSIX text refused.
	const VFilePath base(CVSTR("Root:base:folder:"), FPS_SYSTEM);
	const VFilePath relative(base, text, style, true);
	if (relative.IsValid())
		CheckValidPath(relative);

	// Resolving POSIX steps in text leaves nothing more to resolve.
	VString resolved = text;
	VFilePath::ResolveRelativePosix(resolved);
	VString twice = resolved;
	VFilePath::ResolveRelativePosix(twice);
	QIRN_FUZZ_CHECK(twice.EqualToStringRaw(resolved));

	// Renaming with the text: refused (and the path unchanged) when it is no
	// name.
	VFilePath renamed(CVSTR("Root:a:b.txt"), FPS_SYSTEM);
	const bool isName = !text.IsEmpty() && !HasColon(text);
	const bool renamedValid = renamed.SetName(text);
	if (isName)
		QIRN_FUZZ_CHECK(renamedValid);
	else
		QIRN_FUZZ_CHECK(renamed.GetPath().EqualToStringRaw(CVSTR("Root:a:b.txt")));
	return 0;
}
