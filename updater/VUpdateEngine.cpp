#include "VUpdateEngine.h"

#include "bags_xml/VLocalizationManager.h"
#include "bags_xml/VUTIManager.h"
#include "core/VIntlMgr.h"
#include "files/VFolder.h"
#include "process/VComponentManager.h"
#include "process/VLog4jMsgFileLogger.h"
#include "process/VLogger.h"
#include "runtime/VErrorBase.h"

namespace qirn {

namespace {

// The components whose error messages the updater's localization holds.
constexpr OsType kLocalizedSignatures[] = {'qirn', 'xmlc', 'PW32', 'UPQX'};

} // namespace

VUpdateEngine::VUpdateEngine() = default;

VUpdateEngine::~VUpdateEngine()
{
	_DeInitLog();
	// Nothing may reach the manager once it is gone: the error classes and
	// the process keep plain pointers to it.
	if (fLocalizationManager != nullptr) {
		for (OsType signature : kLocalizedSignatures) {
			if (VErrorBase::GetLocalizer(signature) == fLocalizationManager.Get())
				VErrorBase::UnregisterLocalizer(signature);
		}
		if (GetLocalizer() == fLocalizationManager.Get())
			SetLocalizer(nullptr, nullptr);
		VUTIManager::GetUTIManager()->SetLocalizationManager(nullptr);
		fLocalizationManager.Clear();
	}
}

bool VUpdateEngine::Init(uint32 inFlags)
{
	const bool ok = VProcessIPC::Init(inFlags);
	if (ok)
		_InitLocalizationManager();
	return ok;
}

void VUpdateEngine::_InitLocalizationManager()
{
	VRefPtr<VFolder> bundle = VRefPtr<VFolder>::Adopt(RetainFolder('BNDL'));
	DialectCode language = VComponentManager::GetLocalizationLanguage(bundle.Get(), true, 0);
	// A bundle without language folders still gets its messages, in US
	// English: the run must not lose its texts to a damaged bundle.
	if (language <= 0)
		language = DC_ENGLISH_US;
	fLocalizationManager = VRefPtr<VLocalizationManager>::Adopt(new VLocalizationManager(language));
	if (bundle != nullptr)
		fLocalizationManager->LoadDefaultLocalizationFoldersForComponentOrPlugin(bundle.Get());
	SetLocalizer(fLocalizationManager.Get(), fLocalizationManager.Get());
	VUTIManager::GetUTIManager()->SetLocalizationManager(fLocalizationManager.Get());
	for (OsType signature : kLocalizedSignatures)
		VErrorBase::RegisterLocalizer(signature, fLocalizationManager.Get());
}

uint32 VUpdateEngine::DoParseCommandLine(VCommandLineParser& ioParser)
{
	return fCommandLine.Parse(ioParser, GetProductVersion());
}

void VUpdateEngine::DoQuit()
{
	_DeInitLog();
}

void VUpdateEngine::_DeInitLog()
{
	if (VLogger* logger = GetLogger(); logger != nullptr)
		logger->Flush();
	if (fFileLogger != nullptr) {
		fFileLogger->Stop();
		fFileLogger.reset();
	}
}

} // namespace qirn
