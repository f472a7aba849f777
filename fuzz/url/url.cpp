// URLs: parsed from text (encoded or not), from file paths, and the
// percent coding itself. The first input byte picks how the rest is read
// (UTF-8 or raw UTF-16 units) and the operations tried. What must hold: a
// URL's encoded text reparses to the same parts, a file path carried in a
// URL comes back the same path, and decoding what was encoded gives the
// text back.
#include "FuzzSupport.h"

#include "core/TextUnits.h"
#include "core/VString.h"
#include "files/VFilePath.h"
#include "files/VURL.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <memory>

namespace {

using namespace qirn;

using Parts = std::array<VString, e_LastPart>;

Parts DecodedParts(const VURL& inURL)
{
	Parts parts;
	inURL.GetScheme(parts[e_Scheme]);
	inURL.GetNetworkLocation(parts[e_NetLoc], false);
	inURL.GetPath(parts[e_Path], eURL_POSIX_STYLE, false);
	inURL.GetParameters(parts[e_Parameters], false);
	inURL.GetQuery(parts[e_Query], false);
	inURL.GetFragment(parts[e_Fragment], false);
	return parts;
}

bool SameParts(const Parts& inOne, const Parts& inOther)
{
	for (int i = 0; i < e_LastPart; ++i) {
		if (!inOne[i].EqualToStringRaw(inOther[i]))
			return false;
	}
	return true;
}

// Lone surrogates stand for bytes that are no UTF-8 when encoded, and such
// bytes decode as other text: they cannot come back.
bool WellFormed(const VString& inText)
{
	const UniChar* units = inText.GetCPointer();
	const VIndex length = inText.GetLength();
	for (VIndex i = 0; i < length; ++i) {
		if (IsHighSurrogate(units[i]) && i + 1 < length && IsLowSurrogate(units[i + 1]))
			++i;
		else if (IsHighSurrogate(units[i]) || IsLowSurrogate(units[i]))
			return false;
	}
	return true;
}

bool WellFormed(const Parts& inParts)
{
	for (const VString& part : inParts) {
		if (!WellFormed(part))
			return false;
	}
	return true;
}

void CheckURL(const VURL& inURL)
{
	// Every reading answers, valid or not.
	VString text;
	inURL.GetAbsoluteURL(text, true);
	inURL.GetAbsoluteURL(text, false);
	inURL.GetResourceSpecifier(text, true);
	inURL.GetRelativePath(text, eURL_HFS_STYLE, false);
	inURL.GetLastPathComponent(text, true);
	VString user, password, host, port;
	inURL.GetUserName(user, false);
	inURL.GetPassword(password, false);
	inURL.GetHostName(host, false);
	inURL.GetPortNumber(port, false);
	const sLONG number = inURL.GetPortNumber();
	QIRN_FUZZ_CHECK(number >= -1 && number <= 65536);
	if (!inURL.IsValid())
		return;

	const Parts parts = DecodedParts(inURL);
	VString encoded;
	inURL.GetAbsoluteURL(encoded, true);
	QIRN_FUZZ_CHECK(VURL::_ContainsOnlySafeCharacters(encoded) || !WellFormed(parts));
	if (WellFormed(parts)) {
		const VURL again(encoded, true);
		if (std::getenv("QIRN_FUZZ_VERBOSE") != nullptr) {
			VString decoded;
			again.GetAbsoluteURL(decoded, false);
			VString original;
			inURL.GetAbsoluteURL(original, false);
			std::fprintf(stderr, "url %s encoded %s valid %d decoded again %s\n", fuzz::Printable(original).c_str(),
						 fuzz::Printable(encoded).c_str(), again.IsValid(), fuzz::Printable(decoded).c_str());
		}
		QIRN_FUZZ_CHECK(again.IsValid());
		QIRN_FUZZ_CHECK(SameParts(DecodedParts(again), parts));
		VString encodedAgain;
		again.GetAbsoluteURL(encodedAgain, true);
		QIRN_FUZZ_CHECK(encodedAgain.EqualToStringRaw(encoded));
	}

	// Up to the root, one level at a time: each step shortens the path. The
	// walk stops after 64 levels: each step rebuilds the whole text, so a
	// path of thousands of levels would cost as much as thousands of inputs.
	VURL up(inURL);
	for (int level = 0; level < 64 && !up.IsRoot(); ++level) {
		VString before;
		up.GetPath(before);
		std::unique_ptr<VURL> parent(up.RetainParent());
		QIRN_FUZZ_CHECK(parent != nullptr);
		QIRN_FUZZ_CHECK(up.ToParent());
		VString after;
		up.GetPath(after);
		QIRN_FUZZ_CHECK(after.GetLength() < before.GetLength());
	}
	if (up.IsRoot())
		QIRN_FUZZ_CHECK(!up.ToParent());

	VFilePath path;
	if (inURL.GetFilePath(path)) {
		QIRN_FUZZ_CHECK(path.IsValid());
		const VURL fileURL(path);
		VFilePath back;
		QIRN_FUZZ_CHECK(fileURL.GetFilePath(back));
		QIRN_FUZZ_CHECK(back.GetPath().EqualToStringRaw(path.GetPath()));
	}
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	fuzz::StFuzzInput input;
	const uint8_t mode = inData[0];
	const VString text = fuzz::TextFromBytes(inData + 1, inSize - 1, (mode & 1) != 0);
	const bool encoded = (mode & 2) != 0;

	CheckURL(VURL(text, encoded));
	VURL relative;
	relative.FromString(text, CVSTR("http://base.example/dir/"), encoded);
	CheckURL(relative);

	VString user, password, host, port;
	VURL::ParseNetLocation(text, &user, &password, &host, &port);

	// Decoding what was encoded gives the text back.
	VString coded(text);
	VURL::Encode(coded, false, false, (mode & 4) != 0, false);
	QIRN_FUZZ_CHECK(VURL::_ContainsOnlySafeCharacters(coded) || !WellFormed(text));
	if (WellFormed(text)) {
		VURL::Decode(coded);
		QIRN_FUZZ_CHECK(coded.EqualToStringRaw(text));
	}
	VString decoded(text);
	VURL::Decode(decoded);
	QIRN_FUZZ_CHECK(decoded.GetLength() <= text.GetLength());

	// A POSIX path carried by a file URL: the whole text is the path, and
	// it comes back through the URL's encoded text.
	if (text.GetUniChar(1) == u'/' && text.GetUniChar(2) != u'/' && WellFormed(text)) {
		const VURL fileURL(text, eURL_POSIX_STYLE);
		QIRN_FUZZ_CHECK(fileURL.IsValid());
		VString path;
		fileURL.GetPath(path);
		QIRN_FUZZ_CHECK(path.EqualToStringRaw(VString(text.GetCPointer() + 1, text.GetLength() - 1)));
		VString fileEncoded;
		fileURL.GetAbsoluteURL(fileEncoded, true);
		const VURL reparsed(fileEncoded, true);
		VString pathAgain;
		reparsed.GetPath(pathAgain);
		QIRN_FUZZ_CHECK(pathAgain.EqualToStringRaw(path));
		const VFilePath filePath(text, FPS_POSIX);
		if (filePath.IsValid()) {
			VFilePath back;
			QIRN_FUZZ_CHECK(VURL(filePath).GetFilePath(back));
			QIRN_FUZZ_CHECK(back.GetPath().EqualToStringRaw(filePath.GetPath()));
		}
	}
	CheckURL(VURL(text, eURL_HFS_STYLE));
	return 0;
}
