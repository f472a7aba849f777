#include "bags_xml/JSONMarkerBagKeys.h"
#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "core/VString.h"
#include "json/VJSONImporter.h"
#include "json/VJSONNesting.h"

#include <memory>

namespace qirn {

namespace {

constexpr uint32 kPrettyPrint = 0x8;
constexpr uint32 kOneBagAsObject = 0x20;
constexpr uint32 kNonAmbiguousDates = 0x1000;
// Values write their JSON text quoted where their kind needs it.
constexpr uint32 kValueJSONOptions = 0x201;

const VString kCDataMember("__CDATA");

void AppendJSONNewline(VString& ioOut, bool inPretty)
{
	if (inPretty)
		ioOut.AppendUniChar(u'\n');
}

void AjustJSONTab(VString& ioOut, sLONG inLevel, bool inPretty)
{
	if (inPretty)
		for (sLONG i = 0; i < inLevel; ++i)
			ioOut.AppendUniChar(u'\t');
}

void AppendBeginJSONObject(VString& ioOut, sLONG& ioLevel, bool inPretty)
{
	AppendJSONNewline(ioOut, inPretty);
	AjustJSONTab(ioOut, ioLevel, inPretty);
	ioOut.AppendUniChar(u'{');
	++ioLevel;
}

void AppendEndJSONObject(VString& ioOut, sLONG& ioLevel, bool inPretty)
{
	AppendJSONNewline(ioOut, inPretty);
	--ioLevel;
	AjustJSONTab(ioOut, ioLevel, inPretty);
	ioOut.AppendUniChar(u'}');
}

void AppendBeginJSONArray(VString& ioOut, sLONG& ioLevel, bool inPretty)
{
	AppendJSONNewline(ioOut, inPretty);
	AjustJSONTab(ioOut, ioLevel, inPretty);
	ioOut.AppendUniChar(u'[');
	++ioLevel;
}

void AppendEndJSONArray(VString& ioOut, sLONG& ioLevel, bool inPretty)
{
	AppendJSONNewline(ioOut, inPretty);
	--ioLevel;
	AjustJSONTab(ioOut, ioLevel, inPretty);
	ioOut.AppendUniChar(u']');
}

VError AppendJSONPropertyName(VString& ioOut, sLONG inLevel, bool inPretty, const VString& inName)
{
	AppendJSONNewline(ioOut, inPretty);
	AjustJSONTab(ioOut, inLevel, inPretty);
	if (VError error = inName.AppendJSONString(ioOut, 1); error != VE_OK)
		return error;
	ioOut.AppendCString(inPretty ? " : " : ":");
	return VE_OK;
}

// "null" for a missing or null value, else the value's JSON text.
VError AppendJSONValue(VString& ioOut, const VValueSingle* inValue)
{
	if (inValue == nullptr || inValue->IsNull()) {
		ioOut.AppendCString("null");
		return VE_OK;
	}
	if (const VString* text = dynamic_cast<const VString*>(inValue))
		return text->AppendJSONString(ioOut, kValueJSONOptions);
	VString text;
	if (VError error = inValue->GetJSONString(text, kValueJSONOptions); error != VE_OK)
		return error;
	ioOut.AppendString(text);
	return VE_OK;
}

} // namespace

VError VValueBag::GetJSONString(VString& outJSONString, uint32 inOptions) const
{
	VString text;
	sLONG level = 0;
	const VError error = _GetJSONString(text, level, (inOptions & kPrettyPrint) != 0, inOptions);
	outJSONString = std::move(text);
	return error;
}

VError VValueBag::_GetJSONString(VString& ioOut, sLONG& ioLevel, bool inPretty, uint32 inOptions) const
{
	const size_t fake = fAttributes._Find(JSONMarkerBagKeys::FakeArrayElement);
	if (fake != fAttributes.End()) {
		const std::unique_ptr<VValueSingle> value(fAttributes.NewValueAt(fake));
		return AppendJSONValue(ioOut, value.get());
	}
	if (VError error = CheckJSONNesting(static_cast<uint32>(ioLevel)); error != VE_OK)
		return error;
	AppendBeginJSONObject(ioOut, ioLevel, inPretty);
	bool first = true;
	VString name;
	const StPackedDictionaryKey& cdata = CDataAttributeName();
	for (size_t index = 0; index < fAttributes.GetCount(); ++index) {
		const char* bytes = fAttributes.GetKeyBytesAt(index);
		const size_t length = fAttributes.GetKeyLengthAt(index);
		if (JSONMarkerBagKeys::objectunic.Equal(bytes, length) ||
			JSONMarkerBagKeys::property_name_in_jsarray.Equal(bytes, length))
			continue;
		if (!first)
			ioOut.AppendUniChar(u',');
		first = false;
		if (cdata.Equal(bytes, length))
			name.FromString(kCDataMember);
		else
			name.FromBlock(bytes, length, VTC_UTF_8);
		if (VError error = AppendJSONPropertyName(ioOut, ioLevel, inPretty, name); error != VE_OK)
			return error;
		const std::unique_ptr<VValueSingle> value(fAttributes.NewValueAt(index));
		if (VError error = AppendJSONValue(ioOut, value.get()); error != VE_OK)
			return error;
	}
	for (VIndex nameIndex = 1; nameIndex <= GetElementNamesCount(); ++nameIndex) {
		const VBagArray* bags = GetNthElementName(nameIndex, &name);
		if (bags == nullptr)
			continue;
		if (!first)
			ioOut.AppendUniChar(u',');
		first = false;
		if (VError error = AppendJSONPropertyName(ioOut, ioLevel, inPretty, name); error != VE_OK)
			return error;
		if (bags->GetCount() == 1 && ((inOptions & kOneBagAsObject) != 0 ||
									  bags->GetNth(1)->AttributeExists(JSONMarkerBagKeys::objectunic))) {
			if (VError error = bags->GetNth(1)->_GetJSONString(ioOut, ioLevel, inPretty, inOptions); error != VE_OK)
				return error;
			continue;
		}
		AppendBeginJSONArray(ioOut, ioLevel, inPretty);
		for (VIndex bagIndex = 1; bagIndex <= bags->GetCount(); ++bagIndex) {
			if (bagIndex > 1)
				ioOut.AppendUniChar(u',');
			if (VError error = bags->GetNth(bagIndex)->_GetJSONString(ioOut, ioLevel, inPretty, inOptions);
				error != VE_OK)
				return error;
		}
		AppendEndJSONArray(ioOut, ioLevel, inPretty);
	}
	AppendEndJSONObject(ioOut, ioLevel, inPretty);
	return VE_OK;
}

VError VValueBag::FromJSONString(const VString& inJSONString, uint32 inOptions)
{
	VJSONImporter importer(inJSONString,
						   (inOptions & kNonAmbiguousDates) != 0 ? VJSONImporter::kOption_NonAmbiguousDates : 0);
	return importer.JSONObjectToBag(*this);
}

} // namespace qirn
