#pragma once

#include "bags_xml/StPackedDictionaryKey.h"

namespace qirn {

// The static key of a fixed attribute name, declared in a namespace ending
// with BagKeys next to the code that reads and writes the attribute.
class StBagKeyNoDefault : public StPackedDictionaryKey {
public:
	using StPackedDictionaryKey::StPackedDictionaryKey;
};

} // namespace qirn
