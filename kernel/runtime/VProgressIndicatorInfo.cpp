#include "runtime/VProgressIndicatorInfo.h"

#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "core/VTime.h"
#include "json/VJSONCloner.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VSystem.h"
#include "runtime/VTaskMgr.h"

namespace qirn {

namespace K = ProgressBagKeys;

namespace ProgressBagKeys {
const StBagKeyNoDefault fUpdateFlags("fUpdateFlags");
const StBagKeyNoDefault fMessage("fMessage");
const StBagKeyNoDefault fValue("fValue");
const StBagKeyNoDefault fMax("fMax");
const StBagKeyNoDefault fStartTime("fStartTime");
const StBagKeyNoDefault fCanInterrupt("fCanInterrupt");
const StBagKeyNoDefault fExtraInfoBagVersion("fExtraInfoBagVersion");
const StBagKeyNoDefault ExtraInfo("ExtraInfo");
const StBagKeyNoDefault Extra("Extra");
const StBagKeyNoDefault fFlags("fFlags");
const StBagKeyNoDefault fSessionCount("fSessionCount");
const StBagKeyNoDefault fChangesVersion("fChangesVersion");
const StBagKeyNoDefault fSessionVersion("fSessionVersion");
const StBagKeyNoDefault fMasterSessionVersion("fMasterSessionVersion");
const StBagKeyNoDefault fUserAbort("fUserAbort");
const StBagKeyNoDefault fCurrent("fCurrent");
const StBagKeyNoDefault fSessionStack("fSessionStack");
const StBagKeyNoDefault UserInfo("UserInfo");
const StBagKeyNoDefault SessionCount("SessionCount");
const StBagKeyNoDefault Title("Title");
const StBagKeyNoDefault CanInterrupt("CanInterrupt");
const StBagKeyNoDefault SessionInfo("SessionInfo");
const StBagKeyNoDefault uuid("uuid");
const StBagKeyNoDefault version("version");
const StBagKeyNoDefault ProgressInfo("ProgressInfo");
} // namespace ProgressBagKeys

VProgressIndicatorInfo::VProgressIndicatorInfo() : fUUID(true)
{
	if (VTaskMgr::IsInited())
		fTaskID = VTaskMgr::GetCurrentTaskID();
}

VProgressIndicatorInfo::VProgressIndicatorInfo(const VProgressIndicatorInfo& inOther) : VObject()
{
	*this = inOther;
}

VProgressIndicatorInfo::~VProgressIndicatorInfo() = default;

VProgressIndicatorInfo& VProgressIndicatorInfo::operator=(const VProgressIndicatorInfo& inOther)
{
	if (this == &inOther)
		return *this;
	fTaskID = inOther.fTaskID;
	fUUID = inOther.fUUID;
	fMessage.FromString(inOther.fMessage);
	SetValue(inOther.GetValue());
	SetMax(inOther.GetMax());
	fStartTime = inOther.fStartTime;
	fStarted = inOther.fStarted;
	fInterruptible = inOther.fInterruptible;
	fRemote = inOther.fRemote;
	// The copy's extra information lives on by itself: a mirror or a
	// snapshot must not change with the session it was taken from.
	fExtraInfo = inOther.fExtraInfo ? VRefPtr<VValueBag>::Adopt(inOther.fExtraInfo->Clone()) : VRefPtr<VValueBag>();
	fExtraInfoVersion = inOther.fExtraInfoVersion;
	fCollector = inOther.fCollector;
	fSubOperations = inOther.fSubOperations;
	fUpdateFlags = inOther.fUpdateFlags;
	return *this;
}

void VProgressIndicatorInfo::Start()
{
	fStartTime = VSystem::GetCurrentTime();
	fStarted = true;
}

uint32 VProgressIndicatorInfo::GetElapsed() const
{
	return VSystem::GetCurrentTime() - fStartTime;
}

VValueBag* VProgressIndicatorInfo::GetOrCreateExtraInfoBag()
{
	if (!fExtraInfo)
		fExtraInfo = VRefPtr<VValueBag>::Adopt(new VValueBag());
	return fExtraInfo.Get();
}

void VProgressIndicatorInfo::SetSubOperations(VJSONObject* inObject)
{
	fSubOperations.Set(inObject);
}

VError VProgressIndicatorInfo::SaveToBag(VValueBag& ioBag, VString& outKind,
										 const VProgressIndicatorInfo* inReference) const
{
	uint32 flags = 0;
	if (inReference == nullptr || !fMessage.EqualToStringRaw(inReference->fMessage)) {
		ioBag.SetString(K::fMessage, GetMessage());
		flags |= kUpdateMessage;
	}
	if (inReference == nullptr || GetValue() != inReference->GetValue()) {
		ioBag.SetLong8(K::fValue, GetValue());
		flags |= kUpdateValue;
	}
	if (inReference == nullptr || GetMax() != inReference->GetMax()) {
		ioBag.SetLong8(K::fMax, GetMax());
		flags |= kUpdateMax;
	}
	if (inReference == nullptr || fStartTime != inReference->fStartTime) {
		ioBag.SetLong(K::fStartTime, static_cast<sLONG>(fStartTime));
		flags |= kUpdateStartTime;
	}
	if (inReference == nullptr || fInterruptible != inReference->fInterruptible) {
		ioBag.SetBool(K::fCanInterrupt, fInterruptible);
		flags |= kUpdateInterruptible;
	}
	if (inReference == nullptr || fExtraInfoVersion != inReference->fExtraInfoVersion) {
		ioBag.SetLong(K::fExtraInfoBagVersion, static_cast<sLONG>(fExtraInfoVersion));
		flags |= kUpdateExtraVersion;
	}
	if (fExtraInfo && (inReference == nullptr || fExtraInfoVersion != inReference->fExtraInfoVersion)) {
		VRefPtr<VValueBag> copy = VRefPtr<VValueBag>::Adopt(fExtraInfo->Clone());
		ioBag.AddElement(K::ExtraInfo, copy.Get());
		flags |= kUpdateExtraBag;
	}
	ioBag.SetLong(K::fUpdateFlags, static_cast<sLONG>(inReference == nullptr ? kUpdateAll : flags));
	outKind.FromCString("VProgressIndicatorInfo");
	return VE_OK;
}

VError VProgressIndicatorInfo::LoadFromBag(const VValueBag& inBag)
{
	sLONG flags = 0;
	inBag.GetLong(K::fUpdateFlags, flags);
	VString message;
	if (inBag.GetString(K::fMessage, message))
		fMessage.FromString(message);
	sLONG8 number = 0;
	if (inBag.GetLong8(K::fValue, number))
		SetValue(number);
	if (inBag.GetLong8(K::fMax, number))
		SetMax(number);
	sLONG start = 0;
	if (inBag.GetLong(K::fStartTime, start)) {
		fStartTime = static_cast<uint32>(start);
		fStarted = true;
	}
	inBag.GetBool(K::fCanInterrupt, fInterruptible);
	sLONG extraVersion = 0;
	if (inBag.GetLong(K::fExtraInfoBagVersion, extraVersion))
		fExtraInfoVersion = static_cast<uint32>(extraVersion);
	// Written "ExtraInfo"; "Extra" is read as well.
	VBagArray* extra = inBag.GetElements(K::ExtraInfo);
	if (extra == nullptr || extra->GetCount() == 0)
		extra = inBag.GetElements(K::Extra);
	if (extra != nullptr && extra->GetCount() > 0)
		fExtraInfo = VRefPtr<VValueBag>::Adopt(extra->GetNth(1)->Clone());
	fUpdateFlags = static_cast<uint32>(flags);
	fRemote = true;
	return VE_OK;
}

void VProgressIndicatorInfo::UpdateFromRemoteInfo(const VProgressIndicatorInfo& inRemote)
{
	uint32 flags = inRemote.fUpdateFlags;
	if (flags & kUpdateAll) {
		*this = inRemote;
		return;
	}
	if (flags & kUpdateMessage)
		fMessage.FromString(inRemote.fMessage);
	if (flags & kUpdateValue)
		SetValue(inRemote.GetValue());
	if (flags & kUpdateMax)
		SetMax(inRemote.GetMax());
	if (flags & kUpdateInterruptible)
		fInterruptible = inRemote.fInterruptible;
	if (flags & kUpdateExtraVersion)
		fExtraInfoVersion = inRemote.fExtraInfoVersion;
	if (flags & kUpdateExtraBag)
		fExtraInfo = inRemote.fExtraInfo ? VRefPtr<VValueBag>::Adopt(inRemote.fExtraInfo->Clone()) : VRefPtr<VValueBag>();
	fRemote = true;
}

void VProgressIndicatorInfo::GetJSONObject(VJSONObject& outObject) const
{
	outObject.Clear();
	uint32 elapsed = GetElapsed();
	VString text;
	outObject.SetProperty(VString("message"), VJSONValue(fMessage));
	outObject.SetProperty(VString("maxValue"), VJSONValue(static_cast<double>(GetMax())));
	outObject.SetProperty(VString("currentValue"), VJSONValue(static_cast<double>(GetValue())));
	outObject.SetProperty(VString("interruptible"), VJSONValue(fInterruptible ? JSON_true : JSON_false));
	outObject.SetProperty(VString("remote"), VJSONValue(fRemote ? JSON_true : JSON_false));
	fUUID.GetString(text);
	outObject.SetProperty(VString("uuid"), VJSONValue(text));
	outObject.SetProperty(VString("taskId"), VJSONValue(static_cast<double>(fTaskID)));
	// The start is a count of the monotonic clock: the date is now less the
	// time that passed since.
	VTime start;
	VTime::Now(start);
	start.AddMilliseconds(-static_cast<sLONG8>(elapsed));
	start.GetRfc3339String(text, 0);
	outObject.SetProperty(VString("startTime"), VJSONValue(text));
	outObject.SetProperty(VString("duration"), VJSONValue(static_cast<double>(elapsed)));
	if (fSubOperations) {
		VJSONValue copy;
		VJSONCloner cloner;
		if (cloner.CloneObject(fSubOperations.Get(), copy) == VE_OK && copy.GetObject() != nullptr)
			outObject.MergeWith(copy.GetObject(), false);
	}
}

void VProgressIndicatorInfo::GetFormattedMessage(VString& outMessage) const
{
	outMessage.FromString(fMessage);
	if (fMessage.IsNull() || fMessage.IsEmpty())
		return;
	sLONG8 value = GetValue();
	sLONG8 max = GetMax();
	// An undetermined session has no rate.
	sLONG8 rate = max > 0 ? static_cast<sLONG8>(static_cast<double>(value) / static_cast<double>(max) * 100.0) : 0;
	if (rate < 0)
		rate = 0;
	uint32 elapsed = GetElapsed();
	VTime start;
	VTime::Now(start);
	start.AddMilliseconds(-static_cast<sLONG8>(elapsed));
	VString startText;
	start.GetRfc3339String(startText, 0);
	VRefPtr<VValueBag> values = VRefPtr<VValueBag>::Adopt(new VValueBag());
	values->SetLong8("maxValue", max);
	values->SetLong8("curValue", value);
	values->SetLong8("rateValue", rate);
	values->SetString("startTime", startText);
	values->SetLong8("duration", static_cast<sLONG8>(elapsed));
	outMessage.Format(values.Get(), false);
}

VError VRemoteProgressSessionInfo::SaveToBag(VValueBag& ioBag, VString& outKind,
											 const VRemoteProgressSessionInfo* inReference) const
{
	ioBag.SetLong(K::fFlags, static_cast<sLONG>(fFlags));
	if (fFlags & kHasCount)
		ioBag.SetLong(K::fSessionCount, fSessionCount);
	if (fFlags & kHasChangesVersion)
		ioBag.SetLong(K::fChangesVersion, static_cast<sLONG>(fChangesVersion));
	if (fFlags & kHasSessionVersion)
		ioBag.SetLong(K::fSessionVersion, static_cast<sLONG>(fSessionVersion));
	if (fFlags & kHasMasterSessionVersion)
		ioBag.SetLong(K::fMasterSessionVersion, static_cast<sLONG>(fMasterSessionVersion));
	if (fFlags & kHasUserAbort)
		ioBag.SetBool(K::fUserAbort, fUserAbort);
	if (fFlags & kHasCanInterrupt)
		ioBag.SetBool(K::fCanInterrupt, fCanInterrupt);
	bool sameCount = inReference != nullptr && inReference->fSessionCount == fSessionCount;
	VString kind;
	if ((fFlags & kHasCurrentOnly) && !fStack.empty()) {
		const VProgressIndicatorInfo* reference =
			sameCount && !inReference->fStack.empty() ? &inReference->fStack.back() : nullptr;
		VRefPtr<VValueBag> element = VRefPtr<VValueBag>::Adopt(new VValueBag());
		fStack.back().SaveToBag(*element, kind, reference);
		ioBag.AddElement(K::fCurrent, element.Get());
	} else if (fFlags & kHasStack) {
		for (size_t i = 0; i < fStack.size(); ++i) {
			const VProgressIndicatorInfo* reference =
				sameCount && i < inReference->fStack.size() ? &inReference->fStack[i] : nullptr;
			VRefPtr<VValueBag> element = VRefPtr<VValueBag>::Adopt(new VValueBag());
			fStack[i].SaveToBag(*element, kind, reference);
			ioBag.AddElement(K::fSessionStack, element.Get());
		}
	}
	outKind.FromCString("DistantSessionInfo");
	return VE_OK;
}

VError VRemoteProgressSessionInfo::LoadFromBag(const VValueBag& inBag)
{
	sLONG number = 0;
	fFlags = inBag.GetLong(K::fFlags, number) ? static_cast<uint32>(number) : 0;
	int32 previousCount = fSessionCount;
	if (inBag.GetLong(K::fSessionCount, number))
		fSessionCount = number;
	if (inBag.GetLong(K::fChangesVersion, number))
		fChangesVersion = static_cast<uint32>(number);
	if (inBag.GetLong(K::fSessionVersion, number))
		fSessionVersion = static_cast<uint32>(number);
	if (inBag.GetLong(K::fMasterSessionVersion, number))
		fMasterSessionVersion = static_cast<uint32>(number);
	inBag.GetBool(K::fUserAbort, fUserAbort);
	inBag.GetBool(K::fCanInterrupt, fCanInterrupt);
	// Partial infos were written against the previous form of the same count.
	bool sameCount = previousCount == fSessionCount;
	if (VBagArray* current = inBag.GetElements(K::fCurrent); current != nullptr && current->GetCount() > 0) {
		if (!sameCount || fStack.empty())
			fStack.assign(1, VProgressIndicatorInfo());
		fStack.back().LoadFromBag(*current->GetNth(1));
	} else if (VBagArray* stack = inBag.GetElements(K::fSessionStack); stack != nullptr) {
		size_t count = static_cast<size_t>(stack->GetCount());
		if (!sameCount)
			fStack.clear();
		fStack.resize(count);
		for (size_t i = 0; i < count; ++i)
			fStack[i].LoadFromBag(*stack->GetNth(static_cast<VIndex>(i + 1)));
	}
	return VE_OK;
}

} // namespace qirn
