#include "core/VStringCollation.h"

#include "core/VIntlMgr.h"
#include "runtime/VTask.h"

namespace qirn {

namespace {

VIntlMgr* ManagerOrCurrent(VIntlMgr* inIntlMgr)
{
	return inIntlMgr != nullptr ? inIntlMgr : VTask::GetCurrentIntlManager();
}

} // namespace

CompareResult VStringCollation::CompareString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
											  VIndex inLength2, bool inDiacritical, VIntlMgr* inIntlMgr)
{
	return ManagerOrCurrent(inIntlMgr)->CompareString(inText1, inLength1, inText2, inLength2, inDiacritical);
}

bool VStringCollation::EqualString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
								   VIndex inLength2, bool inDiacritical, VIntlMgr* inIntlMgr)
{
	return ManagerOrCurrent(inIntlMgr)->EqualString(inText1, inLength1, inText2, inLength2, inDiacritical);
}

CompareResult VStringCollation::CompareString_Like(const UniChar* inText, VIndex inTextLength,
												   const UniChar* inPattern, VIndex inPatternLength,
												   bool inDiacritical, VIntlMgr* inIntlMgr)
{
	return ManagerOrCurrent(inIntlMgr)->CompareString_Like(inText, inTextLength, inPattern, inPatternLength,
														   inDiacritical);
}

bool VStringCollation::EqualString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
										VIndex inPatternLength, bool inDiacritical, VIntlMgr* inIntlMgr)
{
	return ManagerOrCurrent(inIntlMgr)->EqualString_Like(inText, inTextLength, inPattern, inPatternLength,
														 inDiacritical);
}

} // namespace qirn
