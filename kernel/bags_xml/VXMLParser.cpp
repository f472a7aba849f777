#include "bags_xml/VXMLParser.h"

#include "bags_xml/SAX_Handlers.h"
#include "core/VMemoryBuffer.h"
#include "files/IFile.h"
#include "files/PathStyles.h"

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
	if (fInitialized)
		DeInit();
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
