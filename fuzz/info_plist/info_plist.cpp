// A bundle's Info.plist read by the host layer, from a bundle in the
// process's temporary folder. The first byte picks the size of the buffer
// the value is copied into (and, with its high bit, reads the rest as an
// executable's path for the bundle-path rule instead).
//
// What must hold: a value found fits its buffer, ends with its NUL, and
// nothing is written past the buffer; a binary list gives the same answers
// as the XML form the host layer turns it into, and that form is UTF-8.
#include "FuzzSupport.h"
#include "../xml_support/FuzzTempFolder.h"

#include "core/VTextConverters.h"
#include "host/HostBundle.h"
#include "host/HostPropertyList.h"

#include <cstring>
#include <filesystem>
#include <string>

namespace {

using namespace qirn;

const char* const kKeys[] = {"CFBundleExecutable", "CFBundleIdentifier", "CFBundleShortVersionString", "UTTypeIdentifier",
							 ""};
constexpr size_t kGuard = 16;
constexpr char kGuardByte = '\xA5';

std::string BundlePath(const char* inName)
{
	return fuzz::TempFolderPath() + "/" + inName;
}

void WriteInfoPlist(const char* inBundle, const void* inData, size_t inSize)
{
	const std::string name = std::string(inBundle) + "/Contents/Info.plist";
	fuzz::WriteTempFile(name.c_str(), static_cast<const uint8_t*>(inData), inSize);
}

struct Answer {
	bool fFound = false;
	std::string fValue;
	bool operator==(const Answer&) const = default;
};

Answer Read(const char* inBundle, const char* inKey, size_t inSize)
{
	char buffer[256 + kGuard];
	std::memset(buffer, kGuardByte, sizeof(buffer));
	Answer answer;
	answer.fFound = host::CopyBundleInfoString(BundlePath(inBundle).c_str(), inKey, buffer, inSize);
	for (size_t i = inSize; i < inSize + kGuard; ++i)
		QIRN_FUZZ_CHECK(buffer[i] == kGuardByte);
	if (answer.fFound) {
		const size_t length = strnlen(buffer, inSize);
		QIRN_FUZZ_CHECK(length < inSize);
		answer.fValue.assign(buffer, length);
	}
	return answer;
}

void CheckBundlePath(const uint8_t* inData, size_t inSize)
{
	const std::string executable(reinterpret_cast<const char*>(inData), inSize);
	if (executable.find('\0') != std::string::npos)
		return;
	const std::string bundle = host::GetBundlePathForExecutable(executable);
	// The bundle holds the executable: its path begins the executable's.
	QIRN_FUZZ_CHECK(executable.compare(0, bundle.size(), bundle) == 0 || bundle.empty() || bundle == "/" ||
					bundle == ".");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
	fuzz::StartKernel();
	std::filesystem::create_directories(BundlePath("Input.app/Contents"));
	std::filesystem::create_directories(BundlePath("AsXML.app/Contents"));
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	if (inSize == 0)
		return 0;
	if ((inData[0] & 0x80) != 0) {
		CheckBundlePath(inData + 1, inSize - 1);
		return 0;
	}
	const size_t size = static_cast<size_t>(inData[0] & 0x7F) * 2 + 1;
	const uint8_t* data = inData + 1;
	const size_t dataSize = inSize - 1;
	WriteInfoPlist("Input.app", data, dataSize);

	std::string xml;
	const bool binary = host::IsBinaryPropertyList(data, dataSize);
	const bool converted = host::CopyBinaryPropertyListAsXML(data, dataSize, xml);
	QIRN_FUZZ_CHECK(binary || !converted);
	QIRN_FUZZ_CHECK(converted || xml.empty());
	// The XML form is UTF-8, whatever bytes the binary list's strings hold.
	QIRN_FUZZ_CHECK(!converted || VTextConverters::DetectUTF8(xml.data(), static_cast<sLONG>(xml.size())));
	if (converted)
		WriteInfoPlist("AsXML.app", xml.data(), xml.size());
	for (const char* key : kKeys) {
		const Answer answer = Read("Input.app", key, size);
		if (converted)
			QIRN_FUZZ_CHECK(Read("AsXML.app", key, size) == answer);
		else if (binary)
			QIRN_FUZZ_CHECK(!answer.fFound);
	}
	return 0;
}
