#include "files/IFile.h"

#include "core/VTextConverter.h"
#include "core/VTextConverters.h"
#include "files/VStream.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"

namespace qirn {

namespace {

// The code an operation answers: the last error it raised, else the code it
// returned, so that a failure an implementation only returned is not taken
// for success.
VError Outcome(const StErrorContextInstaller& inScope, VError inReturned)
{
	VError raised = inScope.GetLastError();
	return raised != VE_OK ? raised : inReturned;
}

} // namespace

void IFile::GetNameWithoutExtension(VString& outName) const
{
	GetPath().GetFileName(outName, false);
}

VError IFile::GetContentAsString(VString& outText, CharSet inCharSet, ECarriageReturnMode inMode) const
{
	StErrorContextInstaller scope(true, false);
	VMemoryBuffer<> content;
	VError error = GetContent(content);
	outText.Clear();
	if (error == VE_OK && scope.GetLastError() == VE_OK) {
		outText.FromBlockWithOptionalBOM(content.GetDataPtr(), content.GetDataSize(), inCharSet);
		outText.ConvertCarriageReturns(inMode);
	}
	return Outcome(scope, error);
}

VError IFile::SetContentAsString(const VString& inText, CharSet inCharSet, ECarriageReturnMode inMode,
								 bool inWithBOM) const
{
	StErrorContextInstaller scope(true, false);
	VString text(inText);
	text.ConvertCarriageReturns(inMode);
	VFromUnicodeConverter* converter = VTextConverters::Get()->RetainFromUnicodeConverter(inCharSet);
	if (converter == nullptr || !converter->IsValid()) {
		if (converter != nullptr)
			converter->Release();
		_ThrowError(VE_STREAM_NO_TEXT_CONVERTER);
		return scope.GetLastError();
	}
	VMemoryBuffer<> bytes;
	VSize bomSize = 0;
	if (inWithBOM) {
		const void* bom = VTextConverters::GetBOMForCharSet(inCharSet, &bomSize);
		if (bomSize != 0 && !bytes.AddData(bom, bomSize)) {
			converter->Release();
			_ThrowError(VE_MEMORY_FULL);
			return scope.GetLastError();
		}
	}
	const bool converted = converter->ConvertToBuffer(text.GetCPointer(), text.GetLength(), bytes, 0);
	converter->Release();
	// Half a text written would replace the whole file with it: nothing is
	// written unless every character was encoded.
	if (!converted) {
		if (scope.GetLastError() == VE_OK)
			_ThrowError(VE_TEXT_CONVERSION_FAILED);
		return scope.GetLastError();
	}
	// An empty text makes an empty file, without a byte-order mark.
	const bool empty = bytes.GetDataSize() == bomSize;
	VError error = empty ? SetContent(nullptr, 0) : SetContent(bytes.GetDataPtr(), bytes.GetDataSize());
	return Outcome(scope, error);
}

VError IFile::CopyContentTo(const IFile* inDestination) const
{
	VMemoryBuffer<> content;
	VError error = GetContent(content);
	if (error == VE_OK && inDestination != nullptr)
		error = inDestination->SetContent(content.GetDataPtr(), content.GetDataSize());
	return error;
}

VError IFile::GetContentAsJSON(VJSONValue& outValue, CharSet inCharSet) const
{
	VString text;
	VError error = GetContentAsString(text, inCharSet, eCRM_NONE);
	if (error != VE_OK)
		return error;
	return VJSONImporter::ParseString(text, outValue, VJSONImporter::kOption_NonAmbiguousDates);
}

VError IFile::SetContentAsJSON(const VJSONValue& inValue, CharSet inCharSet, ECarriageReturnMode inMode,
							   bool inWithBOM) const
{
	VString text;
	VError error = inValue.Stringify(text, VJSONWriter::kOption_Quotes | VJSONWriter::kOption_Pretty);
	if (error != VE_OK)
		return error;
	return SetContentAsString(text, inCharSet, inMode, inWithBOM);
}

} // namespace qirn
