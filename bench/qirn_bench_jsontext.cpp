// JSON text read and written against RapidJSON (with full-precision number
// reading: its default misreads some doubles), nlohmann-json and simdjson
// (reading only). The document, about 50 MB, is generated here: records of
// strings, numbers, Booleans, nested objects and arrays. Reading goes from
// UTF-8 bytes to a tree (ours decodes into a VString first); writing from
// the tree back to UTF-8 bytes.
#include "core/CharSet.h"
#include "core/StStringConverter.h"
#include "json/VJSONArray.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A small deterministic generator, so that every run reads the same text.
class Random {
public:
	uint64_t Next()
	{
		fState ^= fState << 13;
		fState ^= fState >> 7;
		fState ^= fState << 17;
		return fState;
	}
	int Below(int inLimit) { return static_cast<int>(Next() % static_cast<uint64_t>(inLimit)); }
	double Real() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

private:
	uint64_t fState = 0x9E3779B97F4A7C15ull;
};

const char* const kWords[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
							  "india", "juliett", "kilo", "lima", "mike", "november", "oscar", "papa",
							  "québec", "roméo", "sierra", "tango", "uniform", "victor", "whiskey", "x-ray"};
constexpr int kWordCount = sizeof(kWords) / sizeof(kWords[0]);

void AppendText(std::string& ioText, Random& ioRandom, int inWords)
{
	ioText += '"';
	for (int i = 0; i < inWords; ++i) {
		if (i > 0)
			ioText += ' ';
		ioText += kWords[ioRandom.Below(kWordCount)];
	}
	// Now and then a character that needs an escape.
	if (ioRandom.Below(10) == 0)
		ioText += "\\n\\\"quoted\\\"";
	ioText += '"';
}

void AppendNumber(std::string& ioText, double inValue)
{
	char buffer[40];
	std::snprintf(buffer, sizeof(buffer), "%.17g", inValue);
	ioText += buffer;
}

std::string MakeDocument()
{
	Random random;
	std::string text;
	text.reserve(52 * 1024 * 1024);
	text += "{\"generated\":\"bench\",\"records\":[";
	for (int record = 0; text.size() < 50u * 1024 * 1024; ++record) {
		if (record > 0)
			text += ',';
		text += "{\"id\":" + std::to_string(record) + ",\"name\":";
		AppendText(text, random, 2);
		text += ",\"active\":";
		text += random.Below(2) != 0 ? "true" : "false";
		text += ",\"score\":";
		AppendNumber(text, random.Real() * 1000.0);
		text += ",\"ratio\":";
		AppendNumber(text, random.Real());
		text += ",\"count\":" + std::to_string(random.Below(100000));
		text += ",\"note\":";
		if (random.Below(4) == 0)
			text += "null";
		else
			AppendText(text, random, 6 + random.Below(10));
		text += ",\"address\":{\"street\":";
		AppendText(text, random, 3);
		text += ",\"city\":";
		AppendText(text, random, 1);
		text += ",\"zip\":\"" + std::to_string(10000 + random.Below(89999)) + "\",\"location\":[";
		AppendNumber(text, random.Real() * 180.0 - 90.0);
		text += ',';
		AppendNumber(text, random.Real() * 360.0 - 180.0);
		text += "]},\"tags\":[";
		for (int tag = 0, tags = 1 + random.Below(5); tag < tags; ++tag) {
			if (tag > 0)
				text += ',';
			AppendText(text, random, 1);
		}
		text += "],\"history\":[";
		for (int entry = 0, entries = random.Below(6); entry < entries; ++entry) {
			if (entry > 0)
				text += ',';
			text += "{\"day\":\"2024-" + std::to_string(1 + random.Below(12)) + "-" + std::to_string(1 + random.Below(28)) +
					"\",\"amount\":";
			AppendNumber(text, random.Real() * 10000.0);
			text += ",\"items\":[" + std::to_string(random.Below(1000)) + "," + std::to_string(random.Below(1000)) +
					"]}";
		}
		text += "]}";
	}
	text += "]}";
	return text;
}

const std::string& Document()
{
	static const std::string sDocument = MakeDocument();
	return sDocument;
}

void SetBytes(benchmark::State& state)
{
	state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Document().size()));
}

// Reading.

void BM_JSONTextParse_Ours(benchmark::State& state)
{
	const std::string& document = Document();
	for (auto _ : state) {
		qirn::VString text;
		text.FromBlock(document.data(), document.size(), qirn::VTC_UTF_8);
		qirn::VJSONValue value;
		qirn::VError error = qirn::VJSONImporter::ParseString(text, value, qirn::VJSONImporter::kOption_Strict);
		if (error != qirn::VE_OK)
			state.SkipWithError("the document did not parse");
		benchmark::DoNotOptimize(value);
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextParse_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JSONTextParse_PeerRapidJSON(benchmark::State& state)
{
	const std::string& document = Document();
	for (auto _ : state) {
		rapidjson::Document tree;
		tree.Parse<rapidjson::kParseFullPrecisionFlag>(document.data(), document.size());
		if (tree.HasParseError())
			state.SkipWithError("the document did not parse");
		benchmark::DoNotOptimize(tree);
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextParse_PeerRapidJSON)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JSONTextParse_PeerNlohmann(benchmark::State& state)
{
	const std::string& document = Document();
	for (auto _ : state) {
		nlohmann::json tree = nlohmann::json::parse(document);
		benchmark::DoNotOptimize(tree);
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextParse_PeerNlohmann)->Unit(benchmark::kMillisecond)->UseRealTime();

// simdjson reads from its own padded copy of the bytes, made once.
void BM_JSONTextParse_PeerSimdjson(benchmark::State& state)
{
	simdjson::padded_string padded(Document());
	simdjson::dom::parser parser;
	for (auto _ : state) {
		simdjson::dom::element tree;
		if (parser.parse(padded).get(tree) != simdjson::SUCCESS)
			state.SkipWithError("the document did not parse");
		benchmark::DoNotOptimize(tree);
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextParse_PeerSimdjson)->Unit(benchmark::kMillisecond)->UseRealTime();

// Writing, from trees read once.

const qirn::VJSONValue& OurTree()
{
	static const qirn::VJSONValue sTree = [] {
		qirn::VString text;
		text.FromBlock(Document().data(), Document().size(), qirn::VTC_UTF_8);
		qirn::VJSONValue value;
		qirn::VJSONImporter::ParseString(text, value, qirn::VJSONImporter::kOption_Strict);
		return value;
	}();
	return sTree;
}

void BM_JSONTextWrite_Ours(benchmark::State& state)
{
	const qirn::VJSONValue& tree = OurTree();
	for (auto _ : state) {
		qirn::VString text;
		if (tree.Stringify(text, qirn::VJSONWriter::kOption_Quotes) != qirn::VE_OK)
			state.SkipWithError("the tree was not written");
		qirn::StStringConverter<char> bytes(text, qirn::VTC_UTF_8);
		benchmark::DoNotOptimize(bytes.GetCPointer());
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextWrite_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JSONTextWrite_PeerRapidJSON(benchmark::State& state)
{
	rapidjson::Document tree;
	tree.Parse<rapidjson::kParseFullPrecisionFlag>(Document().data(), Document().size());
	for (auto _ : state) {
		rapidjson::StringBuffer buffer;
		rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
		tree.Accept(writer);
		benchmark::DoNotOptimize(buffer.GetString());
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextWrite_PeerRapidJSON)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JSONTextWrite_PeerNlohmann(benchmark::State& state)
{
	nlohmann::json tree = nlohmann::json::parse(Document());
	for (auto _ : state) {
		std::string text = tree.dump();
		benchmark::DoNotOptimize(text);
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextWrite_PeerNlohmann)->Unit(benchmark::kMillisecond)->UseRealTime();

// Floor measurements, not comparisons (no peer; see README.md): the work any
// reader into this model must do for the document whatever its parsing, the
// tree being built from a plan taken once from the parsed document: every
// string value a fresh UTF-16 buffer filled by copy, every property name a
// VString sharing the one buffer of its name, every value a VJSONValue,
// every object and array a counted container in its graph. Freed every
// iteration, as the parses free theirs.

enum class StepKind : uint8_t { kObject, kArray, kName, kString, kNumber, kTrue, kFalse, kNull };

struct Step {
	StepKind fKind;
	uint32_t fCount = 0;  // members of an object or array
	uint32_t fIndex = 0;  // name index, or first unit of a string
	uint32_t fLength = 0; // units of a string
	double fNumber = 0;
};

struct Plan {
	std::vector<Step> fSteps;
	std::vector<qirn::VString> fNames;
	std::vector<qirn::UniChar> fUnits;
	size_t fContainers = 0;
};

void AddToPlan(Plan& ioPlan, const qirn::VJSONValue& inValue)
{
	Step step{StepKind::kNull};
	if (const qirn::VJSONObject* object = inValue.GetObject()) {
		std::vector<const qirn::VJSONObject::PropertyMap::value_type*> ordered(object->_GetMap().size());
		for (const auto& entry : object->_GetMap())
			ordered[entry.second.second] = &entry;
		step.fKind = StepKind::kObject;
		step.fCount = static_cast<uint32_t>(ordered.size());
		ioPlan.fSteps.push_back(step);
		++ioPlan.fContainers;
		for (const auto* entry : ordered) {
			Step name{StepKind::kName};
			auto found = std::find_if(ioPlan.fNames.begin(), ioPlan.fNames.end(), [&](const qirn::VString& inName) {
				return inName.EqualToStringRaw(entry->first);
			});
			name.fIndex = static_cast<uint32_t>(found - ioPlan.fNames.begin());
			if (found == ioPlan.fNames.end())
				ioPlan.fNames.push_back(entry->first);
			ioPlan.fSteps.push_back(name);
			AddToPlan(ioPlan, entry->second.first);
		}
		return;
	}
	if (const qirn::VJSONArray* array = inValue.GetArray()) {
		step.fKind = StepKind::kArray;
		step.fCount = static_cast<uint32_t>(array->_GetValues().size());
		ioPlan.fSteps.push_back(step);
		++ioPlan.fContainers;
		for (const qirn::VJSONValue& element : array->_GetValues())
			AddToPlan(ioPlan, element);
		return;
	}
	switch (inValue.GetType()) {
		case qirn::JSON_string: {
			qirn::VString text;
			inValue.GetString(text);
			step.fKind = StepKind::kString;
			step.fIndex = static_cast<uint32_t>(ioPlan.fUnits.size());
			step.fLength = static_cast<uint32_t>(text.GetLength());
			ioPlan.fUnits.insert(ioPlan.fUnits.end(), text.GetCPointer(), text.GetCPointer() + text.GetLength());
			break;
		}
		case qirn::JSON_number:
			step.fKind = StepKind::kNumber;
			step.fNumber = inValue.GetNumber();
			break;
		case qirn::JSON_true: step.fKind = StepKind::kTrue; break;
		case qirn::JSON_false: step.fKind = StepKind::kFalse; break;
		default: break;
	}
	ioPlan.fSteps.push_back(step);
}

const Plan& DocumentPlan()
{
	static const Plan sPlan = [] {
		Plan plan;
		AddToPlan(plan, OurTree());
		return plan;
	}();
	return sPlan;
}

// A scalar step into its value: what every reader stores for it.
void FillScalar(const Plan& inPlan, const Step& inStep, qirn::VJSONValue& outValue)
{
	switch (inStep.fKind) {
		case StepKind::kString:
			outValue._SetStringFromUnits(inPlan.fUnits.data() + inStep.fIndex, static_cast<qirn::VIndex>(inStep.fLength));
			break;
		case StepKind::kNumber: outValue.SetNumber(inStep.fNumber); break;
		case StepKind::kTrue: outValue.SetBool(true); break;
		case StepKind::kFalse: outValue.SetBool(false); break;
		default: outValue.SetNull(); break;
	}
}

// The least a container of this model holds, with nothing of any
// implementation's: two virtual tables (object and counted), its count, its
// graph with one link of the graph's member list, its links counted in the
// graph, its locker and stamp; an object adds its implementation, class,
// construction level and flags, and its properties in insertion order, each
// a name and a value, the order being the place (no index, no hash table);
// an array its values. Each is sized once, as a reader that gathers the
// members first would size it.
struct FloorContainer {
	virtual ~FloorContainer() = default;
	void* fCounted = nullptr; // stands for the second virtual table
	uint32_t fCount = 1;
	uint32_t fContainerRefs = 0;
	void* fGraph = nullptr;
	FloorContainer* fNextMember = nullptr;
	void* fLocker = nullptr;
	void* fStamp = nullptr;
};

struct FloorProperty {
	FloorProperty(const qirn::VString& inName, qirn::VJSONValue&& ioValue) : fName(inName), fValue(std::move(ioValue)) {}
	qirn::VString fName;
	qirn::VJSONValue fValue;
};

struct FloorObject : FloorContainer {
	void* fImpl = nullptr;
	void* fClass = nullptr;
	uint32_t fConstructionLevel = 0;
	bool fUnderConstruction = false;
	bool fInternal = false;
	std::vector<FloorProperty> fProperties;
};

struct FloorArray : FloorContainer {
	std::vector<qirn::VJSONValue> fValues;
};

struct FloorGraph {
	FloorContainer* fFirst = nullptr;
	void Add(FloorContainer* ioMember)
	{
		ioMember->fGraph = this;
		ioMember->fNextMember = fFirst;
		++ioMember->fContainerRefs;
		fFirst = ioMember;
	}
	~FloorGraph()
	{
		while (fFirst != nullptr) {
			FloorContainer* next = fFirst->fNextMember;
			delete fFirst;
			fFirst = next;
		}
	}
};

// A container's slot holds a value of its own (here null: the stand-in
// containers are no kernel containers); the graph's list frees them.
void BuildLeast(const Plan& inPlan, size_t& ioStep, qirn::VJSONValue& outValue, FloorGraph& ioGraph)
{
	const Step& step = inPlan.fSteps[ioStep++];
	if (step.fKind == StepKind::kObject) {
		auto* object = new FloorObject;
		ioGraph.Add(object);
		object->fProperties.reserve(step.fCount);
		for (uint32_t i = 0; i < step.fCount; ++i) {
			const qirn::VString& name = inPlan.fNames[inPlan.fSteps[ioStep++].fIndex];
			qirn::VJSONValue value;
			BuildLeast(inPlan, ioStep, value, ioGraph);
			object->fProperties.emplace_back(name, std::move(value));
		}
		outValue.SetNull();
	} else if (step.fKind == StepKind::kArray) {
		auto* array = new FloorArray;
		ioGraph.Add(array);
		array->fValues.reserve(step.fCount);
		for (uint32_t i = 0; i < step.fCount; ++i) {
			qirn::VJSONValue value;
			BuildLeast(inPlan, ioStep, value, ioGraph);
			array->fValues.push_back(std::move(value));
		}
		outValue.SetNull();
	} else {
		FillScalar(inPlan, step, outValue);
	}
}

// The same through the kernel's own containers, as the importer stores
// members: a container is stored first, then filled.
void NewKernelContainer(const Step& inStep, qirn::VJSONValue& outValue)
{
	if (inStep.fKind == StepKind::kObject)
		outValue.SetObject(qirn::VRefPtr<qirn::VJSONObject>::Adopt(new qirn::VJSONObject(nullptr, nullptr, nullptr)).Get());
	else
		outValue.SetArray(qirn::VRefPtr<qirn::VJSONArray>::Adopt(new qirn::VJSONArray(false)).Get());
}

void FillKernelMembers(const Plan& inPlan, size_t& ioStep, const Step& inStep, const qirn::VJSONValue& inContainer)
{
	qirn::VJSONObject* object = inContainer.GetObject();
	qirn::VJSONArray* array = inContainer.GetArray();
	for (uint32_t i = 0; i < inStep.fCount; ++i) {
		const qirn::VString* name = object != nullptr ? &inPlan.fNames[inPlan.fSteps[ioStep++].fIndex] : nullptr;
		const Step& step = inPlan.fSteps[ioStep++];
		qirn::VJSONValue value;
		if (step.fKind == StepKind::kObject || step.fKind == StepKind::kArray) {
			NewKernelContainer(step, value);
			if (object != nullptr)
				object->SetProperty(*name, value);
			else
				array->Push(value);
			FillKernelMembers(inPlan, ioStep, step, value);
		} else {
			FillScalar(inPlan, step, value);
			if (object != nullptr)
				object->_SetParsedProperty(*name, std::move(value));
			else
				array->_PushParsed(std::move(value));
		}
	}
}

void BuildKernel(const Plan& inPlan, size_t& ioStep, qirn::VJSONValue& outValue)
{
	const Step& step = inPlan.fSteps[ioStep++];
	NewKernelContainer(step, outValue);
	FillKernelMembers(inPlan, ioStep, step, outValue);
}

// The least model: the floor of any reader of the document into it.
void BM_JSONTextParseFloor_LeastModel(benchmark::State& state)
{
	const Plan& plan = DocumentPlan();
	for (auto _ : state) {
		FloorGraph graph;
		qirn::VJSONValue root;
		size_t step = 0;
		BuildLeast(plan, step, root, graph);
		benchmark::DoNotOptimize(graph.fFirst);
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextParseFloor_LeastModel)->Unit(benchmark::kMillisecond)->UseRealTime();

// The kernel's containers as they are, with no parsing.
void BM_JSONTextParseFloor_KernelContainers(benchmark::State& state)
{
	const Plan& plan = DocumentPlan();
	for (auto _ : state) {
		qirn::VJSONValue root;
		size_t step = 0;
		BuildKernel(plan, step, root);
		benchmark::DoNotOptimize(root);
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextParseFloor_KernelContainers)->Unit(benchmark::kMillisecond)->UseRealTime();

// The UTF-8 bytes decoded into the VString that the importer reads.
void BM_JSONTextParseFloor_Decode(benchmark::State& state)
{
	const std::string& document = Document();
	for (auto _ : state) {
		qirn::VString text;
		text.FromBlock(document.data(), document.size(), qirn::VTC_UTF_8);
		benchmark::DoNotOptimize(text.GetCPointer());
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextParseFloor_Decode)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
