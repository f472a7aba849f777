// A "strings" file read by the localization manager, from a file in the
// process's temporary folder.
//
// What must hold: the load answers no error and leaves nothing on the
// task's error stack; a line "key" = "value"; read from the file is found
// by its key.
#include "FuzzSupport.h"
#include "../xml_support/FuzzTempFolder.h"

#include "bags_xml/VLocalizationManager.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFile.h"

#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
	qirn::fuzz::StartKernel();
	qirn::fuzz::TempFolderPath();
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	using namespace qirn;
	fuzz::StartKernel();
	const std::string path = fuzz::WriteTempFile("Localizable.strings", inData, inSize);
	fuzz::StFuzzInput input;
	VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(VString(path.c_str()), FPS_POSIX));
	VRefPtr<VLocalizationManager> manager = VRefPtr<VLocalizationManager>::Adopt(new VLocalizationManager(1036));
	QIRN_FUZZ_CHECK(manager->LoadFile(file.Get(), false) == VE_OK);
	QIRN_FUZZ_CHECK(input.Errors() == nullptr || input.Errors()->IsEmpty());

	// The file's text as the loader reads it (UTF-16, big-endian unless a
	// byte-order mark says otherwise); its first line, when it is a plain
	// "key" = "value"; pair, must be found.
	VString text;
	text.FromBlockWithOptionalBOM(inData, inSize, VTC_UTF_16_BIGENDIAN);
	text.ConvertCarriageReturns(eCRM_LF);
	const VIndex end = text.FindUniChar(u'\n');
	VString line(text);
	if (end > 0)
		line.Truncate(end - 1);
	// Only the line's end is trimmed before the split, as the reader does:
	// blanks before a first '=' are a part of their own (an empty key),
	// which makes the line no pair.
	line.RemoveWhiteSpaces(false, true);
	std::vector<VString> parts;
	line.GetSubStrings(u'=', parts, false, false);
	if (parts.size() == 2 && line.GetUniChar(line.GetLength()) == u';') {
		VString key(parts[0]);
		VString value(parts[1]);
		key.RemoveWhiteSpaces();
		value.Truncate(value.GetLength() - 1);
		value.RemoveWhiteSpaces();
		const auto plain = [](const VString& inText) {
			if (inText.GetLength() < 3 || inText.GetUniChar(1) != u'"' || inText.GetUniChar(inText.GetLength()) != u'"')
				return false;
			for (VIndex i = 2; i < inText.GetLength(); ++i)
				if (inText.GetUniChar(i) == u'"' || inText.GetUniChar(i) == 0)
					return false;
			return true;
		};
		if (plain(key) && plain(value)) {
			key.SubString(2, key.GetLength() - 2);
			value.SubString(2, value.GetLength() - 2);
			VString found;
			// A later line of the same key replaces the value.
			QIRN_FUZZ_CHECK(manager->LocalizeStringWithKey(key, found));
		}
	}
	return 0;
}
