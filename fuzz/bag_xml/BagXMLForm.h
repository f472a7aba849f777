#pragma once

// What of a bag its XML form keeps, as one text to compare: every attribute
// (name and text) but the JSON shape markers, the character data without
// its tabs, line feeds and carriage returns (none at all when nothing else),
// and the element bags in order. Texts keep only what XML can hold, as the
// writer does: a lone surrogate the reader let through is not written.
// The XML form itself is no fixed point: the line feed written before each
// child reads back as character data, and XML turns carriage returns into
// line feeds, so the texts of two round trips are compared this way.
#include "bags_xml/JSONMarkerBagKeys.h"
#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "bags_xml/XMLChars.h"
#include "core/VString.h"

namespace qirn::fuzz {

inline void AppendKept(VString& ioOut, const VValueBag& inBag)
{
	const VValueBag::Attributes& attributes = inBag.GetAttributes();
	const StPackedDictionaryKey& cdataKey = VValueBag::CDataAttributeName();
	VString text;
	for (size_t index = 0; index < attributes.GetCount(); ++index) {
		const StPackedDictionaryKey key = attributes.GetKeyAt(index);
		if (key.Equal(JSONMarkerBagKeys::objectunic.GetKey(), JSONMarkerBagKeys::objectunic.GetKeyLength())
			|| key.Equal(JSONMarkerBagKeys::property_name_in_jsarray.GetKey(),
						 JSONMarkerBagKeys::property_name_in_jsarray.GetKeyLength()))
			continue;
		VString value;
		attributes.GetValueAt(index, value);
		text.Clear();
		AppendXMLChars(text, value.GetCPointer(), value.GetCPointer() + value.GetLength(), true);
		if (key.Equal(cdataKey.GetKey(), cdataKey.GetKeyLength())) {
			// Character data of line space alone is written as nothing.
			VString kept;
			for (VIndex i = 0; i < text.GetLength(); ++i) {
				const UniChar c = text.GetCPointer()[i];
				if (c != u'\t' && c != u'\n' && c != u'\r')
					kept.AppendUniChar(c);
			}
			if (!kept.IsEmpty()) {
				ioOut.AppendCString(" #");
				ioOut.AppendString(kept);
			}
			continue;
		}
		ioOut.AppendUniChar(u' ');
		ioOut.AppendString(VString(key.GetKey(), key.GetKeyLength(), VTC_UTF_8));
		ioOut.AppendCString("=");
		ioOut.AppendString(text);
	}
	for (VIndex name = 1; name <= inBag.GetElementNamesCount(); ++name) {
		VString elementName;
		const VBagArray* array = inBag.GetNthElementName(name, &elementName);
		for (VIndex position = 1; array != nullptr && position <= array->GetCount(); ++position) {
			ioOut.AppendCString(" <");
			ioOut.AppendString(elementName);
			AppendKept(ioOut, *array->GetNth(position));
			ioOut.AppendCString(" >");
		}
	}
}

inline VString KeptOfXML(const VValueBag& inBag)
{
	VString kept;
	AppendKept(kept, inBag);
	return kept;
}

} // namespace qirn::fuzz
