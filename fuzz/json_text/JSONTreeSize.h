#pragma once

// How many values a tree's text would hold, each container met again
// (shared) counted again as a text writer expands it. A few hundred bytes of
// binary form can share containers into a tree whose text would take
// gigabytes; harnesses write text only for trees below a bound.
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"

#include <cstdint>
#include <unordered_map>

namespace qirn::fuzz {

class VJSONTreeSize {
public:
	// The most values a harness writes as text. Inputs of a few KB reach it
	// only by sharing; their texts are written, read and written again
	// several times, and ten times this bound made one such input take 15 s.
	static constexpr uint64_t kWrittenLimit = 10000;

	// True when the expanded tree holds at most inLimit values. A cycle
	// counts once: writers refuse it or write it in the binary form.
	static bool AtMost(const VJSONValue& inValue, uint64_t inLimit = kWrittenLimit)
	{
		VJSONTreeSize counter;
		return counter._Count(inValue, inLimit) <= inLimit;
	}

private:
	uint64_t _Count(const VJSONValue& inValue, uint64_t inLimit)
	{
		const void* container = inValue.IsObject() ? static_cast<const void*>(inValue.GetObject())
						   : inValue.IsArray()	   ? static_cast<const void*>(inValue.GetArray())
												   : nullptr;
		if (container == nullptr)
			return 1;
		auto [entry, added] = fSizes.emplace(container, 1);
		if (!added)
			return entry->second;
		uint64_t total = 1;
		if (const VJSONArray* array = inValue.GetArray()) {
			for (size_t i = 0; i < array->GetCount() && total <= inLimit; ++i)
				total += _Count(array->GetAt(i), inLimit);
		} else {
			for (const auto& member : inValue.GetObject()->_GetMap()) {
				if (total > inLimit)
					break;
				total += _Count(member.second.first, inLimit);
			}
		}
		if (total > inLimit)
			total = inLimit + 1;
		fSizes[container] = total;
		return total;
	}

	std::unordered_map<const void*, uint64_t> fSizes;
};

} // namespace qirn::fuzz
