#pragma once

#include "core/VValue.h"

#include <memory>
#include <string>

namespace qirn {

class VString;

// The platform's localized comparison and search of one locale: width never
// counts; without the diacritical flag neither case nor accents count. The
// collators of both strengths are made once, with the object, so that the
// kernel's hottest text path only compares.
class XLinuxStringCompare {
public:
	// inLocaleID: a locale identifier of the platform ("de_CH", "en_US").
	explicit XLinuxStringCompare(const std::string& inLocaleID);
	XLinuxStringCompare(const XLinuxStringCompare& inOther);
	XLinuxStringCompare& operator=(const XLinuxStringCompare&) = delete;
	~XLinuxStringCompare();

	// False when the platform could not make the collators: comparisons then
	// answer 0 and searches 0.
	bool IsValid() const;

	CompareResult Compare(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
						  bool inDiacritical) const;
	// The 0-based start of the first (or last) occurrence and its length in
	// the text, which may differ from the pattern's; -1 when none.
	VIndex Find(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern, VIndex inPatternLength,
				bool inDiacritical, bool inLast, VIndex* outLength) const;

	const std::string& GetLocaleID() const { return fLocaleID; }
	// The version of the platform's collation data: it changes when the order
	// may have changed.
	static std::string GetVersionString();

private:
	struct Collators;

	std::string fLocaleID;
	std::unique_ptr<Collators> fCollators;
};

} // namespace qirn
