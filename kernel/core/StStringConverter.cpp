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
	// Some converters answer false when only the room ran out: a full
	// buffer gets the heap block whatever the answer, and a genuine fault
	// then fails there too.
	bool full = fCapacity - 1 - produced < 2 * fConverter->GetCharSize();
	if (consumed < source->GetLength() && (fOK || full)) {
		void* block = fHeapBuffer;
		VSize used = 0;
		fSize = 0;
		fOK = fConverter->ConvertRealloc(source->GetCPointer(), source->GetLength(), block, used, 1);
		// The block may have moved even when the conversion failed.
		fHeapBuffer = static_cast<char*>(block);
		if (fHeapBuffer != nullptr) {
			fResult = fHeapBuffer;
			fSize = fOK ? used : 0;
			fCapacity = fOK ? used + 1 : 1;
		}
	}
	fResult[fSize] = 0;
	return fResult;
}

} // namespace qirn
