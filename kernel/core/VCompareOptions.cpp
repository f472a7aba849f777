#include "core/VCompareOptions.h"

#include "core/VString.h"
#include "json/VJSONObject.h"
#include "runtime/VTask.h"

namespace qirn {

VCompareOptions::VCompareOptions() : fIntlMgr(VTask::GetCurrentIntlManager()) {}

namespace {

const VString& DiacriticalName()
{
	static const VString sName("diacritical");
	return sName;
}

} // namespace

VError VCompareOptions::ToJSON(VJSONObject* ioObject) const
{
	if (ioObject != nullptr)
		ioObject->SetProperty(DiacriticalName(), fDiacritical ? VJSONValue::sTrue : VJSONValue::sFalse, nullptr);
	return VE_OK;
}

VError VCompareOptions::FromJSON(VJSONObject* inObject)
{
	if (inObject == nullptr)
		return VE_OK;
	VJSONValue value = inObject->GetProperty(DiacriticalName(), nullptr);
	if (value.IsBool())
		fDiacritical = value.GetBool();
	return VE_OK;
}

} // namespace qirn
