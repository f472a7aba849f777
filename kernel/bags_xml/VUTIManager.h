#pragma once

#include "bags_xml/VUTI.h"
#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"

#include <atomic>
#include <memory>
#include <vector>

namespace qirn {

class VFile;
class VLocalizationManager;
class VUTIManagerXMLHandler;
class VXMLParser;

// The tag classes of type declarations.
extern const char* const kUTTagClassFilenameExtension; // "public.filename-extension"
extern const char* const kUTTagClassOSType;			   // "com.apple.ostype"
extern const char* const kUTTagClassMIMEType;		   // "public.mime-type"

// The process's registry of type identifiers. It reads type declarations
// (the "UTExportedTypeDeclarations" and "UTImportedTypeDeclarations" arrays
// of an Info.plist-style property list), links each type to the declared
// types it conforms to, registers them as file kinds, and answers which
// types a tag (extension, OS type, MIME type) names and whether a file
// conforms to a type.
//
// There is no system type database: the manager knows only the types it
// has read. It has no lock: one task fills it, then any task reads it.
class VUTIManager : public VObject, public IRefCountable {
public:
	// The process's manager, made on the first call; not retained.
	static VUTIManager* GetUTIManager();
	// Releases the process's manager and forgets it; true.
	static bool DeInit();
	static void Delete() { DeInit(); }

	VUTIManager();
	VUTIManager(const VUTIManager&) = delete;
	VUTIManager& operator=(const VUTIManager&) = delete;

	// Reads the declarations of a property list (XML, or binary turned to
	// XML by the host layer), links them and registers them as file kinds.
	// False for a null or missing file; a malformed list adds what it could
	// be read of it.
	bool LoadXMLFile(const VFile* inFile);
	// Only reads the declarations, without linking them; 0.
	sLONG AnalyzeXMLFile(const VFile* inFile);
	// Links the types read and registers them with the file-kind manager.
	void ProcessExtractedUTIs();

	// Adds a type under its identifier, retained; false, nothing changed, for
	// an empty identifier or one already known.
	bool AddNewUTI(VUTI* inUTI);

	// The manager that localizes type descriptions; not retained.
	void SetLocalizationManager(VLocalizationManager* inManager) { fLocalizationManager = inManager; }
	VLocalizationManager* GetLocalizationManager() const { return fLocalizationManager; }

	// The type of that identifier (one reference for the caller), or null.
	[[nodiscard]] VUTI* RetainUTI(const VString& inIdentifier) const;

	// Identifiers are equal when only accents and case differ.
	static bool UTTypeEqual(const VString& inA, const VString& inB);

	// Every type, in identifier order, whose own or inherited tags of the
	// class hold the tag (one reference each, the caller owns the vector);
	// null for an empty class or tag. The conforming-to identifier is not
	// used.
	[[nodiscard]] std::vector<VUTI*>* UTTypeCreateAllIdentifiersForTag(const VString& inTagClass, const VString& inTag,
																	   const VString& inConformingToUTI) const;
	// The one type the tag names best (one reference for the caller), or null.
	[[nodiscard]] VUTI* UTTypeCreatePreferredIdentifierForTag(const VString& inTagClass, const VString& inTag,
															  const VString& inConformingToUTI) const;
	// Whether the file's type, found by its extension (files here carry no OS
	// type), conforms to the identifier.
	bool UTTypeConformsTo(const VFile* inFile, const VString& inIdentifier) const;

	// Of the type found by extension and the one found by OS type (either may
	// be null), the one that judges a file: the only one there is; the one
	// by extension when both are the same type or when it is not a parent
	// of the one by OS type; else the one by OS type, the more specific.
	static VUTI* ChooseFileUTI(VUTI* inByExtension, VUTI* inByOSType);

private:
	~VUTIManager() override;

	void _Parse(const VFile* inFile);

	VUTI::UTIMap fUTIs;
	std::unique_ptr<VXMLParser> fParser;
	VUTIManagerXMLHandler* fHandler = nullptr;
	VLocalizationManager* fLocalizationManager = nullptr;

	static std::atomic<VUTIManager*> fSingleton;
};

} // namespace qirn
