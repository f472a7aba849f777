#include "core/VArrayImage.h"

#include "core/VValueInfo.h"
#include "files/VStream.h"

namespace qirn {

namespace {

constexpr uint16 kPictureKind = 12;

} // namespace

void VArrayImage::FromValue(const VValueSingle& inValue, sLONG inPosition)
{
	if (!ValidIndex(inPosition) || inValue.GetValueInfo()->GetKind() != kPictureKind)
		return;
	_Replace(inPosition - 1, inValue.Clone());
}

void VArrayImage::GetValue(VValueSingle& outValue, sLONG inPosition) const
{
	if (const VValueSingle* element = _At(inPosition)) {
		outValue.SetNull(element->IsNull());
		outValue.SetDirty(element->IsDirty());
	}
}

VValueSingle* VArrayImage::CloneValue(sLONG inPosition) const
{
	const VValueSingle* element = _At(inPosition);
	return element != nullptr ? element->Clone() : nullptr;
}

VError VArrayImage::WriteToStream(VStream* ioStream, sLONG) const
{
	return VArrayValue::WriteToStream(ioStream, 0);
}

void VArrayImage::DoWriteElements(VStream* ioStream) const
{
	VValueSingle* const* elements = _Elements();
	for (sLONG i = 0; i < fCount && ioStream->GetLastError() == VE_OK; ++i) {
		if (elements[i] != nullptr)
			elements[i]->WriteToStream(ioStream);
		else
			ioStream->PutLong8(static_cast<sLONG8>(0));
	}
}

VError VArrayImage::ReadFromStream(VStream* ioStream, sLONG)
{
	sLONG count = 0;
	VError err = ioStream->GetLong(count);
	if (err != VE_OK)
		return err;
	SetCount(0);
	if (count < 0)
		return ioStream->SetError(VE_STREAM_EOF);
	if (count > 0)
		return ioStream->SetError(VE_UNIMPLEMENTED);
	return VE_OK;
}

} // namespace qirn
