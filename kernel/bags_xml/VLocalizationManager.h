#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "files/VFilePath.h"
#include "runtime/ILocalizer.h"
#include "runtime/VCriticalSection.h"

#include <map>
#include <memory>
#include <vector>

namespace qirn {

class IFile;
class IFolder;
class VLocalizationXMLHandler;
class VValueBag;
class VXMLParser;

// A file that is neither XLIFF ("xlf") nor "strings".
constexpr VError VE_LOCALIZATION_FILE_KIND = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 613);

// A numbered string: its list (group) and its place in the list.
struct STRSharpCodes {
	sLONG fGroupID = 0;
	uLONG fStringID = 0;

	STRSharpCodes() = default;
	STRSharpCodes(sLONG inGroupID, uLONG inStringID) : fGroupID(inGroupID), fStringID(inStringID) {}
	bool operator<(const STRSharpCodes& inOther) const
	{
		return fGroupID != inOther.fGroupID ? fGroupID < inOther.fGroupID : fStringID < inOther.fStringID;
	}
};

// The localized texts of one language, read from a bundle's XLIFF and
// "strings" files: by key, by error code, by numbered list and by group, and
// the bags that describe whole groups.
//
// One lock guards everything: lookups, loads and reloads each hold it for
// their whole run, so a reader on another task sees the tables before a
// reload or after it, never half-built. The lock is recursive: the
// handlers' inserts run inside a load that holds it.
class VLocalizationManager : public VObject, public IRefCountable, public ILocalizer {
public:
	explicit VLocalizationManager(DialectCode inDialect);
	VLocalizationManager(const VLocalizationManager&) = delete;
	VLocalizationManager& operator=(const VLocalizationManager&) = delete;

	// Lookups. Each answers false and leaves its output untouched when it
	// finds nothing.
	bool LocalizeStringWithKey(const VString& inKey, VString& outText) override;
	// The table of this lookup is filled by no loader: "strings" pairs go
	// to the key table.
	bool LocalizeStringWithDotStringsKey(const VString& inKey, VString& outText) override;
	// Looks up "ERR_", the signature's four characters, "_" and the signed
	// number ("ERR_qirn_613") through the key lookup above.
	bool LocalizeErrorMessage(VError inError, VString& outMessage) override;
	DialectCode GetLocalizationLanguage() override { return fDialect; }
	[[nodiscard]] const VValueBag* RetainGroupBag(const VString& inResName) override;

	bool LocalizeStringWithSTRSharpCodes(const STRSharpCodes& inCodes, VString& outText);
	// The list's strings 1, 2, 3... up to the first missing one.
	bool LocalizeGroupOfStringsWithAStrSharpID(sLONG inGroupID, std::vector<VString>& outStrings);
	// A group's strings in the order of their ids.
	bool GetOrderedStringsOfGroup(const VString& inGroupResName, std::vector<VString>& outStrings);
	// Appends every group bag of the restype, in the order they were read.
	void RetainGroupBagsByRestype(const VString& inRestype, std::vector<VRefPtr<const VValueBag>>& ioBags);

	// Loading. A bundle's "Contents:Resources:" folder: its own files in any
	// language, then the language folders of the manager's language, most
	// specific first; true when one of those loaded.
	bool LoadDefaultLocalizationFoldersForComponentOrPlugin(const IFolder* inBundleFolder);
	bool LoadDefaultLocalizationFolders(const IFolder* inResourcesFolder);
	// Every visible file directly inside, in name order (so the flags that
	// one XLIFF file leaves to the next give the same tables everywhere);
	// the folder is remembered for reloads. 0, or the kernel error 3 (null)
	// or 600 (missing).
	VError ScanAndLoadFolder(const IFolder* inFolder, bool inLoadAnyLanguage);
	// One file, remembered for reloads when it is XLIFF. 0; 3, 600, 613 (not
	// a localization file) or the error of reading an XLIFF file.
	VError LoadFile(const IFile* inFile, bool inLoadAnyLanguage);
	// The loaders' errors are answered, never left on the task's error stack.
	VError AnalyzeXLIFFFile(const IFile* inFile, bool inLoadAnyLanguage);
	VError AnalyzeDotStringsFile(const IFile* inFile);

	// Empties the string and bag tables; the remembered sources stay, so a
	// reload can rebuild them.
	bool ClearLocalizations();
	// Whether a loaded XLIFF file changed or went, or a new one appeared in
	// a scanned folder. Records the dates it reads.
	bool DoesNeedAnUpdate();
	// Rebuilds the tables from the remembered sources when they changed,
	// each with the language rule of its first load.
	bool UpdateIfNeeded();

	// Filled by the XLIFF handlers while a load holds the lock. An existing
	// entry is replaced only with inOverride (a group's strings always).
	bool _InsertSTRSharpCodeAndString(const STRSharpCodes& inCodes, const VString& inText, bool inOverride);
	bool _InsertObjectURLAndString(const VString& inKey, const VString& inText, bool inOverride);
	bool _InsertIDAndStringInAGroup(uLONG inStringID, const VString& inText, const VString& inGroupResName,
									bool inOverride);
	// The first bag of a resname stays; every bag is kept under its restype.
	void _InsertGroupBag(const VString& inResName, const VString& inRestype, const VValueBag* inBag);
	// One line of a "strings" file: "key" = "value";
	void _AnalyseDotString(const VString& inLine);
	VError _LoadFile(const IFile* inFile, bool inFromFolderScan, bool inLoadAnyLanguage);

protected:
	~VLocalizationManager() override;

private:
	struct RawOrder {
		bool operator()(const VString& inA, const VString& inB) const
		{
			return inA.CompareToStringRaw(inB) == CR_SMALLER;
		}
	};
	// Group resnames as a person reads them: accents and case do not count.
	struct ReadingOrder {
		bool operator()(const VString& inA, const VString& inB) const
		{
			return inA.CompareToString(inB, false) == CR_SMALLER;
		}
	};
	struct PathOrder {
		bool operator()(const VFilePath& inA, const VFilePath& inB) const;
	};
	// A remembered folder or XLIFF file, with the language rule of its first
	// load: a reload that read the resources folder with the language test
	// would drop its files, changed or not.
	struct Source {
		VFilePath fPath;
		bool fLoadAnyLanguage = false;
	};

	void _RememberSource(const VFilePath& inPath, bool inLoadAnyLanguage);
	void _ClearTables();

	mutable VCriticalSection fLock;
	const DialectCode fDialect;
	std::map<STRSharpCodes, VString> fNumberedStrings;
	std::map<VString, VString, RawOrder> fStrings;
	std::map<VString, std::map<uLONG, VString>, RawOrder> fGroups;
	std::map<VString, VString, RawOrder> fDotStrings;
	std::unique_ptr<VXMLParser> fParser;
	VLocalizationXMLHandler* fHandler = nullptr;
	std::vector<Source> fSources;
	std::map<VFilePath, VTime, PathOrder> fFileDates;
	std::map<VString, VRefPtr<const VValueBag>, ReadingOrder> fGroupBagsByResName;
	std::multimap<VString, VRefPtr<const VValueBag>, RawOrder> fGroupBagsByRestype;
	std::vector<VRefPtr<IFolder>> fLocalizationFolders;
};

} // namespace qirn
