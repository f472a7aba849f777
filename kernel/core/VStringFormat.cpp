// The formatting operations of VString: printf with the kernel's own
// conversions, and the decimal texts of numbers.
#include "core/VPrintfFormatter.h"
#include "core/VString.h"

namespace qirn {

void VString::Printf(const char* inFormat, ...)
{
	va_list args;
	va_start(args, inFormat);
	VPrintf(inFormat, args);
	va_end(args);
}

void VString::VPrintf(const char* inFormat, va_list inArgs)
{
	Truncate(0);
	// Formatting gives a text, if only an empty one: never a null string.
	_Touch();
	_Printf(inFormat, inArgs);
}

void VString::AppendPrintf(const char* inFormat, ...)
{
	va_list args;
	va_start(args, inFormat);
	_Printf(inFormat, args);
	va_end(args);
}

void VString::_Printf(const char* inFormat, va_list inArgs)
{
	// Each piece is appended as it comes, so an object's text is never
	// searched for in the output: what an argument prints stays what it is.
	class Sink : public IPrintfSink {
	public:
		explicit Sink(VString& ioString) : fString(ioString), fStartLength(ioString.GetLength()) {}

		void PutText(const char* inText, size_t inLength) override
		{
			if (!fString._AppendASCII(inText, inLength))
				fString.AppendBlock(inText, inLength, VTC_UTF_8);
		}
		void PutObject(char inConversion, const void* inObject) override
		{
			if (inObject == nullptr) {
				fString.AppendCString("@@invalid VObject@@");
				return;
			}
			const VObject* object = static_cast<const VObject*>(inObject);
			// The string being formatted into, given as an argument, shows
			// the text it had before: not what has been appended since.
			VString before;
			if (object == &fString) {
				before.FromUniString(fString.GetCPointer(), fStartLength);
				object = &before;
			}
			switch (inConversion) {
				case 'S':
					if (const VString* text = dynamic_cast<const VString*>(object))
						fString.AppendString(*text);
					else
						fString.AppendCString("@@invalid VString@@");
					break;
				case 'A':
					if (const VValueSingle* value = dynamic_cast<const VValueSingle*>(object)) {
						VString text;
						value->GetString(text);
						fString.AppendString(text);
					} else {
						fString.AppendCString("@@invalid VValueSingle@@");
					}
					break;
				default: {
					VString dump;
					object->DebugDump(dump);
					fString.AppendString(dump);
					break;
				}
			}
		}

	private:
		VString& fString;
		VIndex fStartLength;
	};

	Sink sink(*this);
	VPrintfFormatter::Format(inFormat, inArgs, sink);
}

VString Printf(const char* inFormat, ...)
{
	VString result;
	va_list args;
	va_start(args, inFormat);
	result._Printf(inFormat, args);
	va_end(args);
	return result;
}

VString ToString(int inValue)
{
	VString result;
	result.AppendLong(inValue);
	return result;
}

VString ToString(long long inValue)
{
	VString result;
	result.AppendLong8(inValue);
	return result;
}

VString ToString(unsigned long long inValue)
{
	VString result;
	result.AppendULong8(inValue);
	return result;
}

VString ToString(unsigned long inValue)
{
	VString result;
	result.AppendULong8(inValue);
	return result;
}

} // namespace qirn
