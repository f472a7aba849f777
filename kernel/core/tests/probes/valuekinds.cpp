// Reports whether the base class's descriptor (kind 65535) is absent until a
// value first asks for it, while other threads look kinds up meanwhile.
#include "core/VLong.h"
#include "core/VValueInfo.h"
#include "core/VValueSingle.h"

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

// A kind that overrides nothing, so it answers the base descriptor.
class VBare : public qirn::VValueSingle {
public:
	VBare* Clone() const override { return new VBare(*this); }
};

} // namespace

int main()
{
	using namespace qirn;
	const bool absent = VValue::ValueInfoFromValueKind(65535) == nullptr;

	std::atomic<int> ready{0};
	std::atomic<bool> go{false};
	std::atomic<bool> seenByAll{true};
	std::vector<std::thread> readers;
	for (int i = 0; i < 4; ++i) {
		readers.emplace_back([&] {
			++ready;
			while (!go.load())
				std::this_thread::yield();
			// Look up until the registration shows, with other kinds between.
			const VValueInfo* found = nullptr;
			for (long round = 0; found == nullptr && round < 100000000; ++round) {
				found = VValue::ValueInfoFromValueKind(65535);
				if (VValue::ValueInfoFromValueKind(4) != &VLong::sInfo)
					seenByAll = false;
			}
			if (found == nullptr || found->GetKind() != 65535)
				seenByAll = false;
		});
	}
	while (ready.load() < 4)
		std::this_thread::yield();
	go = true;
	VBare bare;
	const VValueInfo* info = bare.GetValueInfo();
	for (std::thread& reader : readers)
		reader.join();

	const bool registered = info != nullptr && VValue::ValueInfoFromValueKind(65535) == info;
	std::printf("before=%s after=%s seen=%s\n", absent ? "absent" : "present", registered ? "registered" : "missing",
				seenByAll ? "registered" : "missing");
	return 0;
}
