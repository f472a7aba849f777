#include "process/LogStackCrawl.h"

#include <string>

#include "core/VString.h"

namespace qirn {

namespace {

void RemoveAll(std::u16string& ioLine, const std::u16string& inText)
{
	for (size_t found = ioLine.find(inText); found != std::u16string::npos; found = ioLine.find(inText, found))
		ioLine.erase(found, inText.size());
}

void CleanLine(std::u16string& ioLine)
{
	const size_t open = ioLine.find(u'(');
	const size_t close = ioLine.find(u')');
	if (open != std::u16string::npos && close != std::u16string::npos && close > open)
		ioLine.erase(open, close - open + 1);
	RemoveAll(ioLine, u"qirn::");
	RemoveAll(ioLine, u"non-virtual thunk to ");
	static const std::u16string kConst = u" const";
	if (ioLine.size() >= kConst.size() && ioLine.compare(ioLine.size() - kConst.size(), kConst.size(), kConst) == 0)
		ioLine.erase(ioLine.size() - kConst.size());
}

} // namespace

void CleanStackCrawlForLog(const VString& inCrawl, VString& outLine)
{
	const std::u16string crawl(inCrawl.GetCPointer(), static_cast<size_t>(inCrawl.GetLength()));
	std::u16string result;
	size_t start = 0;
	bool first = true;
	// A crawl ends with a line feed: no empty frame follows it.
	while (start < crawl.size()) {
		size_t end = crawl.find(u'\n', start);
		if (end == std::u16string::npos)
			end = crawl.size();
		std::u16string line = crawl.substr(start, end - start);
		CleanLine(line);
		if (!first)
			result += u" <- ";
		result += line;
		first = false;
		start = end + 1;
	}
	outLine = VString(result.data(), static_cast<VIndex>(result.size()));
}

} // namespace qirn
