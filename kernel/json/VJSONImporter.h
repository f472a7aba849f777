#pragma once

#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "json/VJSONValue.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace qirn {

class IFile;
class StPackedDictionaryKey;
class VJSONObject;
class VStorageLocker;
class VValueBag;
class VValueSingle;

// Reads JSON text (UTF-16) into a tree of JSON values. Tolerant by default:
// names need no quotes, a bare word that is no keyword or number is a
// string, a string left open at the end is taken. Only the first value of
// the text is read; what follows it is not looked at.
class VJSONImporter : public VObject {
public:
	enum JsonToken : int32 {
		jsonNone = 0,
		jsonBeginObject = 1,
		jsonEndObject = 2,
		jsonBeginArray = 3,
		jsonEndArray = 4,
		jsonSeparator = 5,
		jsonAssigne = 6,
		jsonString = 7,
		jsonUnknown = 8,
	};

	// Options.
	static constexpr uint32 kOption_UndefinedOnFailure = 1;
	static constexpr uint32 kOption_Strict = 2;
	static constexpr uint32 kOption_QuietInvalidTokens = 4;
	static constexpr uint32 kOption_Symbols = 8;
	static constexpr uint32 kOption_Dates = 64;
	static constexpr uint32 kOption_SharedLocker = 256;
	static constexpr uint32 kOption_NonAmbiguousDates = 512;
	static constexpr uint32 kOption_ISODates = 0x80000000;

	VJSONImporter(const VString& inText, uint32 inOptions);
	~VJSONImporter() override;

	VJSONImporter(const VJSONImporter&) = delete;
	VJSONImporter& operator=(const VJSONImporter&) = delete;

	// One value from the current position; 0 or the error (550 last).
	VError Parse(VJSONValue& outValue);
	static VError ParseString(const VString& inText, VJSONValue& outValue, uint32 inOptions);
	// The file's whole content as UTF-8 text, its POSIX path naming the
	// source in parse errors. A null file gives undefined and 0; a read
	// error is answered as it stands, without parsing.
	static VError ParseFile(IFile* inFile, VJSONValue& outValue, uint32 inOptions);
	// An object text straight into the bag (built with the bags): members
	// become typed attributes, objects child bags, arrays runs of child bags.
	VError JSONObjectToBag(VValueBag& ioBag);

	// The tokenizer, with and without the token's text.
	JsonToken GetNextJSONToken(VString& outText, bool* outQuoted, VError* outError);
	JsonToken GetNextJSONToken(VError* outError);

	// Where each name and element stood (option 8), not retained; null
	// without the option.
	VJSONObject* GetPathsLines() const { return fSymbols; }

	static const VString sNameOfThePropertyWithPathsAndLines;
	static const VString sLine;
	static const VString sOffset;
	static const VString sFakeArrayElement;

private:
	// A token: its text lies in the source text when it needed no decoding,
	// else in fScratch (valid until the next token).
	struct Token {
		JsonToken fKind = jsonNone;
		bool fQuoted = false;
		const UniChar* fUnits = nullptr;
		VIndex fLength = 0;
	};
	// Saves the current path and puts it back when it ends.
	class StPathUpdater {
	public:
		explicit StPathUpdater(VJSONImporter& inImporter);
		~StPathUpdater();

	private:
		VJSONImporter& fImporter;
		VIndex fLength;
	};

	JsonToken _NextToken(Token& outToken, VError* outError);
	JsonToken _ScanString(Token& outToken, VError* outError);
	void _CountLine(VIndex inPos)
	{
		UniChar c = fText[inPos];
		if (c == 10 || (c == 13 && (inPos + 1 >= fLength || fText[inPos + 1] != 10))) {
			++fLine;
			fLineStart = inPos + 1;
		}
	}

	VError _ParseValue(VJSONValue& outValue);
	// A new empty container for the token ("{" or "["), after the nesting
	// check; the caller stores it, then its contents are read into it, so
	// that each container joins the tree's graph once, while still empty.
	VError _NewContainer(JsonToken inKind, VJSONValue& outValue);
	VError _ParseContents(const VJSONValue& inContainer);
	// An object parsed whole that carries a tree in the binary form (a
	// string "__PRIVATE_BINARY_OBJECT") is replaced by that tree.
	VError _ExpandBinaryObject(VJSONValue& ioValue);
	VError _ParseObject(VJSONObject* ioObject);
	VError _ParseArray(VJSONArray* ioArray);
	VError _StringToValue(const Token& inToken, VJSONValue& outValue, const char* inExpected);
	VError _ObjectToBag(VValueBag& ioBag);
	VError _ArrayToBag(VValueBag& ioBag, const StPackedDictionaryKey& inKey);
	VError _NestedObjectToBag(VValueBag& ioParent, const StPackedDictionaryKey& inKey, bool inMarked);
	VValueSingle* _NewBagScalar(const Token& inToken) const;
	// The name as a string sharing one buffer with every earlier name of the
	// same text, so that an object's keys take no memory of their own: a
	// document repeats its names in every record.
	const VString& _InternName(const UniChar* inUnits, VIndex inLength);
	void _RecordSymbol(VIndex inOffset);
	void SetPathLineForEncompasingObject();
	VStorageLocker* _SharedLocker();

	static VString _TokenToString(JsonToken inKind);
	static VString _TokenText(const Token& inToken);
	// The first non-blank character from the token start, or empty text.
	VString _GetStartTokenFirstChar() const;

	VError _ThrowErrorMalformed();
	VError _ThrowErrorInvalidToken(const VString& inFound, const char* inExpected);
	VError _ThrowErrorUnterminated();
	VError _ThrowErrorExtraComma(const char* inToken);

	VString fSource;
	const UniChar* fText;
	uint32 fOptions;
	VIndex fLength;
	VIndex fPos = 0;
	VIndex fTokenStart = 0;
	VString fSourceName;
	uint32 fDepth = 0;
	VString fPath;
	VJSONObject* fSymbols = nullptr;
	int32 fLine = 1;
	VIndex fLineStart = 0;
	VRefPtr<VStorageLocker> fLocker;
	bool fNonAmbiguousDates;
	VStr<255> fScratch;
	struct NameHash {
		using is_transparent = void;
		size_t operator()(std::u16string_view inText) const { return std::hash<std::u16string_view>()(inText); }
	};
	std::unordered_map<std::u16string, VString, NameHash, std::equal_to<>> fNames;
	VString fLongName;
};

} // namespace qirn
