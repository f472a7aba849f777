#include "bags_xml/IBaggable.h"

namespace qirn {

VError IBaggable::LoadFromBagWithLoader(const VValueBag& inBag, VBagLoader* /*inLoader*/, void* /*inContext*/)
{
	return LoadFromBag(inBag);
}

VError IBaggable::LoadFromBag(const VValueBag& /*inBag*/)
{
	return VE_OK;
}

} // namespace qirn
