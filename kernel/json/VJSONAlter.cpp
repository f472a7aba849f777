#include "json/VJSONAlter.h"

#include "core/VTime.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"

namespace qirn {

void VJSONAlter::_MakeObjIfNecessary(VJSONValue& ioRoot)
{
	if (!ioRoot.IsObject() || ioRoot.GetObject() == nullptr)
		ioRoot = VJSONValue(JSON_object);
}

void VJSONAlter::_Set(VJSONValue& ioRoot, const VString& inPath, const VJSONValue& inValue)
{
	_MakeObjIfNecessary(ioRoot);
	ioRoot.GetObject()->SetPropertyWithPath(inPath, inValue);
}

VJSONAlter::VJSONAlter(VJSONValue& ioRoot)
{
	_MakeObjIfNecessary(ioRoot);
}

VJSONAlter::VJSONAlter(VJSONValue& ioRoot, const VString& inPath, bool inValue)
{
	_Set(ioRoot, inPath, inValue ? VJSONValue::sTrue : VJSONValue::sFalse);
}

VJSONAlter::VJSONAlter(VJSONValue& ioRoot, const VString& inPath, sLONG inValue)
{
	_Set(ioRoot, inPath, VJSONValue(static_cast<double>(inValue)));
}

VJSONAlter::VJSONAlter(VJSONValue& ioRoot, const VString& inPath, double inValue)
{
	_Set(ioRoot, inPath, VJSONValue(inValue));
}

VJSONAlter::VJSONAlter(VJSONValue& ioRoot, const VString& inPath, const VString& inValue)
{
	_Set(ioRoot, inPath, VJSONValue(inValue));
}

VJSONAlter::VJSONAlter(VJSONValue& ioRoot, const VString& inPath, const char* inValue)
{
	_Set(ioRoot, inPath, VJSONValue(VString(inValue)));
}

VJSONAlter::VJSONAlter(VJSONValue& ioRoot, const VString& inPath, const UniChar* inValue)
{
	_Set(ioRoot, inPath, VJSONValue(VString(inValue)));
}

VJSONAlter::VJSONAlter(VJSONValue& ioRoot, const VString& inPath, const VJSONValue& inValue)
{
	_Set(ioRoot, inPath, inValue);
}

VJSONAlter::VJSONAlter(VJSONValue& ioRoot, const VString& inPath, const VTime& inValue)
{
	_Set(ioRoot, inPath, VJSONValue(inValue));
}

VJSONAlter::VJSONAlter(VJSONValue& ioRoot, const VString& inPath, JSONType inType, VJSONArray** outArray)
{
	VJSONValue value(inType);
	_Set(ioRoot, inPath, value);
	if (inType == JSON_array && outArray != nullptr)
		*outArray = value.GetArray();
}

VJSONAlter::VJSONAlter(VJSONValue& ioRoot, const VString& inName)
{
	if (VJSONObject* object = ioRoot.GetObject(); object != nullptr)
		object->RemoveProperty(inName);
}

} // namespace qirn
