#include "bags_xml/JSONMarkerBagKeys.h"
#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "core/VBoolean.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "json/VJSONArray.h"
#include "json/VJSONErrors.h"
#include "json/VJSONObject.h"
#include "json/VJSONPropertyIterator.h"
#include "json/VJSONValue.h"
#include "runtime/VError.h"

#include <cmath>
#include <memory>
#include <new>
#include <set>

namespace qirn {

namespace {

const VString kCDataMember("__CDATA");

// Integral numbers come back as 64-bit integers, as they would from JSON
// text; the others, and those too large for 64 bits, as reals. Dates are
// times, read by the time's own JSON form.
std::unique_ptr<VValueSingle> NewScalarFromJSON(const VJSONValue& inValue)
{
	if (inValue.IsDate()) {
		auto time = std::make_unique<VTime>();
		time->FromJSONValue(inValue);
		return time;
	}
	if (inValue.IsBool())
		return std::make_unique<VBoolean>(inValue.GetBool());
	if (inValue.IsNumber()) {
		const double number = inValue.GetNumber();
		if (std::isfinite(number) && number == std::trunc(number) && number >= -9223372036854775808.0 &&
			number < 9223372036854775808.0)
			return std::make_unique<VLong8>(static_cast<sLONG8>(number));
		return std::make_unique<VReal>(number);
	}
	auto text = std::make_unique<VString>();
	if (inValue.IsNull() || inValue.IsUndefined())
		text->SetNull(true);
	else
		inValue.GetString(*text);
	return text;
}

void SetScalar(VValueBag& ioBag, const StPackedDictionaryKey& inKey, const VJSONValue& inValue)
{
	const std::unique_ptr<VValueSingle> value = NewScalarFromJSON(inValue);
	ioBag.SetAttribute(inKey, *value);
}

// Fills bags from an object tree, refusing a tree that holds itself.
class BagFromJSON {
public:
	VError Fill(VValueBag& ioBag, const VJSONObject* inObject)
	{
		if (!fVisited.insert(inObject).second)
			return _Fail(VE_JSON_CIRCULAR);
		for (VJSONPropertyConstOrderedIterator it(inObject, 0); it.IsValid(); ++it) {
			const VString& name = it.GetName();
			const VJSONValue value = it.GetValue();
			const StPackedDictionaryKey key(name);
			// A name the bag cannot hold (longer than a key allows) is left out:
			// it would otherwise stand for the empty name.
			if (!key.IsUsable())
				continue;
			VError error = VE_OK;
			if (value.IsObject())
				error = _AddObject(ioBag, key, value.GetObject(), true);
			else if (value.IsArray())
				error = _AddArray(ioBag, key, value.GetArray());
			else if (value.IsString() && name.EqualToStringRaw(kCDataMember))
				SetScalar(ioBag, VValueBag::CDataAttributeName(), value);
			else
				SetScalar(ioBag, key, value);
			if (error != VE_OK)
				return error;
		}
		fVisited.erase(inObject);
		return VE_OK;
	}

private:
	VError _AddObject(VValueBag& ioBag, const StPackedDictionaryKey& inKey, const VJSONObject* inObject, bool inMarked)
	{
		VRefPtr<VValueBag> child = VRefPtr<VValueBag>::Adopt(new (std::nothrow) VValueBag());
		if (child == nullptr)
			return _Fail(VE_MEMORY_FULL);
		if (inMarked)
			child->SetBool(JSONMarkerBagKeys::objectunic, true);
		if (VError error = Fill(*child, inObject); error != VE_OK)
			return error;
		ioBag.AddElement(inKey, child.Get());
		return VE_OK;
	}

	VError _AddArray(VValueBag& ioBag, const StPackedDictionaryKey& inKey, const VJSONArray* inArray)
	{
		if (!fVisited.insert(inArray).second)
			return _Fail(VE_JSON_CIRCULAR);
		for (size_t index = 0; index < inArray->GetCount(); ++index) {
			const VJSONValue item = inArray->GetAt(index);
			VError error = VE_OK;
			if (item.IsObject()) {
				error = _AddObject(ioBag, inKey, item.GetObject(), false);
			} else {
				VRefPtr<VValueBag> child = VRefPtr<VValueBag>::Adopt(new (std::nothrow) VValueBag());
				if (child == nullptr)
					return _Fail(VE_MEMORY_FULL);
				// An array inside an array has no bag form but its text.
				SetScalar(*child, JSONMarkerBagKeys::FakeArrayElement, item);
				ioBag.AddElement(inKey, child.Get());
			}
			if (error != VE_OK)
				return error;
		}
		fVisited.erase(inArray);
		return VE_OK;
	}

	static VError _Fail(VError inError)
	{
		_ThrowError(inError);
		return inError;
	}

	std::set<const void*> fVisited;
};

void JSONFromScalar(const VValueSingle* inValue, VJSONValue& outValue)
{
	if (inValue == nullptr || inValue->IsNull()) {
		outValue.SetNull();
		return;
	}
	inValue->GetJSONValue(outValue, 0);
	if (outValue.IsUndefined())
		outValue.SetNull();
}

VError JSONFromBag(const VValueBag& inBag, VJSONValue& outValue);

// A bag standing for a scalar array item gives that scalar, any other an object.
VError JSONFromBagItem(const VValueBag& inBag, VJSONValue& outValue)
{
	const VValueBag::Attributes& attributes = inBag.GetAttributes();
	const size_t fake = attributes._Find(JSONMarkerBagKeys::FakeArrayElement);
	if (fake != attributes.End()) {
		const std::unique_ptr<VValueSingle> value(attributes.NewValueAt(fake));
		JSONFromScalar(value.get(), outValue);
		return VE_OK;
	}
	return JSONFromBag(inBag, outValue);
}

VError JSONFromBag(const VValueBag& inBag, VJSONValue& outValue)
{
	VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(new (std::nothrow) VJSONObject());
	if (object == nullptr)
		return VE_MEMORY_FULL;
	const VValueBag::Attributes& attributes = inBag.GetAttributes();
	const StPackedDictionaryKey& cdata = VValueBag::CDataAttributeName();
	VString name;
	for (size_t index = 0; index < attributes.GetCount(); ++index) {
		const char* bytes = attributes.GetKeyBytesAt(index);
		const size_t length = attributes.GetKeyLengthAt(index);
		if (JSONMarkerBagKeys::objectunic.Equal(bytes, length) ||
			JSONMarkerBagKeys::property_name_in_jsarray.Equal(bytes, length))
			continue;
		if (cdata.Equal(bytes, length))
			name.FromString(kCDataMember);
		else
			name.FromBlock(bytes, length, VTC_UTF_8);
		const std::unique_ptr<VValueSingle> value(attributes.NewValueAt(index));
		VJSONValue member;
		JSONFromScalar(value.get(), member);
		object->SetProperty(name, member);
	}
	for (VIndex nameIndex = 1; nameIndex <= inBag.GetElementNamesCount(); ++nameIndex) {
		const VBagArray* bags = inBag.GetNthElementName(nameIndex, &name);
		if (bags == nullptr)
			continue;
		VJSONValue member;
		if (bags->GetCount() == 1 && bags->GetNth(1)->AttributeExists(JSONMarkerBagKeys::objectunic)) {
			if (VError error = JSONFromBagItem(*bags->GetNth(1), member); error != VE_OK)
				return error;
		} else {
			VRefPtr<VJSONArray> array = VRefPtr<VJSONArray>::Adopt(new (std::nothrow) VJSONArray());
			if (array == nullptr)
				return VE_MEMORY_FULL;
			for (VIndex bagIndex = 1; bagIndex <= bags->GetCount(); ++bagIndex) {
				VJSONValue item;
				if (VError error = JSONFromBagItem(*bags->GetNth(bagIndex), item); error != VE_OK)
					return error;
				array->Push(item);
			}
			member.SetArray(array.Get());
		}
		object->SetProperty(name, member);
	}
	outValue.SetObject(object.Get());
	return VE_OK;
}

} // namespace

VError VValueBag::FromJSONValue(const VJSONValue& inJSONValue)
{
	if (!inJSONValue.IsObject()) {
		_ThrowError(VE_JSON_MALFORMED);
		return VE_JSON_MALFORMED;
	}
	return BagFromJSON().Fill(*this, inJSONValue.GetObject());
}

VError VValueBag::GetJSONValue(VJSONValue& outJSONValue, uint32 /*inOptions*/) const
{
	VError error = VE_OK;
	VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(BuildJSONObject(error));
	if (object != nullptr)
		outJSONValue.SetObject(object.Get());
	else
		outJSONValue.SetUndefined();
	return error;
}

VJSONObject* VValueBag::BuildJSONObject(VError& outError) const
{
	VJSONValue value;
	outError = JSONFromBag(*this, value);
	if (outError != VE_OK) {
		_ThrowError(outError);
		return nullptr;
	}
	VJSONObject* object = value.GetObject();
	object->Retain();
	return object;
}

} // namespace qirn
