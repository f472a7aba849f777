#pragma once

#include "bags_xml/StBagKeyNoDefault.h"

namespace qirn {

// Attributes that record how a bag made from JSON was shaped, so that its
// JSON form comes back the same; they are never members of that form.
namespace JSONMarkerBagKeys {
// On the only bag under an element name: the element was an object.
extern const StBagKeyNoDefault objectunic;
extern const StBagKeyNoDefault property_name_in_jsarray;
// A bag holding it stands for a scalar item of an array.
extern const StBagKeyNoDefault FakeArrayElement;
} // namespace JSONMarkerBagKeys

} // namespace qirn
