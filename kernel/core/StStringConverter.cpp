#include "core/StStringConverter.h"

#include "core/VMemory.h"
#include "core/VString.h"
#include "core/VTextConverters.h"

namespace qirn {

StStringConverterBase::StStringConverterBase(CharSet inCharSet, ECarriageReturnMode inMode)
	: fResult(fInlineBuffer), fSize(0), fMode(inMode), fOK(false), fCapacity(kInlineSize), fHeapBuffer(nullptr),
	  fConverter(VTextConverters::Get()->RetainFromUnicodeConverter(inCharSet))
{
	fInlineBuffer[0] = 0;
}

StStringConverterBase::~StStringConverterBase()
{
	if (fHeapBuffer != nullptr)
		VMemory::DisposePtr(fHeapBuffer);
	fConverter->Release();
}

const char* StStringConverterBase::_ConvertString(const VString& inString)
{
	const VString* source = &inString;
	VString converted;
	if (fMode != eCRM_NONE) {
		converted.FromString(inString);
		converted.ConvertCarriageReturns(fMode);
		source = &converted;
	}
	fSize = 0;
	VIndex consumed = 0;
	VSize produced = 0;
	fOK = fConverter->Convert(source->GetCPointer(), source->GetLength(), &consumed, fResult, fCapacity - 1,
							  &produced);
	fSize = produced;
	if (fOK && consumed < source->GetLength()) {
		void* block = fHeapBuffer;
		VSize used = 0;
		fSize = 0;
		if (fConverter->ConvertRealloc(source->GetCPointer(), source->GetLength(), block, used, 1)) {
			fHeapBuffer = static_cast<char*>(block);
			fResult = fHeapBuffer;
			fSize = used;
			fCapacity = used + 1;
		} else {
			fHeapBuffer = static_cast<char*>(block);
			fOK = false;
		}
	}
	fResult[fSize] = 0;
	return fResult;
}

} // namespace qirn
