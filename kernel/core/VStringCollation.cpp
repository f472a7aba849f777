#include "core/VStringCollation.h"

namespace qirn {

CompareResult VStringCollation::_CompareStringOutsideTask(const UniChar* inText1, VIndex inLength1,
														  const UniChar* inText2, VIndex inLength2, bool inDiacritical)
{
	return VTask::GetCurrentIntlManager()->CompareString(inText1, inLength1, inText2, inLength2, inDiacritical);
}

bool VStringCollation::_EqualStringOutsideTask(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
											   VIndex inLength2, bool inDiacritical)
{
	return VTask::GetCurrentIntlManager()->EqualString(inText1, inLength1, inText2, inLength2, inDiacritical);
}

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
