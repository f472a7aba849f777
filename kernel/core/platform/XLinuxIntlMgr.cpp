#include "core/platform/XLinuxIntlMgr.h"

#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "host/HostLanguages.h"

#include "core/VDuration.h"
#include "core/VTime.h"

#include <unicode/dcfmtsym.h>
#include <unicode/dtptngen.h>
#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/ustring.h>

#include <memory>
#include <strings.h>

namespace qirn {

namespace {

void FromUnicodeString(const icu::UnicodeString& inText, VString& outText)
{
	outText.FromUniString(inText.getBuffer(), inText.length());
}

icu::DateFormat::EStyle ToICUStyle(XLinuxIntlMgr::EStyle inStyle)
{
	switch (inStyle) {
	case XLinuxIntlMgr::kStyleShort:
		return icu::DateFormat::kShort;
	case XLinuxIntlMgr::kStyleMedium:
		return icu::DateFormat::kMedium;
	case XLinuxIntlMgr::kStyleLong:
		return icu::DateFormat::kLong;
	case XLinuxIntlMgr::kStyleFull:
		return icu::DateFormat::kFull;
	case XLinuxIntlMgr::kStyleNone:
		break;
	}
	return icu::DateFormat::kNone;
}

// Milliseconds since 1970-01-01 UTC of a time's UTC fields.
UDate EpochMilliseconds(const VTime& inTime)
{
	sWORD year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
	inTime.GetUTCTime(year, month, day, hour, minute, second, millisecond);
	const sLONG8 days = VTime::ComputeJulianDay(year, month, day) - VTime::ComputeJulianDay(1970, 1, 1);
	const sLONG8 milliseconds = ((static_cast<sLONG8>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
	return static_cast<UDate>(days * 86400000 + milliseconds);
}

// Formats an instant with a formatter, in GMT or in the user's zone (read
// again each time, as the kernel's own local time is).
void FormatInstant(icu::DateFormat& ioFormat, UDate inInstant, bool inUTC, VString& outText)
{
	std::unique_ptr<icu::TimeZone> zone(inUTC ? icu::TimeZone::getGMT()->clone()
											  : icu::TimeZone::detectHostTimeZone());
	if (zone != nullptr)
		ioFormat.setTimeZone(*zone);
	icu::UnicodeString text;
	ioFormat.format(inInstant, text);
	FromUnicodeString(text, outText);
}

} // namespace

std::string XLinuxIntlMgr::MakeLocaleID(sLONG inDialectCode)
{
	VString tag;
	VIntlMgr::GetBCP47LanguageCode(inDialectCode, tag);
	// The table's tags are plain ASCII.
	std::string ascii(tag.GetCPointer(), tag.GetCPointer() + tag.GetLength());
	UErrorCode status = U_ZERO_ERROR;
	icu::Locale locale = icu::Locale::forLanguageTag(ascii, status);
	if (U_FAILURE(status) || locale.isBogus())
		return "en_US";
	return locale.getName();
}

const std::string& XLinuxIntlMgr::GetLocaleID() const
{
	if (fLocaleID.empty()) {
		if (fDialectCode == VIntlMgr::ResolveDialectCode(DC_SYSTEM)) {
			// The user's own locale keeps its region and settings, as long as
			// it speaks the dialect's language.
			std::vector<std::string> languages = host::CopyPreferredLanguages();
			const char* language = VIntlMgr::GetISO6391LanguageCode(fDialectCode);
			if (!languages.empty() && language != nullptr) {
				UErrorCode status = U_ZERO_ERROR;
				icu::Locale user = icu::Locale::forLanguageTag(languages.front().c_str(), status);
				if (U_SUCCESS(status) && !user.isBogus() && strcasecmp(user.getLanguage(), language) == 0)
					fLocaleID = user.getName();
			}
		}
		if (fLocaleID.empty())
			fLocaleID = MakeLocaleID(fDialectCode);
	}
	return fLocaleID;
}

bool XLinuxIntlMgr::ToUpperLowerCase(const UniChar* inText, VIndex inLength, VString& outText, bool inUpper)
{
	if (inLength <= 0) {
		outText.Clear();
		return true;
	}
	auto map = [inUpper](UChar* outDest, int32_t inCapacity, const UChar* inSource, int32_t inSourceLength,
						 UErrorCode* ioStatus) {
		return inUpper ? u_strToUpper(outDest, inCapacity, inSource, inSourceLength, "", ioStatus)
					   : u_strToLower(outDest, inCapacity, inSource, inSourceLength, "", ioStatus);
	};
	// The platform says how long the mapped text is before it is written, so
	// nothing is ever cut.
	UErrorCode status = U_ZERO_ERROR;
	int32_t needed = map(nullptr, 0, inText, inLength, &status);
	if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
		return false;
	std::unique_ptr<UniChar[]> buffer(new (std::nothrow) UniChar[static_cast<size_t>(needed) + 1]);
	if (buffer == nullptr)
		return false;
	status = U_ZERO_ERROR;
	int32_t length = map(buffer.get(), needed + 1, inText, inLength, &status);
	if (U_FAILURE(status) || length != needed)
		return false;
	outText.FromUniString(buffer.get(), length);
	return outText.GetLength() == length;
}

void XLinuxIntlMgr::GetNumberSymbols(VString& outDecimal, VString& outGrouping, VString& outCurrency) const
{
	UErrorCode status = U_ZERO_ERROR;
	icu::DecimalFormatSymbols symbols(icu::Locale(GetLocaleID().c_str()), status);
	if (U_FAILURE(status))
		return;
	FromUnicodeString(symbols.getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol), outDecimal);
	FromUnicodeString(symbols.getSymbol(icu::DecimalFormatSymbols::kGroupingSeparatorSymbol), outGrouping);
	FromUnicodeString(symbols.getSymbol(icu::DecimalFormatSymbols::kCurrencySymbol), outCurrency);
}

void XLinuxIntlMgr::GetAMPMSymbols(VString& outAM, VString& outPM) const
{
	UErrorCode status = U_ZERO_ERROR;
	icu::DateFormatSymbols symbols(icu::Locale(GetLocaleID().c_str()), status);
	if (U_FAILURE(status))
		return;
	int32_t count = 0;
	const icu::UnicodeString* marks = symbols.getAmPmStrings(count);
	if (count >= 2) {
		FromUnicodeString(marks[0], outAM);
		FromUnicodeString(marks[1], outPM);
	}
}

void XLinuxIntlMgr::GetDateTimePattern(EStyle inDateStyle, EStyle inTimeStyle, VString& outPattern) const
{
	outPattern.Clear();
	icu::Locale locale(GetLocaleID().c_str());
	std::unique_ptr<icu::DateFormat> format(
		icu::DateFormat::createDateTimeInstance(ToICUStyle(inDateStyle), ToICUStyle(inTimeStyle), locale));
	auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format.get());
	if (simple == nullptr)
		return;
	icu::UnicodeString pattern;
	simple->toPattern(pattern);
	FromUnicodeString(pattern, outPattern);
}

void XLinuxIntlMgr::FormatVTime(const VTime& inTime, VString& outText, EStyle inDateStyle, EStyle inTimeStyle,
								bool inUTC) const
{
	outText.Clear();
	if (inTime.IsNull())
		return;
	std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(
		ToICUStyle(inDateStyle), ToICUStyle(inTimeStyle), icu::Locale(GetLocaleID().c_str())));
	if (format != nullptr)
		FormatInstant(*format, EpochMilliseconds(inTime), inUTC, outText);
}

void XLinuxIntlMgr::FormatVTimeWithTemplate(const VTime& inTime, VString& outText, const VString& inTemplate,
											bool inUTC) const
{
	outText.Clear();
	if (inTime.IsNull())
		return;
	icu::Locale locale(GetLocaleID().c_str());
	UErrorCode status = U_ZERO_ERROR;
	std::unique_ptr<icu::DateTimePatternGenerator> generator(
		icu::DateTimePatternGenerator::createInstance(locale, status));
	if (U_FAILURE(status))
		return;
	icu::UnicodeString pattern = generator->getBestPattern(
		icu::UnicodeString(false, inTemplate.GetCPointer(), inTemplate.GetLength()), status);
	if (U_FAILURE(status))
		return;
	icu::SimpleDateFormat format(pattern, locale, status);
	if (U_SUCCESS(status))
		FormatInstant(format, EpochMilliseconds(inTime), inUTC, outText);
}

void XLinuxIntlMgr::FormatVDuration(const VDuration& inDuration, VString& outText, EStyle inDateStyle,
									EStyle inTimeStyle) const
{
	outText.Clear();
	std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(
		ToICUStyle(inDateStyle), ToICUStyle(inTimeStyle), icu::Locale(GetLocaleID().c_str())));
	if (format != nullptr)
		FormatInstant(*format, static_cast<UDate>(inDuration.ConvertToMilliseconds()), true, outText);
}

void XLinuxIntlMgr::GetMonthName(sLONG inMonth, bool inAbbreviated, VString& outName) const
{
	UErrorCode status = U_ZERO_ERROR;
	icu::DateFormatSymbols symbols(icu::Locale(GetLocaleID().c_str()), status);
	if (U_FAILURE(status) || inMonth < 1 || inMonth > 12)
		return;
	int32_t count = 0;
	const icu::UnicodeString* names =
		symbols.getMonths(count, icu::DateFormatSymbols::FORMAT,
						  inAbbreviated ? icu::DateFormatSymbols::ABBREVIATED : icu::DateFormatSymbols::WIDE);
	if (names != nullptr && inMonth <= count)
		FromUnicodeString(names[inMonth - 1], outName);
}

void XLinuxIntlMgr::GetWeekDayName(sLONG inDay, bool inAbbreviated, VString& outName) const
{
	UErrorCode status = U_ZERO_ERROR;
	icu::DateFormatSymbols symbols(icu::Locale(GetLocaleID().c_str()), status);
	if (U_FAILURE(status) || inDay < 0 || inDay > 6)
		return;
	// The platform's weekdays count from 1, Sunday.
	int32_t count = 0;
	const icu::UnicodeString* names =
		symbols.getWeekdays(count, icu::DateFormatSymbols::FORMAT,
							inAbbreviated ? icu::DateFormatSymbols::ABBREVIATED : icu::DateFormatSymbols::WIDE);
	if (names != nullptr && inDay + 1 < count)
		FromUnicodeString(names[inDay + 1], outName);
}

} // namespace qirn
