#pragma once

// Which sanitizer the test executable is built with, for the few cases whose
// cost under it is out of all proportion to what it could find there.

namespace qirn::testing {

#if defined(__SANITIZE_THREAD__)
inline constexpr bool kUnderThreadSanitizer = true;
#else
inline constexpr bool kUnderThreadSanitizer = false;
#endif

// An entity bomb makes the XML library allocate and free a reader of some
// 160 KB per expansion, up to its limit of 50,000: the thread sanitizer's
// bookkeeping of each block makes that parse take minutes, for one thread
// whose memory the address sanitizer build checks anyway.
inline constexpr bool kRunsEntityBombs = !kUnderThreadSanitizer;

} // namespace qirn::testing
