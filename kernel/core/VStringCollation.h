#pragma once

#include "core/VValue.h"

namespace qirn {

class VIntlMgr;

// How text that a person reads is compared. Every value-level comparison of
// strings and of their flat data comes here, and goes on to the collator of
// the manager given (null: the current task's, VTask::GetCurrentIntlManager).
class VStringCollation {
public:

	// -1, 0 or 1; an empty text sorts before any other.
	static CompareResult CompareString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
									   VIndex inLength2, bool inDiacritical, VIntlMgr* inIntlMgr = nullptr);
	static bool EqualString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
							bool inDiacritical, VIntlMgr* inIntlMgr = nullptr);

	// The text against a pattern holding wildcards: 0 when it matches. A
	// non-zero answer orders the text against the pattern's literal pieces
	// only roughly: callers test it against 0.
	static CompareResult CompareString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
											VIndex inPatternLength, bool inDiacritical, VIntlMgr* inIntlMgr = nullptr);
	// The same match, settling plain ASCII text without the general walk, and
	// ignoring the control characters other than tab and the line ends.
	static bool EqualString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
								 VIndex inPatternLength, bool inDiacritical, VIntlMgr* inIntlMgr = nullptr);
};

} // namespace qirn
