#pragma once

#include "core/VKernelTypes.h"

#include <string>

namespace qirn {

class VDuration;
class VString;
class VTime;

// The platform half of an intl manager: the platform locale of the manager's
// dialect, and what only the platform knows of it (case mapping, the
// locale's symbols and date patterns). A copy keeps the dialect only and
// finds its locale again on first use.
class XLinuxIntlMgr {
public:
	// Styles of the platform's date and time patterns.
	enum EStyle { kStyleNone, kStyleShort, kStyleMedium, kStyleLong, kStyleFull };

	explicit XLinuxIntlMgr(sLONG inDialectCode) : fDialectCode(inDialectCode) {}
	XLinuxIntlMgr(const XLinuxIntlMgr& inOther) : fDialectCode(inOther.fDialectCode) {}
	XLinuxIntlMgr& operator=(const XLinuxIntlMgr&) = delete;
	virtual ~XLinuxIntlMgr() = default;

	// The platform locale of a dialect's language tag (en-US, zh-CN, ko).
	static std::string MakeLocaleID(sLONG inDialectCode);
	// The manager's locale, found on first use: for the system's dialect the
	// user's own locale when it speaks the dialect's language, otherwise the
	// dialect's.
	const std::string& GetLocaleID() const;

	// The text in upper or lower case by the rules of no particular language,
	// into outText whatever its length (upper-casing can triple a text).
	// False, outText untouched, when the platform cannot map it.
	static bool ToUpperLowerCase(const UniChar* inText, VIndex inLength, VString& outText, bool inUpper);

	// The locale's decimal and grouping separators and currency symbol.
	void GetNumberSymbols(VString& outDecimal, VString& outGrouping, VString& outCurrency) const;
	void GetAMPMSymbols(VString& outAM, VString& outPM) const;
	// The locale's pattern for a date style and a time style; empty when the
	// platform has none.
	void GetDateTimePattern(EStyle inDateStyle, EStyle inTimeStyle, VString& outPattern) const;

	// Dates and times in the locale's styles: the UTC fields as they stand
	// with inUTC, otherwise in the user's time zone. A template ("yMMMd")
	// gets the locale's best pattern for its fields. A null time, or a
	// formatter the platform cannot make, leaves the text empty.
	void FormatVTime(const VTime& inTime, VString& outText, EStyle inDateStyle, EStyle inTimeStyle,
					 bool inUTC) const;
	void FormatVTimeWithTemplate(const VTime& inTime, VString& outText, const VString& inTemplate,
								 bool inUTC) const;
	// A duration as the time of day it would show after the epoch, in GMT,
	// so that no zone shifts it.
	void FormatVDuration(const VDuration& inDuration, VString& outText, EStyle inDateStyle, EStyle inTimeStyle) const;
	// Month 1 to 12 and weekday 0 (Sunday) to 6; nothing is written for
	// others, or when the locale has no names.
	void GetMonthName(sLONG inMonth, bool inAbbreviated, VString& outName) const;
	void GetWeekDayName(sLONG inDay, bool inAbbreviated, VString& outName) const;

private:
	sLONG fDialectCode;
	mutable std::string fLocaleID; // empty until first asked
};

} // namespace qirn
