#include "core/VString.h"
#include "json/VJSONObject.h"

namespace qirn {

// The one scan of named placeholders ({Name}): doubled braces and names that
// are empty or hold a space are no placeholder, so text that merely contains
// braces passes through.
void VString::_FormatPlaceholders(bool inRemoveMissing, const std::function<bool(const VString&, VString&)>& inLookup)
{
	if (GetLength() < 2)
		return;
	VString name, value;
	// 0-based positions; the length when the unit is not found.
	const auto find = [this](UniChar inUnit, VIndex inFrom) {
		while (inFrom < GetLength() && GetCPointer()[inFrom] != inUnit)
			++inFrom;
		return inFrom;
	};
	const auto doubled = [this](VIndex inAt) {
		return inAt + 1 < GetLength() && GetCPointer()[inAt + 1] == GetCPointer()[inAt];
	};
	VIndex p = 0;
	while (p < GetLength()) {
		const VIndex open = find(u'{', p);
		if (open >= GetLength())
			return;
		if (doubled(open)) {
			p = open + 2;
			continue;
		}
		const VIndex close = find(u'}', open + 1);
		if (close >= GetLength())
			return;
		const UniChar* units = GetCPointer();
		if (doubled(close)) {
			p = close + 2;
			continue;
		}
		bool hasSpace = false;
		for (VIndex i = open + 1; i < close; ++i)
			hasSpace = hasSpace || units[i] == u' ';
		if (close == open + 1 || hasSpace) {
			p = open + 1;
			continue;
		}
		GetSubString(open + 2, close - open - 1, name);
		if (inLookup(name, value)) {
			Replace(value, open + 1, close - open + 1);
			p = open + value.GetLength();
		} else if (inRemoveMissing) {
			Remove(open + 1, close - open + 1);
			p = open;
		} else {
			p = open + 1;
		}
	}
}

void VString::Format(const VJSONObject* inObject, bool inRemoveMissing)
{
	if (inObject == nullptr || inObject->IsEmpty())
		return;
	_FormatPlaceholders(inRemoveMissing, [inObject](const VString& inName, VString& outValue) {
		const VJSONValue value = inObject->GetProperty(inName);
		if (value.IsNull() || value.IsUndefined())
			return false;
		value.GetString(outValue);
		return true;
	});
}

} // namespace qirn
