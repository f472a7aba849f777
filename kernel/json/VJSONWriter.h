#pragma once

#include "core/VObject.h"
#include "core/VString.h"
#include "json/VJSONObject.h"

#include <set>
#include <vector>

namespace qirn {

class IFile;
class VDBLanguageContext;
class VJSONArray;
class VJSONObject;
class VJSONValue;

// Writes JSON values, objects and arrays as JSON text, compact or indented.
// It refuses containers that contain themselves and, on request, objects met
// twice, objects of a derived class and objects with a binary form; it can
// also cut a long text short for a description. One writer serves one
// top-level call: what it has written and counted is never reset.
class VJSONWriter : public VObject {
public:
	// Options. Bits not listed go on unchanged to the texts of strings and
	// dates.
	static constexpr uint32 kOption_Quotes = 0x1;
	static constexpr uint32 kOption_Pretty = 0x8;
	static constexpr uint32 kOption_Raw = 0x10;
	static constexpr uint32 kOption_DatesAtLocalMidnight = 0x80;
	static constexpr uint32 kOption_RefuseBinaryObjects = 0x100;
	static constexpr uint32 kOption_EscapeAmpAndApos = 0x400;
	static constexpr uint32 kOption_BinaryFallback = 0x800;
	static constexpr uint32 kOption_CircularAsText = 0x2000;
	static constexpr uint32 kOption_Truncate = 0x4000;
	static constexpr uint32 kOption_RefuseDerivedObjects = 0x8000;
	static constexpr uint32 kOption_RefuseObjectsWrittenTwice = 0x10000;

	// The running count past which a truncating writer closes off.
	static constexpr uint32 kTruncateAfter = 512;

	VJSONWriter(VDBLanguageContext* inContext, uint32 inOptions);
	explicit VJSONWriter(uint32 inOptions);
	~VJSONWriter() override;

	VJSONWriter(const VJSONWriter&) = delete;
	VJSONWriter& operator=(const VJSONWriter&) = delete;

	uint32 GetOptions() const { return fOptions; }

	// Each replaces outText with the text; on failure outText is left as
	// it was. A null container gives "undefined".
	VError StringifyValue(const VJSONValue& inValue, VString& outText);
	VError StringifyObject(const VJSONObject* inObject, VString& outText);
	VError StringifyArray(const VJSONArray* inArray, VString& outText);
	// The value's text as the file's whole content, in UTF-8. A null file
	// does nothing; when the value cannot be written the file is left as it
	// was.
	static VError StringifyValueToFile(IFile* inFile, const VJSONValue& inValue, uint32 inOptions);

	// The nesting level and, when pretty, the indent that follows it.
	void IncrementLevel();
	void DecrementLevel();
	void InsertIndentString(VString& ioText) const;
	void AppendIndentString(VString& ioText) const;

	// Tests reach the longest text without gigabytes of memory.
	void _SetMaxLength(VIndex inMaxLength) { fMaxLength = inMaxLength; }

private:
	// Each appends to ioText.
	VError _WriteValue(const VJSONValue& inValue, VString& ioText);
	VError _WriteObject(const VJSONObject* inObject, VString& ioText);
	VError _WriteArray(const VJSONArray* inArray, VString& ioText);
	// Whether inCount more units fit; 107 raised when not.
	bool _Fits(const VString& inText, VIndex inCount) const;
	bool _AppendUnits(VString& ioText, const UniChar* inUnits, VIndex inCount) const;
	bool _AppendASCII(VString& ioText, const char* inText) const;
	// A string's JSON text with the writer's options.
	VError _AppendJSONText(const VString& inText, VString& ioText) const;
	bool _OnStack(const void* inContainer) const;
	// Adds a part's length to the running count; true when the count had
	// already passed the limit, so that the container stops there.
	bool _CountPart(VIndex inLength);
	bool _CloseOff(VString& ioText, bool inTruncated, UniChar inClosing);
	// One member or element after its separator (and indent when pretty);
	// false when the container stops there, with ioError or ioTruncated set.
	bool _WritePart(const VString* inName, const VJSONValue& inValue, bool inFirst, UniChar inOpening,
					VString& ioText, VError& ioError, bool& ioTruncated);

	VDBLanguageContext* fContext;
	uint32 fOptions;
	int32 fLevel = 0;
	VString fIndentUnit;
	VString fIndent;
	std::vector<const void*> fStack;
	std::set<const VJSONObject*> fWritten;
	// The entries of the plain objects being written, in their order: each
	// level uses the slots past its parents'.
	std::vector<const VJSONObject::PropertyMap::value_type*> fOrder;
	uint32 fCount = 0;
	bool fEllipsis = false;
	VIndex fMaxLength;
};

} // namespace qirn
