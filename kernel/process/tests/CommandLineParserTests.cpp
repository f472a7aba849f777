// The command-line parser: values stored, the exact messages, the usage with
// and without colours, and the exports.
#include "core/StStringConverter.h"
#include "core/VString.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "files/platform/XLinuxPathBytes.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"
#include "process/VCommandLineParser.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <fcntl.h>
#include <sys/stat.h>
#include <pty.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace qirn {
namespace {

std::string UTF8(const VString& inText)
{
	StStringConverter<char> utf8(inText, VTC_UTF_8);
	return utf8.GetCPointer();
}

std::vector<VString> Arguments(const std::vector<std::string>& inArgs)
{
	std::vector<VString> args{VString("prog")};
	for (const std::string& arg : inArgs)
		args.emplace_back(arg.c_str());
	return args;
}

// The options of the tests: --pid (int), --name (string), -v/--verbose (a
// flag), -a (string), -b (flag), --count (unsigned), --big (long long),
// --file (vector), and positional files when asked.
struct Options {
	int fPid = -1;
	VString fName;
	bool fVerbose = false;
	VString fA;
	bool fB = false;
	unsigned int fCount = 0;
	long long fBig = 0;
	unsigned long long fHuge = 0;
	std::vector<VString> fFiles;
	std::vector<VString> fPositional;

	void Register(VCommandLineParser& ioParser, bool inPositional)
	{
		ioParser.AddOption(VString("pid"), VString("The caller's process id"), fPid);
		ioParser.AddOption(VString("name"), VString("A name"), fName);
		ioParser.AddOption(u'v', VString("verbose"), VString("Say more"), fVerbose);
		ioParser.AddOption(u'a', VString(), VString("Option a"), fA);
		ioParser.AddOption(u'b', VString(), VString("Option b"), fB);
		ioParser.AddOption(VString("count"), VString("A count"), fCount);
		ioParser.AddOption(VString("big"), VString("A big one"), fBig);
		ioParser.AddOption(VString("huge"), VString("A huge one"), fHuge);
		ioParser.AddOption(VString("file"), VString("Files"), fFiles);
		if (inPositional)
			ioParser.SetPositionalOption(fPositional);
	}
	std::string Dump() const
	{
		std::string dump = "pid=" + std::to_string(fPid) + " name=" + UTF8(fName) + " v=" + std::to_string(fVerbose) +
						   " a=" + UTF8(fA) + " b=" + std::to_string(fB) + " count=" + std::to_string(fCount) +
						   " big=" + std::to_string(fBig) + " huge=" + std::to_string(fHuge) + " files=";
		for (const VString& file : fFiles)
			dump += "[" + UTF8(file) + "]";
		dump += " pos=";
		for (const VString& file : fPositional)
			dump += "[" + UTF8(file) + "]";
		return dump;
	}
};

struct ParseResult {
	uint32 fResult;
	std::string fValues;
	std::string fError;
};

ParseResult ParseWith(const std::vector<std::string>& inArgs, bool inPositional)
{
	const std::vector<VString> args = Arguments(inArgs);
	VCommandLineParser parser(args);
	Options options;
	options.Register(parser, inPositional);
	::testing::internal::CaptureStdout();
	::testing::internal::CaptureStderr();
	const uint32 result = parser.Parse();
	ParseResult answer{result, options.Dump(), ::testing::internal::GetCapturedStderr()};
	::testing::internal::GetCapturedStdout();
	return answer;
}

const std::string kDefaults = "pid=-1 name= v=0 a= b=0 count=0 big=0 huge=0 files= pos=";

std::string With(const std::string& inKey, const std::string& inValue)
{
	std::string values = kDefaults;
	const size_t at = values.find(" " + inKey + "=") != std::string::npos ? values.find(" " + inKey + "=") + 1
																			 : values.find(inKey + "=");
	const size_t end = values.find(' ', at);
	values.replace(at, (end == std::string::npos ? values.size() : end) - at, inKey + "=" + inValue);
	return values;
}

TEST(CommandLineParser, ParsesValuesAndReportsErrors)
{
	struct Case {
		std::vector<std::string> fArgs;
		bool fPositional;
		uint32 fResult;
		std::string fValues;
		std::string fError;
	};
	// clang-format off
	const Case cases[] = {
		{{}, false, 0, kDefaults, ""},
		{{"--pid=42"}, false, 0, With("pid", "42"), ""},
		{{"--pid", "42"}, false, 0, With("pid", "42"), ""},
		{{"--pid", " +7 "}, false, 0, With("pid", "7"), ""},
		{{"--pid=010"}, false, 0, With("pid", "8"), ""},  // octal, as the C library reads it
		{{"--pid=-5"}, false, 0, With("pid", "-5"), ""},
		{{"--pid=2147483647"}, false, 0, With("pid", "2147483647"), ""},
		{{"--pid=4294967297"}, false, 1, kDefaults,
		 "invalid value for argument '--pid' got \"4294967297\" expected a signed integral\n"},
		{{"--pid=-2147483649"}, false, 1, kDefaults,
		 "invalid value for argument '--pid' got \"-2147483649\" expected a signed integral\n"},
		{{"--pid=99999999999999999999"}, false, 1, kDefaults,
		 "invalid value for argument '--pid' got \"99999999999999999999\" expected a signed integral\n"},
		{{"--pid=0x10"}, false, 1, kDefaults,
		 "invalid value for argument '--pid' got \"0x10\" expected a signed integral\n"},
		{{"--pid="}, false, 1, kDefaults,
		 "invalid value for argument '--pid' got empty value expected a signed integral\n"},
		{{"--count=4294967295"}, false, 0, With("count", "4294967295"), ""},
		{{"--count=4294967296"}, false, 1, kDefaults,
		 "invalid value for argument '--count' got \"4294967296\" expected an unsigned integral\n"},
		{{"--count=-1"}, false, 1, kDefaults,
		 "invalid value for argument '--count' got \"-1\" expected an unsigned integral\n"},
		{{"--big=-9223372036854775808"}, false, 0, With("big", "-9223372036854775808"), ""},
		{{"--huge=18446744073709551615"}, false, 0, With("huge", "18446744073709551615"), ""},
		{{"--huge=-1"}, false, 1, kDefaults,
		 "invalid value for argument '--huge' got \"-1\" expected an unsigned integral\n"},
		{{"--pid", "-5"}, false, 1, kDefaults, "error: missing value for option --pid\n"},
		{{"--pid"}, false, 1, kDefaults, "error: missing value for option --pid\n"},
		{{"--name=x=y"}, false, 0, With("name", "x=y"), ""},
		{{"--verbose"}, false, 0, With("v", "1"), ""},
		{{"--verbose=1"}, false, 1, kDefaults, "error: a value for option `verbose` is not required\n"},
		{{"--nope"}, false, 1, kDefaults, "error: unknown option `nope`\n"},
		{{"--nope=3"}, false, 1, kDefaults, "error: unknown option `nope`\n"},
		{{"--help=3"}, false, 1, kDefaults, "error: invalid value for option  `help`\n"},
		{{"-"}, false, 1, kDefaults, "error: missing short option `-`\n"},
		{{"-x"}, false, 1, kDefaults, "error: unknown option `x`\n"},
		{{"-ab", "x"}, false, 0, "pid=-1 name= v=0 a=x b=1 count=0 big=0 huge=0 files= pos=", ""},
		{{"--name", "-b", "v"}, false, 0, "pid=-1 name=v v=0 a= b=1 count=0 big=0 huge=0 files= pos=", ""},
		{{"-a", "--", "-x"}, true, 0, With("a", "-x"), ""},
		{{"--", "-v", "--pid=3"}, true, 0, With("pos", "[-v][--pid=3]"), ""},
		{{"one", "--file", "f1", "two", "--file=f2"}, true, 0,
		 "pid=-1 name= v=0 a= b=0 count=0 big=0 huge=0 files=[f1][f2] pos=[one][two]", ""},
		{{"stray"}, false, 1, kDefaults, "error: unknown option `stray`\n"},
		{{"-ApplePersistenceIgnoreState", "YES", "-v"}, false, 0, With("v", "1"), ""},
	};
	// clang-format on
	for (const Case& c : cases) {
		std::string trace;
		for (const std::string& arg : c.fArgs)
			trace += arg + " ";
		SCOPED_TRACE(trace);
		const ParseResult result = ParseWith(c.fArgs, c.fPositional);
		EXPECT_EQ(result.fResult, c.fResult);
		EXPECT_EQ(result.fValues, c.fValues);
		EXPECT_EQ(result.fError, c.fError);
	}
}

TEST(CommandLineParser, BooleanValues)
{
	struct Case {
		const char* fValue;
		bool fConverted;
		bool fResult;
	};
	for (const Case& c : {Case{"1", true, true}, Case{"true", true, true}, Case{"TRUE", true, true},
						  Case{"0", true, false}, Case{"False", true, false}, Case{"yes", false, false},
						  Case{"", false, false}, Case{" 1", false, false}}) {
		SCOPED_TRACE(c.fValue);
		std::vector<VString> args = Arguments({});
		VCommandLineParser parser(args);
		bool target = false;
		EXPECT_EQ(Extension::CommandLineParser::Argument<bool>::Append(parser, target, VString(c.fValue)), c.fConverted);
		EXPECT_EQ(target, c.fResult);
	}
}

TEST(CommandLineParser, AnInvalidValueShowsAtMostEightyCharacters)
{
	const std::string eighty(80, '7');
	std::string longer = eighty + "x";
	ParseResult result = ParseWith({"--pid=" + longer}, false);
	EXPECT_EQ(result.fError, "invalid value for argument '--pid' got \"" + eighty + "...\" expected a signed integral\n");
	result = ParseWith({"--pid=" + eighty + "x"}, false);
	EXPECT_EQ(result.fResult, 1u);
}

TEST(CommandLineParser, NothingIsRegisteredWithoutArguments)
{
	std::vector<VString> args{VString("prog")};
	VCommandLineParser parser(args);
	int pid = 9;
	parser.AddOption(VString("pid"), VString("id"), pid);
	VString json;
	parser.ExportAsJSON(&json);
	EXPECT_NE(UTF8(json).find("\"count\": 0,"), std::string::npos);
	EXPECT_EQ(parser.Parse(), 0u);
	EXPECT_EQ(pid, 9);
}

TEST(CommandLineParser, FilePathsAreResolved)
{
	std::vector<VString> args = Arguments({"--path", "/tmp/../tmp", "--other", "/no/such/place"});
	VCommandLineParser parser(args);
	VFilePath path, other;
	parser.AddOption(VString("path"), VString("p"), path);
	parser.AddOption(VString("other"), VString("o"), other);
	EXPECT_EQ(parser.Parse(), 0u);
	EXPECT_EQ(UTF8(path.GetPath(FPS_POSIX)), "/tmp/");
	EXPECT_EQ(UTF8(other.GetPath(FPS_POSIX)), "/no/such/place");
}

// Files and folders must exist, as what they are; a link is followed to
// its target. A refused value empties the target.
TEST(CommandLineParser, FilesAndFoldersMustExist)
{
	testing::TempFolder temp;
	const std::string file = temp / "notes.txt";
	const std::string folder = temp / "sub";
	ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
	const int made = ::open(file.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
	ASSERT_GE(made, 0);
	::close(made);
	ASSERT_EQ(::symlink(file.c_str(), (temp / "link").c_str()), 0);
	struct Case {
		std::string fValue;
		bool fFile;	  // converted as a file, and the path it gives
		std::string fFilePath;
		bool fFolder; // converted as a folder
		std::string fFolderPath;
	};
	const Case cases[] = {
		{file, true, file, false, ""},
		{temp / "sub/../notes.txt", true, file, false, ""},
		{temp / "link", true, file, false, ""},
		{folder, false, "", true, folder + "/"},
		{folder + "/", false, "", true, folder + "/"},
		{temp / "missing", false, "", false, ""},
		{"", false, "", false, ""},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fValue);
		std::vector<VString> args = Arguments({});
		VCommandLineParser parser(args);
		VRefPtr<VFile> fileTarget = VRefPtr<VFile>::Adopt(new VFile(VString("/etc/hostname"), FPS_POSIX));
		EXPECT_EQ(Extension::CommandLineParser::Argument<VRefPtr<VFile>>::Append(parser, fileTarget,
																				 VString(c.fValue.c_str())),
				  c.fFile);
		EXPECT_EQ(fileTarget ? UTF8(fileTarget->GetPath().GetPath(FPS_POSIX)) : "", c.fFilePath);
		VRefPtr<VFolder> folderTarget = VRefPtr<VFolder>::Adopt(new VFolder(VString("/etc/"), FPS_POSIX));
		EXPECT_EQ(Extension::CommandLineParser::Argument<VRefPtr<VFolder>>::Append(parser, folderTarget,
																				   VString(c.fValue.c_str())),
				  c.fFolder);
		EXPECT_EQ(folderTarget ? UTF8(folderTarget->GetPath().GetPath(FPS_POSIX)) : "", c.fFolderPath);
	}
	// As options, with the invalid-value message.
	std::vector<VString> args = Arguments({"--in", file, "--out", temp / "missing"});
	VCommandLineParser parser(args);
	VRefPtr<VFile> in;
	VRefPtr<VFolder> out;
	parser.AddOption(VString("in"), VString("i"), in);
	parser.AddOption(VString("out"), VString("o"), out);
	EXPECT_EQ(parser.Parse(), 1u);
	ASSERT_TRUE(in);
	EXPECT_FALSE(out);
}

// A JSON target converts by its kind.
TEST(CommandLineParser, JSONValuesByTheTargetsKind)
{
	struct Case {
		const char* fName;
		std::function<void(VJSONValue&)> fKind;
		const char* fValue;
		bool fConverted;
		const char* fResult; // the target as JSON text afterwards
	};
	auto asString = [](VJSONValue& v) { v.SetString(VString("old")); };
	auto asObject = [](VJSONValue& v) { v.ParseFromString(VString("{\"old\":1}")); };
	auto asUndefined = [](VJSONValue& v) { v.SetUndefined(); };
	auto asFalse = [](VJSONValue& v) { v.SetBool(false); };
	auto asTrue = [](VJSONValue& v) { v.SetBool(true); };
	auto asNumber = [](VJSONValue& v) { v.SetNumber(3); };
	const Case cases[] = {
		{"string takes the text", asString, "{not json", true, "\"{not json\""},
		{"object parses", asObject, "{\"a\":[1,2]}", true, "{\"a\":[1,2]}"},
		{"undefined parses", asUndefined, "[true]", true, "[true]"},
		{"object refuses bad JSON and stays", asObject, "{\"a\":", false, "{\"old\":1}"},
		{"false takes on", asFalse, "on", true, "true"},
		{"false takes TRUE", asFalse, "TRUE", true, "true"},
		{"true takes off", asTrue, "off", true, "false"},
		{"true takes 0", asTrue, "0", true, "false"},
		{"true refuses yes", asTrue, "yes", false, "true"},
		{"a number refuses", asNumber, "4", false, "3"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		std::vector<VString> args = Arguments({});
		VCommandLineParser parser(args);
		VJSONValue target;
		c.fKind(target);
		EXPECT_EQ(Extension::CommandLineParser::Argument<VJSONValue>::Append(parser, target, VString(c.fValue)),
				  c.fConverted);
		VString text;
		target.Stringify(text, VJSONWriter::kOption_Quotes);
		EXPECT_EQ(UTF8(text), c.fResult);
	}
}

// A folder whose name is not UTF-8 resolves to itself, its bytes kept.
TEST(CommandLineParser, APathThatIsNotUTF8IsResolved)
{
	testing::TempFolder temp;
	const std::string folder = temp / "caf\xE9";
	ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
	VString text;
	XLinuxPathBytes::ToText(folder.data(), folder.size(), text);
	VFilePath path;
	EXPECT_TRUE(Extension::CommandLineParser::ResolveRealPath(text, path));
	std::string bytes;
	ASSERT_TRUE(XLinuxPathBytes::ToBytes(path.GetPath(FPS_POSIX), bytes));
	char* real = ::realpath(folder.c_str(), nullptr);
	ASSERT_NE(real, nullptr);
	EXPECT_EQ(bytes, std::string(real) + "/");
	std::free(real);
	EXPECT_FALSE(Extension::CommandLineParser::ResolveRealPath(VString(), path));
}

// The parser of the usage tests: a paragraph, options of every name shape,
// a long description and a hidden option.
void RegisterForUsage(VCommandLineParser& ioParser, Options& ioOptions, std::vector<VString>& ioPositional)
{
	ioParser.AddOption(u'v', VString("verbose"), VString("Say more"), ioOptions.fVerbose);
	ioParser.AddOption(VString("pid"), VString("The caller's\tprocess id"), ioOptions.fPid);
	ioParser.AddOption(u'a', VString(), VString("Option a"), ioOptions.fA);
	ioParser.AddOption(u'b', VString(), VString("Option b"), ioOptions.fB);
	ioParser.AddOption(u's', VString("secret"), VString("Hidden"), ioOptions.fName, true);
	ioParser.AddOption(VString("a-very-long-option-name"),
					   VString("A description that goes on for more than fifty characters, so it wraps."),
					   ioOptions.fCount);
	ioParser.AddParagraph(VString("Paragraph one."));
	ioParser.AddParagraph(VString("A paragraph long enough to be wrapped at the seventy-ninth column of the terminal "
								  "window, which it is."));
	ioParser.SetPositionalOption(ioPositional);
}

const std::string kUsage = "Usage: prog [OPTION]... [FILE]...\n"
						   "\n"
						   "  -v, --verbose              Say more\n"
						   "      --pid=VALUE            The caller'sprocess id\n"  // the tab goes
						   "  -a VALUE              Option a\n"
						   "  -b                    Option b\n"
						   "      --a-very-long-option-name=VALUE\n"
						   "                             A description that goes on for more than fifty\n"
						   "                             characters, so it wraps.\n"
						   "Paragraph one.\n"
						   "A paragraph long enough to be wrapped at the seventy-ninth column of the\n"
						   "terminal window, which it is.\n"
						   "  -h, --help                 Display the help and exit\n";

TEST(CommandLineParser, TheUsageWithoutColours)
{
	for (const char* ask : {"--help", "-h", "-?"}) {
		SCOPED_TRACE(ask);
		std::vector<VString> args = Arguments({ask});
		VCommandLineParser parser(args);
		Options options;
		std::vector<VString> positional;
		RegisterForUsage(parser, options, positional);
		::testing::internal::CaptureStdout();
		EXPECT_EQ(parser.Parse(), 2u);
		EXPECT_EQ(::testing::internal::GetCapturedStdout(), kUsage);
	}
}

// Standard output on a pseudo-terminal: the usage is coloured.
TEST(CommandLineParser, TheUsageOnATerminalIsColoured)
{
	int master = -1, slave = -1;
	ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
	struct termios mode{};
	::tcgetattr(slave, &mode);
	::cfmakeraw(&mode); // no line-feed translation
	::tcsetattr(slave, TCSANOW, &mode);
	std::fflush(stdout);
	const int saved = ::dup(STDOUT_FILENO);
	::dup2(slave, STDOUT_FILENO);
	std::vector<VString> args = Arguments({"--help"});
	uint32 result = 0;
	{
		VCommandLineParser parser(args);
		Options options;
		std::vector<VString> positional;
		RegisterForUsage(parser, options, positional);
		result = parser.Parse();
	}
	std::fflush(stdout);
	::dup2(saved, STDOUT_FILENO);
	::close(saved);
	::close(slave);
	std::string out;
	char buffer[4096];
	::fcntl(master, F_SETFL, O_NONBLOCK);
	for (ssize_t got; (got = ::read(master, buffer, sizeof(buffer))) > 0;)
		out.append(buffer, static_cast<size_t>(got));
	::close(master);
	EXPECT_EQ(result, 2u);
	const std::string G = "\x1b[0;32m", Y = "\x1b[0;33m", R = "\x1b[0m";
	const std::string expected =
		"Usage: prog [OPTION]... [FILE]...\n"
		"\n" +
		G + "  -v, --verbose              " + R + "Say more\n" + G + "      --pid=VALUE            " + R +
		"The caller'sprocess id\n" + G + "  -a VALUE              " + R + "Option a\n" + G +
		"  -b                    " + R + "Option b\n" + G +
		"      --a-very-long-option-name=VALUE\n                             " + R +
		"A description that goes on for more than fifty\n"
		"                             characters, so it wraps.\n" +
		Y + "Paragraph one." + R + "\n" + Y +
		"A paragraph long enough to be wrapped at the seventy-ninth column of the\n"
		"terminal window, which it is." +
		R + "\n" + G + "  -h, --help                 " + R + "Display the help and exit\n";
	EXPECT_EQ(out, expected);
}

TEST(CommandLineParser, ExportsAsManPageAndJSON)
{
	std::vector<VString> args = Arguments({"a\"b"});
	VCommandLineParser parser(args);
	Options options;
	parser.AddParagraph(VString("Skipped: nothing before it"));
	parser.AddOption(u'v', VString("verbose"), VString("Say\tmore"), options.fVerbose);
	parser.AddOption(u'a', VString(), VString("Option a"), options.fA);
	parser.AddOption(u'b', VString(), VString("Option b"), options.fB);
	parser.AddOption(VString("pid"), VString("The \"id\""), options.fPid);
	parser.AddOption(u's', VString("secret"), VString("Hidden"), options.fName, true);
	parser.AddParagraph(VString("More\n\"quoted\""));
	VString man;
	parser.ExportAsManPage(&man);
	EXPECT_EQ(UTF8(man), ".SH OPTIONS\n"
						 ".TP\n.BR \\-v \", \" \\-\\-verbose\nSaymore\n"
						 ".TP\n.BR \\-a \\fIVALUE\\fR\nOption a\n"
						 ".TP\n.BR \\-b\nOption b\n"
						 ".TP\n.BR \\-\\-pid=\\fIVALUE\\fR\nThe \"id\"\n"
						 ".SS \"More\\\"quoted\\\"\"\n");
	VString json;
	parser.ExportAsJSON(&json);
	EXPECT_EQ(UTF8(json), "{\n"
						  "\t\"arguments\": {\n"
						  "\t\t\"count\": 2,\n"
						  "\t\t\"values\": [\n"
						  "\t\t\t\"prog\",\n"
						  "\t\t\t\"a\\\"b\"\n"
						  "\t\t]\n"
						  "\t},\n"
						  "\t\"options\": {\n"
						  "\t\t\"count\": 7,\n"
						  "\t\t\"values\": [\n"
						  "\t\t\t{\n\t\t\t\t\"paragraph\": \"Skipped: nothing before it\"\n\t\t\t},\n"
						  "\t\t\t{\n\t\t\t\t\"shortName\": \"v\",\n\t\t\t\t\"longName\": \"verbose\",\n"
						  "\t\t\t\t\"description\": \"Say\\tmore\"\n\t\t\t},\n"
						  "\t\t\t{\n\t\t\t\t\"shortName\": \"a\",\n\t\t\t\t\"requiresValue\": true,\n"
						  "\t\t\t\t\"description\": \"Option a\"\n\t\t\t},\n"
						  "\t\t\t{\n\t\t\t\t\"shortName\": \"b\",\n\t\t\t\t\"description\": \"Option b\"\n\t\t\t},\n"
						  "\t\t\t{\n\t\t\t\t\"longName\": \"pid\",\n\t\t\t\t\"requiresValue\": true,\n"
						  "\t\t\t\t\"description\": \"The \\\"id\\\"\"\n\t\t\t},\n"
						  "\t\t\t{\n\t\t\t\t\"shortName\": \"s\",\n\t\t\t\t\"longName\": \"secret\",\n"
						  "\t\t\t\t\"requiresValue\": true,\n\t\t\t\t\"description\": \"Hidden\"\n\t\t\t},\n"
						  "\t\t\t{\n\t\t\t\t\"paragraph\": \"More\\n\\\"quoted\\\"\"\n\t\t\t}\n"
						  "\t\t]\n"
						  "\t}\n"
						  "}\n");
}

TEST(CommandLineParser, NameValidation)
{
	struct Case {
		const char* fName;
		bool fValid;
	};
	for (const Case& c : {Case{"", true}, Case{"ab", true}, Case{"log-dir", true}, Case{"a", false},
						  Case{"-ab", false}, Case{"ab-", false}, Case{"Ab", false}, Case{"a_b", false}}) {
		SCOPED_TRACE(c.fName);
		EXPECT_EQ(VCommandLineParser::ValidateLongOptionName(VString(c.fName)), c.fValid);
	}
	EXPECT_TRUE(VCommandLineParser::ValidateShortOptionName(u'x'));
	EXPECT_TRUE(VCommandLineParser::ValidateShortOptionName(u'7'));
	EXPECT_TRUE(VCommandLineParser::ValidateShortOptionName(u' '));
	EXPECT_FALSE(VCommandLineParser::ValidateShortOptionName(u'-'));
}

} // namespace
} // namespace qirn
