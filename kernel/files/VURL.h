#pragma once

#include "core/VObject.h"
#include "core/VString.h"
#include "files/PathStyles.h"

namespace qirn {

class VFilePath;

// The six parts of a URL, in the order they appear in its text.
enum EURLParts : int32 {
	e_Scheme = 0,
	e_NetLoc = 1,
	e_Path = 2,
	e_Parameters = 3,
	e_Query = 4,
	e_Fragment = 5,
	e_LastPart = 6
};

// A URL kept as its decoded text with the position of each of its parts:
// scheme "://" network location "/" path ";" parameters "?" query "#"
// fragment. Positions count from 1 and leave the separators out.
//
// The decoded text may hold the separators themselves inside a part (a file
// named "a?b"): the positions, not the text, say where each part lies, and
// every encoded form is built part by part with the separators a part could
// be mistaken for escaped, so that it parses back to the same parts.
//
// No operation raises an error: a text that does not parse leaves the URL
// invalid with its text kept.
class VURL : public VObject {
public:
	VURL();
	VURL(const VURL& inURL);
	VURL(const VString& inText, bool inEncoded);
	VURL(const VString& inPath, EURLPathStyle inStyle, const VString& inPrefix = CVSTR("file://"));
	explicit VURL(const VFilePath& inPath);
	~VURL() override;

	VURL& operator=(const VURL& inURL);

	// Setting: each one replaces the whole URL.
	void FromURL(const VURL& inURL);
	// With inEncoded the text is taken as percent-encoded: its parts are
	// decoded, and the text itself is kept as the encoded form when it holds
	// URL characters only.
	void FromString(const VString& inText, bool inEncoded);
	// A text without "://" is taken relative to the base: joined to it with
	// one '/'.
	void FromString(const VString& inText, const VString& inBase, bool inEncoded);
	// The path after the prefix, the whole of it as the URL's path: a '?',
	// ';' or '#' in it is part of a name.
	void FromFilePath(const VString& inPath, EURLPathStyle inStyle = eURL_POSIX_STYLE,
					  const VString& inPrefix = CVSTR("file://"));
	// A "file" URL of the path; an invalid path gives an invalid, empty URL.
	void FromFilePath(const VFilePath& inPath);
	void Clear();

	// Whether the text has a scheme and, after its network location, a path
	// or a query. An empty URL counts as valid, an empty object as not.
	bool IsValid() const { return fIsValid; }

	// Reading. Each inEncoded asks for the percent-encoded form.
	void GetAbsoluteURL(VString& outText, bool inEncoded) const;
	// The whole URL; the encoded form is always built from the parts.
	void GetRelativeURL(VString& outText, bool inEncoded) const;
	void GetScheme(VString& outScheme) const;
	void GetNetworkLocation(VString& outText, bool inEncoded) const;
	// The path after the '/' that ends the network location.
	void GetPath(VString& outPath, EURLPathStyle inStyle = eURL_POSIX_STYLE, bool inEncoded = false) const;
	void GetParameters(VString& outText, bool inEncoded) const;
	void GetQuery(VString& outText, bool inEncoded) const;
	void GetFragment(VString& outText, bool inEncoded) const;
	// From the network location to the end.
	void GetResourceSpecifier(VString& outText, bool inEncoded) const;
	// From the path to the end.
	void GetRelativePath(VString& outText, EURLPathStyle inStyle = eURL_POSIX_STYLE, bool inEncoded = false) const;
	// The path's last element, without a final '/'.
	void GetLastPathComponent(VString& outName, bool inEncoded) const;
	void GetHostName(VString& outText, bool inEncoded) const;
	void GetUserName(VString& outText, bool inEncoded) const;
	void GetPassword(VString& outText, bool inEncoded) const;
	// 0 without a port; -1 for a port that is not a number up to 65536.
	sLONG GetPortNumber() const;
	void GetPortNumber(VString& outText, bool inEncoded) const;
	// Code unit for code unit.
	bool IsScheme(const VString& inScheme) const;
	// Whether the path holds no '/': nothing above it.
	bool IsRoot() const;
	// The file path of a "file" URL (or one without a scheme); false, and the
	// path cleared, for any other URL or a path that is not valid.
	bool GetFilePath(VFilePath& outPath) const;

	// Changing: the text given replaces the part (decoded first when it is
	// given encoded), and the URL is rebuilt from its parts. A change drops
	// the encoded text the URL was made from.
	void SetScheme(const VString& inScheme);
	void SetNetWorkLocation(const VString& inText, bool inEncoded);
	void SetParameters(const VString& inText, bool inEncoded);
	void SetQuery(const VString& inText, bool inEncoded);
	void SetFragment(const VString& inText, bool inEncoded);
	// A relative URL (path, and any parameters, query and fragment of its
	// own) after the network location, replacing everything there; a
	// leading '/' is the one that ends the network location.
	void SetRelativePath(const VString& inText, EURLPathStyle inStyle = eURL_POSIX_STYLE, bool inEncoded = false);
	// The folder above the path; false at the root.
	bool ToParent();
	// A new URL of the parent (the caller deletes it), or null at the root.
	[[nodiscard]] VURL* RetainParent() const;
	// Appends the name to a folder's path (one that ends with '/', or the
	// root's empty path); false for a file's path.
	bool ToSubFolder(const VString& inName);

	// Percent-encodes the text's UTF-8 bytes that are not URL characters:
	// the controls, bytes beyond ASCII and the unsafe characters ('[' and ']'
	// among them with inWithBrackets). With inKeepUnicodeEscapes a backslash
	// followed by 'u' stays. Text is never normalised on Linux, so inDecompose
	// changes nothing, and ':' is never escaped (inKeepColon changes nothing).
	static void Encode(VString& ioText, bool inKeepColon, bool inDecompose, bool inWithBrackets,
					   bool inKeepUnicodeEscapes);
	// Replaces each run of "%XX" escapes by the text its bytes make in UTF-8
	// (one byte alone: ISO-8859-1). A run that is not UTF-8, and a '%' not
	// followed by two hexadecimal digits, stay as they are.
	static void Decode(VString& ioText);
	// "user:password@host:port", "host:port" or "[v6 address]:port"; each
	// output may be null.
	static void ParseNetLocation(const VString& inNetLocation, VString* outUser, VString* outPassword,
								 VString* outHost, VString* outPort);

	// Path-text conversions between the styles, in place. inRelative applies
	// the relative rules; a full path's volume is mapped otherwise.
	static void Convert(VString& ioText, EURLPathStyle inFrom, EURLPathStyle inTo, bool inRelative);
	static void HFS_to_POSIX(VString& ioText, bool inRelative);
	static void POSIX_to_HFS(VString& ioText, bool inRelative);
	static void WIN_to_POSIX(VString& ioText);
	static void POSIX_to_WIN(VString& ioText);

	using VObject::DebugDump;
	CharSet DebugDump(char* ioBuffer, int32& ioSize) const override;

	// Every character is one of the ASCII URL characters (true when empty).
	static bool _ContainsOnlySafeCharacters(const VString& inText);

private:
	// Where a part lies in the decoded text: a 1-based start and a length;
	// 0 and 0 when the part is missing. A present part may be empty.
	struct Part {
		VIndex fStart;
		VIndex fLength;
	};

	// A part's text, wherever it lies, and whether the part is there at all.
	struct PartText {
		const UniChar* fUnits;
		VIndex fLength;
		bool fPresent;
	};

	// The separators each part escapes beyond the unsafe characters, so that
	// its encoded text cannot end it early.
	enum EEscapes : uint8 {
		kEscapeBrackets = 1,
		kEscapeNetLocSeparators = 2, // '/' '?'
		kEscapePathSeparators = 4, // ';' '?'
		kEscapeParameterSeparators = 8 // '?'
	};
	static uint8 _EscapesOfPart(EURLParts inPart);
	static void _AppendEncoded(const UniChar* inUnits, VIndex inLength, uint8 inEscapes, bool inKeepUnicodeEscapes,
							   VString& ioText);
	static void _AppendDecoded(const UniChar* inUnits, VIndex inLength, VString& ioText);
	// The parameters, query and fragment of the text from inTailStart (0-based)
	// on, and the path before them when inPathStart is not negative.
	static void _LocateTail(const UniChar* inText, VIndex inLength, VIndex inPathStart, VIndex inTailStart,
							bool inPathOnly, Part outParts[e_LastPart]);

	// Finds the parts of the text; with inPathOnly everything after the
	// network location is the path. False when the text has no scheme, or
	// nothing follows the network location.
	static bool _BuildURLArray(const VString& inText, bool inPathOnly, Part outParts[e_LastPart]);
	// Writes the parts from inFirst on, with their separators, into outText
	// (appending); decoded, each part's place in it goes to outParts. The
	// answer is whether the result parses as a URL.
	static bool _Assemble(const PartText inParts[e_LastPart], EURLParts inFirst, bool inEncoded,
						  VString& outText, Part* outParts);
	void _GetPartTexts(PartText outParts[e_LastPart]) const;
	void _GetPart(EURLParts inPart, VString& outText) const;
	void _GetEncodedPart(EURLParts inPart, VString& outText) const;
	// The URL rebuilt with one part replaced.
	void _SetPart(EURLParts inPart, const VString& inText);
	void _SetPath(const VString& inPath);
	void _DecodeParts();
	void _GetNetLocationPiece(int inPiece, VString& outText, bool inEncoded) const;

	Part fParts[e_LastPart];
	VString fURL;
	VString fEncodedURL;
	bool fIsValid;
};

} // namespace qirn
