#pragma once

#include "bags_xml/StPackedDictionaryKey.h"
#include "bags_xml/VValueBag.h"

#include <type_traits>

namespace qirn {

// The static key of a fixed attribute name that also knows the value a
// reader takes when a bag lacks the attribute. ValueType is the value kind
// read and written through the bag, RawType what callers hold.
template <class ValueType, class RawType>
class StBagKeyWithDefault : public StPackedDictionaryKey {
public:
	StBagKeyWithDefault(const char* inName, const RawType& inDefault) : StPackedDictionaryKey(inName), fDefault(inDefault)
	{
	}

	const RawType& GetDefault() const { return fDefault; }

	// The attribute, or the default when the bag lacks it.
	RawType Get(const VValueBag& inBag) const
	{
		RawType value(fDefault);
		Get(inBag, value);
		return value;
	}
	// Answers whether the bag has the attribute; without it, outValue is the default.
	bool Get(const VValueBag& inBag, RawType& outValue) const
	{
		ValueType value;
		if (inBag.GetAttribute(*this, value)) {
			if constexpr (std::is_same_v<ValueType, RawType>)
				outValue = value;
			else
				outValue = static_cast<RawType>(value.Get());
			return true;
		}
		outValue = fDefault;
		return false;
	}
	void Set(VValueBag& ioBag, const RawType& inValue) const { ioBag.SetAttribute(*this, ValueType(inValue)); }

private:
	RawType fDefault;
};

} // namespace qirn
