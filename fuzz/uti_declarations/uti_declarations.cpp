// Type declarations read by the type manager from a property list (XML or
// binary) in the process's temporary folder.
//
// What must hold: a list that exists loads; no type is its own ancestor
// however the declarations loop; every type a tag names carries that tag;
// the manager and its types go with their last reference (no leak through
// the parent and child links).
#include "FuzzSupport.h"
#include "../xml_support/FuzzTempFolder.h"

#include "bags_xml/VUTI.h"
#include "bags_xml/VUTIManager.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFile.h"
#include "files/VFileKindManager.h"

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace qirn;

void CheckTag(const VUTIManager& inManager, const char* inClass, const char* inTag)
{
	std::unique_ptr<std::vector<VUTI*>> types(
		inManager.UTTypeCreateAllIdentifiersForTag(VString(inClass), VString(inTag), VString()));
	if (types == nullptr)
		return;
	const VString klass(inClass);
	for (VUTI* type : *types) {
		QIRN_FUZZ_CHECK(type != nullptr);
		QIRN_FUZZ_CHECK(!type->IsParent(type));
		QIRN_FUZZ_CHECK(type->ConformsToIdentifier(type->GetIdentifier()));
		if (klass.EqualToString(VString(kUTTagClassFilenameExtension)))
			QIRN_FUZZ_CHECK(type->ConformsToExtension(VString(inTag)));
		VRefPtr<VUTI> same = VRefPtr<VUTI>::Adopt(inManager.RetainUTI(type->GetIdentifier()));
		QIRN_FUZZ_CHECK(same.Get() == type);
		type->Release();
	}
	VRefPtr<VUTI> preferred =
		VRefPtr<VUTI>::Adopt(inManager.UTTypeCreatePreferredIdentifierForTag(VString(inClass), VString(inTag), VString()));
	QIRN_FUZZ_CHECK((preferred != nullptr) == !types->empty());
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
	const std::string path = fuzz::WriteTempFile("Info.plist", inData, inSize);
	fuzz::StFuzzInput input;
	{
		VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(VString(path.c_str()), FPS_POSIX));
		VRefPtr<VUTIManager> manager = VRefPtr<VUTIManager>::Adopt(new VUTIManager);
		QIRN_FUZZ_CHECK(manager->LoadXMLFile(file.Get()));
		for (const char* tag : {"exc", "exp", "txt", "a", "xml"})
			CheckTag(*manager, kUTTagClassFilenameExtension, tag);
		CheckTag(*manager, kUTTagClassOSType, "TEXT");
		CheckTag(*manager, kUTTagClassMIMEType, "text/plain");
		manager->UTTypeConformsTo(file.Get(), VString("public.data"));
	}
	// The kinds the input registered go with it, so that a long run does
	// not pile up every identifier it ever made.
	VFileKindManager::DeInit();
	QIRN_FUZZ_CHECK(VFileKindManager::Init());
	return 0;
}
