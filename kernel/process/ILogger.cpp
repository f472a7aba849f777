#include "process/ILogger.h"

#include "bags_xml/VValueBag.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "process/LogStackCrawl.h"
#include "process/VProcess.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "runtime/platform/XLinuxStackCrawl.h"

#include <atomic>
#include <cstring>

namespace qirn {

namespace {

std::atomic<uint64> sSequenceNumber{0};

void SetSourceOfProcess(VValueBag& ioBag)
{
	if (VProcess* process = VProcess::sInstance.load(std::memory_order_acquire); process != nullptr)
		ioBag.SetString(ILoggerBagKeys::source, process->GetLogSourceIdentifier());
	else
		ioBag.SetString(ILoggerBagKeys::source, VString());
}

void SetStackCrawl(VValueBag& ioBag, const VString& inCrawl)
{
	if (inCrawl.GetLength() == 0)
		return;
	VString line;
	CleanStackCrawlForLog(inCrawl, line);
	ioBag.SetString(ILoggerBagKeys::stack_crawl, line);
}

} // namespace

uint64 ILogger::GetSequenceNumber()
{
	return sSequenceNumber.fetch_add(1, std::memory_order_relaxed) + 1;
}

void ILogger::LogErrorIfNecessary(VErrorBase* inError)
{
	if (inError == nullptr || !ShouldLog(EML_Error))
		return;
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	ILoggerBagKeys::level.Set(*bag, EML_Error);
	inError->SaveToBag(*bag);
	VString description;
	inError->GetErrorDescription(description);
	bag->SetString(ILoggerBagKeys::message, description);
	const OsType component = COMPONENT_FROM_VERROR(inError->GetError());
	if (component != 0)
		bag->SetLong(ILoggerBagKeys::component_signature, static_cast<sLONG>(component));
	SetSourceOfProcess(*bag);
	VString crawl;
	inError->GetStackCrawl(crawl);
	SetStackCrawl(*bag, crawl);
	LogBag(bag.Get());
}

void ILogger::LogAssertIfNecessary(const char* inMessage, const char* inFile, int inLine)
{
	if (!ShouldLog(EML_Assert))
		return;
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	ILoggerBagKeys::level.Set(*bag, EML_Assert);
	const char* file = inFile != nullptr ? inFile : "";
	if (const char* slash = std::strrchr(file, '/'); slash != nullptr)
		file = slash + 1;
	bag->SetString(ILoggerBagKeys::file_name, VString(file));
	bag->SetLong(ILoggerBagKeys::line_number, inLine);
	bag->SetString(ILoggerBagKeys::message, VString(inMessage != nullptr ? inMessage : ""));
	// The two innermost frames are the capture and this function.
	XLinuxStackCrawl frames;
	frames.LoadFrames(2, 8);
	VString crawl;
	frames.Dump(crawl);
	SetStackCrawl(*bag, crawl);
	LogBag(bag.Get());
}

} // namespace qirn
