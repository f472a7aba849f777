#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// Seconds written in decimal ("7", "-6.5", "07.008"), read exactly: the
// whole seconds and the first three digits of the fraction, both with the
// number's sign. Through a double, 7.008 seconds would come out as 7 seconds
// and 7 milliseconds.
struct DecimalSeconds {
	sLONG8 fSeconds = 0;
	sLONG fMilliseconds = 0;
	// Digits read, before and after the point; 0 when no number was there.
	VIndex fDigits = 0;

	// Reads an optional sign, digits and an optional '.' with digits from
	// position ioPos (counted from 0) and moves ioPos past them. Seconds
	// beyond the 64-bit range stay at its end.
	static DecimalSeconds Read(const UniChar* inText, VIndex inLength, VIndex& ioPos);
};

} // namespace qirn
