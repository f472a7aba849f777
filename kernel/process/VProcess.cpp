#include "process/VProcess.h"

#include "bags_xml/VValueBag.h"
#include "core/VIntlMgr.h"
#include "files/VFile.h"
#include "files/VFileKindManager.h"
#include "files/VFileSystem.h"
#include "files/VFileSystemNamespace.h"
#include "files/VFolder.h"
#include "files/platform/XLinuxFile.h"
#include "host/HostBundle.h"
#include "json/VJSONClassStore.h"
#include "process/VBootLogListener.h"
#include "process/VLogger.h"
#include "runtime/VDebugMgr.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"
#include "runtime/VMetricsManager.h"
#include "runtime/VProgressManager.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <unistd.h>

namespace qirn {

namespace {

// Every native Linux volume tells case apart: refusing such an installation
// would refuse them all, so the check is not made at start-up here.
constexpr bool kChecksInstallFolderCaseAtStartUp = false;

VFilePath PathInside(const VFilePath& inFolder, const char* inSubFolder)
{
	VFilePath path(inFolder);
	if (!path.ToSubFolder(VString(inSubFolder)))
		return VFilePath();
	return path;
}

} // namespace

std::atomic<VProcess*> VProcess::sInstance{nullptr};

namespace {

// How the JSON objects find the process's class store.
IJSONClassStore* ProcessClassStore()
{
	VProcess* process = VProcess::sInstance.load(std::memory_order_acquire);
	return process != nullptr ? process->GetClassStore() : nullptr;
}

} // namespace

VProcess::VProcess()
	: fLastActivityTime(VSystem::GetCurrentTime()),
	  fMetrics(std::make_unique<VMetricsManager>()),
	  fFileSystemNamespace(VRefPtr<VFileSystemNamespace>::Adopt(new VFileSystemNamespace()))
{
	_ReadProductName(fProductName);
	fProductFolderName = fProductName;
	_ReadProductVersion(fProductVersion);
}

VProcess::~VProcess()
{
	if (fInitCalled)
		_DeInit();
	// Objects made from now on have no class; those still alive keep theirs.
	IJSONClassStore::SetProcessStoreGetter(nullptr);
	fBootListener.Clear();
	fClassStore.Clear();
	fFileSystemNamespace.Clear();
}

bool VProcess::Init(uint32 inFlags)
{
	if (!fInitCalled) {
		fInitCalled = true;
		fInitOK = _Init(inFlags);
	}
	return fInitOK;
}

bool VProcess::_Init(uint32 inFlags)
{
	// A system too old still gets the singleton and the international
	// settings, so that the end goes as for any failed start.
	const bool systemOK = DoCheckSystemVersion(MAC_OS_10_12);
	sInstance.store(this, std::memory_order_release);
	fFibered = (inFlags & kInitFibered) != 0;
	fIntlMgr = VRefPtr<VIntlMgr>::Adopt(VIntlMgr::Create(DC_SYSTEM, DC_SYSTEM, 0));
	if (!systemOK || fIntlMgr == nullptr)
		return false;
	if (!VFileKindManager::Init())
		return false;
	if (kChecksInstallFolderCaseAtStartUp && !_CheckCaseInsensitiveInstallFolder())
		return false;
	if (!VTaskMgr::Init(this))
		return false;
	// The process was made before the main task existed: its messages go to
	// the main task.
	if (VTask* main = VTaskMgr::Get()->GetMainTask())
		SetMessagingTask(main->GetID());
	if (!VDebugMgr::Get().Init())
		return false;
	if (!VProgressManager::Init())
		return false;
	if (!_Init_FileSystems())
		return false;
	_Init_ClassStore();
	if ((inFlags & kInitLogger) == 0)
		return true;
	fLogger = VRefPtr<VLogger>::Adopt(new VLogger());
	fBootListener = VRefPtr<VBootLogListener>::Adopt(new VBootLogListener());
	fLogger->AddLogListener(fBootListener.Get());
	fLogger->Start();
	return true;
}

bool VProcess::_Init_FileSystems()
{
	VError error = VE_OK;
	// Without a home folder there is simply no such file system.
	VRefPtr<VFolder> home = VRefPtr<VFolder>::Adopt(VFolder::RetainSystemFolder(eFK_UserHome, false));
	if (home != nullptr)
		error = fFileSystemNamespace->RegisterFileSystem(VString(".USER_HOME_DIRECTORY"), home.Get(), VFileSystem::kHidden);
	VRefPtr<VFolder> resources;
	if (error == VE_OK) {
		resources = VRefPtr<VFolder>::Adopt(RetainFolder('RSRC'));
		if (resources != nullptr)
			error = fFileSystemNamespace->RegisterFileSystem(VString(".PRODUCT_RESOURCES"), resources.Get(), 0);
	}
	if (error == VE_OK && resources != nullptr) {
		VFilePath definitions(resources->GetPath());
		if (definitions.ToSubFile(VString("fileSystems.json"))) {
			VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(definitions));
			if (file->Exists())
				error = fFileSystemNamespace->LoadFromDefinitionFile(file.Get());
		}
	}
	return error == VE_OK;
}

void VProcess::_DeInit()
{
	// No task may go on running against a process and a task manager that
	// are going away: the others are killed and waited for first, while
	// their activity tokens can still leave the process.
	if (VTaskMgr::IsInited())
		VTaskMgr::Get()->KillAllTasks(kTaskEndMilliseconds);
	// The logger's task is gone with the others: what is still queued goes
	// with the logger.
	if (fLogger != nullptr) {
		fLogger->Stop();
		fLogger.Clear();
	}
	VDebugMgr::Get().DeInit();
	VProcess* self = this;
	sInstance.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
	VTaskMgr::DeInit();
	VFileKindManager::DeInit();
	VProgressManager::Deinit();
	fIntlMgr.Clear();
}

bool VProcess::DoCheckSystemVersion(SystemVersion inVersion)
{
	if (VSystem::IsSystemVersionOrAbove(inVersion))
		return true;
	const char* text = inVersion == MAC_OS_10_12 ? "This application needs at least OS X 10.12"
												 : "This application needs at least OS X 10.7";
	VSystem::DisplayNotification(VString("Initialization failed"), VString(text), 0);
	return false;
}

bool VProcess::_CheckCaseInsensitiveInstallFolder()
{
	VRefPtr<VFolder> resources = VRefPtr<VFolder>::Adopt(RetainFolder('RSRC'));
	return resources == nullptr || _CheckCaseInsensitiveFolder(resources->GetPath());
}

bool VProcess::_CheckCaseInsensitiveFolder(const VFilePath& inFolder)
{
	VString name;
	inFolder.GetName(name);
	if (name.IsEmpty())
		return true;
	UniChar* first = name.GetCPointerForWrite();
	if (first == nullptr)
		return true;
	if (*first >= u'a' && *first <= u'z')
		*first = static_cast<UniChar>(*first - u'a' + u'A');
	else if (*first >= u'A' && *first <= u'Z')
		*first = static_cast<UniChar>(*first - u'A' + u'a');
	VFilePath flipped(inFolder);
	if (!flipped.SetName(name))
		return true;
	VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(inFolder));
	VRefPtr<VFolder> flippedFolder = VRefPtr<VFolder>::Adopt(new VFolder(flipped));
	const bool exists = folder->Exists();
	const bool flippedExists = flippedFolder->Exists();
	if (exists == flippedExists)
		return true;
	VSystem::DisplayNotification(VString("Initialization failed"),
		VString("Please install the application on a case insensitive file system."), 0);
	return false;
}

void VProcess::Run()
{
	VTask* main = VTaskMgr::IsInited() ? VTaskMgr::Get()->GetMainTask() : nullptr;
	if (main == nullptr || VTask::GetCurrent() != main || main->GetState() != TS_RUNNING)
		return;
	// Through the virtual slot: a second call answers the first result, of
	// the derived class's start-up too.
	if (!Init(kInitDefault)) {
		const VString text("VApplication::DoInit failed");
		_ThrowError(VE_APPLICATION_INIT_FAILED, &text);
		return;
	}
	VTask::FlushErrors();
	StartMessaging();
	DoRun();
	DoQuit();
	main->Kill();
	StopMessaging();
}

void VProcess::QuitAsynchronously(const VString* /*inReason*/)
{
	VTask* main = VTaskMgr::IsInited() ? VTaskMgr::Get()->GetMainTask() : nullptr;
	if (main == nullptr)
		return;
	main->Kill();
	main->SetMessageQueueEvent();
}

bool VProcess::IsRunning() const
{
	VTask* main = VTaskMgr::IsInited() ? VTaskMgr::Get()->GetMainTask() : nullptr;
	return main != nullptr && !main->IsDying();
}

int32 VProcess::GetSystemID()
{
	return static_cast<int32>(::getpid());
}

bool VProcess::IsProcessRunning(int32 inProcessID)
{
	if (inProcessID <= 0)
		return false;
	return ::kill(static_cast<pid_t>(inProcessID), 0) == 0 || errno != ESRCH;
}

VFilePath VProcess::GetExecutableFilePath() const
{
	char executable[PATH_MAX];
	VFilePath path;
	if (host::CopyExecutablePath(executable, sizeof(executable)))
		XLinuxFile::GetFilePathFromPosixPath(executable, false, path);
	if (!path.IsFile())
		return VFilePath();
	return path;
}

VFilePath VProcess::GetExecutableFolderPath() const
{
	VFilePath folder;
	if (!GetExecutableFilePath().GetParent(folder))
		return VFilePath();
	return folder;
}

VFile* VProcess::RetainExecutableFile() const
{
	const VFilePath path = GetExecutableFilePath();
	return path.IsFile() ? new VFile(path) : nullptr;
}

VFolder* VProcess::RetainFolder(uint32 inKind) const
{
	const VFilePath executableFolder = GetExecutableFolderPath();
	if (!executableFolder.IsFolder())
		return nullptr;
	VFilePath contents;
	executableFolder.GetParent(contents);
	VFilePath path;
	switch (inKind) {
	case 'EXEC':
		path = executableFolder;
		break;
	case 'PLST':
		path = contents;
		break;
	case 'BNDL':
		contents.GetParent(path);
		break;
	case 'RSRC':
		path = PathInside(contents, "Resources");
		break;
	case 'NCMP':
		path = PathInside(contents, "Native Components");
		break;
	case 'DTDs':
		path = PathInside(PathInside(contents, "Resources"), "DTD");
		break;
	case 'XSDs':
		path = PathInside(PathInside(contents, "Resources"), "XSD");
		break;
	case 'XSLs':
		path = PathInside(PathInside(contents, "Resources"), "XSL");
		break;
	case 'JSNs':
		path = PathInside(PathInside(contents, "Resources"), "JSONSchemas");
		break;
	default:
		return nullptr;
	}
	return path.IsFolder() ? new VFolder(path) : nullptr;
}

VFile* VProcess::RetainFile(uint32 inKind, const VString& inName, uint32 inFallbackKind) const
{
	if (VFile* file = _RetainExistingFile(inKind, inName))
		return file;
	if (inFallbackKind == 0)
		return nullptr;
	VRefPtr<VFolder> fallback = VRefPtr<VFolder>::Adopt(RetainFolder(inFallbackKind));
	if (fallback == nullptr || !fallback->Exists())
		return nullptr;
	return _RetainExistingFile(inFallbackKind, inName);
}

VFile* VProcess::_RetainExistingFile(uint32 inKind, const VString& inName) const
{
	VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(RetainFolder(inKind));
	if (folder == nullptr)
		return nullptr;
	VFilePath path(folder->GetPath());
	if (!path.ToSubFile(inName))
		return nullptr;
	VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(path));
	return file->Exists() ? file.Forget() : nullptr;
}

VFolder* VProcess::RetainProductSystemFolder(ESystemFolderKind inKind, bool inCreate) const
{
	ESystemFolderKind fallbackKind = inKind;
	switch (inKind) {
	case eFK_UserDocuments:
	case eFK_Temporary:
	case eFK_UserPreferences:
	case eFK_UserApplicationData:
	case eFK_UserCache:
	case eFK_UserHome:
		break;
	case eFK_CommonPreferences:
		fallbackKind = eFK_UserPreferences;
		break;
	case eFK_CommonApplicationData:
		fallbackKind = eFK_UserApplicationData;
		break;
	case eFK_CommonCache:
		fallbackKind = eFK_UserCache;
		break;
	default:
		return VFolder::RetainSystemFolder(inKind, inCreate);
	}
	VRefPtr<VFolder> systemFolder = VRefPtr<VFolder>::Adopt(VFolder::RetainSystemFolder(inKind, inCreate));
	if (systemFolder == nullptr)
		return nullptr;
	VRefPtr<VFolder> folder;
	VFilePath aliasPath(systemFolder->GetPath());
	VRefPtr<VFile> alias;
	if (aliasPath.ToSubFile(fProductFolderName))
		alias = VRefPtr<VFile>::Adopt(new VFile(aliasPath));
	if (alias != nullptr && alias->IsAliasFile()) {
		StErrorContextInstaller quiet(false, true);
		VFilePath target;
		if (alias->ResolveAlias(target) == VE_OK && target.IsFolder())
			folder = VRefPtr<VFolder>::Adopt(new VFolder(target));
	}
	if (folder == nullptr) {
		VFilePath path(systemFolder->GetPath());
		if (!path.ToSubFolder(fProductFolderName))
			return nullptr;
		folder = VRefPtr<VFolder>::Adopt(new VFolder(path));
	}
	if (folder->Exists())
		return folder.Forget();
	if (!inCreate)
		return nullptr;
	if (fallbackKind != inKind) {
		VError error = VE_OK;
		{
			StErrorContextInstaller quiet(false, true);
			error = folder->CreateRecursive(true);
		}
		if (error != VE_OK)
			return RetainProductSystemFolder(fallbackKind, true);
		return folder.Forget();
	}
	if (folder->CreateRecursive(false) != VE_OK)
		return nullptr;
	return folder.Forget();
}

void VProcess::_ReadProductName(VString& ioName)
{
	char name[1024];
	if (host::CopyMainBundleInfoString("CFBundleName", name, sizeof(name)))
		ioName.FromCString(name);
}

void VProcess::_ReadProductVersion(VString& ioVersion)
{
	char version[1024];
	if (host::CopyMainBundleInfoString("CFBundleShortVersionString", version, sizeof(version)))
		ioVersion.FromCString(version);
}

void VProcess::GetBuildNumberOfVersion(const VString& inVersion, VString& outNumber)
{
	outNumber.Clear();
	const VString build("build ");
	const VIndex found = inVersion.FindRawString(build);
	if (found <= 0)
		return;
	const VIndex start = found + build.GetLength();
	inVersion.GetSubString(start, inVersion.GetLength() - start + 1, outNumber);
	outNumber.RemoveWhiteSpaces();
}

sLONG VProcess::GetChangeListNumberOfVersion(const VString& inVersion)
{
	VString number;
	GetBuildNumberOfVersion(inVersion, number);
	const VIndex dot = number.FindUniChar(u'.', number.GetLength(), true);
	if (dot <= 0)
		return 0;
	return number.GetSubString(dot + 1, number.GetLength() - dot).GetLong();
}

void VProcess::GetShortVersionOfVersion(const VString& inVersion, VString& outVersion)
{
	const VIndex found = inVersion.FindRawString(VString("build "));
	if (found > 0)
		inVersion.GetSubString(1, found - 1, outVersion);
	else
		outVersion.FromString(inVersion);
	outVersion.RemoveWhiteSpaces();
}

void VProcess::GetMainVersionOfVersion(const VString& inVersion, VString& outVersion)
{
	GetShortVersionOfVersion(inVersion, outVersion);
	const VIndex dot = outVersion.FindUniChar(u'.');
	if (dot > 0)
		outVersion.Truncate(dot - 1);
}

void VProcess::GetBuildNumber(VString& outNumber) const
{
	GetBuildNumberOfVersion(fProductVersion, outNumber);
}

sLONG VProcess::GetChangeListNumber() const
{
	return GetChangeListNumberOfVersion(fProductVersion);
}

void VProcess::GetShortProductVersion(VString& outVersion) const
{
	GetShortVersionOfVersion(fProductVersion, outVersion);
}

void VProcess::GetMainProductVersion(VString& outVersion) const
{
	GetMainVersionOfVersion(fProductVersion, outVersion);
}

void VProcess::_Init_ClassStore()
{
	auto store = VRefPtr<VJSONClassStore>::Adopt(new VJSONClassStore(VString("qx")));
	store->AddRootClasses();
	fClassStore = store;
	IJSONClassStore::SetProcessStoreGetter(&ProcessClassStore);
}

VRefPtr<VJSONObject> VProcess::GetClassObject(const VString& inStoreName, const VString& inClassName) const
{
	if (fClassStore == nullptr || !fClassStore->GetName().EqualToStringRaw(inStoreName))
		return nullptr;
	return fClassStore->GetClassObject(inClassName);
}

void VProcess::SetLocalizer(ILocalizer* inLocalizer, IRefCountable* inOwner)
{
	fLocalizerOwner.Set(inOwner);
	fLocalizer = inLocalizer;
}

VLogger* VProcess::GetLogger(EMessageLevel inLevel) const
{
	return fLogger != nullptr && fLogger->ShouldLog(inLevel) ? fLogger.Get() : nullptr;
}

void VProcess::CleanBootLogListener()
{
	if (fLogger != nullptr && fBootListener != nullptr) {
		const std::vector<const VValueBag*> entries = fBootListener->TakeEntries();
		for (const VValueBag* entry : entries) {
			fLogger->LogBag(entry);
			entry->Release();
		}
		fLogger->RemoveLogListener(fBootListener.Get());
	}
	fBootListener.Clear();
}

bool VProcess::HasSomeActivityTokens(uint32 inMilliseconds) const
{
	StLocker<VCriticalSection> lock(fActivityLock);
	if (!fActivityTokens.empty())
		return true;
	return VSystem::GetCurrentTime() - fLastActivityTime < inMilliseconds;
}

void VProcess::_RegisterActivityToken(VActivityToken* inToken)
{
	StLocker<VCriticalSection> lock(fActivityLock);
	fActivityTokens.insert(inToken);
}

void VProcess::_UnregisterActivityToken(VActivityToken* inToken)
{
	StLocker<VCriticalSection> lock(fActivityLock);
	if (fActivityTokens.erase(inToken) != 0 && fActivityTokens.empty())
		fLastActivityTime = VSystem::GetCurrentTime();
}

} // namespace qirn
