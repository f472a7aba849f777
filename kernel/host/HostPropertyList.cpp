#include "host/HostPropertyList.h"

#include <glib.h>
#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace qirn::host {

namespace {

constexpr char kBinaryMagic[] = "bplist00";
constexpr size_t kBinaryMagicLength = sizeof(kBinaryMagic) - 1;
// Deeper than any bundle's list; the copy below recurses.
constexpr int kMaxDepth = 512;

// A binary list's one-byte string objects hold their bytes as they are;
// the XML form needs UTF-8. Bytes that are no UTF-8 are read as Latin-1,
// each its own code point. (The tree does not tell a one-byte object from
// a UTF-16 one, which arrives as UTF-8: bytes that already form UTF-8 stay.)
std::string AsUTF8(const char* inText, size_t inLength)
{
	std::string text(inText, inLength);
	if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
		return text;
	std::string converted;
	converted.reserve(text.size() * 2);
	for (const unsigned char byte : text) {
		if (byte < 0x80) {
			converted += static_cast<char>(byte);
		} else {
			converted += static_cast<char>(0xC0 | (byte >> 6));
			converted += static_cast<char>(0x80 | (byte & 0x3F));
		}
	}
	return converted;
}

// The tree with every text in UTF-8. Null when the tree is too deep.
plist_t ReadableCopy(plist_t inNode, int inDepth)
{
	if (inDepth > kMaxDepth)
		return nullptr;
	switch (plist_get_node_type(inNode)) {
		case PLIST_DICT: {
			plist_t dict = plist_new_dict();
			plist_dict_iter iterator = nullptr;
			plist_dict_new_iter(inNode, &iterator);
			bool complete = iterator != nullptr;
			while (complete) {
				char* key = nullptr;
				plist_t value = nullptr;
				plist_dict_next_item(inNode, iterator, &key, &value);
				if (value == nullptr) {
					std::free(key);
					break;
				}
				plist_t copy = ReadableCopy(value, inDepth + 1);
				if (copy == nullptr || key == nullptr) {
					plist_free(copy);
					complete = false;
				} else {
					plist_dict_set_item(dict, AsUTF8(key, std::strlen(key)).c_str(), copy);
				}
				std::free(key);
			}
			std::free(iterator);
			if (!complete) {
				plist_free(dict);
				return nullptr;
			}
			return dict;
		}
		case PLIST_ARRAY: {
			plist_t array = plist_new_array();
			for (uint32_t i = 0, n = plist_array_get_size(inNode); i < n; ++i) {
				plist_t copy = ReadableCopy(plist_array_get_item(inNode, i), inDepth + 1);
				if (copy == nullptr) {
					plist_free(array);
					return nullptr;
				}
				plist_array_append_item(array, copy);
			}
			return array;
		}
		case PLIST_STRING: {
			uint64_t length = 0;
			const char* text = plist_get_string_ptr(inNode, &length);
			return plist_new_string(text != nullptr ? AsUTF8(text, length).c_str() : "");
		}
		default:
			return plist_copy(inNode);
	}
}

} // namespace

bool IsBinaryPropertyList(const void* inData, size_t inSize)
{
	return inData != nullptr && inSize >= kBinaryMagicLength &&
		   std::memcmp(inData, kBinaryMagic, kBinaryMagicLength) == 0;
}

bool CopyBinaryPropertyListAsXML(const void* inData, size_t inSize, std::string& outXML)
{
	outXML.clear();
	if (!IsBinaryPropertyList(inData, inSize) || inSize > std::numeric_limits<uint32_t>::max())
		return false;
	plist_t root = nullptr;
	plist_from_bin(static_cast<const char*>(inData), static_cast<uint32_t>(inSize), &root);
	if (root == nullptr)
		return false;
	// Read back from the library's own XML form first: a key that holds a
	// NUL is cut there (the library cannot even hand such a key out), so
	// keys that differ only after it become one, and the XML reader keeps
	// its last value.
	char* xml = nullptr;
	uint32_t length = 0;
	plist_to_xml(root, &xml, &length);
	plist_free(root);
	if (xml == nullptr)
		return false;
	plist_t reread = nullptr;
	plist_from_xml(xml, length, &reread);
	plist_to_xml_free(xml);
	if (reread == nullptr)
		return false;
	plist_t readable = ReadableCopy(reread, 0);
	plist_free(reread);
	if (readable == nullptr)
		return false;
	xml = nullptr;
	length = 0;
	plist_to_xml(readable, &xml, &length);
	plist_free(readable);
	if (xml == nullptr)
		return false;
	outXML.assign(xml, length);
	plist_to_xml_free(xml);
	return true;
}

} // namespace qirn::host
