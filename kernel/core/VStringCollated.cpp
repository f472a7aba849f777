// The collated forms of comparison, search and replacement, and case: all go
// through the current task's intl manager.
#include "core/VString.h"

#include "core/VCollator.h"
#include "core/VIntlMgr.h"
#include "core/VStringCollation.h"
#include "runtime/VTask.h"

#include <algorithm>

namespace qirn {

bool VString::EqualToString(const VString& inString, bool inDiacritical) const
{
	return VStringCollation::EqualString(fString, fLength, inString.fString, inString.fLength, inDiacritical);
}

bool VString::EqualToString_Like(const VString& inString, bool inDiacritical) const
{
	return VStringCollation::EqualString_Like(fString, fLength, inString.fString, inString.fLength, inDiacritical);
}

CompareResult VString::CompareToString(const VString& inString, bool inDiacritical) const
{
	return VStringCollation::CompareString(fString, fLength, inString.fString, inString.fLength, inDiacritical);
}

CompareResult VString::CompareToString_Like(const VString& inString, bool inDiacritical) const
{
	return VStringCollation::CompareString_Like(fString, fLength, inString.fString, inString.fLength,
												inDiacritical);
}

VIndex VString::Find(const VString& inPattern, VIndex inStart, bool inDiacritical, VIndex* outLength) const
{
	if (outLength != nullptr)
		*outLength = 0;
	if (inStart < 1 || inStart > fLength + 1)
		return 0;
	VIndex found = VTask::GetCurrentIntlManager()->GetCollator()->FindString(
		fString + inStart - 1, fLength - inStart + 1, inPattern.fString, inPattern.fLength, inDiacritical, outLength);
	return found == 0 ? 0 : found + inStart - 1;
}

bool VString::BeginsWith(const VString& inPrefix, bool inDiacritical) const
{
	// A few more units than the prefix's, as collation may match a prefix
	// written with more units (a letter and its combining accent).
	const VIndex length = std::min(fLength, inPrefix.fLength + 16);
	return VTask::GetCurrentIntlManager()->GetCollator()->BeginsWithString(fString, length, inPrefix.fString,
																			inPrefix.fLength, inDiacritical);
}

bool VString::EndsWith(const VString& inSuffix, bool inDiacritical) const
{
	return VTask::GetCurrentIntlManager()->GetCollator()->EndsWithString(fString, fLength, inSuffix.fString,
																		  inSuffix.fLength, inDiacritical);
}

void VString::Exchange(const VString& inPattern, const VString& inReplacement, VIndex inStart, VIndex inMaxCount,
					   bool inDiacritical, VCollator* inCollator)
{
	if (inMaxCount < 1 || inStart < 1 || inStart > fLength + 1)
		return;
	const VCollator* collator =
		inCollator != nullptr ? inCollator : VTask::GetCurrentIntlManager()->GetCollator();
	VString result;
	VIndex copied = 0;	   // units of this string already in the result
	VIndex from = inStart - 1; // where the next search starts
	for (VIndex count = 0; count < inMaxCount && from < fLength; ++count) {
		VIndex matched = 0;
		VIndex pos = collator->FindString(fString + from, fLength - from, inPattern.fString, inPattern.fLength,
										  inDiacritical, &matched);
		if (pos == 0 || matched < 1)
			break;
		const VIndex start = from + pos - 1;
		result.AppendUniChars(fString + copied, start - copied);
		result.AppendString(inReplacement);
		copied = start + matched;
		from = copied;
	}
	if (copied == 0)
		return;
	result.AppendUniChars(fString + copied, fLength - copied);
	Swap(result);
}

void VString::ToUpperCase()
{
	VTask::GetCurrentIntlManager()->ToUpperLowerCase(*this, true);
}

void VString::ToLowerCase()
{
	VTask::GetCurrentIntlManager()->ToUpperLowerCase(*this, false);
}

} // namespace qirn
