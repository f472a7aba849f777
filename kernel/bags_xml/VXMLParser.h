#pragma once

#include "core/VObject.h"
#include "core/VString.h"

#include <cstddef>

namespace qirn {

class IFile;
class IXMLHandler;
class VFile;
class VFolder;

// Errors of the XML parser.
constexpr OsType kXML_COMPONENT_SIGNATURE = 'xmlc';
constexpr VError VE_XML_PARSE_ERROR = MAKE_VERROR('xmlc', 2);
constexpr VError VE_XML_FATAL_ERROR = MAKE_VERROR('xmlc', 3);

// Parse flags.
enum : unsigned {
	XML_VALIDATE_ALWAYS = 0x01,
	XML_VALIDATE_NEVER = 0x02,
	XML_NAMESPACES = 0x04,
	XML_LOAD_EXTERNAL_DTD = 0x08,
	XML_DEFAULTED_ATTRIBUTES = 0x10,
	XML_SCHEMA = 0x20,
};

// Runs an XML parse and hands every element to a tree of handlers (see
// IXMLHandler). Errors are raised on the current task with their position
// ("message", "systemID", "publicID", "line", "column"); a parse answers
// true only when the document gave no error.
//
// Nothing outside the document is opened but files of an entities folder
// (see ResolveEntityFromFolder): any other external entity or DTD to load
// is a fatal error, and entity expansion is bounded.
class VXMLParser : public VObject {
public:
	// A parser holds one Init for its life.
	VXMLParser();
	~VXMLParser() override;
	VXMLParser(const VXMLParser&) = delete;
	VXMLParser& operator=(const VXMLParser&) = delete;

	// The XML library is set up by the first Init and torn down by the
	// DeInit that balances the last one; any task may call them.
	static bool Init();
	static void DeInit();

	// The whole content of the file, with its path as system identifier.
	// False without parsing when the content cannot be read.
	bool Parse(IFile* inFile, IXMLHandler* inHandler, unsigned inFlags);
	bool Parse(const void* inData, size_t inSize, IXMLHandler* inHandler, unsigned inFlags);
	// The string's own UTF-16 is parsed, whatever encoding the document declares.
	bool Parse(const VString& inText, IXMLHandler* inHandler, unsigned inFlags);

	// The entities folder asked for when the handler on top finds no file.
	void SetEntitiesLocalFolder(const VString& inPath, VFolder* inFolder);
	VFile* ResolveEntity(const VString& inSystemID);
	// A system identifier that begins with inPath names, by the rest after
	// it ('/' between the names), a file inside inFolder: that file (one
	// reference for the caller) when it exists. Null without a folder, when
	// a name of the rest is empty, "." or "..", or when the file, links
	// followed, lies outside the folder.
	static VFile* ResolveEntityFromFolder(const VString& inPath, VFolder* inFolder, const VString& inSystemID);

	// Whether the last parse passed attributes defaulted from the DTD.
	bool GetDefaultedAttributes() const { return fDefaultedAttributes; }

private:
	bool fInitialized = false;
	bool fDefaultedAttributes = false;
	VString fEntitiesPath;
	VFolder* fEntitiesFolder = nullptr;
};

} // namespace qirn
