#include "host/HostPropertyList.h"

#include <plist/plist.h>

#include <cstdint>
#include <cstring>
#include <limits>

namespace qirn::host {

namespace {

constexpr char kBinaryMagic[] = "bplist00";
constexpr size_t kBinaryMagicLength = sizeof(kBinaryMagic) - 1;

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
	char* xml = nullptr;
	uint32_t length = 0;
	plist_to_xml(root, &xml, &length);
	plist_free(root);
	if (xml == nullptr)
		return false;
	outXML.assign(xml, length);
	plist_to_xml_free(xml);
	return true;
}

} // namespace qirn::host
