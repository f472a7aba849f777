#include "core/VIntlMgr.h"

#include "core/VCollator_system.h"
#include "core/VCompareOptions.h"
#include "runtime/VError.h"
#include "runtime/VTask.h"

namespace qirn {

namespace {

// A dialect the table lacks becomes its primary language, then US English.
DialectCode KnownDialect(DialectCode inDialect, bool* outFellBack = nullptr)
{
	DialectCode dialect = VIntlMgr::ResolveDialectCode(inDialect);
	if (outFellBack != nullptr)
		*outFellBack = false;
	if (VIntlMgr::IsDialectCode(dialect))
		return dialect;
	dialect = (dialect & 1023) | 1024;
	if (VIntlMgr::IsDialectCode(dialect))
		return dialect;
	if (outFellBack != nullptr)
		*outFellBack = true;
	return DC_ENGLISH_US;
}

bool IsASCIILetter(UniChar inUnit)
{
	return (inUnit >= u'a' && inUnit <= u'z') || (inUnit >= u'A' && inUnit <= u'Z');
}

// Walks a date pattern's letters, outside quoted text: inOnLetter sees each
// letter; the first unit that is no letter is the separator.
template <class F>
UniChar ScanPattern(const VString& inPattern, F inOnLetter)
{
	UniChar separator = 0;
	UniChar quote = 0;
	for (VIndex i = 0; i < inPattern.GetLength(); ++i) {
		const UniChar unit = inPattern.GetCPointer()[i];
		if (quote != 0) {
			if (unit == quote)
				quote = 0;
		} else if (unit == u'\'' || unit == u'"') {
			quote = unit;
		} else if (IsASCIILetter(unit)) {
			inOnLetter(unit);
		} else if (separator == 0) {
			separator = unit;
		}
	}
	return separator;
}

} // namespace

VIntlMgr::VIntlMgr(DialectCode inDialect) : fImpl(inDialect), fDialectCode(inDialect) {}

VIntlMgr::VIntlMgr(const VIntlMgr& inOther)
	: VObject(inOther),
	  IRefCountable(),
	  fImpl(inOther.fImpl),
	  fReserved(inOther.fReserved),
	  fCollationKind(inOther.fCollationKind),
	  fDialectCode(inOther.fDialectCode),
	  fAMString(inOther.fAMString),
	  fPMString(inOther.fPMString),
	  fUseAmPm(inOther.fUseAmPm),
	  fDecimalSeparator(inOther.fDecimalSeparator),
	  fThousandsSeparator(inOther.fThousandsSeparator),
	  fDateSeparator(inOther.fDateSeparator),
	  fTimeSeparator(inOther.fTimeSeparator),
	  fCurrency(inOther.fCurrency),
	  fDateOrder(inOther.fDateOrder)
{
	for (int i = 0; i < 4; ++i) {
		fDatePatterns[i] = inOther.fDatePatterns[i];
		fTimePatterns[i] = inOther.fTimePatterns[i];
	}
	if (inOther.fCollator != nullptr)
		fCollator = inOther.fCollator->Clone();
}

VIntlMgr::~VIntlMgr()
{
	ReleaseRefCountable(&fCollator);
}

VIntlMgr* VIntlMgr::Create(DialectCode inDialect, DialectCode inCollationDialect, uint32 inOptions)
{
	const DialectCode dialect = KnownDialect(inDialect);
	bool fellBack = false;
	DialectCode collationDialect = KnownDialect(inCollationDialect, &fellBack);
	if (!fellBack && (collationDialect == 1038 || collationDialect == 1054))
		collationDialect = DC_ENGLISH_US;
	// The options reach the collator; without any it keeps its default.
	const uint8 collatorOptions = (inOptions & 0xFF) != 0 ? static_cast<uint8>(inOptions & 0xFF) : 1;

	VTask* task = VTask::GetCurrent();
	VIntlMgr* current = task != nullptr ? task->GetIntlManager() : nullptr;
	if (current != nullptr && current->fDialectCode == dialect && current->fCollator != nullptr &&
		current->fCollator->GetDialectCode() == collationDialect && current->fCollator->GetOptions() == collatorOptions) {
		VIntlMgr* clone = current->Clone();
		if (clone != nullptr)
			clone->Reset();
		return clone;
	}

	auto* manager = new VIntlMgr(dialect);
	manager->fCollator = VCollator_system::Create(collationDialect, collationDialect == dialect ? manager : nullptr);
	if (manager->fCollator == nullptr) {
		manager->Release();
		_ThrowError(VE_INTL_CANNOT_CREATE_COLLATOR);
		return nullptr;
	}
	manager->fCollator->SetOptions(collatorOptions);
	manager->_FillLocaleVariables();
	return manager;
}

VIntlMgr* VIntlMgr::Clone() const
{
	auto* clone = new VIntlMgr(*this);
	if (fCollator != nullptr && clone->fCollator == nullptr) {
		clone->Release();
		return nullptr;
	}
	return clone;
}

VIntlMgr* VIntlMgr::GetDefaultMgr()
{
	// Never destroyed: code may compare text while the process ends.
	static VIntlMgr* const sDefault = Create(DC_ENGLISH_US, DC_ENGLISH_US, 0);
	return sDefault;
}

void VIntlMgr::_FillLocaleVariables()
{
	fImpl.GetNumberSymbols(fDecimalSeparator, fThousandsSeparator, fCurrency);
	if (fCurrency.GetLength() == 1 && fCurrency.GetCPointer()[0] == 0x00A4)
		fCurrency.FromUniChar(0x20AC);

	fImpl.GetAMPMSymbols(fAMString, fPMString);
	VString pattern;
	fImpl.GetDateTimePattern(XLinuxIntlMgr::kStyleNone, XLinuxIntlMgr::kStyleShort, pattern);
	UniChar separator = ScanPattern(pattern, [this](UniChar inLetter) {
		if (inLetter == u'a')
			fUseAmPm = true;
	});
	if (separator != 0)
		fTimeSeparator.FromUniChar(separator);

	fImpl.GetDateTimePattern(XLinuxIntlMgr::kStyleShort, XLinuxIntlMgr::kStyleNone, pattern);
	char order[4] = {};
	int noted = 0;
	separator = ScanPattern(pattern, [&order, &noted](UniChar inLetter) {
		if ((inLetter == u'M' || inLetter == u'd' || inLetter == u'y') && noted < 3) {
			for (int i = 0; i < noted; ++i) {
				if (order[i] == static_cast<char>(inLetter))
					return;
			}
			order[noted++] = static_cast<char>(inLetter);
		}
	});
	if (separator != 0)
		fDateSeparator.FromUniChar(separator);
	static const char* const kOrders[] = {"Mdy", "dMy", "yMd", "Myd", "dyM", "ydM"};
	fDateOrder = 0;
	for (sLONG i = 0; i < 6; ++i) {
		if (std::string_view(order) == kOrders[i])
			fDateOrder = i;
	}

	static const XLinuxIntlMgr::EStyle kStyles[] = {XLinuxIntlMgr::kStyleShort, XLinuxIntlMgr::kStyleMedium,
													 XLinuxIntlMgr::kStyleLong, XLinuxIntlMgr::kStyleFull};
	for (int i = 0; i < 4; ++i) {
		fImpl.GetDateTimePattern(XLinuxIntlMgr::kStyleNone, kStyles[i], fTimePatterns[i]);
		fImpl.GetDateTimePattern(kStyles[i], XLinuxIntlMgr::kStyleNone, fDatePatterns[i]);
	}
}

const VString& VIntlMgr::GetDatePattern(EOSFormats inFormat) const
{
	return fDatePatterns[inFormat >= eOS_SHORT_FORMAT && inFormat <= eOS_LONG_FORMAT ? inFormat : 0];
}

const VString& VIntlMgr::GetTimePattern(EOSFormats inFormat) const
{
	return fTimePatterns[inFormat >= eOS_SHORT_FORMAT && inFormat <= eOS_LONG_FORMAT ? inFormat : 0];
}

// ---------------------------------------------------------------------------
// Collation

CompareResult VIntlMgr::CompareString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
									  VIndex inLength2, const VCompareOptions& inOptions) const
{
	if (inOptions.IsLike())
		return fCollator->CompareString_Like(inText1, inLength1, inText2, inLength2, inOptions.IsDiacritical());
	return fCollator->CompareString(inText1, inLength1, inText2, inLength2, inOptions.IsDiacritical());
}

bool VIntlMgr::EqualString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
						   const VCompareOptions& inOptions) const
{
	if (inOptions.IsLike())
		return fCollator->EqualString_Like(inText1, inLength1, inText2, inLength2, inOptions.IsDiacritical());
	return fCollator->EqualString(inText1, inLength1, inText2, inLength2, inOptions.IsDiacritical());
}

CompareResult VIntlMgr::CompareString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
										   VIndex inPatternLength, bool inDiacritical) const
{
	return fCollator->CompareString_Like(inText, inTextLength, inPattern, inPatternLength, inDiacritical);
}

bool VIntlMgr::EqualString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
								VIndex inPatternLength, bool inDiacritical) const
{
	return fCollator->EqualString_Like(inText, inTextLength, inPattern, inPatternLength, inDiacritical);
}

UniChar VIntlMgr::GetWildChar() const
{
	return fCollator->GetWildChar();
}

void VIntlMgr::GetStringComparisonAlgorithmSignature(VString& outSignature) const
{
	fCollator->GetStringComparisonAlgorithmSignature(outSignature);
}

void VIntlMgr::GetKewordAlgorithmSignature(VString& outSignature) const
{
	if (fCollationKind == 1)
		outSignature.FromCString("AlphaNum");
	else
		outSignature.Clear();
}

void VIntlMgr::Reset()
{
	fCollator->Reset();
}

} // namespace qirn
