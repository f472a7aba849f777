// An XLIFF file read by the localization manager, from a file in the
// process's temporary folder. The first byte picks the manager's language
// and whether units of any language are taken.
//
// What must hold: the load answers an error code and leaves nothing on the
// task's error stack; another manager loading the same file answers the
// same. (Loading it again into the same manager may differ: the flags one
// XLIFF file leaves are read by the next.)
#include "FuzzSupport.h"
#include "../xml_support/FuzzTempFolder.h"

#include "bags_xml/VLocalizationManager.h"
#include "bags_xml/VValueBag.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFile.h"

#include <string>
#include <vector>

namespace {

using namespace qirn;

const DialectCode kDialects[] = {1033, 1036, 3084, 1031};

// What the manager answers for the names the seeds use.
std::vector<VString> Answers(VLocalizationManager& inManager)
{
	std::vector<VString> answers;
	for (const char* key : {"k", "shared", "x", "ERR_qirn_613", "ERR_UPQX_1"}) {
		VString text("-");
		inManager.LocalizeStringWithKey(VString(key), text);
		answers.push_back(text);
	}
	VString message("-");
	inManager.LocalizeErrorMessage(MAKE_VERROR('xmlc', 2), message);
	answers.push_back(message);
	for (sLONG group : {0, 1, 2, 100}) {
		std::vector<VString> strings;
		inManager.LocalizeGroupOfStringsWithAStrSharpID(group, strings);
		answers.insert(answers.end(), strings.begin(), strings.end());
		answers.emplace_back("|");
	}
	for (const char* group : {"g", "grp"}) {
		std::vector<VString> strings;
		inManager.GetOrderedStringsOfGroup(VString(group), strings);
		answers.insert(answers.end(), strings.begin(), strings.end());
		answers.emplace_back("|");
		VRefPtr<const VValueBag> bag = VRefPtr<const VValueBag>::Adopt(inManager.RetainGroupBag(VString(group)));
		answers.emplace_back(bag != nullptr ? "bag" : "none");
	}
	return answers;
}

bool Same(const std::vector<VString>& inA, const std::vector<VString>& inB)
{
	if (inA.size() != inB.size())
		return false;
	for (size_t i = 0; i < inA.size(); ++i)
		if (!inA[i].EqualToStringRaw(inB[i]))
			return false;
	return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
	fuzz::StartKernel();
	fuzz::TempFolderPath();
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	const bool anyLanguage = (inData[0] & 1) != 0;
	const DialectCode dialect = kDialects[(inData[0] >> 1) & 3];
	const std::string path = fuzz::WriteTempFile("input.xlf", inData + 1, inSize - 1);
	fuzz::StFuzzInput input;
	VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(VString(path.c_str()), FPS_POSIX));
	VRefPtr<VLocalizationManager> manager = VRefPtr<VLocalizationManager>::Adopt(new VLocalizationManager(dialect));
	const VError first = manager->LoadFile(file.Get(), anyLanguage);
	QIRN_FUZZ_CHECK(first == VE_OK);
	QIRN_FUZZ_CHECK(input.Errors() == nullptr || input.Errors()->IsEmpty());
	const std::vector<VString> answers = Answers(*manager);
	VRefPtr<VLocalizationManager> other = VRefPtr<VLocalizationManager>::Adopt(new VLocalizationManager(dialect));
	QIRN_FUZZ_CHECK(other->LoadFile(file.Get(), anyLanguage) == VE_OK);
	QIRN_FUZZ_CHECK(Same(Answers(*other), answers));
	return 0;
}
