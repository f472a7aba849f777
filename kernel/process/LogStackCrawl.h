#pragma once

namespace qirn {

class VString;

// A stack crawl of one frame a line, innermost first, made into one line
// for a log entry: each frame's first parameter list, the kernel's namespace,
// "non-virtual thunk to " and a trailing " const" go, and the frames are
// joined with " <- ".
void CleanStackCrawlForLog(const VString& inCrawl, VString& outLine);

} // namespace qirn
