#pragma once

#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "json/VJSONValue.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qirn {

class VCommandLineParser;

namespace Extension::CommandLineParser {

// Converts an option's value text into its target's type; false when the
// text is no value of that type (the target is then left as it was).
template <class T>
struct Argument;

template <>
struct Argument<bool> {
	static bool Append(VCommandLineParser& ioParser, bool& ioTarget, const VString& inValue);
};
// Integers: white space around, then 1 to 30 characters of digits and signs,
// read by the C library with base 0 (a leading 0 is octal). A value outside
// the target type's range is refused, never cut down to it.
template <>
struct Argument<int> {
	static bool Append(VCommandLineParser& ioParser, int& ioTarget, const VString& inValue);
};
template <>
struct Argument<unsigned int> {
	static bool Append(VCommandLineParser& ioParser, unsigned int& ioTarget, const VString& inValue);
};
template <>
struct Argument<long long> {
	static bool Append(VCommandLineParser& ioParser, long long& ioTarget, const VString& inValue);
};
template <>
struct Argument<unsigned long long> {
	static bool Append(VCommandLineParser& ioParser, unsigned long long& ioTarget, const VString& inValue);
};
// The real path of the text; the text itself as a POSIX path when it has
// none. Never fails.
template <>
struct Argument<VFilePath> {
	static bool Append(VCommandLineParser& ioParser, VFilePath& ioTarget, const VString& inValue);
};

// An existing file at the real path of the text (an alias followed to its
// target); emptied, and false, otherwise.
template <>
struct Argument<VRefPtr<VFile>> {
	static bool Append(VCommandLineParser& ioParser, VRefPtr<VFile>& ioTarget, const VString& inValue);
};
// The existing folder at the real path of the text; emptied, and false,
// otherwise.
template <>
struct Argument<VRefPtr<VFolder>> {
	static bool Append(VCommandLineParser& ioParser, VRefPtr<VFolder>& ioTarget, const VString& inValue);
};
// By the target's kind: a string takes the text; an object or undefined
// value becomes the JSON text read (left as it was when the text is no
// JSON); true or false read "1", "true", "on", "0", "false" or "off". Any
// other kind refuses.
template <>
struct Argument<VJSONValue> {
	static bool Append(VCommandLineParser& ioParser, VJSONValue& ioTarget, const VString& inValue);
};

// The real path of a POSIX path text, a folder's ending with '/', as a
// kernel path; false (the text itself as the path) when it has none, and
// false with a cleared path for an empty text.
bool ResolveRealPath(const VString& inText, VFilePath& outPath);

} // namespace Extension::CommandLineParser

namespace Private::CommandLineParser {

// An option, or a paragraph of the help (no names, the text as description).
class VOptionBase {
public:
	VOptionBase(UniChar inShortName, const VString& inLongName, const VString& inDescription, bool inRequiresValue,
				bool inHidden = false)
		: fShortName(inShortName), fLongName(inLongName), fDescription(inDescription),
		  fRequiresValue(inRequiresValue), fHidden(inHidden)
	{
	}
	virtual ~VOptionBase() = default;
	VOptionBase(const VOptionBase&) = delete;
	VOptionBase& operator=(const VOptionBase&) = delete;

	// 0 when the value was taken, 1 when it was refused.
	virtual uint32 AppendArgument(VCommandLineParser& ioParser, const VString& inValue);
	// Stores the option's value when it is given without one.
	virtual void SetFlag() {}

	// "-c, --name", "-c" or "--name"; false, nothing appended, without names.
	bool AppendFullName(VString& ioText) const;
	bool HasShortName() const { return fShortName != 0 && fShortName != u' '; }
	bool IsParagraph() const { return !HasShortName() && fLongName.GetLength() == 0; }

	UniChar fShortName; // a space or 0: none
	VString fLongName;	// without dashes; empty: none
	VString fDescription;
	bool fRequiresValue;
	bool fHidden;

protected:
	// "invalid value for argument '<name>' got "<value>" <reason>" on
	// standard error.
	void PrintErrorWhenAppendingInvalidValue(VCommandLineParser& ioParser, const char* inReason,
											 const VString& inValue) const;
};

template <class T>
struct IntegerOptionTraits {
	static constexpr bool kRequiresValue = true;
	static void SetFlag(T& ioTarget) { ioTarget = 1; }
};
template <class T>
struct ArgOptionTraits : IntegerOptionTraits<T> {
	static constexpr const char* kReason = "expected a signed integral";
};
template <>
struct ArgOptionTraits<bool> {
	static constexpr bool kRequiresValue = false;
	static constexpr const char* kReason = "expected 0, 1, true or false";
	static void SetFlag(bool& ioTarget) { ioTarget = true; }
};
template <>
struct ArgOptionTraits<unsigned int> : IntegerOptionTraits<unsigned int> {
	static constexpr const char* kReason = "expected an unsigned integral";
};
template <>
struct ArgOptionTraits<unsigned long long> : IntegerOptionTraits<unsigned long long> {
	static constexpr const char* kReason = "expected an unsigned integral";
};
template <>
struct ArgOptionTraits<VFilePath> {
	static constexpr bool kRequiresValue = true;
	static constexpr const char* kReason = "expected a path";
	static void SetFlag(VFilePath&) {}
};
template <>
struct ArgOptionTraits<VRefPtr<VFile>> {
	static constexpr bool kRequiresValue = true;
	static constexpr const char* kReason = "expected an existing file";
	static void SetFlag(VRefPtr<VFile>&) {}
};
template <>
struct ArgOptionTraits<VRefPtr<VFolder>> {
	static constexpr bool kRequiresValue = true;
	static constexpr const char* kReason = "expected an existing folder";
	static void SetFlag(VRefPtr<VFolder>&) {}
};
template <>
struct ArgOptionTraits<VJSONValue> {
	static constexpr bool kRequiresValue = true;
	static constexpr const char* kReason = "expected a JSON value";
	static void SetFlag(VJSONValue&) {}
};

// An option bound to the application's variable.
template <class T>
class VArgOption : public VOptionBase {
public:
	VArgOption(UniChar inShortName, const VString& inLongName, const VString& inDescription, T& ioTarget)
		: VOptionBase(inShortName, inLongName, inDescription, ArgOptionTraits<T>::kRequiresValue), fTarget(&ioTarget)
	{
	}
	uint32 AppendArgument(VCommandLineParser& ioParser, const VString& inValue) override
	{
		if (Extension::CommandLineParser::Argument<T>::Append(ioParser, *fTarget, inValue))
			return 0;
		PrintErrorWhenAppendingInvalidValue(ioParser, ArgOptionTraits<T>::kReason, inValue);
		return 1;
	}
	void SetFlag() override { ArgOptionTraits<T>::SetFlag(*fTarget); }

private:
	T* fTarget;
};

template <>
class VArgOption<VString> : public VOptionBase {
public:
	VArgOption(UniChar inShortName, const VString& inLongName, const VString& inDescription, VString& ioTarget)
		: VOptionBase(inShortName, inLongName, inDescription, true), fTarget(&ioTarget)
	{
	}
	uint32 AppendArgument(VCommandLineParser&, const VString& inValue) override
	{
		fTarget->FromString(inValue);
		return 0;
	}
	void SetFlag() override { fTarget->FromCString("1"); }

private:
	VString* fTarget;
};

template <>
class VArgOption<std::vector<VString>> : public VOptionBase {
public:
	VArgOption(UniChar inShortName, const VString& inLongName, const VString& inDescription,
			   std::vector<VString>& ioTarget)
		: VOptionBase(inShortName, inLongName, inDescription, true), fTarget(&ioTarget)
	{
	}
	uint32 AppendArgument(VCommandLineParser&, const VString& inValue) override
	{
		fTarget->push_back(inValue);
		return 0;
	}
	void SetFlag() override { fTarget->assign(1, VString()); }

private:
	std::vector<VString>* fTarget;
};

// The parser's tables: the options by name, the positional option, the
// items in registration order (the order of the help and the exports).
class StOptionsInfos {
public:
	explicit StOptionsInfos(const std::vector<VString>& inArguments);
	~StOptionsInfos();
	StOptionsInfos(const StOptionsInfos&) = delete;
	StOptionsInfos& operator=(const StOptionsInfos&) = delete;

	void Clear();
	// Takes the option; an existing entry of the same name is kept.
	void RegisterOption(bool inRequiresValue, VOptionBase* inOption);
	void SetPositionalOption(VOptionBase* inOption);
	void AddParagraph(const VString& inText);

	// The usage on standard output, coloured on a terminal.
	void HelpUsage(const VString& inProgramPath) const;

	std::unordered_map<UniChar, std::pair<VOptionBase*, bool>> fShortOptions;
	std::unordered_map<std::u16string, std::pair<VOptionBase*, bool>> fLongOptions;
	VOptionBase* fPositional = nullptr;
	std::vector<VOptionBase*> fItems;
	const std::vector<VString>& fArguments;
	bool fRegistrationEnabled;
	bool fParagraphsEnabled = true;
};

} // namespace Private::CommandLineParser

// Turns the process's arguments into values stored in the application's
// variables: long options ("--name", "--name=value", "--name value"),
// one-letter options ("-abc"), and positional arguments. It prints its own
// messages: the usage on standard output, each error as one line on
// standard error.
class VCommandLineParser : public VObject {
public:
	// The vector (the program path, then the arguments) must outlive the parser.
	explicit VCommandLineParser(const std::vector<VString>& inArguments);
	~VCommandLineParser() override = default;

	// An option bound to ioTarget: a flag for bool, an option that takes a
	// value for every other type. Nothing is registered when there are no
	// arguments, and the variable keeps its default.
	template <class T>
	void AddOption(const VString& inLongName, const VString& inDescription, T& ioTarget)
	{
		AddOption(UniChar(' '), inLongName, inDescription, ioTarget);
	}
	template <class T>
	void AddOption(UniChar inShortName, const VString& inLongName, const VString& inDescription, T& ioTarget,
				   bool inHidden = false)
	{
		if (!fInfos.fRegistrationEnabled)
			return;
		auto* option = new Private::CommandLineParser::VArgOption<T>(inShortName, inLongName, inDescription, ioTarget);
		option->fHidden = inHidden;
		fInfos.RegisterOption(option->fRequiresValue, option);
	}
	// The arguments that are no options go to ioTarget, in order.
	void SetPositionalOption(std::vector<VString>& ioTarget);
	// A paragraph of the help listing.
	void AddParagraph(const VString& inText);
	void Clear();

	// 0 go on, 1 an error (its message printed), 2 the usage was printed.
	uint32 Parse();

	// The text and a newline, in UTF-8, on standard output or error.
	void Print(const VString& inText) const;
	uint32 PrintArgumentError(const VString& inText) const;

	void ExportAsJSON(VString* outText) const;
	void ExportAsManPage(VString* outText) const;
	// The JSON export on standard error or output.
	void PrintAllArguments(bool inToStandardError) const;

	static bool ValidateLongOptionName(const VString& inName);
	static bool ValidateShortOptionName(UniChar inName);

private:
	using VOptionBase = Private::CommandLineParser::VOptionBase;

	uint32 _Take(VOptionBase* inOption, const VString& inValue);
	// The first argument from the next free one that can be a value; -1
	// when none is left.
	int32 _FindValue(size_t& ioNextFree, bool& ioEndOfOptions) const;
	uint32 _TakeNextValue(VOptionBase* inOption, size_t& ioNextFree, bool& ioEndOfOptions);

	Private::CommandLineParser::StOptionsInfos fInfos;
};

} // namespace qirn
