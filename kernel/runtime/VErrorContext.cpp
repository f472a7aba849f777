#include "runtime/VErrorContext.h"

#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "process/VLogger.h"
#include "process/VProcess.h"
#include "runtime/VTask.h"

#include <algorithm>
#include <new>

namespace qirn {

namespace {

const StBagKeyNoDefault kKeyErrorStackEntry("__ERROR");
const StBagKeyNoDefault kKeyMessage("message");
const StBagKeyNoDefault kKeyComponentSignature("componentSignature");
const StBagKeyNoDefault kKeyErrCode("errCode");

// Loads the bag's "error" elements in order and hands each loaded error to
// inTake, up to the first that does not load, whose answer is returned.
template <class Take>
VError LoadErrorsFromBag(const VValueBag& inBag, Take inTake)
{
	const VBagArray* errors = inBag.GetElements(ErrorBagKeys::error);
	if (errors == nullptr)
		return VE_OK;
	for (VIndex index = 1; index <= errors->GetCount(); ++index) {
		VRefPtr<VErrorBase> error = VRefPtr<VErrorBase>::Adopt(new (std::nothrow) VErrorBase());
		if (error == nullptr)
			return VE_MEMORY_FULL;
		if (VError result = error->LoadFromBag(*errors->GetNth(index)); result != VE_OK)
			return result;
		inTake(error.Get());
	}
	return VE_OK;
}

} // namespace

// VErrorContext

VErrorContext::VErrorContext(const VErrorContext& inOther)
	: VObject(), IRefCountable(), fErrors(inOther.fErrors), fFailedForMemory(inOther.fFailedForMemory)
{
}

bool VErrorContext::PushError(VErrorBase* inError)
{
	if (inError == nullptr)
		return false;
	if (inError->GetError() == VE_MEMORY_FULL)
		fFailedForMemory = true;
	fErrors.emplace_back(inError);
	return true;
}

bool VErrorContext::PushErrors(const VErrorContext& inOther)
{
	fErrors.insert(fErrors.end(), inOther.fErrors.begin(), inOther.fErrors.end());
	fFailedForMemory = inOther.fFailedForMemory;
	return fFailedForMemory;
}

void VErrorContext::Flush()
{
	fErrors.clear();
	fFailedForMemory = false;
}

VErrorBase* VErrorContext::Find(VError inError) const
{
	for (const VRefPtr<VErrorBase>& error : fErrors)
		if (error->GetError() == inError)
			return error.Get();
	return nullptr;
}

bool VErrorContext::FindAny(std::initializer_list<VError> inErrors) const
{
	for (VError code : inErrors) {
		if (code == VE_OK)
			return false;
		if (Find(code) != nullptr)
			return true;
	}
	return false;
}

bool VErrorContext::IsErrorFiltered(VError inError) const
{
	return std::find(fFilteredErrors.begin(), fFilteredErrors.end(), inError) != fFilteredErrors.end();
}

VError VErrorContext::SaveToBag(VValueBag& ioBag) const
{
	for (const VRefPtr<VErrorBase>& error : fErrors) {
		VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
		error->SaveToBag(*bag);
		ioBag.AddElement(ErrorBagKeys::error, bag.Get());
	}
	return VE_OK;
}

VError VErrorContext::LoadFromBag(const VValueBag& inBag)
{
	// Loaded errors are records of another time: the memory flag stays as it is.
	return LoadErrorsFromBag(inBag, [this](VErrorBase* inError) { fErrors.emplace_back(inError); });
}

void VErrorContext::SaveToJSONArray(VJSONValue& outValue) const
{
	if (fErrors.empty()) {
		outValue.SetUndefined();
		return;
	}
	VRefPtr<VJSONArray> array = VRefPtr<VJSONArray>::Adopt(new VJSONArray());
	for (const VRefPtr<VErrorBase>& error : fErrors) {
		VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(error->CreateJSONObject());
		array->Push(VJSONValue(object.Get()));
	}
	outValue.SetArray(array.Get());
}

void VErrorContext::SendErrorsToLogger() const
{
	VProcess* process = VProcess::sInstance.load();
	ILogger* logger = process != nullptr ? process->GetLogger() : nullptr;
	if (logger == nullptr)
		return;
	StErrorContextInstaller silence(false, true);
	for (const VRefPtr<VErrorBase>& error : fErrors)
		logger->LogErrorIfNecessary(error.Get());
}

// VErrorTaskContext

VErrorTaskContext::VErrorTaskContext() : fSpareContext(new VErrorContext()) {}

VErrorTaskContext::~VErrorTaskContext()
{
	fContexts.clear();
	if (fSpareContext != nullptr)
		fSpareContext->Release();
}

VErrorContext* VErrorTaskContext::PushNewContext(bool inKeepingErrors, bool inSilent)
{
	VErrorContext* context = std::exchange(fSpareContext, nullptr);
	if (context == nullptr)
		context = new VErrorContext();
	context->SetKeepingErrors(inKeepingErrors);
	context->SetSilent(inSilent);
	context->SetFailedForMemory(false);
	fContexts.emplace_back(context);
	return context;
}

bool VErrorTaskContext::PushError(VErrorBase* inError, bool* outQuiet)
{
	if (outQuiet != nullptr)
		*outQuiet = false;
	if (inError == nullptr)
		return false;
	if (fContexts.empty())
		fContexts.push_back(VRefPtr<VErrorContext>::Adopt(new VErrorContext()));
	VErrorContext* top = fContexts.back().Get();
	if (!top->PushError(inError))
		return false;
	bool quiet = false;
	for (auto context = fContexts.rbegin(); context != fContexts.rend(); ++context) {
		if ((*context)->IsSilent()) {
			quiet = true;
			break;
		}
		if ((*context)->IsErrorFiltered(inError->GetError())) {
			// Whatever follows in this scope is dropped with the filtered error.
			top->SetSilent(true);
			top->SetKeepingErrors(false);
			quiet = true;
			break;
		}
	}
	if (outQuiet != nullptr)
		*outQuiet = quiet;
	return true;
}

void VErrorTaskContext::PopContext()
{
	if (fContexts.empty())
		return;
	VRefPtr<VErrorContext> top = std::move(fContexts.back());
	fContexts.pop_back();
	if (top->IsEmpty() || !top->IsKeepingErrors())
		return;
	if (!fContexts.empty()) {
		VErrorContext* parent = fContexts.back().Get();
		if (top->IsSilent() && !parent->IsSilent())
			top->SendErrorsToLogger();
		parent->PushErrors(*top);
		return;
	}
	if (top->IsSilent())
		top->SendErrorsToLogger();
	fContexts.push_back(VRefPtr<VErrorContext>::Adopt(new VErrorContext(*top)));
}

void VErrorTaskContext::PushErrorsFromContext(const VErrorContext* inContext)
{
	if (inContext == nullptr)
		return;
	for (const VRefPtr<VErrorBase>& error : inContext->GetErrors())
		PushError(error.Get());
}

void VErrorTaskContext::PushErrorsFromBag(const VValueBag& inBag)
{
	LoadErrorsFromBag(inBag, [this](VErrorBase* inError) { PushError(inError); });
}

void VErrorTaskContext::BuildErrorStack(VValueBag& ioBag)
{
	const VErrorTaskContext* stack = VTask::GetErrorContext(false);
	if (stack == nullptr)
		return;
	VErrorContext all;
	stack->GetErrors(all);
	VString text;
	for (const VRefPtr<VErrorBase>& error : all.GetErrors()) {
		VRefPtr<VValueBag> entry = VRefPtr<VValueBag>::Adopt(new VValueBag());
		error->GetErrorDescription(text);
		entry->SetString(kKeyMessage, text);
		text.FromOsType(COMPONENT_FROM_VERROR(error->GetError()));
		entry->SetString(kKeyComponentSignature, text);
		entry->SetLong(kKeyErrCode, ERRCODE_FROM_VERROR(error->GetError()));
		ioBag.AddElement(kKeyErrorStackEntry, entry.Get());
	}
}

void VErrorTaskContext::InsertFrontErrors(const VErrorList& inErrors)
{
	if (inErrors.empty())
		return;
	if (fContexts.empty())
		PushNewContext(true, false)->Release();
	fContexts.front()->_InsertFront(inErrors);
}

void VErrorTaskContext::Flush()
{
	if (!fContexts.empty())
		fContexts.back()->Flush();
}

VError VErrorTaskContext::GetLastError() const
{
	return fContexts.empty() ? VE_OK : fContexts.back()->GetLastError();
}

VErrorBase* VErrorTaskContext::GetLast() const
{
	for (auto context = fContexts.rbegin(); context != fContexts.rend(); ++context)
		if (!(*context)->IsEmpty())
			return (*context)->GetLast();
	return nullptr;
}

VErrorBase* VErrorTaskContext::GetFirst() const
{
	for (const VRefPtr<VErrorContext>& context : fContexts)
		if (!context->IsEmpty())
			return context->GetFirst();
	return nullptr;
}

VErrorBase* VErrorTaskContext::Find(VError inError) const
{
	for (const VRefPtr<VErrorContext>& context : fContexts)
		if (VErrorBase* error = context->Find(inError); error != nullptr)
			return error;
	return nullptr;
}

bool VErrorTaskContext::IsErrorFiltered(VError inError) const
{
	return std::any_of(fContexts.begin(), fContexts.end(),
					   [inError](const VRefPtr<VErrorContext>& inContext) { return inContext->IsErrorFiltered(inError); });
}

bool VErrorTaskContext::FailedForMemory() const
{
	return !fContexts.empty() && fContexts.back()->FailedForMemory();
}

void VErrorTaskContext::GetErrors(VErrorContext& outContext) const
{
	for (const VRefPtr<VErrorContext>& context : fContexts)
		for (const VRefPtr<VErrorBase>& error : context->GetErrors())
			outContext.PushError(error.Get());
	outContext.SetFailedForMemory(FailedForMemory());
}

void VErrorTaskContext::MergeAndFlushLastContext(bool inLog)
{
	if (fContexts.empty() || fContexts.back()->IsEmpty())
		return;
	VErrorContext* top = fContexts.back().Get();
	if (top->IsKeepingErrors()) {
		if (inLog)
			top->SendErrorsToLogger();
		if (fContexts.size() == 1)
			fContexts.insert(fContexts.begin(), VRefPtr<VErrorContext>::Adopt(new VErrorContext(*top)));
		else
			fContexts[fContexts.size() - 2]->PushErrors(*top);
	}
	top = fContexts.back().Get();
	top->Flush();
	top->SetSilent(inLog);
}

void VErrorTaskContext::_RecycleOrRelease(VErrorContext* inContext)
{
	if (inContext == nullptr)
		return;
	if (fSpareContext == nullptr && inContext->IsEmpty() && !inContext->IsFiltering() && inContext->GetRefCount() == 1) {
		fSpareContext = inContext;
		return;
	}
	inContext->Release();
}

// StErrorContextInstaller

StErrorContextInstaller::StErrorContextInstaller(std::initializer_list<VError> inFilteredErrors)
{
	_Init(true, false);
	std::vector<VError> codes;
	for (VError code : inFilteredErrors) {
		if (code == VE_OK && !codes.empty())
			break;
		codes.push_back(code);
	}
	fContext->SetFilteredErrors(std::move(codes));
}

void StErrorContextInstaller::_Init(bool inKeepingErrors, bool inSilent)
{
	fTaskContext = VTask::GetErrorContext(true);
	if (fTaskContext != nullptr) {
		fContext = fTaskContext->PushNewContext(inKeepingErrors, inSilent);
		return;
	}
	fContext = new VErrorContext();
	fContext->SetKeepingErrors(inKeepingErrors);
	fContext->SetSilent(inSilent);
}

StErrorContextInstaller::~StErrorContextInstaller()
{
	if (fTaskContext == nullptr) {
		fContext->Release();
		return;
	}
	fTaskContext->PopContext();
	fTaskContext->_RecycleOrRelease(fContext);
}

} // namespace qirn
