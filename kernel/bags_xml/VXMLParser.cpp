#include "bags_xml/VXMLParser.h"

#include "bags_xml/SAX_Handlers.h"
#include "core/VMemoryBuffer.h"
#include "files/IFile.h"
#include "files/PathStyles.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "files/platform/XLinuxFile.h"
#include "files/platform/XLinuxFolder.h"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/XMLValidator.hpp>
#include <xercesc/internal/XMLScanner.hpp>
#include <xercesc/sax/SAXException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <bit>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace qirn {

namespace {

constinit std::mutex sInitLock;
constinit int sInitCount = 0;

// Entity expansions allowed in one document: far above what real documents
// use, far below what a nested-entity bomb needs.
constexpr XMLSize_t kEntityExpansionLimit = 50000;

constexpr XMLCh kFromMemory[] = u"frommem";

// Shows where the scanner stands.
class _SAXParser : public xercesc::SAXParser {
public:
	using xercesc::SAXParser::getScanner;
	using xercesc::SAXParser::SAXParser;
};

// The position the scanner had reached when the parse was broken off.
void _RaiseBrokenParse(const _SAXParser& inParser, const XMLCh* inMessage)
{
	sLONG8 line = 0;
	sLONG8 column = 0;
	const XMLCh* systemID = nullptr;
	const XMLCh* publicID = nullptr;
	if (const xercesc::Locator* locator = inParser.getScanner().getLocator(); locator != nullptr) {
		line = static_cast<sLONG8>(locator->getLineNumber());
		column = static_cast<sLONG8>(locator->getColumnNumber());
		systemID = locator->getSystemId();
		publicID = locator->getPublicId();
	}
	SAX_Handlers::RaiseError(VE_XML_FATAL_ERROR, inMessage, systemID, publicID, line, column);
}

} // namespace

VXMLParser::VXMLParser() : fInitialized(Init()) {}

VXMLParser::~VXMLParser()
{
	if (fEntitiesFolder != nullptr)
		fEntitiesFolder->Release();
	if (fInitialized)
		DeInit();
}

void VXMLParser::SetEntitiesLocalFolder(const VString& inPath, VFolder* inFolder)
{
	if (inFolder != fEntitiesFolder) {
		if (inFolder != nullptr)
			inFolder->Retain();
		if (fEntitiesFolder != nullptr)
			fEntitiesFolder->Release();
		fEntitiesFolder = inFolder;
	}
	fEntitiesPath = inPath;
}

VFile* VXMLParser::ResolveEntity(const VString& inSystemID)
{
	return ResolveEntityFromFolder(fEntitiesPath, fEntitiesFolder, inSystemID);
}

VFile* VXMLParser::ResolveEntityFromFolder(const VString& inPath, VFolder* inFolder, const VString& inSystemID)
{
	if (inFolder == nullptr || !inSystemID.BeginsWith(inPath, false) || inSystemID.GetLength() < inPath.GetLength())
		return nullptr;
	// The rest names the file below the folder, '/' (or the kernel's ':')
	// between names. Only plain names are taken: an empty one would make
	// the rest absolute, and "." or ".." would step out of the folder.
	const UniChar* units = inSystemID.GetCPointer() + inPath.GetLength();
	const VIndex length = inSystemID.GetLength() - inPath.GetLength();
	VString relative;
	VIndex start = 0;
	for (VIndex i = 0; i <= length; ++i) {
		if (i < length && units[i] != u'/' && units[i] != u':')
			continue;
		const VIndex pieceLength = i - start;
		const UniChar* piece = units + start;
		if (pieceLength == 0 || (pieceLength == 1 && piece[0] == u'.') ||
			(pieceLength == 2 && piece[0] == u'.' && piece[1] == u'.'))
			return nullptr;
		if (!relative.IsEmpty())
			relative.AppendUniChar(u'/');
		relative.AppendUniChars(piece, pieceLength);
		start = i + 1;
	}
	VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new (std::nothrow) VFile(*inFolder, relative, FPS_POSIX));
	if (file == nullptr || !file->Exists())
		return nullptr;
	// A link inside the folder must not lead out of it.
	const std::string folder = XLinuxFolder::RealPath(inFolder->GetPlatform().GetPosixPathBytes());
	std::string target;
	if (folder.empty() || !XLinuxFile::RealPath(file->GetImpl().GetPosixBytes(), true, target) ||
		target.size() <= folder.size() || target.compare(0, folder.size(), folder) != 0)
		return nullptr;
	return file.Forget();
}

bool VXMLParser::Init()
{
	std::lock_guard<std::mutex> lock(sInitLock);
	if (sInitCount == 0) {
		try {
			xercesc::XMLPlatformUtils::Initialize();
		} catch (...) {
			return false;
		}
	}
	++sInitCount;
	return true;
}

void VXMLParser::DeInit()
{
	std::lock_guard<std::mutex> lock(sInitLock);
	if (sInitCount == 0)
		return;
	if (--sInitCount == 0)
		xercesc::XMLPlatformUtils::Terminate();
}

namespace {

bool _Run(VXMLParser* inOwner, xercesc::InputSource& inSource, IXMLHandler* inHandler, unsigned inFlags)
{
	_SAXParser parser(nullptr, xercesc::XMLPlatformUtils::fgMemoryManager);
	if ((inFlags & XML_VALIDATE_ALWAYS) != 0)
		parser.setValidationScheme(xercesc::SAXParser::Val_Always);
	else if ((inFlags & XML_VALIDATE_NEVER) != 0)
		parser.setValidationScheme(xercesc::SAXParser::Val_Never);
	else
		parser.setValidationScheme(xercesc::SAXParser::Val_Auto);
	parser.setDoSchema(false);
	parser.setDoNamespaces((inFlags & XML_NAMESPACES) != 0);
	if ((inFlags & XML_SCHEMA) != 0 && (inFlags & XML_VALIDATE_NEVER) == 0) {
		parser.setDoSchema(true);
		parser.setDoNamespaces(true);
	}
	parser.setLoadExternalDTD((inFlags & XML_LOAD_EXTERNAL_DTD) != 0);
	parser.setDisableDefaultEntityResolution(true);
	xercesc::SecurityManager security;
	security.setEntityExpansionLimit(kEntityExpansionLimit);
	parser.setSecurityManager(&security);

	SAX_Handlers bridge(&parser, inOwner, inHandler, (inFlags & XML_DEFAULTED_ATTRIBUTES) != 0);
	parser.installAdvDocHandler(&bridge);
	parser.setErrorHandler(&bridge);
	parser.setEntityResolver(&bridge);
	try {
		parser.parse(inSource);
	} catch (const xercesc::XMLException& e) {
		_RaiseBrokenParse(parser, e.getMessage());
		return false;
	} catch (const xercesc::SAXException& e) {
		_RaiseBrokenParse(parser, e.getMessage());
		return false;
	} catch (const xercesc::OutOfMemoryException&) {
		_RaiseBrokenParse(parser, u"out of memory");
		return false;
	} catch (...) {
		_RaiseBrokenParse(parser, u"parse broken off");
		return false;
	}
	return parser.getErrorCount() == 0;
}

} // namespace

bool VXMLParser::Parse(const void* inData, size_t inSize, IXMLHandler* inHandler, unsigned inFlags)
{
	fDefaultedAttributes = (inFlags & XML_DEFAULTED_ATTRIBUTES) != 0;
	if (!fInitialized)
		return false;
	try {
		xercesc::MemBufInputSource source(static_cast<const XMLByte*>(inData), inSize, kFromMemory, false);
		return _Run(this, source, inHandler, inFlags);
	} catch (...) {
		SAX_Handlers::RaiseError(VE_XML_FATAL_ERROR, u"out of memory", kFromMemory, nullptr, 0, 0);
		return false;
	}
}

bool VXMLParser::Parse(const VString& inText, IXMLHandler* inHandler, unsigned inFlags)
{
	fDefaultedAttributes = (inFlags & XML_DEFAULTED_ATTRIBUTES) != 0;
	if (!fInitialized)
		return false;
	try {
		xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(inText.GetCPointer()),
										  static_cast<XMLSize_t>(inText.GetLength()) * 2, kFromMemory, false);
		// The string's units are in the machine's byte order.
		source.setEncoding(std::endian::native == std::endian::little ? xercesc::XMLUni::fgUTF16LEncodingString
																	   : xercesc::XMLUni::fgUTF16BEncodingString);
		return _Run(this, source, inHandler, inFlags);
	} catch (...) {
		SAX_Handlers::RaiseError(VE_XML_FATAL_ERROR, u"out of memory", kFromMemory, nullptr, 0, 0);
		return false;
	}
}

bool VXMLParser::Parse(IFile* inFile, IXMLHandler* inHandler, unsigned inFlags)
{
	fDefaultedAttributes = (inFlags & XML_DEFAULTED_ATTRIBUTES) != 0;
	if (!fInitialized || inFile == nullptr)
		return false;
	VMemoryBuffer<> content;
	if (inFile->GetContent(content) != VE_OK)
		return false;
	VString path;
	inFile->GetPlatformPath(path, FPS_SYSTEM);
	try {
		xercesc::MemBufInputSource source(static_cast<const XMLByte*>(content.GetDataPtr()), content.GetDataSize(),
										  path.GetCPointer(), false);
		return _Run(this, source, inHandler, inFlags);
	} catch (...) {
		SAX_Handlers::RaiseError(VE_XML_FATAL_ERROR, u"out of memory", path.GetCPointer(), nullptr, 0, 0);
		return false;
	}
}

} // namespace qirn
