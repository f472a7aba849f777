#include "VUpdateEngine.h"

#include "bags_xml/VLocalizationManager.h"
#include "core/VIntlMgr.h"
#include "files/VFolder.h"
#include "host/HostBundle.h"
#include "process/VLog4jMsgFileLogger.h"
#include "process/VLogger.h"
#include "runtime/VErrorBase.h"

namespace qirn {

namespace {

// The components whose error messages the updater's localization holds.
constexpr OsType kLocalizedSignatures[] = {'qirn', 'xmlc', 'PW32', 'UPQX'};

// The language of the bundle's development region ("CFBundleDevelopmentRegion"),
// US English without one.
DialectCode GetDevelopmentRegionLanguage()
{
	char region[64] = {};
	DialectCode dialect = DC_ENGLISH_US;
	if (host::CopyMainBundleInfoString("CFBundleDevelopmentRegion", region, sizeof region) &&
		!VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(VString(region), dialect))
		dialect = DC_ENGLISH_US;
	return dialect;
}

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
	fLocalizationManager = VRefPtr<VLocalizationManager>::Adopt(new VLocalizationManager(GetDevelopmentRegionLanguage()));
	if (bundle != nullptr)
		fLocalizationManager->LoadDefaultLocalizationFoldersForComponentOrPlugin(bundle.Get());
	SetLocalizer(fLocalizationManager.Get(), fLocalizationManager.Get());
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
