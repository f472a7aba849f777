// References against nlohmann-json's json_pointer: 10,000 reference objects
// {"$ref": "#/defs/items/<i>/name"} resolved in a document of 10,000 items,
// each reading its "$ref" text and walking the pointer from the root.
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONPointerResolver.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace {

constexpr int kRefCount = 10000;

std::string Pointer(int inIndex)
{
	return "#/defs/items/" + std::to_string(inIndex) + "/name";
}

struct OurDocument {
	qirn::VJSONValue fRoot;
	std::vector<qirn::VRefPtr<qirn::VJSONObject>> fRefs;
};

const OurDocument& Ours()
{
	static const OurDocument sDocument = [] {
		using namespace qirn;
		OurDocument document;
		VRefPtr<VJSONArray> items = VRefPtr<VJSONArray>::Adopt(new VJSONArray());
		for (int i = 0; i < kRefCount; ++i) {
			VRefPtr<VJSONObject> item = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
			item->SetProperty(VString("name"), VJSONValue(VString(("item " + std::to_string(i)).c_str())));
			item->SetProperty(VString("value"), VJSONValue(static_cast<double>(i)));
			items->Push(VJSONValue(item.Get()));
		}
		VRefPtr<VJSONObject> defs = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
		defs->SetProperty(VString("items"), VJSONValue(items.Get()));
		VRefPtr<VJSONObject> root = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
		root->SetProperty(VString("defs"), VJSONValue(defs.Get()));
		document.fRoot = VJSONValue(root.Get());
		for (int i = 0; i < kRefCount; ++i) {
			VRefPtr<VJSONObject> ref = VRefPtr<VJSONObject>::Adopt(new VJSONObject());
			ref->SetProperty(VJSONPointerResolver::sRefPropertyName, VJSONValue(VString(Pointer(i).c_str())));
			document.fRefs.push_back(ref);
		}
		return document;
	}();
	return sDocument;
}

struct PeerDocument {
	nlohmann::json fRoot;
	std::vector<nlohmann::json> fRefs;
};

const PeerDocument& Peer()
{
	static const PeerDocument sDocument = [] {
		PeerDocument document;
		nlohmann::json items = nlohmann::json::array();
		for (int i = 0; i < kRefCount; ++i)
			items.push_back({{"name", "item " + std::to_string(i)}, {"value", i}});
		document.fRoot = {{"defs", {{"items", std::move(items)}}}};
		for (int i = 0; i < kRefCount; ++i)
			document.fRefs.push_back({{"$ref", Pointer(i)}});
		return document;
	}();
	return sDocument;
}

void BM_LocalRefs_Ours(benchmark::State& state)
{
	const OurDocument& document = Ours();
	qirn::VRefPtr<qirn::VJSONPointerResolver> resolver = qirn::VRefPtr<qirn::VJSONPointerResolver>::Adopt(
		new qirn::VJSONPointerResolver(document.fRoot, nullptr, nullptr, nullptr));
	for (auto _ : state) {
		size_t total = 0;
		qirn::VJSONValue value;
		for (const auto& ref : document.fRefs) {
			if (resolver->ResolveOnePointer(ref.Get(), false, value))
				total += value.GetInlineString() != nullptr ? 1 : 0;
		}
		if (total != kRefCount)
			state.SkipWithError("a reference did not resolve");
		benchmark::DoNotOptimize(total);
	}
	state.SetItemsProcessed(state.iterations() * kRefCount);
}
BENCHMARK(BM_LocalRefs_Ours)->Unit(benchmark::kMillisecond);

void BM_LocalRefs_Peer(benchmark::State& state)
{
	const PeerDocument& document = Peer();
	for (auto _ : state) {
		size_t total = 0;
		for (const nlohmann::json& ref : document.fRefs) {
			const std::string& uri = ref.at("$ref").get_ref<const std::string&>();
			const nlohmann::json::json_pointer pointer(uri.substr(uri.find('#') + 1));
			const nlohmann::json& value = document.fRoot.at(pointer);
			total += value.is_string() ? 1 : 0;
		}
		if (total != kRefCount)
			state.SkipWithError("a pointer did not resolve");
		benchmark::DoNotOptimize(total);
	}
	state.SetItemsProcessed(state.iterations() * kRefCount);
}
BENCHMARK(BM_LocalRefs_Peer)->Unit(benchmark::kMillisecond);

} // namespace
