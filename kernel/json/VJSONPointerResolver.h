#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "json/VJSONValue.h"

#include <vector>

namespace qirn {

class IFile;
class IFolder;
class VErrorBase;
class VFileSystemNamespace;
class VJSONArray;
class VJSONFileCache;
class VJSONObject;

// Errors of references, recorded in the resolver's error list.
// A pointer part designates nothing (index out of range, missing property).
constexpr VError VE_JSON_POINTER_NOT_FOUND = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 906);
// A malformed fragment or array index.
constexpr VError VE_JSON_POINTER_MALFORMED = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 907);
// A reference that leads back to itself.
constexpr VError VE_JSON_POINTER_CIRCULAR = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 908);
// A refused scheme ("http:", "https:", "file:") or the array index "-".
constexpr VError VE_JSON_POINTER_UNSUPPORTED = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 909);
// A pointer part applied to a value that is neither object nor array.
constexpr VError VE_JSON_POINTER_ON_SCALAR = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 910);
constexpr VError VE_JSON_POINTER_DOCUMENT_UNREADABLE = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 912);
constexpr VError VE_JSON_POINTER_DOCUMENT_NOT_FOUND = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 913);

// Replaces reference objects, objects holding a "$ref" string, by what the
// reference designates: a JSON Pointer (RFC 6901, in a URI fragment) into
// the same document, or into another JSON document on disk found relative
// to the base folder or, for "/<file system>/..." texts, through the
// namespace. Documents read from disk are kept in the file cache.
//
// Failures never raise: each is recorded in the error list as an object
// {"code", "component", "message", "pointerURI"[, "referredPath"]}, and the
// reference that failed is left as it stands. A relative document path
// without base folder, or a "/" path without a namespace, designates no
// file: the process's current folder is never looked at. No network or
// "file:" URL is ever opened.
//
// A resolver is used by one task at a time; its cache may be shared.
class VJSONPointerResolver : public VObject, public IRefCountable {
public:
	static const VString sRefPropertyName;

	// The folder, namespace and cache are retained; a new empty cache is made
	// when none is given.
	VJSONPointerResolver(const VJSONValue& inRoot, IFolder* inBaseFolder, VFileSystemNamespace* inNamespace,
						 VJSONFileCache* inCache);

	// The value the reference object designates (references met on the way
	// resolved first with inDeep); true when resolved, else outValue is
	// undefined and, when the object was a reference, the error recorded.
	bool ResolveOnePointer(VJSONObject* inRefObject, bool inDeep, VJSONValue& outValue);
	// Resolves every reference inside the value, the value itself included,
	// and those inside what they designate, each relative to the document
	// that holds it. With inMerge, the reference object's other properties
	// override those of the object it designates, in a new object. outFiles,
	// when given, receives every file looked at (also those that do not
	// exist: a caller may watch them). True when nothing failed.
	bool ResolveRecursively(VJSONValue& ioValue, bool inMerge, std::vector<VRefPtr<IFile>>* outFiles);

	// The error records, oldest first; null until the first error.
	const VJSONArray* GetErrors() const { return fErrors; }
	VJSONFileCache* GetCache() const { return fCache; }
	const VJSONValue& GetRoot() const { return fRoot; }

	// The pointer part with its escapes undone: "~1" is "/", "~0" is "~".
	static void UnescapePart(const UniChar* inUnits, VIndex inLength, VString& outPart);

private:
	struct Context;
	enum class Outcome { kNotObject, kArray, kNotReference, kResolved, kFailed, kCircular };

	~VJSONPointerResolver() override;

	Outcome Resolve(Context& ioContext, VJSONValue& ioValue, VRefPtr<VJSONPointerResolver>* outResolver);
	bool ResolvePointerURI(Context& ioContext, const VString& inURI, VJSONValue& outValue,
						   VRefPtr<VJSONPointerResolver>& outResolver);
	bool LoadDocument(Context& ioContext, const VString& inURI, const VString& inPath,
					  VRefPtr<VJSONPointerResolver>& outResolver);
	// From the root of ioResolver's document; a reference followed on the
	// way leaves ioResolver on the document that held its target.
	bool ResolvePointerString(Context& ioContext, const VString& inFragment, VJSONValue& outValue,
							  VRefPtr<VJSONPointerResolver>& ioResolver);
	bool ResolveOnePart(Context& ioContext, VJSONValue& ioValue, const VString& inPart,
						VRefPtr<VJSONPointerResolver>& ioResolver);
	VJSONValue PatchPointerValue(const VJSONObject* inRefObject, const VJSONValue& inTarget) const;
	// True when the value itself was a reference and was replaced.
	bool _ResolveRecursively(Context& ioContext, VJSONValue& ioValue, uint32 inDepth);

	void _ThrowError(Context& ioContext, VError inError, const VString& inValue1, const VString& inName1,
					 const VString& inValue2, const VString& inName2);
	void _ThrowURIError(Context& ioContext, VError inError, const VString& inURI);
	void _RecordError(const VErrorBase& inError, const VString& inValue1, const VString& inName1,
					  const VString& inValue2, const VString& inName2);

	VJSONValue fRoot;
	IFolder* fBaseFolder;
	VFileSystemNamespace* fNamespace;
	VJSONFileCache* fCache;
	VJSONArray* fErrors = nullptr;
};

} // namespace qirn
