// A bag's attribute store (the packed dictionary) in its stream form, in
// both byte orders (bit 0 of the first input byte); bit 1 writes it back
// with its lookup map. What reads back gives every value, and is written,
// read again and written again to the same bytes. A read that fails
// answers an error and leaves the store empty.
#include "FuzzStreams.h"

#include "bags_xml/VPackedDictionary_with_backstore.h"
#include "core/VString.h"
#include "core/VValueSingle.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

#include <memory>
#include <vector>

namespace {

using namespace qirn;
using Attributes = VPackedDictionary_with_backstore<VPackedValue_VValueSingle>;

VError Read(const void* inData, size_t inSize, bool inBigEndian, Attributes& outStore)
{
	return fuzz::ReadStream(inData, inSize, inBigEndian, [&](VStream& ioStream) { return outStore.ReadFromStream(&ioStream); });
}

std::vector<uint8_t> Write(const Attributes& inStore, bool inBigEndian, bool inWithHashMap)
{
	return fuzz::WriteStream(inBigEndian,
							 [&](VStream& ioStream) { return inStore.WriteToStream(&ioStream, inWithHashMap); });
}

// Every value, as its own kind and as text, and every key found again.
void ReadEveryValue(const Attributes& inStore)
{
	for (size_t index = 0; index < inStore.GetCount(); ++index) {
		std::unique_ptr<VValueSingle> value(inStore.NewValueAt(index));
		if (value != nullptr)
			QIRN_FUZZ_CHECK(inStore.GetValueAt(index, *value));
		VString text;
		QIRN_FUZZ_CHECK(inStore.GetValueAt(index, text));
		const StPackedDictionaryKey key = inStore.GetKeyAt(index);
		if (key.IsUsable())
			QIRN_FUZZ_CHECK(inStore._Find(key) != inStore.End());
	}
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	fuzz::StFuzzInput input;
	const bool bigEndian = (inData[0] & 1) != 0;
	const bool withHashMap = (inData[0] & 2) != 0;
	Attributes store;
	if (Read(inData + 1, inSize - 1, bigEndian, store) != VE_OK) {
		QIRN_FUZZ_CHECK(store.GetCount() == 0);
		return 0;
	}
	ReadEveryValue(store);
	const std::vector<uint8_t> written = Write(store, bigEndian, withHashMap);
	Attributes again;
	QIRN_FUZZ_CHECK(Read(written.data(), written.size(), bigEndian, again) == VE_OK);
	QIRN_FUZZ_CHECK(again.GetCount() == store.GetCount());
	QIRN_FUZZ_CHECK(Write(again, bigEndian, withHashMap) == written);
	return 0;
}
