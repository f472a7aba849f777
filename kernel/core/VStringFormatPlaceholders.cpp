// Named placeholders of VString: {Name} filled from a bag's attributes or a
// JSON object's properties, and {{path}} templates.
#include "bags_xml/VValueBag.h"
#include "core/VString.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"

#include <functional>
#include <vector>

namespace qirn {

namespace {

// Scans for {Name} and asks inLookup for each name's text. Doubled braces
// and names that are empty or hold a space are no placeholders, so that
// JSON-like text and prose in braces pass through.
void FillPlaceholders(VString& ioText, bool inRemoveMissing,
					  const std::function<bool(const VString& inName, VString& outText)>& inLookup)
{
	if (ioText.GetLength() < 2)
		return;
	VIndex position = 1;
	VString name;
	VString text;
	while (position <= ioText.GetLength()) {
		VIndex open = ioText.FindUniChar(u'{', position);
		if (open == 0)
			return;
		if (open < ioText.GetLength() && ioText.GetUniChar(open + 1) == u'{') {
			position = open + 2;
			continue;
		}
		VIndex close = ioText.FindUniChar(u'}', open + 1);
		if (close == 0)
			return;
		if (close < ioText.GetLength() && ioText.GetUniChar(close + 1) == u'}') {
			position = close + 2;
			continue;
		}
		ioText.GetSubString(open + 1, close - open - 1, name);
		if (name.IsEmpty() || name.FindUniChar(u' ') != 0) {
			position = open + 1;
			continue;
		}
		text.Clear();
		if (inLookup(name, text)) {
			ioText.Replace(text, open, close - open + 1);
			position = open + text.GetLength();
		} else if (inRemoveMissing) {
			ioText.Remove(open, close - open + 1);
			position = open;
		} else {
			position = open + 1;
		}
	}
}

// The pieces between separators, empty ones kept.
void Split(const VString& inText, const VString& inSeparator, std::vector<VString>& outPieces)
{
	VIndex start = 1;
	for (;;) {
		VIndex found = inText.FindRawString(inSeparator, start);
		if (found == 0) {
			outPieces.push_back(inText.GetSubString(start, inText.GetLength() - start + 1));
			return;
		}
		outPieces.push_back(inText.GetSubString(start, found - start));
		start = found + inSeparator.GetLength();
	}
}

} // namespace

void VString::Format(const VValueBag* inBag, bool inRemoveMissing)
{
	if (inBag == nullptr)
		return;
	FillPlaceholders(*this, inRemoveMissing, [inBag](const VString& inName, VString& outText) {
		return inBag->GetString(StPackedDictionaryKey(inName), outText);
	});
}

void VString::Format(const VJSONObject* inObject, bool inRemoveMissing)
{
	if (inObject == nullptr || inObject->IsEmpty())
		return;
	FillPlaceholders(*this, inRemoveMissing, [inObject](const VString& inName, VString& outText) {
		VJSONValue value = inObject->GetProperty(inName);
		if (value.IsNull() || value.IsUndefined())
			return false;
		value.GetString(outText);
		return true;
	});
}

void VString::FormatWithTemplate(const VJSONObject* inObject, VString& outResult) const
{
	outResult.Clear();
	const VString open("{{");
	const VString close("}}");
	std::vector<VString> pieces;
	Split(*this, open, pieces);
	for (size_t index = 0; index < pieces.size(); ++index) {
		const VString& piece = pieces[index];
		std::vector<VString> parts;
		Split(piece, close, parts);
		// What comes before the first "{{" opens no marker: a stray "}}" there
		// must not turn the text before it into a path and lose it.
		if (index == 0 || parts.size() == 1) {
			outResult.AppendString(piece);
			continue;
		}
		if (inObject != nullptr) {
			VJSONValue value = inObject->GetPropertyWithPath(parts[0]);
			if (!value.IsNull() && !value.IsUndefined()) {
				VString text;
				value.GetString(text);
				outResult.AppendString(text);
			}
		}
		for (size_t i = 1; i < parts.size(); ++i)
			outResult.AppendString(parts[i]);
	}
}

} // namespace qirn
