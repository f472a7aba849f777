#include "FuzzSupport.h"

#include "bags_xml/VXMLParser.h"
#include "process/VProcess.h"

#include <cstdio>
#include <cstdlib>

namespace qirn::fuzz {

namespace {

class VFuzzProcess : public VProcess {};

} // namespace

void StartKernel()
{
	// Never destroyed: the engine ends the process from inside an input
	// (a crash, a time limit), and statics would be torn down under it.
	static VFuzzProcess* process = [] {
		auto* started = new VFuzzProcess;
		if (!started->Init(0))
			Fail("the kernel could not start", __FILE__, __LINE__);
		// The XML library stays set up for the process's life, as in a
		// program that keeps a parser: otherwise every input that makes and
		// drops a parser builds and tears down the library's static tables,
		// which took most of an input's time.
		if (!VXMLParser::Init())
			Fail("the XML library could not start", __FILE__, __LINE__);
		return started;
	}();
	(void)process;
}

VString TextFromBytes(const uint8_t* inData, size_t inSize, bool inUTF16)
{
	VString text;
	if (inUTF16)
		text.FromBlock(inData, inSize & ~size_t(1), VTC_UTF_16_SMALLENDIAN);
	else
		text.FromBlock(inData, inSize, VTC_UTF_8);
	return text;
}

std::string Printable(const VString& inText)
{
	std::string text;
	for (VIndex i = 0; i < inText.GetLength(); ++i) {
		const UniChar unit = inText.GetCPointer()[i];
		char piece[8];
		std::snprintf(piece, sizeof piece, unit >= 0x20 && unit < 0x7F ? "%c" : "\\u%04X", unit);
		text += piece;
	}
	return text;
}

void Fail(const char* inWhat, const char* inFile, int inLine)
{
	std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", inWhat, inFile, inLine);
	std::fflush(stderr);
	std::abort();
}

} // namespace qirn::fuzz
