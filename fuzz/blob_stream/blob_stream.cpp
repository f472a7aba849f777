// A blob's stream form, alone (first input byte's bit 1 clear) or as a value
// with its kind (set), in both byte orders (bit 0). What reads back is
// written and read again equal. A read that fails answers an error and
// leaves the blob as it was.
#include "FuzzStreams.h"

#include "core/VBlob.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace qirn;

std::vector<uint8_t> Content(const VBlob& inBlob)
{
	std::vector<uint8_t> bytes(inBlob.GetSize());
	if (!bytes.empty())
		QIRN_FUZZ_CHECK(inBlob.GetData(bytes.data(), bytes.size(), 0) == VE_OK);
	return bytes;
}

std::vector<uint8_t> Write(const VBlob& inBlob, bool inBigEndian, bool inAsValue)
{
	return fuzz::WriteStream(inBigEndian, [&](VStream& ioStream) {
		return inAsValue ? ioStream.PutValue(inBlob, true) : inBlob.WriteToStream(&ioStream);
	});
}

// The blob read, or null when the read failed.
std::unique_ptr<VBlob> Read(const void* inData, size_t inSize, bool inBigEndian, bool inAsValue)
{
	VConstPtrStream stream(inData, inSize);
	stream.SetNeedSwap(inBigEndian);
	QIRN_FUZZ_CHECK(stream.OpenReading() == VE_OK);
	std::unique_ptr<VBlob> blob;
	if (inAsValue) {
		std::unique_ptr<VValue> value(stream.GetValue());
		if (value != nullptr && stream.GetLastError() == VE_OK) {
			// Another kind of value is no blob: not this harness's business.
			if (auto* read = dynamic_cast<VBlob*>(value.get())) {
				value.release();
				blob.reset(read);
			}
		}
	} else {
		static const char kBefore[] = "before";
		auto* read = new VBlobWithPtr(kBefore, sizeof(kBefore));
		blob.reset(read);
		if (read->ReadFromStream(&stream) != VE_OK) {
			QIRN_FUZZ_CHECK(stream.GetLastError() != VE_OK);
			const std::vector<uint8_t> content = Content(*read);
			QIRN_FUZZ_CHECK(content.size() == sizeof(kBefore));
			QIRN_FUZZ_CHECK(std::memcmp(content.data(), kBefore, sizeof(kBefore)) == 0);
			blob.reset();
		} else {
			QIRN_FUZZ_CHECK(stream.GetLastError() == VE_OK);
		}
	}
	QIRN_FUZZ_CHECK(stream.GetPos() <= static_cast<sLONG8>(inSize));
	stream.CloseReading();
	return blob;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	fuzz::StFuzzInput input;
	const bool bigEndian = (inData[0] & 1) != 0;
	const bool asValue = (inData[0] & 2) != 0;
	std::unique_ptr<VBlob> blob = Read(inData + 1, inSize - 1, bigEndian, asValue);
	if (blob == nullptr)
		return 0;
	const std::vector<uint8_t> written = Write(*blob, bigEndian, asValue);
	std::unique_ptr<VBlob> again = Read(written.data(), written.size(), bigEndian, asValue);
	QIRN_FUZZ_CHECK(again != nullptr);
	QIRN_FUZZ_CHECK(Content(*again) == Content(*blob));
	QIRN_FUZZ_CHECK(Write(*again, bigEndian, asValue) == written);
	return 0;
}
