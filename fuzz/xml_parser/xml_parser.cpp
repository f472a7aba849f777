// The XML parser over a document in memory, with an entities folder (the
// fixture "entities/" beside this file) that its system identifiers
// "ents/..." name. The first byte picks the parse flags and whether the
// folder is the parser's or the handler's.
//
// What must hold: nothing outside the folder is read (a file outside it,
// "secret.txt", holds a marker no text may carry, and every file resolved
// lies inside the folder); a parse that fails has raised an error and one
// that succeeds has raised none; the text an entity bomb expands to stays
// bounded.
#include "FuzzSupport.h"

#include "bags_xml/IXMLHandler.h"
#include "bags_xml/VXMLParser.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "files/platform/XLinuxFile.h"
#include "files/platform/XLinuxFolder.h"
#include "runtime/VErrorContext.h"

#include <string>

namespace {

using namespace qirn;

const VString kSecret("QIRN-SECRET-OUTSIDE");
const VString kPasswd("root:x:0:0");
const VString kEntitiesPath("ents/");

// Far above what 4 KB of document expands to within the parser's entity
// expansion limit unless the limit fails.
constexpr VIndex kMaxText = 64 * 1024 * 1024;
constexpr size_t kMaxErrors = 100;

std::string& EntitiesRealPath()
{
	static std::string path;
	return path;
}

VFolder* EntitiesFolder()
{
	static VFolder* folder = new VFolder(VString(QIRN_FUZZ_SOURCE_DIR "/entities/"), FPS_POSIX);
	return folder;
}

void CheckText(const VString& inText)
{
	QIRN_FUZZ_CHECK(inText.Find(kSecret) <= 0);
	QIRN_FUZZ_CHECK(inText.Find(kPasswd) <= 0);
}

// One handler for every element: it keeps count of the text it is given.
class VRecorder : public VObject, public IXMLHandler {
public:
	IXMLHandler* StartElement(const VString& inElementName) override
	{
		CheckText(inElementName);
		++fElements;
		return RetainRefCountable(static_cast<IXMLHandler*>(this));
	}
	void SetAttribute(const VString& inName, const VString& inValue) override
	{
		CheckText(inName);
		CheckText(inValue);
		fText += inValue.GetLength();
	}
	void SetText(const VString& inText) override
	{
		CheckText(inText);
		fText += inText.GetLength();
		QIRN_FUZZ_CHECK(fText <= kMaxText);
	}
	void SetStyleSheetAttribute(const VString& inName, const VString& inValue) override
	{
		CheckText(inName);
		CheckText(inValue);
	}
	VFile* ResolveEntity(const VString& inSystemID) override
	{
		VFile* file = IXMLHandler::ResolveEntity(inSystemID);
		if (file != nullptr) {
			std::string target;
			QIRN_FUZZ_CHECK(XLinuxFile::RealPath(file->GetImpl().GetPosixBytes(), true, target));
			const std::string& folder = EntitiesRealPath();
			QIRN_FUZZ_CHECK(target.size() > folder.size() && target.compare(0, folder.size(), folder) == 0 &&
							target[folder.size()] == '/');
		}
		return file;
	}

	VIndex fText = 0;
	VIndex fElements = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
	fuzz::StartKernel();
	EntitiesRealPath() = XLinuxFolder::RealPath(EntitiesFolder()->GetPlatform().GetPosixPathBytes());
	while (!EntitiesRealPath().empty() && EntitiesRealPath().back() == '/')
		EntitiesRealPath().pop_back();
	if (EntitiesRealPath().empty())
		fuzz::Fail("no entities folder", __FILE__, __LINE__);
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	const unsigned flags = inData[0] & 0x3F;
	const bool folderOnParser = (inData[0] & 0x40) != 0;
	const bool asString = (inData[0] & 0x80) != 0;
	fuzz::StFuzzInput input;
	VRefPtr<VRecorder> handler = VRefPtr<VRecorder>::Adopt(new VRecorder);
	VXMLParser parser;
	if (folderOnParser)
		parser.SetEntitiesLocalFolder(kEntitiesPath, EntitiesFolder());
	else
		handler->SetEntitiesLocalFolder(kEntitiesPath, EntitiesFolder());
	bool parsed = false;
	if (asString) {
		// The bytes as UTF-16 units, so that the string form sees every unit.
		VString text;
		text.FromBlock(inData + 1, (inSize - 1) & ~size_t(1), VTC_UTF_16);
		parsed = parser.Parse(text, handler.Get(), flags);
	} else {
		parsed = parser.Parse(inData + 1, inSize - 1, handler.Get(), flags);
	}
	const bool raised = input.Errors() != nullptr && !input.Errors()->IsEmpty();
	QIRN_FUZZ_CHECK(parsed != raised);
	// A broken document ends the parse: it is not reported error by error.
	// A validation error does not end it: each is reported, as many as the
	// document has undeclared elements and attributes.
	if (raised) {
		size_t fatal = 0;
		for (const auto& error : input.Errors()->GetErrors())
			if (error->GetError() == VE_XML_FATAL_ERROR)
				++fatal;
		QIRN_FUZZ_CHECK(fatal <= kMaxErrors);
	}
	return 0;
}

// The XML library as Debian builds it leaks the declaration of each
// external DTD subset it loads, on purpose (its mend of a use-after-free,
// CVE-2018-1311): that leak is the library's, not the input's.
extern "C" const char* __lsan_default_suppressions()
{
	return "leak:xercesc_3_2::XMLScanner::scanProlog\n";
}
