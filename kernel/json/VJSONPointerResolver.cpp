#include "json/VJSONPointerResolver.h"

#include "files/IFile.h"
#include "files/IFolder.h"
#include "files/VFileSystemNamespace.h"
#include "files/VURL.h"
#include "json/VJSONArray.h"
#include "json/VJSONFileCache.h"
#include "json/VJSONImporter.h"
#include "json/VJSONNesting.h"
#include "json/VJSONObject.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTaskMgr.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace qirn {

const VString VJSONPointerResolver::sRefPropertyName("$ref");

namespace {

const VString kPointerURI("pointerURI");
const VString kReferredPath("referredPath");
const VString kEmpty;

// Namespace lookups: hidden file systems skipped, parent namespaces searched.
constexpr uint32 kLookupOptions = VFileSystemNamespace::kSkipHidden | VFileSystemNamespace::kSearchParents;

// A chain of references, or a pointer walked through references, goes one
// call deeper per reference: the same limits as nested JSON text.
bool StackExhausted(size_t inDepth)
{
	if (inDepth >= kJSONMaxDepth)
		return true;
	VTaskMgr* manager = VTaskMgr::Get();
	return manager != nullptr && manager->GetCurrentFreeStackSize() < kJSONMinFreeStack;
}

bool IsSpace(UniChar inChar)
{
	return inChar == u' ' || inChar == u'\t' || inChar == u'\r' || inChar == u'\n';
}

// Whether the text begins with the ASCII prefix, whatever the case: URL
// schemes are not case-sensitive, "HTTP:" is refused as "http:" is.
bool BeginsWithScheme(const VString& inText, const char* inScheme)
{
	const UniChar* units = inText.GetCPointer();
	VIndex length = inText.GetLength();
	VIndex i = 0;
	for (; inScheme[i] != 0; ++i) {
		if (i >= length)
			return false;
		UniChar c = units[i];
		if (c >= u'A' && c <= u'Z')
			c = static_cast<UniChar>(c - u'A' + u'a');
		if (c != static_cast<UniChar>(inScheme[i]))
			return false;
	}
	return true;
}

void DecodeIfEscaped(VString& ioText)
{
	if (ioText.FindUniChar(u'%') > 0)
		VURL::Decode(ioText);
}

// The properties in their order, read at once under the object's lock.
std::vector<std::pair<VString, VJSONValue>> OrderedProperties(const VJSONObject* inObject)
{
	VJSONObject::PropertyMap map = inObject->GetInternalProperties();
	std::vector<std::pair<VString, VJSONValue>> ordered(map.size());
	for (auto& entry : map) {
		size_t index = static_cast<size_t>(entry.second.second);
		if (index < ordered.size())
			ordered[index] = {entry.first, entry.second.first};
	}
	return ordered;
}

} // namespace

// What one top-level call shares with the calls it makes, whichever
// document they work in.
struct VJSONPointerResolver::Context {
	explicit Context(VJSONPointerResolver* inOwner) : fOwner(inOwner) {}

	// Where every error is recorded: the resolver the caller holds, not the
	// resolvers made for other documents on the way.
	VJSONPointerResolver* fOwner;
	// The reference objects being followed, outermost first.
	std::vector<const VJSONObject*> fStack;
	// Containers the recursive walk has entered (shared and cyclic trees are
	// walked once).
	std::unordered_set<const void*> fWalked;
	// Resolved values still to walk, each in the resolver of its document.
	std::vector<std::pair<VRefPtr<VJSONPointerResolver>, VJSONValue>> fPending;
	// The files looked at, in order, and one resolver per document loaded.
	std::vector<VRefPtr<IFile>> fFiles;
	std::unordered_map<VString, VRefPtr<VJSONPointerResolver>, VJSONNameHash, VJSONNameEqual> fDocuments;
	// Documents that failed to load, with the error each gave.
	std::unordered_map<VString, VError, VJSONNameHash, VJSONNameEqual> fFailedDocuments;
	bool fMerge = false;
	bool fDeep = false;
	// The URI being resolved, for errors met while walking its pointer.
	VString fPointer;
};

VJSONPointerResolver::VJSONPointerResolver(const VJSONValue& inRoot, IFolder* inBaseFolder,
										   VFileSystemNamespace* inNamespace, VJSONFileCache* inCache)
: fRoot(inRoot),
  fBaseFolder(RetainRefCountable(inBaseFolder)),
  fNamespace(RetainRefCountable(inNamespace)),
  fCache(inCache != nullptr ? RetainRefCountable(inCache) : new VJSONFileCache())
{
}

VJSONPointerResolver::~VJSONPointerResolver()
{
	ReleaseRefCountable(&fErrors);
	ReleaseRefCountable(&fCache);
	ReleaseRefCountable(&fNamespace);
	ReleaseRefCountable(&fBaseFolder);
}

bool VJSONPointerResolver::ResolveOnePointer(VJSONObject* inRefObject, bool inDeep, VJSONValue& outValue)
{
	outValue.SetUndefined();
	if (inRefObject == nullptr)
		return false;
	Context context(this);
	context.fDeep = inDeep;
	VJSONValue value(inRefObject);
	if (Resolve(context, value, nullptr) != Outcome::kResolved)
		return false;
	outValue = std::move(value);
	return true;
}

bool VJSONPointerResolver::ResolveRecursively(VJSONValue& ioValue, bool inMerge, std::vector<VRefPtr<IFile>>* outFiles)
{
	const size_t errorsBefore = fErrors != nullptr ? fErrors->GetCount() : 0;
	Context context(this);
	context.fMerge = inMerge;
	context.fDeep = true;
	{
		// What the walk raises (a container shared with another task and
		// locked, say) stays here; the first such error is recorded below.
		StErrorContextInstaller errors(false, true);
		_ResolveRecursively(context, ioValue, 0);
		// Each resolved value is walked in its own document, so that the
		// references it holds are read relative to that document.
		for (size_t i = 0; i < context.fPending.size(); ++i) {
			VRefPtr<VJSONPointerResolver> resolver = context.fPending[i].first;
			VJSONValue value = context.fPending[i].second;
			resolver->_ResolveRecursively(context, value, 0);
		}
		VErrorBase* left = errors.GetContext()->GetLast();
		if (left != nullptr && (fErrors == nullptr || fErrors->GetCount() == 0))
			_RecordError(*left, kEmpty, kEmpty, kEmpty, kEmpty);
	}
	if (outFiles != nullptr)
		outFiles->insert(outFiles->end(), context.fFiles.begin(), context.fFiles.end());
	return (fErrors != nullptr ? fErrors->GetCount() : 0) == errorsBefore;
}

bool VJSONPointerResolver::_ResolveRecursively(Context& ioContext, VJSONValue& ioValue, uint32 inDepth)
{
	VRefPtr<VJSONPointerResolver> target;
	switch (Resolve(ioContext, ioValue, &target)) {
		case Outcome::kResolved:
			ioContext.fPending.emplace_back(std::move(target), ioValue);
			return true;
		case Outcome::kNotObject:
		case Outcome::kFailed:
		case Outcome::kCircular:
			// A failed reference stays as it is, its error recorded.
			return false;
		case Outcome::kArray:
		case Outcome::kNotReference:
			break;
	}
	const void* container = ioValue.IsArray() ? static_cast<const void*>(ioValue.GetArray())
											  : static_cast<const void*>(ioValue.GetObject());
	if (!ioContext.fWalked.insert(container).second)
		return false;
	if (StackExhausted(inDepth)) {
		VRefPtr<VErrorBase> error = VRefPtr<VErrorBase>::Adopt(new VErrorBase(VE_STACK_OVERFLOW));
		ioContext.fOwner->_RecordError(*error, kEmpty, kEmpty, kEmpty, kEmpty);
		return false;
	}
	if (VJSONArray* array = ioValue.GetArray(); array != nullptr) {
		VRefPtr<VJSONArray> keep(array);
		const size_t count = array->GetCount();
		for (size_t i = 0; i < count; ++i) {
			VJSONValue element;
			if (array->GetAt(i, element) && _ResolveRecursively(ioContext, element, inDepth + 1))
				array->SetAt(i, element);
		}
	} else {
		VRefPtr<VJSONObject> object(ioValue.GetObject());
		for (auto& [name, value] : OrderedProperties(object.Get())) {
			if (_ResolveRecursively(ioContext, value, inDepth + 1) && !value.IsUndefined())
				object->SetProperty(name, value);
		}
	}
	return false;
}

VJSONPointerResolver::Outcome VJSONPointerResolver::Resolve(Context& ioContext, VJSONValue& ioValue,
															VRefPtr<VJSONPointerResolver>* outResolver)
{
	VJSONObject* object = ioValue.GetObject();
	if (object == nullptr)
		return ioValue.IsArray() ? Outcome::kArray : Outcome::kNotObject;
	if (std::find(ioContext.fStack.begin(), ioContext.fStack.end(), object) != ioContext.fStack.end())
		return Outcome::kCircular;
	const VJSONValue ref = object->GetOwnProperty(sRefPropertyName);
	if (!ref.IsString())
		return Outcome::kNotReference;
	VString uri;
	ref.GetString(uri);
	if (StackExhausted(ioContext.fStack.size())) {
		_ThrowURIError(ioContext, VE_STACK_OVERFLOW, uri);
		return Outcome::kFailed;
	}

	// The value keeps the object alive until it is replaced.
	ioContext.fStack.push_back(object);
	VJSONValue target;
	VRefPtr<VJSONPointerResolver> document;
	bool resolved = ResolvePointerURI(ioContext, uri, target, document);
	if (resolved) {
		// A reference to a reference is followed, in the document that holds
		// the second one, until a value that is no reference.
		VRefPtr<VJSONPointerResolver> next;
		switch (document->Resolve(ioContext, target, &next)) {
			case Outcome::kResolved:
				document = std::move(next);
				break;
			case Outcome::kCircular:
				_ThrowURIError(ioContext, VE_JSON_POINTER_CIRCULAR, uri);
				resolved = false;
				break;
			case Outcome::kFailed:
				resolved = false;
				break;
			default:
				break;
		}
	}
	ioContext.fStack.pop_back();
	if (!resolved)
		return Outcome::kFailed;
	if (ioContext.fMerge)
		target = PatchPointerValue(object, target);
	ioValue = std::move(target);
	if (outResolver != nullptr)
		*outResolver = std::move(document);
	return Outcome::kResolved;
}

bool VJSONPointerResolver::ResolvePointerURI(Context& ioContext, const VString& inURI, VJSONValue& outValue,
											 VRefPtr<VJSONPointerResolver>& outResolver)
{
	VString path;
	VString fragment;
	const VIndex hash = inURI.FindUniChar(u'#');
	if (hash > 0) {
		inURI.GetSubString(1, hash - 1, path);
		inURI.GetSubString(hash + 1, inURI.GetLength() - hash, fragment);
	} else {
		path = inURI;
	}
	DecodeIfEscaped(path);
	DecodeIfEscaped(fragment);
	{
		const UniChar* units = path.GetCPointer();
		VIndex start = 0;
		VIndex end = path.GetLength();
		while (start < end && IsSpace(units[start]))
			++start;
		while (end > start && IsSpace(units[end - 1]))
			--end;
		if (start > 0 || end < path.GetLength())
			path = VString(units + start, end - start);
	}
	// Only documents on disk are read: no URL is ever opened.
	if (BeginsWithScheme(path, "http:") || BeginsWithScheme(path, "https:") || BeginsWithScheme(path, "file:")) {
		_ThrowURIError(ioContext, VE_JSON_POINTER_UNSUPPORTED, inURI);
		return false;
	}
	if (!LoadDocument(ioContext, inURI, path, outResolver))
		return false;
	VString saved(std::move(ioContext.fPointer));
	ioContext.fPointer = inURI;
	const bool resolved = ResolvePointerString(ioContext, fragment, outValue, outResolver);
	ioContext.fPointer = std::move(saved);
	return resolved;
}

bool VJSONPointerResolver::LoadDocument(Context& ioContext, const VString& inURI, const VString& inPath,
										VRefPtr<VJSONPointerResolver>& outResolver)
{
	if (inPath.IsEmpty()) {
		outResolver = VRefPtr<VJSONPointerResolver>(this);
		return true;
	}
	// Relative texts need the base folder, "/" texts the namespace: without
	// them the lookup gives nothing, never a file of the current folder.
	VRefPtr<IFile> file =
		VRefPtr<IFile>::Adopt(VFileSystemNamespace::RetainFile(fNamespace, inPath, fBaseFolder, kLookupOptions, false));
	if (!file) {
		_ThrowError(ioContext, VE_JSON_POINTER_DOCUMENT_NOT_FOUND, inURI, kPointerURI, inPath, kReferredPath);
		return false;
	}
	VString filePath;
	file->GetPath().GetPosixPath(filePath);
	if (auto found = ioContext.fDocuments.find(filePath); found != ioContext.fDocuments.end()) {
		outResolver = found->second;
		return true;
	}
	if (auto failed = ioContext.fFailedDocuments.find(filePath); failed != ioContext.fFailedDocuments.end()) {
		_ThrowError(ioContext, failed->second, inURI, kPointerURI, filePath, kReferredPath);
		return false;
	}
	ioContext.fFiles.push_back(file);

	VJSONValue document = fCache->GetValue(file->GetPath());
	if (document.IsUndefined()) {
		VError error = VE_OK;
		if (!file->Exists()) {
			error = VE_JSON_POINTER_DOCUMENT_NOT_FOUND;
		} else {
			// The parser's own errors are not the caller's: the reference's
			// error says which document failed.
			StErrorContextInstaller parserErrors(false, true);
			if (VJSONImporter::ParseFile(file.Get(), document,
										 VJSONImporter::kOption_Strict | VJSONImporter::kOption_UndefinedOnFailure) !=
					VE_OK ||
				document.IsUndefined())
				error = VE_JSON_POINTER_DOCUMENT_UNREADABLE;
		}
		if (error != VE_OK) {
			ioContext.fFailedDocuments.emplace(filePath, error);
			_ThrowError(ioContext, error, inURI, kPointerURI, filePath, kReferredPath);
			return false;
		}
		fCache->SetValue(file->GetPath(), document);
	}
	VRefPtr<IFolder> folder = VRefPtr<IFolder>::Adopt(file->RetainParentFolder(false));
	outResolver = VRefPtr<VJSONPointerResolver>::Adopt(new VJSONPointerResolver(document, folder.Get(), fNamespace, fCache));
	ioContext.fDocuments.emplace(filePath, outResolver);
	return true;
}

bool VJSONPointerResolver::ResolvePointerString(Context& ioContext, const VString& inFragment, VJSONValue& outValue,
												VRefPtr<VJSONPointerResolver>& ioResolver)
{
	VJSONValue value = ioResolver->fRoot;
	if (inFragment.IsEmpty()) {
		outValue = std::move(value);
		return true;
	}
	const UniChar* units = inFragment.GetCPointer();
	const VIndex length = inFragment.GetLength();
	if (units[0] != u'/') {
		_ThrowURIError(ioContext, VE_JSON_POINTER_MALFORMED, ioContext.fPointer);
		return false;
	}
	VString part;
	VIndex start = 1;
	while (true) {
		VIndex end = start;
		while (end < length && units[end] != u'/')
			++end;
		UnescapePart(units + start, end - start, part);
		if (!ResolveOnePart(ioContext, value, part, ioResolver))
			return false;
		if (end >= length)
			break;
		start = end + 1;
	}
	outValue = std::move(value);
	return true;
}

void VJSONPointerResolver::UnescapePart(const UniChar* inUnits, VIndex inLength, VString& outPart)
{
	outPart.Clear();
	VIndex runStart = 0;
	for (VIndex i = 0; i + 1 < inLength; ++i) {
		if (inUnits[i] != u'~' || (inUnits[i + 1] != u'0' && inUnits[i + 1] != u'1'))
			continue;
		outPart.AppendUniChars(inUnits + runStart, i - runStart);
		outPart.AppendUniChar(inUnits[i + 1] == u'1' ? u'/' : u'~');
		runStart = ++i + 1;
	}
	outPart.AppendUniChars(inUnits + runStart, inLength - runStart);
}

bool VJSONPointerResolver::ResolveOnePart(Context& ioContext, VJSONValue& ioValue, const VString& inPart,
										  VRefPtr<VJSONPointerResolver>& ioResolver)
{
	if (ioContext.fDeep && ioValue.IsObject()) {
		// A reference met on the way is followed before the part applies.
		VRefPtr<VJSONPointerResolver> next;
		switch (ioResolver->Resolve(ioContext, ioValue, &next)) {
			case Outcome::kResolved:
				ioResolver = std::move(next);
				break;
			case Outcome::kCircular:
				_ThrowURIError(ioContext, VE_JSON_POINTER_CIRCULAR, ioContext.fPointer);
				return false;
			case Outcome::kFailed:
				return false;
			default:
				break;
		}
	}
	if (VJSONArray* array = ioValue.GetArray(); array != nullptr) {
		const UniChar* units = inPart.GetCPointer();
		const VIndex length = inPart.GetLength();
		if (length == 1 && units[0] == u'-') {
			_ThrowURIError(ioContext, VE_JSON_POINTER_UNSUPPORTED, ioContext.fPointer);
			return false;
		}
		if (length == 0 || (length > 1 && units[0] == u'0')) {
			_ThrowURIError(ioContext, VE_JSON_POINTER_MALFORMED, ioContext.fPointer);
			return false;
		}
		uint64 index = 0;
		bool tooLarge = false;
		for (VIndex i = 0; i < length; ++i) {
			if (units[i] < u'0' || units[i] > u'9') {
				_ThrowURIError(ioContext, VE_JSON_POINTER_MALFORMED, ioContext.fPointer);
				return false;
			}
			if (index > (UINT64_MAX - 9) / 10)
				tooLarge = true;
			else
				index = index * 10 + static_cast<uint64>(units[i] - u'0');
		}
		VJSONValue element;
		if (tooLarge || index >= array->GetCount() || !array->GetAt(static_cast<size_t>(index), element) ||
			element.IsUndefined()) {
			_ThrowURIError(ioContext, VE_JSON_POINTER_NOT_FOUND, ioContext.fPointer);
			return false;
		}
		ioValue = std::move(element);
		return true;
	}
	if (ioValue.IsObject()) {
		VJSONValue property = ioValue.GetProperty(inPart);
		if (property.IsUndefined()) {
			_ThrowURIError(ioContext, VE_JSON_POINTER_NOT_FOUND, ioContext.fPointer);
			return false;
		}
		ioValue = std::move(property);
		return true;
	}
	_ThrowURIError(ioContext, VE_JSON_POINTER_ON_SCALAR, ioContext.fPointer);
	return false;
}

VJSONValue VJSONPointerResolver::PatchPointerValue(const VJSONObject* inRefObject, const VJSONValue& inTarget) const
{
	const VJSONObject* target = inTarget.GetObject();
	if (target == nullptr || inRefObject->GetOwnPropertyCount() <= 1)
		return inTarget;
	VRefPtr<VJSONObject> merged = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	for (const auto& [name, value] : OrderedProperties(target))
		merged->SetProperty(name, value);
	for (const auto& [name, value] : OrderedProperties(inRefObject)) {
		if (!name.EqualToStringRaw(sRefPropertyName))
			merged->SetProperty(name, value);
	}
	return VJSONValue(merged.Get());
}

void VJSONPointerResolver::_ThrowURIError(Context& ioContext, VError inError, const VString& inURI)
{
	_ThrowError(ioContext, inError, inURI, kPointerURI, kEmpty, kEmpty);
}

void VJSONPointerResolver::_ThrowError(Context& ioContext, VError inError, const VString& inValue1,
									   const VString& inName1, const VString& inValue2, const VString& inName2)
{
	// Built to take its description, never raised: the records are the
	// resolver's answer, the task's error stack is left alone.
	VRefPtr<VErrorBase> error = VRefPtr<VErrorBase>::Adopt(new VErrorBase(inError));
	if (!inName1.IsEmpty())
		error->SetString(VString("p1"), inValue1);
	if (!inName2.IsEmpty())
		error->SetString(VString("p2"), inValue2);
	ioContext.fOwner->_RecordError(*error, inValue1, inName1, inValue2, inName2);
}

void VJSONPointerResolver::_RecordError(const VErrorBase& inError, const VString& inValue1, const VString& inName1,
										const VString& inValue2, const VString& inName2)
{
	const VError code = inError.GetError();
	const OsType signature = COMPONENT_FROM_VERROR(code);
	const UniChar component[4] = {static_cast<UniChar>((signature >> 24) & 0xFF),
								  static_cast<UniChar>((signature >> 16) & 0xFF),
								  static_cast<UniChar>((signature >> 8) & 0xFF), static_cast<UniChar>(signature & 0xFF)};
	VString message;
	inError.GetErrorDescription(message);

	VRefPtr<VJSONObject> record = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	record->SetProperty(VString("code"), VJSONValue(static_cast<double>(ERRCODE_FROM_VERROR(code))));
	record->SetProperty(VString("component"), VJSONValue(VString(component, 4)));
	record->SetProperty(VString("message"), VJSONValue(message));
	if (!inName1.IsEmpty())
		record->SetProperty(inName1, VJSONValue(inValue1));
	if (!inName2.IsEmpty())
		record->SetProperty(inName2, VJSONValue(inValue2));
	if (fErrors == nullptr)
		fErrors = new VJSONArray();
	fErrors->Push(VJSONValue(record.Get()));
}

} // namespace qirn
