#include "core/DecimalSeconds.h"

#include "core/SaturatingMath.h"

namespace qirn {

DecimalSeconds DecimalSeconds::Read(const UniChar* inText, VIndex inLength, VIndex& ioPos)
{
	DecimalSeconds result;
	VIndex pos = ioPos;
	bool negative = false;
	if (pos < inLength && (inText[pos] == u'-' || inText[pos] == u'+')) {
		negative = inText[pos] == u'-';
		++pos;
	}
	for (; pos < inLength && inText[pos] >= u'0' && inText[pos] <= u'9'; ++pos) {
		result.fSeconds = SaturatingAdd(SaturatingMultiply(result.fSeconds, 10), inText[pos] - u'0');
		++result.fDigits;
	}
	if (pos < inLength && inText[pos] == u'.') {
		++pos;
		sLONG scale = 100;
		for (; pos < inLength && inText[pos] >= u'0' && inText[pos] <= u'9'; ++pos) {
			result.fMilliseconds += (inText[pos] - u'0') * scale;
			scale /= 10;
			++result.fDigits;
		}
	}
	if (result.fDigits == 0)
		return DecimalSeconds();
	if (negative) {
		result.fSeconds = -result.fSeconds;
		result.fMilliseconds = -result.fMilliseconds;
	}
	ioPos = pos;
	return result;
}

} // namespace qirn
