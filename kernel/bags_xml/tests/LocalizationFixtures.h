#pragma once

// Small localization files written into a temporary folder: XLIFF text,
// "strings" text in UTF-16, and modification dates set to the second.

#include "bags_xml/VLocalizationManager.h"
#include "core/VRefPtr.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "testing/TempFolder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace qirn::testing {

// Dialect codes of the tests.
constexpr DialectCode kFrench = 1036;
constexpr DialectCode kFrenchCanada = 3084;
constexpr DialectCode kGerman = 1031;

inline bool WriteBytes(const std::string& inPath, const std::string& inBytes)
{
	std::filesystem::create_directories(std::filesystem::path(inPath).parent_path());
	std::ofstream out(inPath, std::ios::binary | std::ios::trunc);
	out << inBytes;
	return static_cast<bool>(out);
}

// An XLIFF document: one "file" element (with its "target-language" when
// one is given) around the body.
inline std::string Xliff(const std::string& inTargetLanguage, const std::string& inBody)
{
	std::string file = "<file original=\"t\" source-language=\"en\" datatype=\"plaintext\"";
	if (!inTargetLanguage.empty())
		file += " target-language=\"" + inTargetLanguage + "\"";
	return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
		   "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\" xmlns:kq=\"urn:kq\">\n" +
		   file + ">\n<header/>\n<body>\n" + inBody + "\n</body>\n</file>\n</xliff>\n";
}

// A unit with a resname and a target.
inline std::string Unit(const std::string& inResName, const std::string& inTarget, const std::string& inMore = "")
{
	return "<trans-unit resname=\"" + inResName + "\"" + inMore + "><source>src " + inResName + "</source><target>" +
		   inTarget + "</target></trans-unit>\n";
}

// ASCII text as UTF-16, big-endian without a byte-order mark or
// little-endian after one.
inline std::string UTF16(const std::string& inText, bool inLittleEndianWithBOM)
{
	std::string bytes = inLittleEndianWithBOM ? std::string("\xFF\xFE", 2) : std::string();
	for (char c : inText) {
		if (inLittleEndianWithBOM) {
			bytes += c;
			bytes += '\0';
		} else {
			bytes += '\0';
			bytes += c;
		}
	}
	return bytes;
}

// The file's modification date, to the second.
inline bool SetModified(const std::string& inPath, time_t inSeconds)
{
	const timespec times[2] = {{inSeconds, 0}, {inSeconds, 0}};
	return ::utimensat(AT_FDCWD, inPath.c_str(), times, 0) == 0;
}

inline VRefPtr<VFolder> FolderAt(const std::string& inPosixPath)
{
	return VRefPtr<VFolder>::Adopt(new VFolder(VString((inPosixPath + "/").c_str()), FPS_POSIX));
}

inline VRefPtr<VFile> FileAt(const std::string& inPosixPath)
{
	return VRefPtr<VFile>::Adopt(new VFile(VString(inPosixPath.c_str()), FPS_POSIX));
}

inline VRefPtr<VLocalizationManager> NewManager(DialectCode inDialect)
{
	return VRefPtr<VLocalizationManager>::Adopt(new VLocalizationManager(inDialect));
}

// The text of a key, or "<none>".
inline std::string Text(VLocalizationManager& inManager, const char* inKey)
{
	VString text;
	if (!inManager.LocalizeStringWithKey(VString(inKey), text))
		return "<none>";
	return to_string(text);
}

} // namespace qirn::testing
