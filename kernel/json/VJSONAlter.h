#pragma once

#include "core/VString.h"
#include "json/VJSONValue.h"

namespace qirn {

class VJSONArray;
class VTime;

// One line to set a value at a path of a root, which becomes a new empty
// object first unless it is one already. The constructors do the work.
class VJSONAlter {
public:
	explicit VJSONAlter(VJSONValue& ioRoot);
	VJSONAlter(VJSONValue& ioRoot, const VString& inPath, bool inValue);
	VJSONAlter(VJSONValue& ioRoot, const VString& inPath, sLONG inValue);
	VJSONAlter(VJSONValue& ioRoot, const VString& inPath, double inValue);
	VJSONAlter(VJSONValue& ioRoot, const VString& inPath, const VString& inValue);
	VJSONAlter(VJSONValue& ioRoot, const VString& inPath, const char* inValue);
	VJSONAlter(VJSONValue& ioRoot, const VString& inPath, const UniChar* inValue);
	VJSONAlter(VJSONValue& ioRoot, const VString& inPath, const VJSONValue& inValue);
	// Stored as a date.
	VJSONAlter(VJSONValue& ioRoot, const VString& inPath, const VTime& inValue);
	// A new value of the kind (a new empty container for objects and
	// arrays); a new array is handed back, without a reference, when asked.
	VJSONAlter(VJSONValue& ioRoot, const VString& inPath, JSONType inType, VJSONArray** outArray);
	// Removes the property of that name (a name, not a path) of an object root.
	VJSONAlter(VJSONValue& ioRoot, const VString& inName);

private:
	static void _MakeObjIfNecessary(VJSONValue& ioRoot);
	static void _Set(VJSONValue& ioRoot, const VString& inPath, const VJSONValue& inValue);
};

} // namespace qirn
