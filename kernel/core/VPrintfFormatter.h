#pragma once

#include "core/VKernelTypes.h"

#include <cstdarg>

namespace qirn {

// Receives the pieces of a formatted text in order: runs of UTF-8 bytes, and
// the kernel objects of the %S, %A and %V conversions.
class IPrintfSink {
public:
	virtual void PutText(const char* inText, size_t inLength) = 0;
	virtual void PutObject(char inConversion, const void* inObject) = 0;

protected:
	~IPrintfSink() = default;
};

// The printf engine of the kernel's strings. It parses the format and reads
// every argument by the type its conversion names, so that floating-point
// arguments and '*' widths land where the C library would put them; the
// C library formats each ordinary conversion, the sink takes the objects.
// Nothing is cut: long output is sized from what the C library reports.
class VPrintfFormatter {
public:
	static void Format(const char* inFormat, va_list inArgs, IPrintfSink& ioSink);
};

} // namespace qirn
