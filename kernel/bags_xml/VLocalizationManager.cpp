#include "bags_xml/VLocalizationManager.h"

#include "bags_xml/VLocalizationXMLHandler.h"
#include "bags_xml/VValueBag.h"
#include "bags_xml/VXMLParser.h"
#include "core/VIntlMgr.h"
#include "files/FileErrorCodes.h"
#include "files/IFile.h"
#include "files/IFolder.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "runtime/VErrorContext.h"

#include <algorithm>
#include <string>

namespace qirn {

namespace {

constexpr VError kNullArgument = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 3);
// Files only, without invisible ones.
constexpr uint32 kVisibleFiles = 4;

bool SamePath(const VFilePath& inA, const VFilePath& inB)
{
	VString a;
	VString b;
	inA.GetPath(a);
	inB.GetPath(b);
	return a.EqualToStringRaw(b);
}

bool IsQuoted(const VString& inText)
{
	return inText.GetLength() >= 2 && inText.GetUniChar(1) == u'"' && inText.GetUniChar(inText.GetLength()) == u'"';
}

} // namespace

bool VLocalizationManager::PathOrder::operator()(const VFilePath& inA, const VFilePath& inB) const
{
	VString a;
	VString b;
	inA.GetPath(a);
	inB.GetPath(b);
	return a.CompareToStringRaw(b) == CR_SMALLER;
}

VLocalizationManager::VLocalizationManager(DialectCode inDialect)
	: fDialect(inDialect), fParser(std::make_unique<VXMLParser>()), fHandler(new VLocalizationXMLHandler(this))
{
}

VLocalizationManager::~VLocalizationManager()
{
	fHandler->Release();
	fParser.reset();
	fLocalizationFolders.clear();
	_ClearTables();
	fSources.clear();
	fFileDates.clear();
}

// Lookups ---------------------------------------------------------------------

bool VLocalizationManager::LocalizeStringWithKey(const VString& inKey, VString& outText)
{
	StLocker<VCriticalSection> lock(fLock);
	const auto found = fStrings.find(inKey);
	if (found == fStrings.end())
		return false;
	outText.FromString(found->second);
	return true;
}

bool VLocalizationManager::LocalizeStringWithDotStringsKey(const VString& inKey, VString& outText)
{
	StLocker<VCriticalSection> lock(fLock);
	const auto found = fDotStrings.find(inKey);
	if (found == fDotStrings.end())
		return false;
	outText.FromString(found->second);
	return true;
}

bool VLocalizationManager::LocalizeErrorMessage(VError inError, VString& outMessage)
{
	// Built whole: a number of any length names its own key, never a key
	// that only shares its first digits.
	const OsType signature = COMPONENT_FROM_VERROR(inError);
	VString key("ERR_");
	for (int shift = 24; shift >= 0; shift -= 8)
		key.AppendUniChar(static_cast<UniChar>((static_cast<uint32>(signature) >> shift) & 0xFF));
	key.AppendUniChar(u'_');
	key.AppendString(VString(std::to_string(ERRCODE_FROM_VERROR(inError)).c_str()));
	return LocalizeStringWithKey(key, outMessage);
}

const VValueBag* VLocalizationManager::RetainGroupBag(const VString& inResName)
{
	StLocker<VCriticalSection> lock(fLock);
	const auto found = fGroupBagsByResName.find(inResName);
	return found != fGroupBagsByResName.end() ? RetainRefCountable(found->second.Get()) : nullptr;
}

bool VLocalizationManager::LocalizeStringWithSTRSharpCodes(const STRSharpCodes& inCodes, VString& outText)
{
	StLocker<VCriticalSection> lock(fLock);
	const auto found = fNumberedStrings.find(inCodes);
	if (found == fNumberedStrings.end())
		return false;
	outText.FromString(found->second);
	return true;
}

bool VLocalizationManager::LocalizeGroupOfStringsWithAStrSharpID(sLONG inGroupID, std::vector<VString>& outStrings)
{
	StLocker<VCriticalSection> lock(fLock);
	outStrings.clear();
	for (uLONG index = 1;; ++index) {
		const auto found = fNumberedStrings.find(STRSharpCodes(inGroupID, index));
		if (found == fNumberedStrings.end())
			break;
		outStrings.push_back(found->second);
	}
	return !outStrings.empty();
}

bool VLocalizationManager::GetOrderedStringsOfGroup(const VString& inGroupResName, std::vector<VString>& outStrings)
{
	StLocker<VCriticalSection> lock(fLock);
	outStrings.clear();
	const auto found = fGroups.find(inGroupResName);
	if (found == fGroups.end() || found->second.empty())
		return false;
	for (const auto& [id, text] : found->second)
		outStrings.push_back(text);
	return true;
}

void VLocalizationManager::RetainGroupBagsByRestype(const VString& inRestype,
													 std::vector<VRefPtr<const VValueBag>>& ioBags)
{
	StLocker<VCriticalSection> lock(fLock);
	const auto [first, last] = fGroupBagsByRestype.equal_range(inRestype);
	for (auto entry = first; entry != last; ++entry)
		ioBags.push_back(entry->second);
}

// Inserts ---------------------------------------------------------------------

bool VLocalizationManager::_InsertSTRSharpCodeAndString(const STRSharpCodes& inCodes, const VString& inText,
														bool inOverride)
{
	StLocker<VCriticalSection> lock(fLock);
	const auto [entry, inserted] = fNumberedStrings.try_emplace(inCodes, inText);
	if (!inserted && inOverride)
		entry->second = inText;
	return true;
}

bool VLocalizationManager::_InsertObjectURLAndString(const VString& inKey, const VString& inText, bool inOverride)
{
	StLocker<VCriticalSection> lock(fLock);
	const auto [entry, inserted] = fStrings.try_emplace(inKey, inText);
	if (!inserted && inOverride)
		entry->second = inText;
	return true;
}

bool VLocalizationManager::_InsertIDAndStringInAGroup(uLONG inStringID, const VString& inText,
													  const VString& inGroupResName, bool)
{
	StLocker<VCriticalSection> lock(fLock);
	fGroups[inGroupResName][inStringID] = inText;
	return true;
}

void VLocalizationManager::_InsertGroupBag(const VString& inResName, const VString& inRestype, const VValueBag* inBag)
{
	StLocker<VCriticalSection> lock(fLock);
	const VRefPtr<const VValueBag> bag(inBag);
	if (!inResName.IsEmpty())
		fGroupBagsByResName.try_emplace(inResName, bag);
	fGroupBagsByRestype.emplace(inRestype, bag);
}

void VLocalizationManager::_AnalyseDotString(const VString& inLine)
{
	// "key" = "value"; with or without its quotes, blanks around the parts
	// or after the ";". A value holding "=" cannot be told from a broken
	// line and is skipped.
	VString line(inLine);
	line.RemoveWhiteSpaces(false, true);
	if (line.GetUniChar(line.GetLength()) == u';')
		line.Truncate(line.GetLength() - 1);
	std::vector<VString> parts;
	line.GetSubStrings(u'=', parts, false, false);
	if (parts.size() != 2)
		return;
	VString key = parts[0];
	VString value = parts[1];
	if (key.IsEmpty() || value.IsEmpty())
		return;
	key.RemoveWhiteSpaces();
	value.RemoveWhiteSpaces();
	if (IsQuoted(key))
		key.SubString(2, key.GetLength() - 2);
	if (IsQuoted(value))
		value.SubString(2, value.GetLength() - 2);
	if (key.IsEmpty() || value.IsEmpty())
		return;
	StLocker<VCriticalSection> lock(fLock);
	fStrings[key] = value;
}

// Loading ---------------------------------------------------------------------

bool VLocalizationManager::LoadDefaultLocalizationFoldersForComponentOrPlugin(const IFolder* inBundleFolder)
{
	if (inBundleFolder == nullptr || !inBundleFolder->Exists())
		return false;
	VFilePath resources(inBundleFolder->GetPath());
	resources.ToSubFolder(VString("Contents"));
	resources.ToSubFolder(VString("Resources"));
	const VRefPtr<VFolder> folder =
		VRefPtr<VFolder>::Adopt(new VFolder(resources, inBundleFolder->GetFileSystem()));
	return LoadDefaultLocalizationFolders(folder.Get());
}

bool VLocalizationManager::LoadDefaultLocalizationFolders(const IFolder* inResourcesFolder)
{
	if (inResourcesFolder == nullptr || !inResourcesFolder->Exists())
		return false;
	StLocker<VCriticalSection> lock(fLock);
	ScanAndLoadFolder(inResourcesFolder, true);
	std::vector<VRefPtr<IFolder>> folders;
	if (!VIntlMgr::GetLocalizationFoldersWithDialect(fDialect, inResourcesFolder, folders))
		return false;
	fLocalizationFolders = std::move(folders);
	bool loaded = false;
	for (const VRefPtr<IFolder>& folder : fLocalizationFolders) {
		if (ScanAndLoadFolder(folder.Get(), false) == VE_OK)
			loaded = true;
	}
	return loaded;
}

VError VLocalizationManager::ScanAndLoadFolder(const IFolder* inFolder, bool inLoadAnyLanguage)
{
	if (inFolder == nullptr)
		return kNullArgument;
	if (!inFolder->Exists())
		return VE_FILE_NOT_FOUND;
	std::vector<VRefPtr<IFile>> files;
	{
		StErrorContextInstaller quiet(false, true);
		inFolder->IterateFiles(
			[&files](IFile* inFile, IFileAttributeAccessor*) {
				files.emplace_back(inFile);
				return true;
			},
			kVisibleFiles);
	}
	// The document handler's language flags carry over from one XLIFF file
	// to the next, so the order of the files is part of the result: name
	// order, whatever order the directory keeps.
	std::vector<std::pair<VString, IFile*>> byName;
	byName.reserve(files.size());
	for (const VRefPtr<IFile>& file : files) {
		VString name;
		file->GetName(name);
		byName.emplace_back(std::move(name), file.Get());
	}
	std::sort(byName.begin(), byName.end(), [](const auto& inA, const auto& inB) {
		return inA.first.CompareToStringRaw(inB.first) == CR_SMALLER;
	});
	StLocker<VCriticalSection> lock(fLock);
	for (const auto& [name, file] : byName)
		_LoadFile(file, true, inLoadAnyLanguage);
	_RememberSource(inFolder->GetPath(), inLoadAnyLanguage);
	return VE_OK;
}

VError VLocalizationManager::LoadFile(const IFile* inFile, bool inLoadAnyLanguage)
{
	StLocker<VCriticalSection> lock(fLock);
	return _LoadFile(inFile, false, inLoadAnyLanguage);
}

VError VLocalizationManager::_LoadFile(const IFile* inFile, bool inFromFolderScan, bool inLoadAnyLanguage)
{
	if (inFile == nullptr)
		return kNullArgument;
	if (!inFile->Exists())
		return VE_FILE_NOT_FOUND;
	if (inFile->MatchExtension(VString("xlf"))) {
		StLocker<VCriticalSection> lock(fLock);
		if (const VError error = AnalyzeXLIFFFile(inFile, inLoadAnyLanguage); error != VE_OK)
			return error;
		if (!inFromFolderScan)
			_RememberSource(inFile->GetPath(), inLoadAnyLanguage);
		VTime modified;
		StErrorContextInstaller quiet(false, true);
		inFile->GetTimeAttributes(&modified, nullptr, nullptr);
		fFileDates[inFile->GetPath()] = modified;
		return VE_OK;
	}
	if (inFile->MatchExtension(VString("strings")))
		return AnalyzeDotStringsFile(inFile);
	return VE_LOCALIZATION_FILE_KIND;
}

VError VLocalizationManager::AnalyzeXLIFFFile(const IFile* inFile, bool inLoadAnyLanguage)
{
	if (inFile == nullptr)
		return kNullArgument;
	StLocker<VCriticalSection> lock(fLock);
	// A file that cannot be read or parsed only contributes nothing: its
	// errors are the caller's answer, not the task's.
	StErrorContextInstaller quiet(false, true);
	fHandler->SetLoadAnyLanguage(inLoadAnyLanguage);
	VString text;
	const VError error = inFile->GetContentAsString(text, VTC_UTF_8, eCRM_NONE);
	if (error == VE_OK)
		fParser->Parse(text, fHandler, XML_VALIDATE_NEVER);
	fHandler->SetLoadAnyLanguage(false);
	return error;
}

VError VLocalizationManager::AnalyzeDotStringsFile(const IFile* inFile)
{
	if (inFile == nullptr)
		return kNullArgument;
	if (!inFile->Exists())
		return VE_FILE_NOT_FOUND;
	VString text;
	{
		StErrorContextInstaller quiet(false, true);
		inFile->GetContentAsString(text, VTC_UTF_16_BIGENDIAN, eCRM_LF);
	}
	std::vector<VString> lines;
	text.GetSubStrings(u'\n', lines, false, false);
	StLocker<VCriticalSection> lock(fLock);
	for (const VString& line : lines)
		_AnalyseDotString(line);
	return VE_OK;
}

void VLocalizationManager::_RememberSource(const VFilePath& inPath, bool inLoadAnyLanguage)
{
	for (const Source& source : fSources) {
		if (SamePath(source.fPath, inPath))
			return;
	}
	fSources.push_back({inPath, inLoadAnyLanguage});
}

// Reloading -------------------------------------------------------------------

void VLocalizationManager::_ClearTables()
{
	fNumberedStrings.clear();
	fStrings.clear();
	fGroups.clear();
	fDotStrings.clear();
	fGroupBagsByResName.clear();
	fGroupBagsByRestype.clear();
}

bool VLocalizationManager::ClearLocalizations()
{
	StLocker<VCriticalSection> lock(fLock);
	_ClearTables();
	return true;
}

bool VLocalizationManager::DoesNeedAnUpdate()
{
	StLocker<VCriticalSection> lock(fLock);
	StErrorContextInstaller quiet(false, true);
	bool needed = false;
	for (auto entry = fFileDates.begin(); entry != fFileDates.end();) {
		const VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(entry->first));
		if (!file->Exists()) {
			needed = true;
			entry = fFileDates.erase(entry);
			continue;
		}
		VTime modified;
		if (file->GetTimeAttributes(&modified, nullptr, nullptr) != VE_OK) {
			entry = fFileDates.erase(entry);
			continue;
		}
		if (modified != entry->second) {
			needed = true;
			entry->second = modified;
		}
		++entry;
	}
	if (needed)
		return true;
	for (const Source& source : fSources) {
		if (!source.fPath.IsFolder())
			continue;
		const VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(source.fPath));
		if (!folder->Exists())
			continue;
		folder->IterateFiles(
			[this, &needed](IFile* inFile, IFileAttributeAccessor*) {
				if (inFile->MatchExtension(VString("xlf")) && fFileDates.find(inFile->GetPath()) == fFileDates.end())
					needed = true;
				return !needed;
			},
			kVisibleFiles);
		if (needed)
			break;
	}
	return needed;
}

bool VLocalizationManager::UpdateIfNeeded()
{
	// Held from the test to the last file read: a lookup from another task
	// waits for the new tables rather than finding them emptied.
	StLocker<VCriticalSection> lock(fLock);
	const bool needed = DoesNeedAnUpdate();
	if (!needed)
		return false;
	ClearLocalizations();
	// A copy: the walk's loads would otherwise remember into the list walked.
	const std::vector<Source> sources = fSources;
	for (const Source& source : sources) {
		if (!source.fPath.IsValid() || source.fPath.IsEmpty())
			continue;
		if (source.fPath.IsFolder()) {
			const VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(source.fPath));
			if (folder->Exists())
				ScanAndLoadFolder(folder.Get(), source.fLoadAnyLanguage);
		} else {
			const VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(source.fPath));
			if (file->Exists())
				_LoadFile(file.Get(), false, source.fLoadAnyLanguage);
		}
	}
	return needed;
}

} // namespace qirn
