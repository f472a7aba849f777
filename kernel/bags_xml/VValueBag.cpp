#include "bags_xml/VValueBag.h"

#include "bags_xml/IBaggable.h"
#include "bags_xml/JSONMarkerBagKeys.h"
#include "bags_xml/VBagArray.h"
#include "core/VBoolean.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VTextConverter_UTF8.h"
#include "core/VTime.h"
#include "core/VUUID.h"
#include "core/VWord.h"
#include "process/VProcess.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace qirn {

const VValueInfo_default<VValueBag, 200> VValueBag::sInfo;

const StBagKeyNoDefault JSONMarkerBagKeys::objectunic("____objectunic");
const StBagKeyNoDefault JSONMarkerBagKeys::property_name_in_jsarray("____property_name_in_jsarray");
const StBagKeyNoDefault JSONMarkerBagKeys::FakeArrayElement("____FakeArrayElement");

namespace {

const StPackedDictionaryKey sCDataKey("<>");

// The name of an element or attribute, decoded from its UTF-8 bytes.
void DecodeName(const char* inBytes, size_t inLength, VString& outName)
{
	outName.Clear();
	outName.FromBlock(inBytes, inLength, VTC_UTF_8);
}

// Reads an attribute through a value of the scalar kind asked for.
template <class Value, typename T>
bool GetScalar(const VValueBag& inBag, const StPackedDictionaryKey& inKey, T& outValue)
{
	Value value;
	if (!inBag.GetAttribute(inKey, value))
		return false;
	outValue = static_cast<T>(value.Get());
	return true;
}

} // namespace

VValueBag::VValueBag(const VValueBag& inOther)
	: VValue(inOther), IRefCountable(inOther), fAttributes(inOther.fAttributes)
{
	_CopyElementsFrom(inOther);
}

VValueBag::~VValueBag()
{
	delete fElements;
}

const VValueInfo* VValueBag::GetValueInfo() const
{
	return &sInfo;
}

VValueBag* VValueBag::Clone() const
{
	return new (std::nothrow) VValueBag(*this);
}

bool VValueBag::_CopyElementsFrom(const VValueBag& inOther)
{
	if (inOther.fElements == nullptr)
		return true;
	fElements = new (std::nothrow) Elements(*inOther.fElements);
	if (fElements == nullptr)
		return false;
	// The copied store shares the other bag's arrays: each gets a copy of
	// its own. A copy that fails leaves that name sharing, still counted.
	for (size_t index = 0; index < fElements->GetCount(); ++index) {
		VBagArray* shared = fElements->GetValueAt(index);
		if (shared == nullptr)
			continue;
		VBagArray* copy = new (std::nothrow) VBagArray(*shared);
		if (copy == nullptr)
			return false;
		fElements->SetValueAt(index, copy);
		copy->Release();
	}
	return true;
}

// ---------------------------------------------------------------------------
// Attributes

void VValueBag::SetAttribute(const StPackedDictionaryKey& inKey, const VValueSingle& inValue)
{
	if (!fAttributes.SetExistingValue(inKey, inValue))
		fAttributes.Append(inKey, inValue);
}

bool VValueBag::GetAttribute(const StPackedDictionaryKey& inKey, VValueSingle& outValue) const
{
	return fAttributes.GetValue(inKey, outValue);
}

bool VValueBag::AttributeExists(const StPackedDictionaryKey& inKey) const
{
	return fAttributes._Find(inKey) != fAttributes.End();
}

void VValueBag::RemoveAttribute(const StPackedDictionaryKey& inKey)
{
	fAttributes.Clear(inKey);
}

void VValueBag::SetBool(const StPackedDictionaryKey& inKey, bool inValue)
{
	SetAttribute(inKey, VBoolean(inValue));
}

void VValueBag::SetWord(const StPackedDictionaryKey& inKey, sWORD inValue)
{
	SetAttribute(inKey, VWord(inValue));
}

void VValueBag::SetLong(const StPackedDictionaryKey& inKey, sLONG inValue)
{
	SetAttribute(inKey, VLong(inValue));
}

void VValueBag::SetLong8(const StPackedDictionaryKey& inKey, sLONG8 inValue)
{
	SetAttribute(inKey, VLong8(inValue));
}

void VValueBag::SetReal(const StPackedDictionaryKey& inKey, Real inValue)
{
	SetAttribute(inKey, VReal(inValue));
}

void VValueBag::SetString(const StPackedDictionaryKey& inKey, const VString& inValue)
{
	SetAttribute(inKey, inValue);
}

void VValueBag::SetVUUID(const StPackedDictionaryKey& inKey, const VUUID& inValue)
{
	SetAttribute(inKey, inValue);
}

bool VValueBag::GetBool(const StPackedDictionaryKey& inKey, bool& outValue) const
{
	return GetScalar<VBoolean>(*this, inKey, outValue);
}

bool VValueBag::GetWord(const StPackedDictionaryKey& inKey, sWORD& outValue) const
{
	return GetScalar<VWord>(*this, inKey, outValue);
}

bool VValueBag::GetLong(const StPackedDictionaryKey& inKey, sLONG& outValue) const
{
	return GetScalar<VLong>(*this, inKey, outValue);
}

bool VValueBag::GetLong8(const StPackedDictionaryKey& inKey, sLONG8& outValue) const
{
	return GetScalar<VLong8>(*this, inKey, outValue);
}

bool VValueBag::GetReal(const StPackedDictionaryKey& inKey, Real& outValue) const
{
	return GetScalar<VReal>(*this, inKey, outValue);
}

bool VValueBag::GetString(const StPackedDictionaryKey& inKey, VString& outValue) const
{
	return GetAttribute(inKey, outValue);
}

bool VValueBag::GetVUUID(const StPackedDictionaryKey& inKey, VUUID& outValue) const
{
	return GetAttribute(inKey, outValue);
}

void VValueBag::SetTime(const StPackedDictionaryKey& inKey, const VTime& inValue)
{
	SetAttribute(inKey, inValue);
}

bool VValueBag::GetTime(const StPackedDictionaryKey& inKey, VTime& outValue) const
{
	return GetAttribute(inKey, outValue);
}

const StPackedDictionaryKey& VValueBag::CDataAttributeName()
{
	return sCDataKey;
}

void VValueBag::AppendToCData(const VString& inText)
{
	size_t index = fAttributes._Find(sCDataKey);
	if (index == fAttributes.End()) {
		SetAttribute(sCDataKey, inText);
		return;
	}
	VString text;
	fAttributes.GetValueAt(index, text);
	text.AppendString(inText);
	fAttributes.SetValueAt(index, text);
}

bool VValueBag::IsEmpty(bool inIgnoreMarkers) const
{
	if (GetElementNamesCount() > 0)
		return false;
	size_t count = fAttributes.GetCount();
	if (inIgnoreMarkers) {
		for (const StPackedDictionaryKey* marker : {&JSONMarkerBagKeys::objectunic, &JSONMarkerBagKeys::property_name_in_jsarray}) {
			if (AttributeExists(*marker))
				--count;
		}
	}
	return count == 0;
}

// ---------------------------------------------------------------------------
// Elements

VIndex VValueBag::GetElementNamesCount() const
{
	return fElements != nullptr ? static_cast<VIndex>(fElements->GetCount()) : 0;
}

VBagArray* VValueBag::GetNthElementName(VIndex inIndex, VString* outName) const
{
	if (inIndex < 1 || inIndex > GetElementNamesCount()) {
		if (outName != nullptr)
			outName->Clear();
		return nullptr;
	}
	size_t index = static_cast<size_t>(inIndex - 1);
	if (outName != nullptr)
		DecodeName(fElements->GetKeyBytesAt(index), fElements->GetKeyLengthAt(index), *outName);
	return fElements->GetValueAt(index);
}

VBagArray* VValueBag::GetElements(const StPackedDictionaryKey& inKey) const
{
	return fElements != nullptr ? fElements->GetValue(inKey) : nullptr;
}

VValueBag::Elements* VValueBag::_GetOrCreateElements()
{
	if (fElements == nullptr)
		fElements = new (std::nothrow) Elements;
	return fElements;
}

void VValueBag::SetElements(const StPackedDictionaryKey& inKey, VBagArray* inArray)
{
	if (Elements* elements = _GetOrCreateElements())
		elements->SetValue(inKey, inArray);
}

void VValueBag::AddElement(const StPackedDictionaryKey& inKey, VValueBag* inBag)
{
	if (inBag == nullptr)
		return;
	if (VBagArray* array = GetElements(inKey)) {
		array->AddTail(inBag);
		return;
	}
	VBagArray* array = new (std::nothrow) VBagArray;
	if (array == nullptr)
		return;
	if (array->AddTail(inBag))
		SetElements(inKey, array);
	array->Release();
}

VError VValueBag::AddElement(const IBaggable* inObject)
{
	if (inObject == nullptr)
		return VE_OK;
	VValueBag* bag = new (std::nothrow) VValueBag;
	if (bag == nullptr)
		return VE_MEMORY_FULL;
	VStr<31> kind;
	VError err = inObject->SaveToBag(*bag, kind);
	if (err == VE_OK)
		AddElement(StPackedDictionaryKey(kind), bag);
	bag->Release();
	return err;
}

void VValueBag::RemoveElements(const StPackedDictionaryKey& inKey)
{
	if (fElements != nullptr)
		fElements->Clear(inKey);
}

bool VValueBag::ReplaceElement(const StPackedDictionaryKey& inKey, VValueBag* inBag)
{
	if (inBag == nullptr) {
		RemoveElements(inKey);
		return false;
	}
	VBagArray* array = GetElements(inKey);
	if (array == nullptr) {
		AddElement(inKey, inBag);
		return true;
	}
	if (array->GetCount() == 1 && array->GetNth(1) == inBag)
		return false;
	// The bag may be one of those about to be released: it is held while
	// the array is emptied.
	inBag->Retain();
	array->Destroy();
	array->AddTail(inBag);
	inBag->Release();
	return true;
}

VValueBag* VValueBag::GetUniqueElementAnyKind(VString& outName) const
{
	if (GetElementNamesCount() == 1) {
		VBagArray* array = fElements->GetValueAt(0);
		if (array != nullptr && array->GetCount() == 1) {
			DecodeName(fElements->GetKeyBytesAt(0), fElements->GetKeyLengthAt(0), outName);
			return array->GetNth(1);
		}
	}
	outName.Clear();
	return nullptr;
}

VValueBag* VValueBag::RetainUniqueElementWithAttribute(const StPackedDictionaryKey& inElementName,
													  const StPackedDictionaryKey& inAttributeName,
													  const VValueSingle& inValue) const
{
	VBagArray* array = GetElements(inElementName);
	if (array == nullptr)
		return nullptr;
	std::unique_ptr<VValueSingle> probe(inValue.Clone());
	if (probe == nullptr)
		return nullptr;
	VValueBag* match = nullptr;
	for (VIndex i = 1; i <= array->GetCount(); ++i) {
		VValueBag* bag = array->GetNth(i);
		if (!bag->GetAttribute(inAttributeName, *probe))
			probe->Clear();
		if (probe->EqualTo(inValue)) {
			if (match != nullptr)
				return nullptr;
			match = bag;
		}
	}
	return RetainRefCountable(match);
}

void VValueBag::Destroy()
{
	fAttributes.RemoveAll();
	delete fElements;
	fElements = nullptr;
}

// ---------------------------------------------------------------------------
// Paths

void VValueBag::GetKeysFromPath(const VString& inPath, std::vector<StPackedDictionaryKey>& outKeys)
{
	const UniChar* units = inPath.GetCPointer();
	VIndex length = inPath.GetLength();
	VIndex start = 0;
	while (start < length) {
		VIndex end = start;
		while (end < length && units[end] != u'/')
			++end;
		// A piece that does not convert stays as a key that finds nothing,
		// so that a path never skips a step.
		outKeys.emplace_back(VString(units + start, end - start));
		start = end + 1;
	}
}

void VValueBag::GetKeysFromUTF8PathNoCopy(const char* inPath, std::vector<StPackedDictionaryKey>& outKeys)
{
	if (inPath == nullptr)
		return;
	const char* start = inPath;
	while (*start != 0) {
		const char* end = std::strchr(start, '/');
		size_t length = end != nullptr ? static_cast<size_t>(end - start) : std::strlen(start);
		outKeys.push_back(StPackedDictionaryKey::NoCopy(start, length));
		if (end == nullptr)
			break;
		start = end + 1;
	}
}

VValueBag* VValueBag::GetUniqueElementByPath(const std::vector<StPackedDictionaryKey>& inKeys) const
{
	const VValueBag* bag = this;
	for (const StPackedDictionaryKey& key : inKeys) {
		VBagArray* array = bag->GetElements(key);
		if (array == nullptr || array->GetCount() == 0)
			return nullptr;
		bag = array->GetNth(1);
	}
	return const_cast<VValueBag*>(bag);
}

VValueBag* VValueBag::GetUniqueElementByPath(const VString& inPath) const
{
	std::vector<StPackedDictionaryKey> keys;
	GetKeysFromPath(inPath, keys);
	return GetUniqueElementByPath(keys);
}

VValueBag* VValueBag::GetElementByPathAndCreateIfDontExists(const std::vector<StPackedDictionaryKey>& inKeys)
{
	VValueBag* bag = this;
	for (const StPackedDictionaryKey& key : inKeys) {
		VBagArray* array = bag->GetElements(key);
		if (array != nullptr && array->GetCount() > 0) {
			bag = array->GetNth(1);
			continue;
		}
		if (!key.IsUsable())
			return nullptr;
		VValueBag* child = new (std::nothrow) VValueBag;
		if (child == nullptr)
			return nullptr;
		bag->ReplaceElement(key, child);
		child->Release();
		if (bag->GetElements(key) == nullptr)
			return nullptr;
		bag = child;
	}
	return bag;
}

bool VValueBag::ReplaceElementByPath(const std::vector<StPackedDictionaryKey>& inKeys, VValueBag* inBag)
{
	if (inKeys.empty())
		return false;
	if (inKeys.size() == 1)
		return ReplaceElement(inKeys[0], inBag);
	std::vector<StPackedDictionaryKey> parentKeys(inKeys.begin(), inKeys.end() - 1);
	if (inBag != nullptr) {
		VValueBag* parent = GetElementByPathAndCreateIfDontExists(parentKeys);
		return parent != nullptr && parent->ReplaceElement(inKeys.back(), inBag);
	}
	if (VValueBag* parent = GetUniqueElementByPath(parentKeys))
		parent->RemoveElements(inKeys.back());
	return true;
}

// ---------------------------------------------------------------------------
// Merges

bool VValueBag::_SetAttributesFrom(const VValueBag& inOther)
{
	const Attributes& attributes = inOther.fAttributes;
	for (size_t index = 0; index < attributes.GetCount(); ++index) {
		std::unique_ptr<VValueSingle> value(attributes.NewValueAt(index));
		if (value == nullptr)
			return false;
		SetAttribute(attributes.GetKeyAt(index), *value);
	}
	return true;
}

bool VValueBag::_AddClonesOf(const StPackedDictionaryKey& inKey, const VBagArray* inArray)
{
	for (VIndex i = 1; i <= inArray->GetCount(); ++i) {
		VValueBag* clone = inArray->GetNth(i)->Clone();
		if (clone == nullptr)
			return false;
		AddElement(inKey, clone);
		clone->Release();
	}
	return true;
}

bool VValueBag::UnionClone(const VValueBag* inOther)
{
	if (inOther == nullptr)
		return true;
	if (!_SetAttributesFrom(*inOther))
		return false;
	for (VIndex i = 1; i <= inOther->GetElementNamesCount(); ++i) {
		VBagArray* array = inOther->fElements->GetValueAt(static_cast<size_t>(i - 1));
		if (array != nullptr && !_AddClonesOf(inOther->fElements->GetKeyAt(static_cast<size_t>(i - 1)), array))
			return false;
	}
	return true;
}

bool VValueBag::Override(const VValueBag* inOther)
{
	if (inOther == nullptr)
		return true;
	if (!_SetAttributesFrom(*inOther))
		return false;
	for (VIndex i = 1; i <= inOther->GetElementNamesCount(); ++i) {
		size_t index = static_cast<size_t>(i - 1);
		VBagArray* theirs = inOther->fElements->GetValueAt(index);
		if (theirs == nullptr)
			continue;
		StPackedDictionaryKey key = inOther->fElements->GetKeyAt(index);
		VBagArray* ours = GetElements(key);
		if (ours != nullptr && ours->GetCount() == 1 && theirs->GetCount() == 1) {
			if (!ours->GetNth(1)->Override(theirs->GetNth(1)))
				return false;
		} else if (!_AddClonesOf(key, theirs)) {
			return false;
		}
	}
	return true;
}

// ---------------------------------------------------------------------------
// Sorting

const StBagElementsOrdering* VValueBag::_FindOrdering(const char* inName, size_t inLength,
													  const StBagElementsOrdering* inOrderings)
{
	for (const StBagElementsOrdering* entry = inOrderings; entry->fName != nullptr; ++entry) {
		if (entry->fName->Equal(inName, inLength))
			return entry;
	}
	return nullptr;
}

void VValueBag::SortElements(const StPackedDictionaryKey& inKey, const StBagElementsOrdering* inOrderings)
{
	if (inOrderings == nullptr || fElements == nullptr)
		return;
	if (const StBagElementsOrdering* entry = _FindOrdering(inKey.GetKey(), inKey.GetKeyLength(), inOrderings))
		_SortElements(entry, inOrderings);
}

void VValueBag::_SortElements(const StBagElementsOrdering* inEntry, const StBagElementsOrdering* inOrderings)
{
	if (fElements == nullptr)
		return;
	size_t count = fElements->GetCount();
	if (count >= 2) {
		std::vector<int> positions(count, 0);
		for (size_t index = 0; index < count; ++index) {
			const char* name = fElements->GetKeyBytesAt(index);
			size_t length = fElements->GetKeyLengthAt(index);
			for (int child = 0; child < 10 && inEntry->fChildren[child] != nullptr; ++child) {
				if (inEntry->fChildren[child]->Equal(name, length)) {
					positions[index] = child + 1;
					break;
				}
			}
		}
		bool outOfOrder = false;
		for (size_t index = 1; index < count; ++index) {
			if (positions[index] >= 1 && positions[index - 1] > positions[index])
				outOfOrder = true;
		}
		if (outOfOrder) {
			std::vector<size_t> order(count);
			for (size_t index = 0; index < count; ++index)
				order[index] = index;
			std::stable_sort(order.begin(), order.end(),
							 [&](size_t a, size_t b) { return positions[a] < positions[b]; });
			fElements->_Reorder(order);
		}
	}
	for (size_t index = 0; index < fElements->GetCount(); ++index) {
		const StBagElementsOrdering* entry =
			_FindOrdering(fElements->GetKeyBytesAt(index), fElements->GetKeyLengthAt(index), inOrderings);
		VBagArray* array = fElements->GetValueAt(index);
		if (entry == nullptr || array == nullptr)
			continue;
		for (VIndex i = 1; i <= array->GetCount(); ++i) {
			VValueBag* child = array->GetNth(i);
			if (child->GetElementNamesCount() > 0)
				child->_SortElements(entry, inOrderings);
		}
	}
}

// ---------------------------------------------------------------------------
// Dump

CharSet VValueBag::DebugDump(char* ioBuffer, int32& ioSize) const
{
	if (VProcess::sInstance == nullptr || ioBuffer == nullptr || ioSize <= 0) {
		ioSize = 0;
		return VTC_UTF_16;
	}
	VString dump;
	VString name;
	for (size_t index = 0; index < fAttributes.GetCount(); ++index) {
		DecodeName(fAttributes.GetKeyBytesAt(index), fAttributes.GetKeyLengthAt(index), name);
		std::unique_ptr<VValueSingle> value(fAttributes.NewValueAt(index));
		VString text;
		if (value != nullptr)
			value->GetString(text);
		dump.AppendPrintf("%S = %S\n", &name, &text);
	}
	for (VIndex i = 1; i <= GetElementNamesCount(); ++i) {
		VBagArray* array = GetNthElementName(i, &name);
		VIndex bags = array != nullptr ? array->GetCount() : 0;
		dump.AppendPrintf("=======\n%d %S :\n", static_cast<int>(bags), &name);
		for (VIndex b = 1; b <= bags; ++b)
			dump.AppendPrintf("--\n%V", array->GetNth(b));
	}
	if (dump.GetLength() > ioSize / 2)
		dump.Truncate(ioSize / 2);
	ioSize = static_cast<int32>(dump.ToBlock(ioBuffer, static_cast<VSize>(ioSize), VTC_UTF_16, false, false));
	return VTC_UTF_16;
}

} // namespace qirn
