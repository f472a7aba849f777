#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// The text reader and writers go one call deeper for each nested container.
// Before each container they check that the task still has this much stack
// and that the nesting stays below the fixed limit, so that a hostile text
// or a tree built deep by code fails with an error instead of overflowing.
// Real documents nest a few tens of levels; 1000 leaves room for any of them
// while keeping what sanitizers record per call depth small. The stack kept
// free must also hold the raising of the error itself, which the debug
// manager hands to the logger with its formatted description: 10 KB was
// too little for that in the sanitizer builds, whose frames are larger.
constexpr size_t kJSONMinFreeStack = 64 * 1024;
constexpr uint32 kJSONMaxDepth = 1000;

// 0, or VE_STACK_OVERFLOW raised when inDepth (the containers already open)
// reaches the limit or the stack is nearly used up.
VError CheckJSONNesting(uint32 inDepth);

} // namespace qirn
