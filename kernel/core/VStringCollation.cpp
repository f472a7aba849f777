#include "core/VStringCollation.h"

namespace qirn {

CompareResult VStringCollation::CompareString_Like(const UniChar* inText, VIndex inTextLength,
												   const UniChar* inPattern, VIndex inPatternLength,
												   bool inDiacritical, VIntlMgr* inIntlMgr)
{
	return _ManagerOrCurrent(inIntlMgr)->CompareString_Like(inText, inTextLength, inPattern, inPatternLength,
														   inDiacritical);
}

bool VStringCollation::EqualString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
										VIndex inPatternLength, bool inDiacritical, VIntlMgr* inIntlMgr)
{
	return _ManagerOrCurrent(inIntlMgr)->EqualString_Like(inText, inTextLength, inPattern, inPatternLength,
														 inDiacritical);
}

} // namespace qirn
