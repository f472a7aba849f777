#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "core/VArrayString.h"
#include "core/VValueSingle.h"
#include "files/VStream.h"

#include <pthread.h>

#include <memory>
#include <new>

namespace qirn {

namespace {

constexpr uint32 kBagSignature = 0x56424147; // 'VBAG'
constexpr uint16 kBagVersion = 1;

constexpr uBYTE kHasAttributes = 0x01;
constexpr uBYTE kHasElements = 0x02;

// Room kept below a nested read: more than any bag level takes, with the
// sanitizers' larger frames too.
constexpr size_t kStackReserve = 256 * 1024;

constinit thread_local uintptr_t sStackLow = 0;

// Nesting is not limited by count (a stream the writer made must load), only
// by the stack this thread has left.
bool _StackLeft()
{
	if (sStackLow == 0) {
		pthread_attr_t attributes;
		if (::pthread_getattr_np(::pthread_self(), &attributes) != 0)
			return true;
		void* address = nullptr;
		size_t size = 0;
		if (::pthread_attr_getstack(&attributes, &address, &size) == 0)
			sStackLow = reinterpret_cast<uintptr_t>(address);
		::pthread_attr_destroy(&attributes);
		if (sStackLow == 0)
			return true;
	}
	int here = 0;
	uintptr_t position = reinterpret_cast<uintptr_t>(&here);
	return position > sStackLow && position - sStackLow > kStackReserve;
}

VError _Fail(VStream* ioStream, VError inError)
{
	if (ioStream->GetLastError() == VE_OK)
		ioStream->SetError(inError);
	return ioStream->GetLastError();
}

} // namespace

VError VValueBag::WriteToStream(VStream* ioStream, sLONG) const
{
	ioStream->PutLong(kBagSignature);
	ioStream->PutWord(kBagVersion);
	ioStream->PutWord(uWORD(0));
	if (ioStream->GetLastError() != VE_OK)
		return ioStream->GetLastError();
	return WriteToStreamMinimal(ioStream, true);
}

VError VValueBag::WriteToStreamMinimal(VStream* ioStream, bool inWithHashMap) const
{
	bool withElements = fElements != nullptr && !fElements->IsEmpty();
	uBYTE flags = static_cast<uBYTE>((fAttributes.IsEmpty() ? 0 : kHasAttributes) | (withElements ? kHasElements : 0));
	ioStream->PutByte(flags);
	if (!fAttributes.IsEmpty())
		fAttributes.WriteToStream(ioStream, inWithHashMap);
	if (withElements && ioStream->GetLastError() == VE_OK) {
		fElements->_WriteKeysToStream(ioStream, inWithHashMap);
		for (size_t index = 0; index < fElements->GetCount() && ioStream->GetLastError() == VE_OK; ++index) {
			const VBagArray* array = fElements->GetValueAt(index);
			VIndex count = array != nullptr ? array->GetCount() : 0;
			ioStream->PutLong(static_cast<uLONG>(count));
			for (VIndex position = 1; position <= count; ++position) {
				if (array->GetNth(position)->WriteToStreamMinimal(ioStream, true) != VE_OK)
					break;
			}
		}
	}
	return ioStream->GetLastError();
}

VError VBagArray::WriteToStreamMinimal(VStream* ioStream) const
{
	ioStream->PutLong(static_cast<uLONG>(fBags.size()));
	for (const VValueBag* bag : fBags) {
		if (bag->WriteToStreamMinimal(ioStream, true) != VE_OK)
			break;
	}
	return ioStream->GetLastError();
}

VError VValueBag::ReadFromStream(VStream* ioStream, sLONG)
{
	Destroy();
	if (ioStream->GetLastError() != VE_OK)
		return ioStream->GetLastError();
	uLONG signature = 0;
	uWORD version = 0;
	uWORD reserved = 0;
	if (ioStream->GetLong(signature) != VE_OK || ioStream->GetWord(version) != VE_OK
		|| ioStream->GetWord(reserved) != VE_OK)
		return ioStream->GetLastError();
	if (signature != kBagSignature)
		return VE_STREAM_BAD_SIGNATURE;
	if (version != kBagVersion)
		return VE_BAG_BAD_VERSION;
	VError err = ReadFromStreamMinimal(ioStream);
	if (err != VE_OK)
		Destroy();
	return err;
}

VError VValueBag::ReadFromStreamMinimal(VStream* ioStream)
{
	if (ioStream->GetLastError() != VE_OK)
		return ioStream->GetLastError();
	if (!_StackLeft())
		return _Fail(ioStream, VE_STACK_OVERFLOW);
	uBYTE flags = 0;
	if (ioStream->GetByte(flags) != VE_OK)
		return ioStream->GetLastError();
	if ((flags & kHasAttributes) != 0 && fAttributes.ReadFromStream(ioStream) != VE_OK)
		return ioStream->GetLastError();
	if ((flags & kHasElements) == 0)
		return VE_OK;
	std::unique_ptr<Elements> elements(new (std::nothrow) Elements);
	if (elements == nullptr)
		return _Fail(ioStream, VE_MEMORY_FULL);
	if (elements->_ReadKeysFromStream(ioStream) != VE_OK)
		return ioStream->GetLastError();
	delete fElements;
	fElements = elements.release();
	for (size_t index = 0; index < fElements->GetCount(); ++index) {
		VBagArray* array = new (std::nothrow) VBagArray;
		if (array == nullptr)
			return _Fail(ioStream, VE_MEMORY_FULL);
		fElements->SetValueAt(index, array);
		array->Release();
		if (array->ReadFromStreamMinimal(ioStream) != VE_OK)
			return ioStream->GetLastError();
	}
	return VE_OK;
}

VError VBagArray::ReadFromStreamMinimal(VStream* ioStream)
{
	if (ioStream->GetLastError() != VE_OK)
		return ioStream->GetLastError();
	uLONG count = 0;
	if (ioStream->GetLong(count) != VE_OK)
		return ioStream->GetLastError();
	// The count is not trusted for a reservation: bags are added as read,
	// and a stream shorter than its count ends in its own error.
	for (uLONG index = 0; index < count; ++index) {
		VValueBag* bag = new (std::nothrow) VValueBag;
		if (bag == nullptr)
			return _Fail(ioStream, VE_MEMORY_FULL);
		if (bag->ReadFromStreamMinimal(ioStream) != VE_OK) {
			bag->Release();
			return ioStream->GetLastError();
		}
		bool added = AddTail(bag);
		bag->Release();
		if (!added)
			return _Fail(ioStream, VE_MEMORY_FULL);
	}
	return VE_OK;
}

VError VValueBag::_ReadFromStream_v1(VStream* ioStream)
{
	if (!_StackLeft())
		return _Fail(ioStream, VE_STACK_OVERFLOW);
	VArrayString names;
	uLONG count = 0;
	if (names.ReadFromStream(ioStream) != VE_OK || ioStream->GetLong(count) != VE_OK)
		return ioStream->GetLastError();
	for (uLONG index = 0; index < count; ++index) {
		uLONG kind = 0;
		if (ioStream->GetLong(kind) != VE_OK)
			return ioStream->GetLastError();
		std::unique_ptr<VValue> value(VValue::NewValueFromValueKind(static_cast<uint16>(kind & 0xFFFF)));
		// A kind this kernel cannot make has a form that cannot be passed over.
		if (value == nullptr)
			return _Fail(ioStream, VE_STREAM_BAD_SIGNATURE);
		if (value->ReadFromStream(ioStream) != VE_OK)
			return _Fail(ioStream, VE_STREAM_BAD_SIGNATURE);
		const VValueSingle* single = value->IsVValueSingle();
		if (single != nullptr && static_cast<sLONG>(index) < names.GetCount()) {
			VString name;
			names.GetString(name, static_cast<sLONG>(index) + 1);
			SetAttribute(StPackedDictionaryKey(name), *single);
		}
	}
	VArrayString elementNames;
	if (elementNames.ReadFromStream(ioStream) != VE_OK || ioStream->GetLong(count) != VE_OK)
		return ioStream->GetLastError();
	for (uLONG index = 0; index < count; ++index) {
		VBagArray* array = new (std::nothrow) VBagArray;
		if (array == nullptr)
			return _Fail(ioStream, VE_MEMORY_FULL);
		if (array->ReadFromStreamMinimal(ioStream) != VE_OK) {
			array->Release();
			return ioStream->GetLastError();
		}
		if (static_cast<sLONG>(index) < elementNames.GetCount()) {
			VString name;
			elementNames.GetString(name, static_cast<sLONG>(index) + 1);
			SetElements(StPackedDictionaryKey(name), array);
		}
		array->Release();
	}
	return VE_OK;
}

} // namespace qirn
