#pragma once

// A bag's body in its older stream form, as earlier versions wrote it:
// attribute names, each value with its kind, element names, then each
// element's bags. Two attributes (a = 7, b = "hello") and one empty "e".
#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "core/VArrayString.h"
#include "core/VLong.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VStream.h"

namespace qirn::testing {

inline void WriteOlderBagBody(VStream& ioStream)
{
	VArrayString names;
	names.AppendString(VString("a"));
	names.AppendString(VString("b"));
	names.WriteToStream(&ioStream);
	ioStream.PutLong(uLONG(2));
	VLong a(7);
	ioStream.PutLong(uLONG(a.GetValueInfo()->GetKind()));
	a.WriteToStream(&ioStream);
	VString b("hello");
	ioStream.PutLong(uLONG(b.GetValueInfo()->GetKind()));
	b.WriteToStream(&ioStream);
	VArrayString elementNames;
	elementNames.AppendString(VString("e"));
	elementNames.WriteToStream(&ioStream);
	ioStream.PutLong(uLONG(1));
	VBagArray array;
	array.AddTail(VRefPtr<VValueBag>::Adopt(new VValueBag).Get());
	array.WriteToStreamMinimal(&ioStream);
}

} // namespace qirn::testing
