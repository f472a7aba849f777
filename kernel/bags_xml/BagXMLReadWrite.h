#pragma once

#include "core/VKernelTypes.h"

#include <vector>

namespace qirn {

class IFile;
class VFolder;
class VStream;
class VString;
class VValueBag;
struct VXMLDOMElement_opaque;
struct VXMLDOMNode_opaque;

// Kernel errors of the DOM writer: the node is not an element, or a child
// could not be made.
constexpr VError VE_BAG_DOM_NOT_AN_ELEMENT = MAKE_VERROR('qirn', 3);
constexpr VError VE_BAG_DOM_WRITE_FAILED = MAKE_VERROR('qirn', 1);

// Whole bags to and from XML. Readers add to the bag they are given (an
// attribute read replaces one of the same name, children are appended) and
// keep attribute values as strings; ParseXMLValue, or a read through a
// value of the wanted kind, gives typed values.

// The declaration (UTF-8) directly followed by the bag as the element
// inElementName, written exactly as DumpXML makes it, line ends kept. A
// file that cannot be written is deleted. A null file writes nothing.
VError WriteBagToFileInXML(const VValueBag& inBag, const VString& inElementName, IFile* inFile, bool inIndent);

// A 32-bit 1, then the declaration (UTF-16) and the bag as the element
// "bag", in the string's stream form.
VError WriteBagToStreamInXML(const VValueBag& inBag, VStream* ioStream);
// Reads what WriteBagToStreamInXML wrote. A first number other than 1
// reads nothing and answers the stream's error (0 when it has none).
// Otherwise the last error raised while reading and parsing, or 0.
VError ReadBagFromStreamInXML(VValueBag& ioBag, VStream* ioStream);

// Parses the text or file and reads its root element into the bag when it
// is named inElementName (any name when empty); another root leaves the bag
// as it is, with no error. External entities are read only from the
// entities folder, for system identifiers that begin with the entities
// path (see VXMLParser::ResolveEntityFromFolder). Answers the last error
// raised during the load, or 0.
VError LoadBagFromXML(const VString& inXMLText, const VString& inElementName, VValueBag& ioBag,
					  unsigned inFlags = 0);
VError LoadBagFromXML(const VString& inXMLText, const VString& inElementName, VValueBag& ioBag, unsigned inFlags,
					  const VString* inEntitiesPath, VFolder* inEntitiesFolder);
VError LoadBagFromXML(IFile* inFile, const VString& inElementName, VValueBag& ioBag, unsigned inFlags = 0);
VError LoadBagFromXML(IFile* inFile, const VString& inElementName, VValueBag& ioBag, unsigned inFlags,
					  const VString* inEntitiesPath, VFolder* inEntitiesFolder);

// The element's subtree read into the bag, as a parse of it would. A node
// that is not an element answers 'xmlc' error 2, as does a replay that
// failed without raising anything.
VError ReadBagFromDomXML(VXMLDOMNode_opaque* inNode, VValueBag& ioBag);

// The bag's attributes set on the element (their XML text, as plain text),
// then a child element per child bag, then the character data as a text
// node. Elements made are appended to outCreatedNodes when given.
VError WriteBagToDomXML(const VValueBag& inBag, VXMLDOMNode_opaque* inNode,
						std::vector<VXMLDOMNode_opaque*>* outCreatedNodes);
// False when the element has no document, a child cannot be made, or the
// bags nest deeper than the JSON writers allow (VE_STACK_OVERFLOW raised).
bool WriteBagToDomXMLElement(const VValueBag& inBag, VXMLDOMElement_opaque* inElement,
							 std::vector<VXMLDOMNode_opaque*>* outCreatedNodes);

} // namespace qirn
