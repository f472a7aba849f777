#pragma once

#include "bags_xml/StPackedDictionaryKey.h"
#include "bags_xml/VPackedDictionary.h"
#include "bags_xml/VPackedDictionary_with_backstore.h"
#include "core/IRefCountable.h"
#include "core/VValue.h"
#include "core/VValueInfo.h"

#include <vector>

namespace qirn {

class IBaggable;
class VBagArray;
class VJSONObject;
class VJSONValue;
class VString;
class VTime;
class VUUID;
class VValueBag;
class VStream;
class VValueSingle;

// A 'VBAG' stream of a version this kernel does not read.
constexpr VError VE_BAG_BAD_VERSION = MAKE_VERROR('qirn', 212);

// One entry of an element ordering: an element name and the names of its
// children in the order wanted (at most 10, the list ending at the first
// null). A table of entries ends with an entry whose name is null.
struct StBagElementsOrdering {
	const StPackedDictionaryKey* fName;
	const StPackedDictionaryKey* fChildren[10];
};

// The kernel's tree container: named scalar attributes, named ordered lists
// of child bags (elements) and a character-data text, kept as the attribute
// "<>". A bag is a value of kind 200 and is reference counted.
//
// No lock is taken, and even reads change the bag (cached conversions, the
// lazily built lookup map): a bag shared between tasks is guarded by its owner.
class VValueBag : public VValue, public IRefCountable {
public:
	using Attributes = VPackedDictionary_with_backstore<VPackedValue_VValueSingle>;
	using Elements = VPackedDictionary<VPackedValue_VBagArray>;

	VValueBag() = default;
	// A deep copy: attributes, and every element bag copied in turn.
	VValueBag(const VValueBag& inOther);
	VValueBag& operator=(const VValueBag&) = delete;
	~VValueBag() override;

	const VValueInfo* GetValueInfo() const override;
	VValueBag* Clone() const override;
	using VObject::DebugDump;
	CharSet DebugDump(char* ioBuffer, int32& ioSize) const override;

	static const VValueInfo_default<VValueBag, 200> sInfo;

	// Attributes. A setter replaces the value of the name or appends it; a
	// getter converts into the caller's kind and answers whether it exists.
	void SetAttribute(const StPackedDictionaryKey& inKey, const VValueSingle& inValue);
	bool GetAttribute(const StPackedDictionaryKey& inKey, VValueSingle& outValue) const;
	bool AttributeExists(const StPackedDictionaryKey& inKey) const;
	void RemoveAttribute(const StPackedDictionaryKey& inKey);
	VIndex GetAttributesCount() const { return static_cast<VIndex>(fAttributes.GetCount()); }
	const Attributes& GetAttributes() const { return fAttributes; }
	Attributes& GetAttributes() { return fAttributes; }

	void SetBool(const StPackedDictionaryKey& inKey, bool inValue);
	void SetWord(const StPackedDictionaryKey& inKey, sWORD inValue);
	void SetLong(const StPackedDictionaryKey& inKey, sLONG inValue);
	void SetLong8(const StPackedDictionaryKey& inKey, sLONG8 inValue);
	void SetReal(const StPackedDictionaryKey& inKey, Real inValue);
	void SetString(const StPackedDictionaryKey& inKey, const VString& inValue);
	void SetVUUID(const StPackedDictionaryKey& inKey, const VUUID& inValue);
	void SetTime(const StPackedDictionaryKey& inKey, const VTime& inValue);
	bool GetBool(const StPackedDictionaryKey& inKey, bool& outValue) const;
	bool GetWord(const StPackedDictionaryKey& inKey, sWORD& outValue) const;
	bool GetLong(const StPackedDictionaryKey& inKey, sLONG& outValue) const;
	bool GetLong8(const StPackedDictionaryKey& inKey, sLONG8& outValue) const;
	bool GetReal(const StPackedDictionaryKey& inKey, Real& outValue) const;
	bool GetString(const StPackedDictionaryKey& inKey, VString& outValue) const;
	bool GetVUUID(const StPackedDictionaryKey& inKey, VUUID& outValue) const;
	bool GetTime(const StPackedDictionaryKey& inKey, VTime& outValue) const;

	static const StPackedDictionaryKey& CDataAttributeName();
	void AppendToCData(const VString& inText);
	bool GetCData(VString& outText) const { return GetString(CDataAttributeName(), outText); }

	// With inIgnoreMarkers, the attributes that only mark a bag made from a
	// JSON object do not count.
	bool IsEmpty(bool inIgnoreMarkers = false) const;

	// Elements. Arrays and bags answered by the Get operations are not retained.
	VIndex GetElementNamesCount() const;
	VBagArray* GetNthElementName(VIndex inIndex, VString* outName) const;
	VBagArray* GetElements(const StPackedDictionaryKey& inKey) const;
	void SetElements(const StPackedDictionaryKey& inKey, VBagArray* inArray);
	void AddElement(const StPackedDictionaryKey& inKey, VValueBag* inBag);
	VError AddElement(const IBaggable* inObject);
	void RemoveElements(const StPackedDictionaryKey& inKey);
	bool ReplaceElement(const StPackedDictionaryKey& inKey, VValueBag* inBag);
	VValueBag* GetUniqueElementAnyKind(VString& outName) const;
	VValueBag* RetainUniqueElementWithAttribute(const StPackedDictionaryKey& inElementName,
											  const StPackedDictionaryKey& inAttributeName,
											  const VValueSingle& inValue) const;
	void Destroy();

	// Paths: element names separated by '/'; each step goes to the first
	// bag under the name.
	static void GetKeysFromPath(const VString& inPath, std::vector<StPackedDictionaryKey>& outKeys);
	// The keys point into inPath, which outlives them.
	static void GetKeysFromUTF8PathNoCopy(const char* inPath, std::vector<StPackedDictionaryKey>& outKeys);
	VValueBag* GetUniqueElementByPath(const std::vector<StPackedDictionaryKey>& inKeys) const;
	VValueBag* GetUniqueElementByPath(const VString& inPath) const;
	VValueBag* GetElementByPathAndCreateIfDontExists(const std::vector<StPackedDictionaryKey>& inKeys);
	bool ReplaceElementByPath(const std::vector<StPackedDictionaryKey>& inKeys, VValueBag* inBag);

	// Merges. False when a copy cannot be made.
	bool UnionClone(const VValueBag* inOther);
	bool Override(const VValueBag* inOther);

	void SortElements(const StPackedDictionaryKey& inKey, const StBagElementsOrdering* inOrderings);

	// The bag as a JSON object and back, member for member: attributes are
	// properties ("__CDATA" for the character data), an element made from an
	// object is an object, other elements arrays. Filling from a JSON value
	// adds to what the bag holds; anything but an object is malformed.
	VError FromJSONValue(const VJSONValue& inJSONValue) override;
	VError GetJSONValue(VJSONValue& outJSONValue, uint32 inOptions) const override;
	// A new object (one reference for the caller), or null with outError set.
	VJSONObject* BuildJSONObject(VError& outError) const;
	// The bag as JSON text, shaped by the markers: out is replaced. Option
	// 0x8 pretty prints (tabs and line feeds), 0x20 writes every element
	// holding one bag as an object. Bags nested deeper than the JSON
	// readers allow raise VE_STACK_OVERFLOW.
	VError GetJSONString(VString& outJSONString, uint32 inOptions) const override;
	// Adds the members of an object text (option 0x1000: dates read by the
	// non-ambiguous rule) to the bag; the first error ends the reading.
	VError FromJSONString(const VString& inJSONString, uint32 inOptions) override;

	// The bag as the element inElementName, appended: attributes in order,
	// then child elements each on a line (indented by level with inIndent),
	// then the character data, as plain text or CDATA sections.
	void DumpXML(VString& ioOut, const VString& inElementName, bool inIndent) const;
	// With an empty set (inBegin == inEnd): the text mixes tab, line feed or
	// carriage return with other characters than space. With a set: that,
	// or the text holds one of the set's characters.
	static bool NeedsEscapeSequence(const VString& inText, const UniChar* inBegin, const UniChar* inEnd);
	static void DumpXMLIndentation(VString& ioOut, VIndex inLevel);

	// The 'VBAG' stream: signature, version 1, a reserved word, the body.
	// Reading empties the bag first, and leaves it empty when it fails.
	VError WriteToStream(VStream* ioStream, sLONG inParam = 0) const override;
	VError ReadFromStream(VStream* ioStream, sLONG inParam = 0) override;
	// The body alone: flags, attribute store, element store and children.
	VError WriteToStreamMinimal(VStream* ioStream, bool inWithHashMap) const;
	VError ReadFromStreamMinimal(VStream* ioStream);
	// The body of the first stored bags: attribute names, then each value
	// with its kind; element names, then each array.
	VError _ReadFromStream_v1(VStream* ioStream);

private:
	void _DumpXML(VString& ioOut, const VString& inElementName, VIndex inLevel) const;
	VError _GetJSONString(VString& ioOut, sLONG& ioLevel, bool inPretty, uint32 inOptions) const;
	void DumpXMLAttributes(VString& ioOut, size_t inCDataIndex) const;
	bool DumpXMLCData(VString& ioOut, size_t inCDataIndex) const;
	bool _CopyElementsFrom(const VValueBag& inOther);
	bool _SetAttributesFrom(const VValueBag& inOther);
	bool _AddClonesOf(const StPackedDictionaryKey& inKey, const VBagArray* inArray);
	Elements* _GetOrCreateElements();
	void _SortElements(const StBagElementsOrdering* inEntry, const StBagElementsOrdering* inOrderings);
	static const StBagElementsOrdering* _FindOrdering(const char* inName, size_t inLength,
													  const StBagElementsOrdering* inOrderings);

	Attributes fAttributes;
	Elements* fElements = nullptr;
};

} // namespace qirn
