#include "runtime/VErrorBase.h"

#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "json/VJSONCloner.h"
#include "json/VJSONObject.h"
#include "process/VProcess.h"
#include "runtime/ILocalizer.h"
#include "runtime/VTask.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace qirn {

const VString VErrorBase::sKeyComponentSignature("componentSignature");
const VString VErrorBase::sKeyErrCode("errCode");
const VString VErrorBase::sKeyMessage("message");
std::map<OsType, ILocalizer*> VErrorBase::sLocalizers;

const StBagKeyNoDefault ErrorBagKeys::parameters("parameters");
const StBagKeyNoDefault ErrorBagKeys::error("error");
const StBagKeyNoDefault ErrorBagKeys::error_stack("error_stack");

namespace {

const StBagKeyNoDefault kKeyErrorCode("error_code");
const StBagKeyNoDefault kKeyTaskID("task_id");
const StBagKeyNoDefault kKeyTaskName("task_name");

const VString kKeyActionDescription("action_description");

// The signature's four characters in reading order (first character in the
// high byte), for "%.4s".
struct SignatureChars {
	explicit SignatureChars(OsType inSignature)
	{
		for (int i = 0; i < 4; ++i)
			fChars[i] = static_cast<char>((inSignature >> (24 - 8 * i)) & 0xFF);
		fChars[4] = 0;
	}
	char fChars[5];
};

// Outside values of "errCode" can be anything: the number saturates to 32
// bits, and what is no finite number counts as -1.
int32 SaturatedErrorNumber(double inNumber)
{
	if (!std::isfinite(inNumber))
		return -1;
	if (inNumber >= static_cast<double>(std::numeric_limits<int32>::max()))
		return std::numeric_limits<int32>::max();
	if (inNumber <= static_cast<double>(std::numeric_limits<int32>::min()))
		return std::numeric_limits<int32>::min();
	return static_cast<int32>(inNumber);
}

// strerror_r comes in two forms: the one that answers a code fills the buffer.
[[maybe_unused]] const char* StrErrorText(int inResult, const char* inBuffer)
{
	return inResult == 0 || inResult == ERANGE ? inBuffer : nullptr;
}
[[maybe_unused]] const char* StrErrorText(const char* inResult, const char* /*inBuffer*/)
{
	return inResult;
}

} // namespace

VErrorBase::VErrorBase() : fParameters(VRefPtr<VJSONObject>::Adopt(new VJSONObject())) {}

VErrorBase::VErrorBase(VError inError) : fError(inError), fParameters(VRefPtr<VJSONObject>::Adopt(new VJSONObject()))
{
	_RecordCurrentTask();
	fParameters->SetProperty(sKeyErrCode, VJSONValue(static_cast<double>(ERRCODE_FROM_VERROR(inError))));
	fParameters->SetProperty(sKeyComponentSignature, VJSONValue(VOsTypeString(COMPONENT_FROM_VERROR(inError))));
}

VErrorBase::VErrorBase(VError inError, VJSONObject* inParameters) : fError(inError), fParameters(inParameters)
{
	_RecordCurrentTask();
	if (fParameters == nullptr)
		fParameters = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
}

VErrorBase::VErrorBase(const VErrorBase& inOther)
	: VObject(), IRefCountable(), fError(inOther.fError), fTaskID(inOther.fTaskID), fTaskName(inOther.fTaskName)
{
	VJSONValue clone;
	VJSONCloner cloner;
	inOther.fParameters->Clone(clone, cloner);
	if (clone.IsObject())
		fParameters.Set(clone.GetObject());
	else
		fParameters = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
}

VErrorBase::~VErrorBase() = default;

void VErrorBase::_RecordCurrentTask()
{
	if (VTask* task = VTask::GetCurrent(); task != nullptr) {
		fTaskID = task->GetID();
		task->GetName(fTaskName);
	}
}

VErrorBase* VErrorBase::Create(VJSONObject* inParameters, OsType inDefaultSignature)
{
	VRefPtr<VJSONObject> parameters(inParameters);
	if (parameters == nullptr)
		parameters = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	OsType signature = inDefaultSignature;
	const VJSONValue signatureValue = parameters->GetProperty(sKeyComponentSignature);
	if (signatureValue.IsString()) {
		VString text;
		signatureValue.GetString(text);
		signature = text.GetOsType();
	} else {
		parameters->SetProperty(sKeyComponentSignature, VJSONValue(VOsTypeString(inDefaultSignature)));
	}
	int32 number = -1;
	const VJSONValue numberValue = parameters->GetProperty(sKeyErrCode);
	if (numberValue.IsNumber())
		number = SaturatedErrorNumber(numberValue.GetNumber());
	else
		parameters->SetProperty(sKeyErrCode, VJSONValue(-1.0));
	const VError code = signature == 0 && number == 0 ? VE_UNKNOWN_ERROR : MAKE_VERROR(signature, number);
	return new VErrorBase(code, parameters.Get());
}

void VErrorBase::SetString(const VString& inName, const VString& inValue)
{
	fParameters->SetProperty(inName, VJSONValue(inValue));
}

void VErrorBase::SetLong(const VString& inName, int32 inValue)
{
	fParameters->SetProperty(inName, VJSONValue(static_cast<double>(inValue)));
}

void VErrorBase::SetLong8(const VString& inName, int64 inValue)
{
	fParameters->SetProperty(inName, VJSONValue(static_cast<double>(inValue)));
}

void VErrorBase::SetDescription(const VString& inDescription)
{
	SetString(sKeyMessage, inDescription);
}

void VErrorBase::FreezeDescription()
{
	if (fParameters->GetProperty(sKeyMessage).IsString())
		return;
	VString description;
	GetErrorDescription(description);
	SetDescription(description);
}

void VErrorBase::GetErrorString(VString& outText) const
{
	const SignatureChars signature(COMPONENT_FROM_VERROR(fError));
	outText.Printf("Error code: %d (%.4s)", ERRCODE_FROM_VERROR(fError), signature.fChars);
}

void VErrorBase::GetErrorDescription(VString& outText) const
{
	outText.Clear();
	const VJSONValue message = fParameters->GetProperty(sKeyMessage);
	if (message.IsString()) {
		message.GetString(outText);
	} else if (fError != VE_OK) {
		ILocalizer* localizer = GetLocalizer(COMPONENT_FROM_VERROR(fError));
		if (localizer != nullptr && CallLocalizer(localizer, fError, outText))
			return;
		_GetNativeDescription(fError, outText);
	}
	if (outText.IsEmpty() || outText.IsNull())
		GetErrorString(outText);
}

void VErrorBase::_GetNativeDescription(VError inError, VString& outText)
{
	outText.Clear();
	// Linux has texts for errno values only; the other wrapped platforms'
	// codes fall back to the error string.
	if (COMPONENT_FROM_VERROR(inError) != kCOMPONENT_SIGNATURE_POSIX)
		return;
	char buffer[1024] = {};
	const char* text = StrErrorText(strerror_r(ERRCODE_FROM_VERROR(inError), buffer, sizeof(buffer)), buffer);
	if (text != nullptr && text[0] != 0)
		outText.FromBlock(text, std::strlen(text), VTC_UTF_8);
}

void VErrorBase::GetActionDescription(VString& outText) const
{
	outText.Clear();
	const VJSONValue action = fParameters->GetProperty(kKeyActionDescription);
	if (!action.IsNull() && !action.IsUndefined())
		action.GetString(outText);
	outText.Format(fParameters.Get(), true);
}

void VErrorBase::GetLocation(VString& outText) const
{
	const OsType signature = COMPONENT_FROM_VERROR(fError);
	if (signature == kCOMPONENT_SIGNATURE_KERNEL) {
		outText.FromCString("qirnkit");
		return;
	}
	const SignatureChars chars(signature);
	outText.Printf("component: '%c%c%c%c'", chars.fChars[0], chars.fChars[1], chars.fChars[2], chars.fChars[3]);
}

void VErrorImported::GetLocation(VString& outText) const
{
	outText.FromCString("REST Imported Error");
}

void VErrorBase::GetTaskName(VString& outName, int32* outTaskID) const
{
	outName.FromString(fTaskName);
	if (outTaskID != nullptr)
		*outTaskID = fTaskID;
}

void VErrorBase::DumpToString(VString& outText) const
{
	GetErrorString(outText);
	outText.AppendUniChar(u'\n');
	VString line;
	GetErrorDescription(line);
	if (!line.IsEmpty()) {
		outText.AppendString(line);
		outText.AppendUniChar(u'\n');
	}
	GetLocation(line);
	if (!line.IsEmpty()) {
		outText.AppendString(line);
		outText.AppendUniChar(u'\n');
	}
	GetActionDescription(line);
	if (!line.IsEmpty()) {
		outText.AppendString(line);
		outText.AppendUniChar(u'\n');
	}
	if (!fTaskName.IsEmpty() && !fTaskName.IsNull())
		outText.AppendPrintf("task %d, name: '%S'", fTaskID, &fTaskName);
	else
		outText.AppendPrintf("task %d", fTaskID);
	outText.AppendUniChar(u'\n');
}

CharSet VErrorBase::DebugDump(char* ioBuffer, int32& ioSize) const
{
	if (ioBuffer == nullptr || ioSize <= 0) {
		ioSize = 0;
		return VProcess::sInstance.load() != nullptr ? VTC_UTF_16_SMALLENDIAN : VTC_UTF_8;
	}
	if (VProcess::sInstance.load() != nullptr) {
		VString dump;
		DumpToString(dump);
		if (dump.GetLength() > ioSize / 2)
			dump.Truncate(ioSize / 2);
		ioSize = static_cast<int32>(dump.ToBlock(ioBuffer, static_cast<VSize>(ioSize), VTC_UTF_16_SMALLENDIAN, false, false));
		return VTC_UTF_16_SMALLENDIAN;
	}
	const SignatureChars signature(COMPONENT_FROM_VERROR(fError));
	const int written = std::snprintf(ioBuffer, static_cast<size_t>(ioSize), "Error code: %ld, component: '%.4s', task ID: %d",
									  static_cast<long>(ERRCODE_FROM_VERROR(fError)), signature.fChars, fTaskID);
	// A cut line reports what the buffer holds, not what it would have taken.
	ioSize = written < 0 ? 0 : (written >= ioSize ? ioSize - 1 : written);
	return VTC_UTF_8;
}

void VErrorBase::GetStackCrawl(VString& ioText) const
{
	if (fStackCrawl.GetCount() > 0)
		fStackCrawl.Dump(ioText);
}

VJSONObject* VErrorBase::CreateJSONObject() const
{
	VJSONObject* object = new VJSONObject();
	object->SetProperty(sKeyErrCode, VJSONValue(static_cast<double>(ERRCODE_FROM_VERROR(fError))));
	object->SetProperty(sKeyComponentSignature, VJSONValue(VOsTypeString(COMPONENT_FROM_VERROR(fError))));
	VString description;
	GetErrorDescription(description);
	object->SetProperty(sKeyMessage, VJSONValue(description));
	return object;
}

VError VErrorBase::SaveToBag(VValueBag& ioBag) const
{
	ioBag.SetLong8(kKeyErrorCode, static_cast<sLONG8>(fError));
	ioBag.SetLong(kKeyTaskID, fTaskID);
	ioBag.SetString(kKeyTaskName, fTaskName);
	VRefPtr<VValueBag> parameters = VRefPtr<VValueBag>::Adopt(new VValueBag());
	if (parameters->FromJSONValue(VJSONValue(fParameters.Get())) == VE_OK)
		ioBag.ReplaceElement(ErrorBagKeys::parameters, parameters.Get());
	return VE_OK;
}

VError VErrorBase::LoadFromBag(const VValueBag& inBag)
{
	sLONG8 code = 0;
	if (inBag.GetLong8(kKeyErrorCode, code))
		fError = static_cast<VError>(code);
	inBag.GetLong(kKeyTaskID, fTaskID);
	if (!inBag.GetString(kKeyTaskName, fTaskName))
		fTaskName.Clear();
	const VBagArray* parameters = inBag.GetElements(ErrorBagKeys::parameters);
	if (parameters != nullptr && parameters->GetCount() > 0) {
		VJSONValue value;
		parameters->GetNth(1)->GetJSONValue(value, 0);
		if (value.IsObject())
			fParameters.Set(value.GetObject());
		else
			fParameters = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
	}
	return VE_OK;
}

void VErrorBase::RegisterLocalizer(OsType inSignature, ILocalizer* inLocalizer)
{
	sLocalizers[inSignature] = inLocalizer;
}

void VErrorBase::UnregisterLocalizer(OsType inSignature)
{
	sLocalizers.erase(inSignature);
}

ILocalizer* VErrorBase::GetLocalizer(OsType inSignature)
{
	const auto found = sLocalizers.find(inSignature);
	return found != sLocalizers.end() ? found->second : nullptr;
}

bool VErrorBase::CallLocalizer(ILocalizer* inLocalizer, VError inError, VString& ioText) const
{
	if (inError == VE_OK)
		return true;
	if (inLocalizer != nullptr && inLocalizer->LocalizeErrorMessage(inError, ioText)) {
		ioText.Format(fParameters.Get(), true);
		return true;
	}
	ioText.Clear();
	return false;
}

} // namespace qirn
