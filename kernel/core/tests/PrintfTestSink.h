#pragma once

// What the formatter's tests share: a sink that writes objects as
// "<letter:text>", where the text is a C string the test passes as the object.

#include "core/VPrintfFormatter.h"

#include <cstdarg>
#include <string>

namespace qirn::testing {

class StringSink : public IPrintfSink {
public:
	void PutText(const char* inText, size_t inLength) override { fText.append(inText, inLength); }
	void PutObject(char inConversion, const void* inObject) override
	{
		fText += '<';
		fText += inConversion;
		fText += ':';
		fText += inObject == nullptr ? "null" : static_cast<const char*>(inObject);
		fText += '>';
	}
	std::string fText;
};

inline std::string Format(const char* inFormat, ...)
{
	StringSink sink;
	va_list args;
	va_start(args, inFormat);
	VPrintfFormatter::Format(inFormat, args, sink);
	va_end(args);
	return sink.fText;
}

} // namespace qirn::testing
