// The command-line parser over an argument vector: the input split at NUL
// bytes, after a program path. The first input byte picks the options
// registered: a set of every kind of value, with or without positional
// arguments, or the updater's own. What must hold: a parse answers 0, 1 or
// 2; the values it stored, written back as arguments in their plainest form,
// parse again to the same values; the exports answer whatever was read.
#include "FuzzSupport.h"

#include "VUpdateCommandLine.h"

#include "core/VString.h"
#include "files/VFilePath.h"
#include "json/VJSONValue.h"
#include "process/VCommandLineParser.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace qirn;

// The parser prints its usage and its errors: kept off the engine's output
// while it parses, unless QIRN_FUZZ_VERBOSE is set.
class StMuted {
public:
	StMuted()
	{
		if (std::getenv("QIRN_FUZZ_VERBOSE") != nullptr)
			return;
		std::fflush(stdout);
		std::fflush(stderr);
		fOut = dup(1);
		fErr = dup(2);
		const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
		dup2(null, 1);
		dup2(null, 2);
		close(null);
	}
	~StMuted()
	{
		if (fOut < 0)
			return;
		std::fflush(stdout);
		std::fflush(stderr);
		dup2(fOut, 1);
		dup2(fErr, 2);
		close(fOut);
		close(fErr);
	}
	StMuted(const StMuted&) = delete;
	StMuted& operator=(const StMuted&) = delete;

private:
	int fOut = -1;
	int fErr = -1;
};

struct Options {
	int fPid = -1;
	VString fName;
	bool fVerbose = false;
	VString fAlpha;
	bool fB = false;
	unsigned int fCount = 0;
	long long fBig = 0;
	unsigned long long fHuge = 0;
	std::vector<VString> fFiles;
	VFilePath fPath;
	VJSONValue fJSON;
	std::vector<VString> fPositional;

	void Register(VCommandLineParser& ioParser, bool inPositional)
	{
		ioParser.AddOption(VString("pid"), VString("The caller's process id"), fPid);
		ioParser.AddOption(VString("name"), VString("A name"), fName);
		ioParser.AddOption(u'v', VString("verbose"), VString("Say more"), fVerbose);
		ioParser.AddOption(u'a', VString("alpha"), VString("Option a"), fAlpha);
		ioParser.AddOption(u'b', VString(), VString("Option b"), fB);
		ioParser.AddOption(VString("count"), VString("A count"), fCount);
		ioParser.AddOption(VString("big"), VString("A big one"), fBig);
		ioParser.AddOption(VString("huge"), VString("A huge one"), fHuge);
		ioParser.AddOption(VString("file"), VString("Files"), fFiles);
		ioParser.AddOption(u'p', VString("path"), VString("A path"), fPath);
		ioParser.AddOption(u' ', VString("json"), VString("A JSON value"), fJSON, true);
		ioParser.AddParagraph(VString("More text of the help."));
		if (inPositional)
			ioParser.SetPositionalOption(fPositional);
	}

	// The arguments that give these values again: long options with '=',
	// the positional arguments after "--".
	std::vector<VString> Arguments() const
	{
		std::vector<VString> args{VString("prog")};
		auto add = [&args](const char* inName, const VString& inValue) {
			VString arg(inName);
			arg.AppendString(inValue);
			args.push_back(arg);
		};
		auto number = [&add](const char* inName, long long inValue, bool inSigned) {
			char text[32];
			if (inSigned)
				std::snprintf(text, sizeof text, "%lld", inValue);
			else
				std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(inValue));
			add(inName, VString(text));
		};
		number("--pid=", fPid, true);
		if (!fName.IsEmpty())
			add("--name=", fName);
		if (fVerbose)
			args.emplace_back("--verbose");
		if (!fAlpha.IsEmpty())
			add("--alpha=", fAlpha);
		if (fB)
			args.emplace_back("-b");
		number("--count=", fCount, false);
		number("--big=", fBig, true);
		number("--huge=", static_cast<long long>(fHuge), false);
		for (const VString& file : fFiles)
			add("--file=", file);
		if (!fPositional.empty()) {
			args.emplace_back("--");
			for (const VString& arg : fPositional)
				args.push_back(arg);
		}
		return args;
	}

	bool SameAs(const Options& inOther) const
	{
		if (fPid != inOther.fPid || !fName.EqualToStringRaw(inOther.fName) || fVerbose != inOther.fVerbose ||
			!fAlpha.EqualToStringRaw(inOther.fAlpha) || fB != inOther.fB || fCount != inOther.fCount ||
			fBig != inOther.fBig || fHuge != inOther.fHuge || fFiles.size() != inOther.fFiles.size() ||
			fPositional.size() != inOther.fPositional.size())
			return false;
		for (size_t i = 0; i < fFiles.size(); ++i) {
			if (!fFiles[i].EqualToStringRaw(inOther.fFiles[i]))
				return false;
		}
		for (size_t i = 0; i < fPositional.size(); ++i) {
			if (!fPositional[i].EqualToStringRaw(inOther.fPositional[i]))
				return false;
		}
		return true;
	}
};

std::vector<VString> SplitArguments(const uint8_t* inData, size_t inSize)
{
	std::vector<VString> args{VString("prog")};
	size_t start = 0;
	for (size_t i = 0; i <= inSize; ++i) {
		if (i == inSize || inData[i] == 0) {
			VString arg;
			arg.FromBlock(inData + start, i - start, VTC_UTF_8);
			args.push_back(arg);
			start = i + 1;
		}
	}
	return args;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	fuzz::StFuzzInput input;
	const uint8_t mode = inData[0];
	const std::vector<VString> args = SplitArguments(inData + 1, inSize - 1);

	if ((mode & 4) != 0) {
		VCommandLineParser parser(args);
		VUpdateCommandLine commandLine;
		uint32 status;
		{
			StMuted muted;
			status = commandLine.Parse(parser, VString("1.0"));
		}
		QIRN_FUZZ_CHECK(status <= 2);
		return 0;
	}

	const bool positional = (mode & 1) != 0;
	Options options;
	VCommandLineParser parser(args);
	options.Register(parser, positional);
	uint32 status;
	{
		StMuted muted;
		status = parser.Parse();
	}
	QIRN_FUZZ_CHECK(status <= 2);
	QIRN_FUZZ_CHECK(options.fPositional.size() + options.fFiles.size() < args.size());
	if ((mode & 2) != 0) {
		VString json;
		parser.ExportAsJSON(&json);
		VString man;
		parser.ExportAsManPage(&man);
	}
	if (status != 0)
		return 0;

	const std::vector<VString> again = options.Arguments();
	Options reread;
	VCommandLineParser second(again);
	reread.Register(second, positional);
	{
		StMuted muted;
		status = second.Parse();
	}
	QIRN_FUZZ_CHECK(status == 0);
	QIRN_FUZZ_CHECK(reread.SameAs(options));
	return 0;
}
