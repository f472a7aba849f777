#pragma once

#include "core/VIntlMgr.h"
#include "core/VValue.h"
#include "runtime/VTask.h"

namespace qirn {

// How text that a person reads is compared. Every value-level comparison of
// strings and of their flat data comes here, and goes on to the collator of
// the manager given (null: the current task's, VTask::GetCurrentIntlManager).
// Comparison and equality are inline, down to the call of the platform's
// comparer: they are the kernel's hottest text path.
class VStringCollation {
public:

	// -1, 0 or 1; an empty text sorts before any other.
	static CompareResult CompareString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
									   VIndex inLength2, bool inDiacritical, VIntlMgr* inIntlMgr = nullptr)
	{
		VIntlMgr* manager = _ManagerOrTasks(inIntlMgr);
		if (manager == nullptr) [[unlikely]]
			return _CompareStringOutsideTask(inText1, inLength1, inText2, inLength2, inDiacritical);
		return manager->CompareString(inText1, inLength1, inText2, inLength2, inDiacritical);
	}
	static bool EqualString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
							bool inDiacritical, VIntlMgr* inIntlMgr = nullptr)
	{
		VIntlMgr* manager = _ManagerOrTasks(inIntlMgr);
		if (manager == nullptr) [[unlikely]]
			return _EqualStringOutsideTask(inText1, inLength1, inText2, inLength2, inDiacritical);
		return manager->EqualString(inText1, inLength1, inText2, inLength2, inDiacritical);
	}

	// The text against a pattern holding wildcards: 0 when it matches. A
	// non-zero answer orders the text against the pattern's literal pieces
	// only roughly: callers test it against 0.
	static CompareResult CompareString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
											VIndex inPatternLength, bool inDiacritical, VIntlMgr* inIntlMgr = nullptr);
	// The same match, settling plain ASCII text without the general walk, and
	// ignoring the control characters other than tab and the line ends.
	static bool EqualString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
								 VIndex inPatternLength, bool inDiacritical, VIntlMgr* inIntlMgr = nullptr);

private:
	static VIntlMgr* _ManagerOrCurrent(VIntlMgr* inIntlMgr)
	{
		return inIntlMgr != nullptr ? inIntlMgr : VTask::GetCurrentIntlManager();
	}
	// The manager given, else the current task's; null outside a task or for
	// a task without one of its own.
	static VIntlMgr* _ManagerOrTasks(VIntlMgr* inIntlMgr)
	{
		if (inIntlMgr != nullptr)
			return inIntlMgr;
		VTask* task = VTask::GetCurrent();
		return task != nullptr ? task->GetIntlManager() : nullptr;
	}
	// Out of line, and called last: the inline comparison then keeps nothing
	// across a call, and needs no registers saved.
	static CompareResult _CompareStringOutsideTask(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
												   VIndex inLength2, bool inDiacritical);
	static bool _EqualStringOutsideTask(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
										VIndex inLength2, bool inDiacritical);
};

} // namespace qirn
