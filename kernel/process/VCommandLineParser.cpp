#include "process/VCommandLineParser.h"

#include "core/StStringConverter.h"
#include "files/platform/XLinuxPathBytes.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"

#include <cerrno>
#include <climits>
#include <initializer_list>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <limits>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace qirn {

namespace {

using Private::CommandLineParser::VOptionBase;

std::u16string U16(const VString& inText)
{
	return std::u16string(inText.GetCPointer(), static_cast<size_t>(inText.GetLength()));
}

VString FromU16(const std::u16string& inText)
{
	return VString(inText.data(), static_cast<VIndex>(inText.size()));
}

std::string UTF8(const VString& inText)
{
	StStringConverter<char> utf8(inText, VTC_UTF_8);
	return std::string(utf8.GetCPointer(), utf8.GetSize());
}

void WriteLine(FILE* inStream, const VString& inText)
{
	const std::string bytes = UTF8(inText);
	std::fwrite(bytes.data(), 1, bytes.size(), inStream);
	std::fputc('\n', inStream);
	std::fflush(inStream);
}

bool StartsWithDash(const VString& inText)
{
	return inText.GetLength() > 0 && inText.GetUniChar(1) == u'-';
}

std::u16string WithoutChars(const VString& inText, const char16_t* inChars)
{
	std::u16string text = U16(inText);
	std::erase_if(text, [inChars](char16_t c) { return std::u16string_view(inChars).find(c) != std::u16string_view::npos; });
	return text;
}

// ---- integers

template <class Wide>
Wide ConvertWith(const char* inText, char** outEnd);
template <>
long long ConvertWith<long long>(const char* inText, char** outEnd)
{
	return std::strtoll(inText, outEnd, 0);
}
template <>
unsigned long long ConvertWith<unsigned long long>(const char* inText, char** outEnd)
{
	return std::strtoull(inText, outEnd, 0);
}

// The text of an integer without its surrounding white space, when it is
// made of 1 to 30 digits and signs.
bool IntegerText(const VString& inValue, std::string& outText)
{
	std::u16string text = U16(inValue);
	size_t first = 0, last = text.size();
	while (first < last && std::iswspace(static_cast<wint_t>(text[first])))
		++first;
	while (last > first && std::iswspace(static_cast<wint_t>(text[last - 1])))
		--last;
	if (last - first < 1 || last - first > 30)
		return false;
	outText.clear();
	for (size_t i = first; i < last; ++i) {
		const char16_t c = text[i];
		if (!((c >= u'0' && c <= u'9') || c == u'+' || c == u'-'))
			return false;
		outText.push_back(static_cast<char>(c));
	}
	return true;
}

template <class T>
bool ConvertInteger(const VString& inValue, T& ioTarget)
{
	std::string text;
	if (!IntegerText(inValue, text))
		return false;
	using Wide = std::conditional_t<std::is_signed_v<T>, long long, unsigned long long>;
	errno = 0;
	char* end = nullptr;
	const Wide value = ConvertWith<Wide>(text.c_str(), &end);
	if (errno != 0 || end == nullptr || *end != 0)
		return false;
	if constexpr (std::is_signed_v<T>) {
		if (value < static_cast<Wide>(std::numeric_limits<T>::min()) ||
			value > static_cast<Wide>(std::numeric_limits<T>::max()))
			return false;
	} else {
		// The C library reads "-1" as the largest unsigned number: a minus
		// sign before anything but zero is out of range.
		if (text.find('-') != std::string::npos && value != 0)
			return false;
		if (value > static_cast<Wide>(std::numeric_limits<T>::max()))
			return false;
	}
	ioTarget = static_cast<T>(value);
	return true;
}

// ---- help

constexpr const char* kGreen = "\x1b[0;32m";
constexpr const char* kYellow = "\x1b[0;33m";
constexpr const char* kReset = "\x1b[0m";
constexpr size_t kDescriptionIndent = 29;
constexpr size_t kDescriptionLimit = 49;
constexpr size_t kParagraphLimit = 79;

bool IsWrapSeparator(char16_t inChar)
{
	return inChar == u' ' || inChar == u'.' || inChar == u'\r' || inChar == u'\n' || inChar == u'\t';
}

// Cuts the text at separators into lines of at most the limit; a line feed
// of the text ends a line too. Lines after the first of a description are
// indented to its column.
void WrapHelpText(const std::u16string& inText, bool inDescription, bool inColours, std::u16string& ioOut)
{
	const size_t limit = inDescription ? kDescriptionLimit : kParagraphLimit;
	const std::u16string lineEnd = inDescription ? u"\n" + std::u16string(kDescriptionIndent, u' ') : u"\n";
	size_t start = 0, last = 0, pos = 0;
	for (;;) {
		size_t s = pos;
		while (s < inText.size() && !IsWrapSeparator(inText[s]))
			++s;
		if (s >= inText.size())
			break;
		if (s - start > limit) {
			const size_t cut = last != 0 ? last : s;
			ioOut.append(inText, start, cut - start);
			ioOut += lineEnd;
			start = cut + 1;
			pos = s + 1;
			last = pos;
		} else if (inText[s] == u'\n') {
			ioOut.append(inText, start, s - start);
			ioOut += lineEnd;
			start = pos = s + 1;
			last = pos;
		} else {
			last = s;
			pos = s + 1;
		}
	}
	if (start < inText.size())
		ioOut.append(inText, start, std::u16string::npos);
	if (!inDescription && inColours)
		ioOut += u"\x1b[0m";
	ioOut += u'\n';
}

void AppendASCII(std::u16string& ioOut, const char* inText)
{
	for (const char* c = inText; *c != 0; ++c)
		ioOut.push_back(static_cast<char16_t>(static_cast<unsigned char>(*c)));
}

void AppendOptionLine(const VOptionBase& inOption, bool inColours, std::u16string& ioOut)
{
	if (inColours)
		AppendASCII(ioOut, kGreen);
	const bool hasLong = inOption.fLongName.GetLength() > 0;
	if (inOption.HasShortName()) {
		ioOut += u"  -";
		ioOut.push_back(inOption.fShortName);
		if (hasLong)
			ioOut += u", ";
		else if (inOption.fRequiresValue)
			ioOut += u" VALUE" + std::u16string(14, u' ');
		else
			ioOut += std::u16string(20, u' ');
	} else {
		ioOut += std::u16string(6, u' ');
	}
	if (hasLong) {
		ioOut += u"--" + U16(inOption.fLongName);
		size_t width = 9 + static_cast<size_t>(inOption.fLongName.GetLength());
		if (inOption.fRequiresValue) {
			ioOut += u"=VALUE";
			width += 6;
		}
		if (width < 30)
			ioOut += std::u16string(30 - width, u' ');
		else
			ioOut += u"\n" + std::u16string(kDescriptionIndent, u' ');
	}
	if (inColours)
		AppendASCII(ioOut, kReset);
	const std::u16string description = WithoutChars(inOption.fDescription, u"\t");
	if (description.size() <= 50) {
		ioOut += description;
		ioOut += u'\n';
	} else {
		WrapHelpText(description, true, inColours, ioOut);
	}
}

std::u16string JSONText(const std::u16string& inText)
{
	VString escaped;
	FromU16(inText).GetJSONString(escaped, 0);
	return U16(escaped);
}

} // namespace

// ---- converters

namespace Extension::CommandLineParser {

bool Argument<bool>::Append(VCommandLineParser&, bool& ioTarget, const VString& inValue)
{
	if (inValue.EqualToStringRaw(VString("1")) || inValue.EqualToString(VString("true"), false)) {
		ioTarget = true;
		return true;
	}
	if (inValue.EqualToStringRaw(VString("0")) || inValue.EqualToString(VString("false"), false)) {
		ioTarget = false;
		return true;
	}
	return false;
}

bool Argument<int>::Append(VCommandLineParser&, int& ioTarget, const VString& inValue)
{
	return ConvertInteger(inValue, ioTarget);
}

bool Argument<unsigned int>::Append(VCommandLineParser&, unsigned int& ioTarget, const VString& inValue)
{
	return ConvertInteger(inValue, ioTarget);
}

bool Argument<long long>::Append(VCommandLineParser&, long long& ioTarget, const VString& inValue)
{
	return ConvertInteger(inValue, ioTarget);
}

bool Argument<unsigned long long>::Append(VCommandLineParser&, unsigned long long& ioTarget, const VString& inValue)
{
	return ConvertInteger(inValue, ioTarget);
}

bool ResolveRealPath(const VString& inText, VFilePath& outPath)
{
	if (inText.IsNull() || inText.GetLength() == 0) {
		outPath.Clear();
		return false;
	}
	// Names that are not UTF-8 cross the text as escaped bytes.
	std::string text;
	char* resolved = XLinuxPathBytes::ToBytes(inText, text) ? ::realpath(text.c_str(), nullptr) : nullptr;
	if (resolved == nullptr) {
		outPath.FromFullPath(inText, FPS_POSIX);
		return false;
	}
	std::string path(resolved);
	std::free(resolved);
	struct stat info{};
	if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && path.back() != '/')
		path.push_back('/');
	VString resolvedText;
	XLinuxPathBytes::ToText(path.data(), path.size(), resolvedText);
	outPath.FromFullPath(resolvedText, FPS_POSIX);
	return true;
}

bool Argument<VFilePath>::Append(VCommandLineParser&, VFilePath& ioTarget, const VString& inValue)
{
	ResolveRealPath(inValue, ioTarget);
	return true;
}

bool Argument<VRefPtr<VFile>>::Append(VCommandLineParser&, VRefPtr<VFile>& ioTarget, const VString& inValue)
{
	VFilePath path;
	if (!ResolveRealPath(inValue, path) || !path.IsFile()) {
		ioTarget = nullptr;
		return false;
	}
	VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(path));
	if (file->IsAliasFile()) {
		VRefPtr<VFile> target = file;
		StErrorContextInstaller silent(false, true);
		if (VFile::ResolveAliasFile(target, false) == VE_OK && target)
			file = target;
	}
	if (!file->Exists()) {
		ioTarget = nullptr;
		return false;
	}
	ioTarget = file;
	return true;
}

bool Argument<VRefPtr<VFolder>>::Append(VCommandLineParser&, VRefPtr<VFolder>& ioTarget, const VString& inValue)
{
	VFilePath path;
	if (!ResolveRealPath(inValue, path) || !path.IsFolder()) {
		ioTarget = nullptr;
		return false;
	}
	ioTarget = VRefPtr<VFolder>::Adopt(new VFolder(path));
	return true;
}

bool Argument<VJSONValue>::Append(VCommandLineParser&, VJSONValue& ioTarget, const VString& inValue)
{
	switch (ioTarget.GetType()) {
		case JSON_string:
			ioTarget.SetString(inValue);
			return true;
		case JSON_object:
		case JSON_undefined: {
			// The parser prints its own message: the reader's error is not
			// left on the task.
			StErrorContextInstaller silent(false, true);
			VJSONValue parsed;
			if (parsed.ParseFromString(inValue) != VE_OK)
				return false;
			ioTarget = parsed;
			return true;
		}
		case JSON_false:
		case JSON_true:
			for (const char* word : {"1", "true", "on"}) {
				if (inValue.EqualToString(VString(word), false)) {
					ioTarget.SetBool(true);
					return true;
				}
			}
			for (const char* word : {"0", "false", "off"}) {
				if (inValue.EqualToString(VString(word), false)) {
					ioTarget.SetBool(false);
					return true;
				}
			}
			return false;
		default:
			return false;
	}
}

} // namespace Extension::CommandLineParser

// ---- options

namespace Private::CommandLineParser {

uint32 VOptionBase::AppendArgument(VCommandLineParser&, const VString&)
{
	return 1;
}

bool VOptionBase::AppendFullName(VString& ioText) const
{
	const bool hasLong = fLongName.GetLength() > 0;
	if (HasShortName()) {
		ioText.AppendUniChar(u'-');
		ioText.AppendUniChar(fShortName);
		if (hasLong) {
			ioText.AppendCString(", --");
			ioText.AppendString(fLongName);
		}
		return true;
	}
	if (hasLong) {
		ioText.AppendCString("--");
		ioText.AppendString(fLongName);
		return true;
	}
	return false;
}

void VOptionBase::PrintErrorWhenAppendingInvalidValue(VCommandLineParser& ioParser, const char* inReason,
													   const VString& inValue) const
{
	VString text("invalid value for argument '");
	if (!AppendFullName(text))
		text.AppendCString("<anonymous>");
	text.AppendCString("' got ");
	if (inValue.GetLength() == 0) {
		text.AppendCString("empty value ");
	} else {
		text.AppendUniChar(u'"');
		if (inValue.GetLength() > 80) {
			text.AppendUniChars(inValue.GetCPointer(), 80);
			text.AppendCString("...");
		} else {
			text.AppendString(inValue);
		}
		text.AppendCString("\" ");
	}
	text.AppendCString(inReason);
	ioParser.PrintArgumentError(text);
}

StOptionsInfos::StOptionsInfos(const std::vector<VString>& inArguments)
	: fArguments(inArguments), fRegistrationEnabled(inArguments.size() >= 2)
{
}

StOptionsInfos::~StOptionsInfos()
{
	Clear();
}

void StOptionsInfos::Clear()
{
	delete fPositional;
	fPositional = nullptr;
	for (VOptionBase* item : fItems)
		delete item;
	fItems.clear();
	fShortOptions.clear();
	fLongOptions.clear();
}

void StOptionsInfos::RegisterOption(bool inRequiresValue, VOptionBase* inOption)
{
	if (inOption->HasShortName())
		fShortOptions.emplace(inOption->fShortName, std::make_pair(inOption, inRequiresValue));
	if (inOption->fLongName.GetLength() > 0)
		fLongOptions.emplace(U16(inOption->fLongName), std::make_pair(inOption, inRequiresValue));
	fItems.push_back(inOption);
}

void StOptionsInfos::SetPositionalOption(VOptionBase* inOption)
{
	delete fPositional;
	fPositional = inOption;
}

void StOptionsInfos::AddParagraph(const VString& inText)
{
	fItems.push_back(new VOptionBase(u' ', VString(), inText, false));
}

void StOptionsInfos::HelpUsage(const VString& inProgramPath) const
{
	std::u16string out = u"Usage: " + U16(inProgramPath) + u" [OPTION]...";
	if (fPositional != nullptr)
		out += u" [FILE]...";
	out += u'\n';
	const bool colours = ::isatty(STDOUT_FILENO) == 1;
	for (const VOptionBase* item : fItems) {
		if (item->fHidden)
			continue;
		if (!item->IsParagraph())
			out += u'\n';
		break;
	}
	for (const VOptionBase* item : fItems) {
		if (item->fHidden)
			continue;
		if (!item->IsParagraph()) {
			AppendOptionLine(*item, colours, out);
			continue;
		}
		const std::u16string text = WithoutChars(item->fDescription, u"\t");
		if (text.empty())
			continue;
		if (colours)
			AppendASCII(out, kYellow);
		if (text.size() > kParagraphLimit) {
			WrapHelpText(text, false, colours, out);
		} else {
			out += text;
			if (colours)
				AppendASCII(out, kReset);
			out += u'\n';
		}
	}
	if (fLongOptions.find(u"help") == fLongOptions.end()) {
		const UniChar shortName = fShortOptions.count(u'h') != 0 ? u' ' : u'h';
		const VOptionBase help(shortName, VString("help"), VString("Display the help and exit"), false);
		AppendOptionLine(help, colours, out);
	}
	const std::string bytes = UTF8(FromU16(out));
	std::fwrite(bytes.data(), 1, bytes.size(), stdout);
	std::fflush(stdout);
}

} // namespace Private::CommandLineParser

// ---- the parser

VCommandLineParser::VCommandLineParser(const std::vector<VString>& inArguments) : fInfos(inArguments) {}

void VCommandLineParser::SetPositionalOption(std::vector<VString>& ioTarget)
{
	if (fInfos.fRegistrationEnabled)
		fInfos.SetPositionalOption(
			new Private::CommandLineParser::VArgOption<std::vector<VString>>(u' ', VString(), VString(), ioTarget));
}

void VCommandLineParser::AddParagraph(const VString& inText)
{
	if (fInfos.fParagraphsEnabled)
		fInfos.AddParagraph(inText);
}

void VCommandLineParser::Clear()
{
	fInfos.Clear();
}

void VCommandLineParser::Print(const VString& inText) const
{
	WriteLine(stdout, inText);
}

uint32 VCommandLineParser::PrintArgumentError(const VString& inText) const
{
	WriteLine(stderr, inText);
	return 1;
}

uint32 VCommandLineParser::_Take(VOptionBase* inOption, const VString& inValue)
{
	return inOption->AppendArgument(*this, inValue) == 0 ? 0 : 1;
}

int32 VCommandLineParser::_FindValue(size_t& ioNextFree, bool& ioEndOfOptions) const
{
	const std::vector<VString>& args = fInfos.fArguments;
	for (size_t k = ioNextFree; k < args.size(); ++k) {
		if (args[k].EqualToStringRaw(VString("--"))) {
			ioEndOfOptions = true;
			return k + 1 < args.size() ? static_cast<int32>(k + 1) : -1;
		}
		if (!StartsWithDash(args[k]))
			return static_cast<int32>(k);
	}
	return -1;
}

uint32 VCommandLineParser::_TakeNextValue(VOptionBase* inOption, size_t& ioNextFree, bool& ioEndOfOptions)
{
	const int32 found = _FindValue(ioNextFree, ioEndOfOptions);
	if (found < 0) {
		VString text("error: missing value for option ");
		inOption->AppendFullName(text);
		return PrintArgumentError(text);
	}
	ioNextFree = static_cast<size_t>(found) + 1;
	return _Take(inOption, fInfos.fArguments[static_cast<size_t>(found)]);
}

uint32 VCommandLineParser::Parse()
{
	const std::vector<VString>& args = fInfos.fArguments;
	if (args.size() < 2)
		return 0;
	bool endOfOptions = false;
	size_t nextFree = 1;
	for (size_t i = 1; i < args.size(); ++i) {
		const VString& arg = args[i];
		if (endOfOptions || !StartsWithDash(arg)) {
			if (i < nextFree)
				continue;
			nextFree = i;
			if (fInfos.fPositional == nullptr) {
				VString text("error: unknown option `");
				text.AppendString(arg);
				text.AppendUniChar(u'`');
				return PrintArgumentError(text);
			}
			if (_Take(fInfos.fPositional, arg) != 0)
				return 1;
			continue;
		}
		if (arg.EqualToStringRaw(VString("--"))) {
			endOfOptions = true;
			continue;
		}
		if (arg.GetLength() >= 2 && arg.GetUniChar(2) == u'-') {
			if (i >= nextFree)
				nextFree = i + 1;
			const std::u16string name = U16(arg).substr(2);
			const size_t equal = name.find(u'=');
			if (equal != std::u16string::npos) {
				const std::u16string key = name.substr(0, equal);
				auto found = fInfos.fLongOptions.find(key);
				if (found == fInfos.fLongOptions.end()) {
					VString text(key == u"help" ? "error: invalid value for option  `" : "error: unknown option `");
					text.AppendString(FromU16(key));
					text.AppendUniChar(u'`');
					return PrintArgumentError(text);
				}
				if (!found->second.second) {
					VString text("error: a value for option `");
					text.AppendString(FromU16(key));
					text.AppendCString("` is not required");
					return PrintArgumentError(text);
				}
				if (_Take(found->second.first, FromU16(name.substr(equal + 1))) != 0)
					return 1;
				continue;
			}
			auto found = fInfos.fLongOptions.find(name);
			if (found == fInfos.fLongOptions.end()) {
				if (name == u"help") {
					fInfos.HelpUsage(args[0]);
					return 2;
				}
				VString text("error: unknown option `");
				text.AppendString(FromU16(name));
				text.AppendUniChar(u'`');
				return PrintArgumentError(text);
			}
			if (!found->second.second) {
				found->second.first->SetFlag();
			} else if (_TakeNextValue(found->second.first, nextFree, endOfOptions) != 0) {
				return 1;
			}
			continue;
		}
		if (arg.EqualToStringRaw(VString("-ApplePersistenceIgnoreState")) ||
			arg.EqualToStringRaw(VString("-NSDocumentRevisionsDebugMode"))) {
			if (i >= nextFree)
				nextFree = i + 1;
			const int32 value = _FindValue(nextFree, endOfOptions);
			if (value >= 0)
				nextFree = static_cast<size_t>(value) + 1;
			continue;
		}
		if (i >= nextFree)
			nextFree = i + 1;
		if (arg.GetLength() == 1)
			return PrintArgumentError(VString("error: missing short option `-`"));
		for (VIndex position = 2; position <= arg.GetLength(); ++position) {
			const UniChar letter = arg.GetUniChar(position);
			auto found = fInfos.fShortOptions.find(letter);
			if (found == fInfos.fShortOptions.end()) {
				if (letter == u'?' || letter == u'h') {
					fInfos.HelpUsage(args[0]);
					return 2;
				}
				VString text("error: unknown option `");
				text.AppendUniChar(letter);
				text.AppendUniChar(u'`');
				return PrintArgumentError(text);
			}
			if (!found->second.second) {
				found->second.first->SetFlag();
			} else if (_TakeNextValue(found->second.first, nextFree, endOfOptions) != 0) {
				return 1;
			}
		}
	}
	return 0;
}

// ---- exports

void VCommandLineParser::ExportAsJSON(VString* outText) const
{
	if (outText == nullptr)
		return;
	std::u16string out;
	// Each line is its pieces appended one after the other, after the tabs
	// of its depth.
	auto line = [&out](int inDepth, std::initializer_list<std::u16string_view> inPieces) {
		out.append(static_cast<size_t>(inDepth), u'\t');
		for (std::u16string_view piece : inPieces)
			out.append(piece);
		out += u'\n';
	};
	auto number = [](size_t inNumber) { return U16(VString(std::to_string(inNumber).c_str())); };
	const std::vector<VString>& args = fInfos.fArguments;
	line(0, {u"{"});
	line(1, {u"\"arguments\": {"});
	line(2, {u"\"count\": ", number(args.size()), u","});
	line(2, {u"\"values\": ["});
	for (size_t i = 0; i < args.size(); ++i)
		line(3, {u"\"", JSONText(U16(args[i])), u"\"", i + 1 < args.size() ? u"," : u""});
	line(2, {u"]"});
	line(1, {u"},"});
	line(1, {u"\"options\": {"});
	line(2, {u"\"count\": ", number(fInfos.fItems.size()), u","});
	line(2, {u"\"values\": ["});
	for (size_t i = 0; i < fInfos.fItems.size(); ++i) {
		const VOptionBase* item = fInfos.fItems[i];
		line(3, {u"{"});
		if (item->IsParagraph()) {
			line(4, {u"\"paragraph\": \"", JSONText(U16(item->fDescription)), u"\""});
		} else {
			if (item->HasShortName())
				line(4, {u"\"shortName\": \"", std::u16string(1, item->fShortName), u"\","});
			if (item->fLongName.GetLength() > 0)
				line(4, {u"\"longName\": \"", U16(item->fLongName), u"\","});
			if (item->fRequiresValue)
				line(4, {u"\"requiresValue\": true,"});
			line(4, {u"\"description\": \"", JSONText(U16(item->fDescription)), u"\""});
		}
		line(3, {i + 1 < fInfos.fItems.size() ? u"}," : u"}"});
	}
	line(2, {u"]"});
	line(1, {u"}"});
	line(0, {u"}"});
	outText->AppendString(FromU16(out));
}

void VCommandLineParser::PrintAllArguments(bool inToStandardError) const
{
	VString text;
	ExportAsJSON(&text);
	WriteLine(inToStandardError ? stderr : stdout, text);
}

void VCommandLineParser::ExportAsManPage(VString* outText) const
{
	if (outText == nullptr)
		return;
	std::u16string out = u".SH OPTIONS\n";
	bool wroteSomething = false;
	for (const VOptionBase* item : fInfos.fItems) {
		if (item->fHidden)
			continue;
		if (item->IsParagraph()) {
			if (!wroteSomething)
				continue;
			out += u".SS \"" + JSONText(WithoutChars(item->fDescription, u"\n\t")) + u"\"\n";
			continue;
		}
		out += u".TP\n.BR ";
		const bool hasLong = item->fLongName.GetLength() > 0;
		if (item->HasShortName()) {
			out += u"\\-";
			out.push_back(item->fShortName);
			if (hasLong)
				out += u" \", \" ";
			else if (item->fRequiresValue)
				out += u" \\fIVALUE\\fR";
		}
		if (hasLong) {
			out += u"\\-\\-" + U16(item->fLongName);
			if (item->fRequiresValue)
				out += u"=\\fIVALUE\\fR";
		}
		out += u'\n';
		out += WithoutChars(item->fDescription, u"\n\t");
		out += u'\n';
		wroteSomething = true;
	}
	outText->AppendString(FromU16(out));
}

bool VCommandLineParser::ValidateLongOptionName(const VString& inName)
{
	const std::u16string name = U16(inName);
	if (name.empty())
		return true;
	if (name.size() < 2 || name.front() == u'-' || name.back() == u'-')
		return false;
	for (char16_t c : name)
		if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || c == u'-'))
			return false;
	return true;
}

bool VCommandLineParser::ValidateShortOptionName(UniChar inName)
{
	return inName == 0 || inName == u' ' || (inName >= u'0' && inName <= u'9') || (inName >= u'a' && inName <= u'z') ||
		   (inName >= u'A' && inName <= u'Z');
}

} // namespace qirn
