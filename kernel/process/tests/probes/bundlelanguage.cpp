// Started from a bundle the tests build, reports the language the component
// manager chooses for the bundle's own localizations: "language=<dialect>".
#include "files/VFolder.h"
#include "process/VComponentManager.h"
#include "process/VProcess.h"

#include <cstdio>

using namespace qirn;

int main()
{
	VProcess process;
	if (!process.Init(0))
		return 1;
	VFolder* bundle = process.RetainFolder('BNDL');
	std::printf("language=%d\n", static_cast<int>(VComponentManager::GetLocalizationLanguage(bundle, true, 0)));
	if (bundle != nullptr)
		bundle->Release();
	return 0;
}
