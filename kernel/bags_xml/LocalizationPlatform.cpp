#include "bags_xml/LocalizationPlatform.h"

#include <vector>

namespace qirn {

bool IsExcludedOnThisPlatform(const VString& inAttributeName, const VString& inList)
{
	const bool exclude = inAttributeName.EqualToUSASCIICString("kq:excludeIf");
	if (!exclude && !inAttributeName.EqualToUSASCIICString("kq:includeIf"))
		return false;
	std::vector<VString> names;
	inList.GetSubStrings(u' ', names, false, true);
	const VString ours(kLocalizationPlatformName);
	bool namesOurs = false;
	bool namesAnother = false;
	for (const VString& name : names) {
		if (name.EqualToString(ours, false))
			namesOurs = true;
		else
			for (const char* other : {"mac", "win", "linux"})
				if (name.EqualToString(VString(other), false))
					namesAnother = true;
	}
	return exclude ? namesOurs : !namesOurs && namesAnother;
}

} // namespace qirn
