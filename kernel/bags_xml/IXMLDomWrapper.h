#pragma once

#include "core/VKernelTypes.h"
#include "json/VJSONNesting.h"

#include <cstddef>

namespace qirn {

class IXMLHandler;
class VBlob;
class VDuration;
class VFile;
class VFileStream;
class VString;
class VTime;
class VURL;
class VValueSingle;

// Handles on the XML library's DOM objects; their layout is the library's.
struct VXMLDOMNode_opaque;
struct VXMLDOMElement_opaque;
struct VXMLDOMDocument_opaque;
struct VXMLMemBufFormatTarget_opaque;

// A DOM for kernel code, without the library's types. Callers hold a
// VXMLParser::Init while they use it. Nothing lets a library exception
// through: failures answer null, false, 0 or an empty text.
class IXMLDomWrapper {
public:
	// The document in the buffer (not copied), owned by the caller (see
	// ReleaseNode); null after any error, for nesting deeper than
	// kMaxDepth (the JSON readers' limit, which the bag readers share), or
	// when the document needs anything from outside it.
	static VXMLDOMNode_opaque* CreateNodeDocumentFromBuffer(const void* inData, size_t inSize,
															const VString* inSystemID);
	static constexpr size_t kMaxDepth = kJSONMaxDepth;
	static void ReleaseNode(VXMLDOMNode_opaque* inNode);
	static VXMLDOMNode_opaque* CloneNodeDocument(VXMLDOMNode_opaque* inNode);
	static VXMLDOMNode_opaque* GetNodeDocument(VXMLDOMNode_opaque* inNode);
	// The document's URI: a "file://" text as a URL, any other as a
	// path-style URL. False when the document has none.
	static bool GetDocumentURL(VXMLDOMNode_opaque* inNode, VURL& outURL);
	// Every attribute named "id" (in any namespace) becomes an ID for
	// FindNodeElementByID.
	static void RegisterNodeIDs(VXMLDOMNode_opaque* inNode);

	static VXMLDOMElement_opaque* GetRootNodeElement(VXMLDOMNode_opaque* inNode);
	static VXMLDOMElement_opaque* FindNodeElementByID(VXMLDOMNode_opaque* inNode, const VString& inID);
	static int GetNumberOfChildrenNodes(VXMLDOMNode_opaque* inNode);
	static VXMLDOMNode_opaque* GetChildNode(VXMLDOMNode_opaque* inNode, int inIndex);
	static VXMLDOMElement_opaque* GetNodeElement(VXMLDOMNode_opaque* inNode);
	static VXMLDOMNode_opaque* GetNodeFromNodeElement(VXMLDOMElement_opaque* inElement);
	static void GetNodeElementName(VXMLDOMElement_opaque* inElement, VString& outName);

	// A new element appended to inParent.
	static VXMLDOMElement_opaque* CreateElement(VXMLDOMNode_opaque* inDocument, VXMLDOMElement_opaque* inParent,
												const UniChar* inName);
	static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName);
	static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
												 const VString& inValue);
	static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName, int inValue);
	static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
												 double inValue);
	static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
												 unsigned char inBoolean);
	static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
												 const VTime& inTime, uint32 inOptions);
	static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
												 const VDuration& inDuration, uint32 inOptions);
	// The value's own XML text; a null value gives an empty element.
	static VXMLDOMElement_opaque* AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
												 const VValueSingle* inValue);

	// The element's text becomes the value.
	static void SetNodeElementValue(VXMLDOMElement_opaque* inElement, const VString& inValue);
	static void SetNodeElementValue(VXMLDOMElement_opaque* inElement, int inValue);
	static void SetNodeElementValue(VXMLDOMElement_opaque* inElement, double inValue);
	static void SetNodeElementValue(VXMLDOMElement_opaque* inElement, unsigned char inBoolean);
	static void SetNodeElementValue(VXMLDOMElement_opaque* inElement, const VTime& inTime, uint32 inOptions);
	static void SetNodeElementValue(VXMLDOMElement_opaque* inElement, const VDuration& inDuration,
									uint32 inOptions);
	// The first child's text when it is a text node (a CDATA section for
	// the CDATA form), else empty.
	static void GetNodeElementValueString(VXMLDOMElement_opaque* inElement, VString& outValue);
	static void GetNodeElementCDATA(VXMLDOMElement_opaque* inElement, VString& outValue);
	static bool GetNodeElementValueBoolean(VXMLDOMElement_opaque* inElement);
	static int GetNodeElementValueLong(VXMLDOMElement_opaque* inElement);
	static double GetNodeElementValueReal(VXMLDOMElement_opaque* inElement);
	// A text that is no time or duration gives the empty (null) value.
	static void GetNodeElementValueTime(VXMLDOMElement_opaque* inElement, VTime& outTime);
	static void GetNodeElementValueDuration(VXMLDOMElement_opaque* inElement, VDuration& outDuration);

	// A name "prefix:local" is looked up in the element's namespaces ("xml"
	// and "xmlns" stand for their fixed namespaces); an unknown prefix
	// answers false.
	static bool GetNodeElementAttribute(VXMLDOMElement_opaque* inElement, const VString& inName, VString& outValue);
	static bool SetNodeElementAttribute(VXMLDOMElement_opaque* inElement, const VString& inName,
										const VString& inValue, bool inRemoveIfEmpty, bool* outRemoved);

	// The node's document serialised into the blob at inOffset, line ends
	// made carriage returns; outSize gets the bytes written (0 on failure).
	static bool SerializeToBlob(VXMLDOMNode_opaque* inNode, VBlob* ioBlob, int inOffset, size_t& outSize,
								bool inPrettyPrint);
	// The same bytes written to the open stream, or to the file (replaced,
	// written whole, closed); false on any failure.
	static bool SerializeToFile(VXMLDOMNode_opaque* inNode, VFileStream& ioStream, size_t& outSize,
								bool inPrettyPrint);
	static bool WriteToFile(VXMLDOMNode_opaque* inNode, const VFile& inFile, bool inPrettyPrint);
	static bool CopyMemBufFormatTargetToBlob(VBlob* ioBlob, int inOffset, size_t& outSize,
											 VXMLMemBufFormatTarget_opaque* inTarget, const VString& inEncoding,
											 bool inConvertLineEndings);

	// A subtree replayed into handlers as a parse would give it.
	static bool DOMParseNode(VXMLDOMNode_opaque* inNode, IXMLHandler* inHandler);
	static bool DOMParseElement(VXMLDOMNode_opaque* inElement, IXMLHandler* inHandler);
};

} // namespace qirn
