#include "bags_xml/JSONMarkerBagKeys.h"
#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "bags_xml/XMLChars.h"
#include "core/CharSet.h"
#include "core/VString.h"
#include "core/VValueSingle.h"

#include <algorithm>
#include <memory>

namespace qirn {

namespace {

constexpr VIndex kMaxIndentation = 100;

bool _IsLineSpace(UniChar inChar)
{
	return inChar == u'\t' || inChar == u'\n' || inChar == u'\r';
}

bool _IsSurrogate(UniChar inChar)
{
	return inChar >= 0xD800 && inChar <= 0xDFFF;
}

// An attribute value already escaped for XML: tab, line feed and carriage
// return become references (a parser would turn them into spaces), other
// characters XML forbids are dropped.
void _AppendAttributeValue(VString& ioOut, const VString& inEscaped)
{
	const UniChar* begin = inEscaped.GetCPointer();
	const UniChar* end = begin + inEscaped.GetLength();
	const UniChar* run = begin;
	for (const UniChar* p = begin; p != end; ++p) {
		if (!_IsLineSpace(*p))
			continue;
		AppendXMLChars(ioOut, run, p, false);
		ioOut.AppendCString(*p == u'\t' ? "&#x9;" : *p == u'\n' ? "&#xA;" : "&#xD;");
		run = p + 1;
	}
	AppendXMLChars(ioOut, run, end, false);
}

bool _IsMarker(const StPackedDictionaryKey& inKey)
{
	return inKey.Equal(JSONMarkerBagKeys::objectunic.GetKey(), JSONMarkerBagKeys::objectunic.GetKeyLength())
		|| inKey.Equal(JSONMarkerBagKeys::property_name_in_jsarray.GetKey(),
					   JSONMarkerBagKeys::property_name_in_jsarray.GetKeyLength());
}

void _AppendKeyName(VString& ioOut, const StPackedDictionaryKey& inKey)
{
	const char* bytes = inKey.GetKey();
	size_t length = inKey.GetKeyLength();
	for (size_t i = 0; i < length; ++i) {
		if (static_cast<unsigned char>(bytes[i]) >= 0x80) {
			ioOut.AppendString(VString(bytes, length, VTC_UTF_8));
			return;
		}
	}
	for (size_t i = 0; i < length; ++i)
		ioOut.AppendUniChar(static_cast<UniChar>(bytes[i]));
}

VString _KeyName(const StPackedDictionaryKey& inKey)
{
	VString name;
	_AppendKeyName(name, inKey);
	return name;
}

const UniChar kCDataSpecials[] = {u'&', u'>', u'"', u'\'', u'<'};

} // namespace

// Appends what XML 1.0 allows of the units: no control character (tab, line
// feed and carriage return only with inKeepLineSpace), no U+FFFE or U+FFFF,
// no surrogate that is not half of a pair.
void AppendXMLChars(VString& ioOut, const UniChar* inBegin, const UniChar* inEnd, bool inKeepLineSpace)
{
	// Runs of allowed characters are appended at once.
	const UniChar* run = inBegin;
	for (const UniChar* p = inBegin; p != inEnd; ++p) {
		UniChar c = *p;
		bool kept;
		if (c < 0x20)
			kept = inKeepLineSpace && _IsLineSpace(c);
		else if (c == 0xFFFE || c == 0xFFFF)
			kept = false;
		else if (_IsSurrogate(c)) {
			if (c <= 0xDBFF && p + 1 != inEnd && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
				++p;
				continue;
			}
			kept = false;
		} else
			kept = true;
		if (!kept) {
			ioOut.AppendUniChars(run, static_cast<VIndex>(p - run));
			run = p + 1;
		}
	}
	ioOut.AppendUniChars(run, static_cast<VIndex>(inEnd - run));
}

bool VValueBag::NeedsEscapeSequence(const VString& inText, const UniChar* inBegin, const UniChar* inEnd)
{
	bool lineSpace = false;
	bool other = false;
	const UniChar* p = inText.GetCPointer();
	for (VIndex i = 0; i < inText.GetLength(); ++i) {
		UniChar c = p[i];
		if (inBegin != inEnd && std::find(inBegin, inEnd, c) != inEnd)
			return true;
		if (_IsLineSpace(c))
			lineSpace = true;
		else if (c != u' ')
			other = true;
	}
	return lineSpace && other;
}

void VValueBag::DumpXMLIndentation(VString& ioOut, VIndex inLevel)
{
	for (VIndex i = 0; i < std::min(inLevel, kMaxIndentation); ++i)
		ioOut.AppendUniChar(u'\t');
}

void VValueBag::DumpXML(VString& ioOut, const VString& inElementName, bool inIndent) const
{
	_DumpXML(ioOut, inElementName, inIndent ? 0 : -1);
}

void VValueBag::_DumpXML(VString& ioOut, const VString& inElementName, VIndex inLevel) const
{
	if (inLevel > 0)
		DumpXMLIndentation(ioOut, inLevel);
	size_t cdataIndex = fAttributes._Find(CDataAttributeName());
	bool hasCData = cdataIndex != fAttributes.End();
	bool hasElements = fElements != nullptr && !fElements->IsEmpty();
	ioOut.AppendUniChar(u'<');
	ioOut.AppendString(inElementName);
	DumpXMLAttributes(ioOut, cdataIndex);
	if (!hasCData && !hasElements) {
		ioOut.AppendCString("/>");
		return;
	}
	ioOut.AppendUniChar(u'>');
	if (hasElements) {
		for (size_t index = 0; index < fElements->GetCount(); ++index) {
			const VBagArray* array = fElements->GetValueAt(index);
			if (array == nullptr)
				continue;
			VString name = _KeyName(fElements->GetKeyAt(index));
			for (VIndex position = 1; position <= array->GetCount(); ++position) {
				ioOut.AppendUniChar(u'\n');
				array->GetNth(position)->_DumpXML(ioOut, name, inLevel >= 0 ? inLevel + 1 : inLevel);
			}
		}
	}
	bool blank = hasCData ? DumpXMLCData(ioOut, cdataIndex) : true;
	if (inLevel >= 0 && blank) {
		ioOut.AppendUniChar(u'\n');
		DumpXMLIndentation(ioOut, inLevel);
	}
	ioOut.AppendCString("</");
	ioOut.AppendString(inElementName);
	ioOut.AppendUniChar(u'>');
}

void VValueBag::DumpXMLAttributes(VString& ioOut, size_t inCDataIndex) const
{
	VString text;
	for (size_t index = 0; index < fAttributes.GetCount(); ++index) {
		StPackedDictionaryKey key = fAttributes.GetKeyAt(index);
		if (index == inCDataIndex || _IsMarker(key))
			continue;
		ioOut.AppendUniChar(u' ');
		_AppendKeyName(ioOut, key);
		ioOut.AppendCString("=\"");
		std::unique_ptr<VValueSingle> value(fAttributes.NewValueAt(index));
		text.Clear();
		if (value != nullptr)
			value->GetXMLString(text, 1);
		_AppendAttributeValue(ioOut, text);
		ioOut.AppendUniChar(u'"');
	}
}

// Plain text when it needs no escaping, else CDATA sections. True when the
// text written is blank (nothing, or spaces only): the end tag then goes on
// a line of its own.
bool VValueBag::DumpXMLCData(VString& ioOut, size_t inCDataIndex) const
{
	std::unique_ptr<VValueSingle> value(fAttributes.NewValueAt(inCDataIndex));
	VString text;
	if (value != nullptr)
		value->GetString(text);
	const UniChar* begin = text.GetCPointer();
	const UniChar* end = begin + text.GetLength();
	if (!NeedsEscapeSequence(text, std::begin(kCDataSpecials), std::end(kCDataSpecials))) {
		VIndex before = ioOut.GetLength();
		AppendXMLChars(ioOut, begin, end, false);
		const UniChar* written = ioOut.GetCPointer() + before;
		return std::all_of(written, ioOut.GetCPointer() + ioOut.GetLength(), [](UniChar c) { return c == u' '; });
	}
	// "]]>" cannot stand inside a section: the section ends with that
	// "]]>", "]]" follows as text, and the next section opens with ">".
	ioOut.AppendCString("<![CDATA[");
	const UniChar* p = begin;
	while (p != end) {
		const UniChar* close = nullptr;
		for (const UniChar* q = p; end - q >= 3; ++q) {
			if (q[0] == u']' && q[1] == u']' && q[2] == u'>') {
				close = q;
				break;
			}
		}
		if (close == nullptr) {
			AppendXMLChars(ioOut, p, end, true);
			break;
		}
		AppendXMLChars(ioOut, p, close + 3, true);
		ioOut.AppendCString("]]<![CDATA[>");
		p = close + 3;
	}
	ioOut.AppendCString("]]>");
	return false;
}

} // namespace qirn
