#include "bags_xml/VXMLBagHandler.h"

#include "bags_xml/StPackedDictionaryKey.h"
#include "bags_xml/VValueBag.h"
#include "core/VRefPtr.h"
#include "json/VJSONNesting.h"
#include "runtime/VError.h"

#include <new>

namespace qirn {

VXMLBagHandler::VXMLBagHandler(VValueBag* inBag)
{
	if (inBag != nullptr && fStack.AddTail(inBag))
		fTexts.emplace_back();
}

VXMLBagHandler::~VXMLBagHandler()
{
	// A parse broken off leaves open elements: their text read so far.
	while (!fTexts.empty())
		EndElement(VString());
}

void VXMLBagHandler::_FlushText()
{
	if (fTexts.empty())
		return;
	VString& text = fTexts.back();
	if (!text.IsEmpty() && !fStopped) {
		if (VValueBag* top = fStack.GetNth(fStack.GetCount()))
			top->AppendToCData(text);
	}
	fTexts.pop_back();
}

IXMLHandler* VXMLBagHandler::StartElement(const VString& inElementName)
{
	VValueBag* top = fStack.GetNth(fStack.GetCount());
	if (top == nullptr || fStopped)
		return nullptr;
	// The open bags count as the nesting: the target bag is the first.
	if (static_cast<uint32>(fStack.GetCount()) >= kJSONMaxDepth) {
		fStopped = true;
		_ThrowError(VE_STACK_OVERFLOW);
		return nullptr;
	}
	VRefPtr<VValueBag> child = VRefPtr<VValueBag>::Adopt(new (std::nothrow) VValueBag());
	if (child == nullptr) {
		fStopped = true;
		_ThrowError(VE_MEMORY_FULL);
		return nullptr;
	}
	top->AddElement(StPackedDictionaryKey(inElementName), child.Get());
	if (!fStack.AddTail(child.Get())) {
		fStopped = true;
		_ThrowError(VE_MEMORY_FULL);
		return nullptr;
	}
	fTexts.emplace_back();
	Retain();
	return this;
}

void VXMLBagHandler::EndElement(const VString&)
{
	_FlushText();
	if (fStack.GetCount() > 0)
		fStack.DeleteNth(fStack.GetCount());
}

void VXMLBagHandler::SetAttribute(const VString& inName, const VString& inValue)
{
	VValueBag* top = fStack.GetNth(fStack.GetCount());
	if (top != nullptr && !fStopped)
		top->SetAttribute(StPackedDictionaryKey(inName), inValue);
}

void VXMLBagHandler::SetText(const VString& inText)
{
	if (!fStopped && !fTexts.empty())
		fTexts.back().AppendString(inText);
}

VXMLBagHandler_UniqueElement::VXMLBagHandler_UniqueElement(VValueBag* inBag, const VString& inElementName)
	: fBag(RetainRefCountable(inBag)), fElementName(inElementName)
{
}

VXMLBagHandler_UniqueElement::~VXMLBagHandler_UniqueElement()
{
	ReleaseRefCountable(&fBag);
}

IXMLHandler* VXMLBagHandler_UniqueElement::StartElement(const VString& inElementName)
{
	++fCount;
	if (!fElementName.IsEmpty() && !inElementName.EqualToString(fElementName, false))
		return nullptr;
	if (fCount != 1 || fBag == nullptr)
		return nullptr;
	if (fElementName.IsEmpty())
		fElementName = inElementName;
	VXMLBagHandler* handler = new (std::nothrow) VXMLBagHandler(fBag);
	if (handler == nullptr)
		_ThrowError(VE_MEMORY_FULL);
	return handler;
}

void VXMLBagHandler_UniqueElement::SetText(const VString&) {}

} // namespace qirn
