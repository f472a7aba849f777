#include "process/VLog4jMsgFileLogger.h"

#include "bags_xml/VValueBag.h"
#include "core/StStringConverter.h"
#include "core/TextUnits.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VTextConverter_UTF8.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "process/ILogger.h"
#include "process/VLogger.h"
#include "process/VProcess.h"
#include "process/VSplitableLogFile.h"

#include <cstring>
#include <string_view>

namespace qirn {

namespace {

// What a line writes before each attribute's value; an empty text leaves
// the attribute out (its value is part of the line already). Any other key
// is written as itself and "=".
struct StAttributeName {
	std::string_view fKey;
	std::string_view fWritten;
};
constexpr StAttributeName kLog4jAttributeNames[] = {
	{"message", ""},
	{"error_code", ""},
	{"level", ""},
	{"source", ""},
	{"component_signature", ""},
	{"task_id", "task="},
	{"task_name", "taskName="},
	{"socket", "socket="},
	{"local_addr", "localAddr="},
	{"local_port", "localPort="},
	{"peer_addr", "peerAddr="},
	{"peer_port", "peerPort="},
	{"exchange_id", "exchangeEndpointId="},
	{"is_blocking", "blocking="},
	{"is_ssl", "SSL="},
	{"is_select_io", "selectIO="},
	{"ms_timeout", "timeout="},
	{"count_bytes_asked", "asked="},
	{"count_bytes_sent", "sent="},
	{"count_bytes_received", "received="},
	{"ms_spent", "executionTime="},
	{"dump_offset", "offset="},
	{"dump_buffer", "data="},
	{"file_name", "fileName="},
	{"line_number", "lineNumber="},
	{"stack_crawl", "stackCrawl="},
	{"user_id", "UUID="},
};

// The table's entry of a key, null for any other. The keys are few and
// short: comparing lengths first beats hashing each key of each entry.
const StAttributeName* FindAttributeName(std::string_view inKey)
{
	for (const StAttributeName& name : kLog4jAttributeNames)
		if (name.fKey.size() == inKey.size() && name.fKey == inKey)
			return &name;
	return nullptr;
}

// Appends the UTF-8 form of the units.
void AppendUTF8(std::string& ioText, const UniChar* inUnits, VIndex inLength)
{
	if (inLength <= 0)
		return;
	const size_t start = ioText.size();
	// A unit needs at most 3 bytes, a surrogate pair 4 for its 2 units.
	ioText.resize(start + 3 * static_cast<size_t>(inLength));
	VFromUnicodeConverter_UTF8 converter;
	VIndex consumed = 0;
	VSize produced = 0;
	converter.Convert(inUnits, inLength, &consumed, ioText.data() + start, 3 * static_cast<VSize>(inLength),
					  &produced);
	ioText.resize(start + static_cast<size_t>(produced));
}

void AppendUTF8(std::string& ioText, const VString& inText)
{
	AppendUTF8(ioText, inText.GetCPointer(), inText.GetLength());
}

// An attribute's value in text form, each line feed written " ; ".
void AppendValueOnOneLine(std::string& ioText, const VString& inValue)
{
	const UniChar* units = inValue.GetCPointer();
	const VIndex length = inValue.GetLength();
	VIndex runStart = 0;
	for (VIndex i = 0; i < length; ++i) {
		if (units[i] == u'\n') {
			AppendUTF8(ioText, units + runStart, i - runStart);
			ioText.append(" ; ");
			runStart = i + 1;
		}
	}
	AppendUTF8(ioText, units + runStart, length - runStart);
}

void AppendSignature(std::string& ioSource, uint32 inSignature)
{
	if (inSignature == 0)
		return;
	if (!ioSource.empty())
		ioSource.push_back('.');
	for (int shift = 24; shift >= 0; shift -= 8)
		ioSource.push_back(static_cast<char>((inSignature >> shift) & 0xFF));
}

// The parts of an entry's line, in UTF-8. ioAttributes is room for the
// attribute list, kept between entries.
void ExtractLineParts(const VValueBag* inBag, std::string& outSource, EMessageLevel& outLevel,
					  std::string& outMessage, std::string& ioAttributes)
{
	outSource.clear();
	outMessage.clear();
	sLONG8 errorCode = 0;
	sLONG level = EML_Information;
	bool hasSource = false;
	bool hasSignature = false;
	sLONG8 signature = 0;
	std::string& attributes = ioAttributes;
	attributes.assign(" (");
	bool firstAttribute = true;
	VString text;
	if (inBag != nullptr) {
		const VValueBag::Attributes& all = inBag->GetAttributes();
		for (size_t i = 0; i < all.GetCount(); ++i) {
			const std::string_view key(all.GetKeyBytesAt(i), all.GetKeyLengthAt(i));
			const StAttributeName* found = FindAttributeName(key);
			if (found != nullptr && found->fWritten.empty()) {
				if (key == "message") {
					all.GetValueAt(i, text);
					AppendUTF8(outMessage, text);
				} else if (key == "source") {
					all.GetValueAt(i, text);
					AppendUTF8(outSource, text);
					hasSource = true;
				} else if (key == "level") {
					VLong value;
					all.GetValueAt(i, value);
					level = value.GetLong();
				} else if (key == "error_code") {
					VLong8 value;
					all.GetValueAt(i, value);
					errorCode = value.GetLong8();
				} else {
					VLong8 value;
					all.GetValueAt(i, value);
					signature = value.GetLong8();
					hasSignature = true;
				}
				continue;
			}
			if (!firstAttribute)
				attributes.append(", ");
			firstAttribute = false;
			if (found != nullptr) {
				attributes.append(found->fWritten);
			} else {
				attributes.append(key);
				attributes.push_back('=');
			}
			all.GetValueAt(i, text);
			AppendValueOnOneLine(attributes, text);
		}
	}
	attributes.push_back(')');
	if (!hasSource) {
		if (VProcess* process = VProcess::sInstance.load(std::memory_order_acquire); process != nullptr)
			AppendUTF8(outSource, process->GetLogSourceIdentifier());
	}
	if (!hasSignature && errorCode > static_cast<sLONG8>(0xFFFFFFFF))
		signature = static_cast<sLONG8>(static_cast<uLONG8>(errorCode) >> 32);
	AppendSignature(outSource, static_cast<uint32>(signature));
	if (errorCode != 0) {
		char prefix[24];
		const int length = std::snprintf(prefix, sizeof(prefix), "[%d] ", static_cast<int32>(errorCode & 0xFFFFFFFF));
		outMessage.insert(0, prefix, static_cast<size_t>(length));
	}
	outMessage.append(attributes);
	outLevel = static_cast<EMessageLevel>(level);
}

} // namespace

VLog4jMsgFileLogger::VLog4jMsgFileLogger(VFolder* inFolder, const VString& inName)
	: fFolder(inFolder), fName(inName), fListener(new VLog4jLogListener(this))
{
	fStartTime.SetNull(true);
}

VLog4jMsgFileLogger::~VLog4jMsgFileLogger()
{
	Stop();
	fListener->Release();
}

void VLog4jMsgFileLogger::BuildLogFileName(const VString& inName, int32 inNumber, VString& outName)
{
	VSplitableLogFile::BuildLogFileName(inName, inNumber, outName);
}

const char* VLog4jMsgFileLogger::GetMessageLevelName(EMessageLevel inLevel)
{
	return qirn::GetMessageLevelName(inLevel);
}

void VLog4jMsgFileLogger::GetLogInfosFromBag(const VValueBag* inBag, VString& outSource, EMessageLevel& outLevel,
											 VString& outMessage)
{
	std::string source;
	std::string message;
	std::string attributes;
	ExtractLineParts(inBag, source, outLevel, message, attributes);
	outSource.FromBlock(source.data(), static_cast<VSize>(source.size()), VTC_UTF_8);
	outMessage.FromBlock(message.data(), static_cast<VSize>(message.size()), VTC_UTF_8);
}

void VLog4jMsgFileLogger::Start()
{
	if (!fFolder || fName.IsNull() || fName.GetLength() == 0)
		return;
	// The run is looked for where the log file writes it: the name is one
	// element of the kernel's form, so a '/' in it is part of the name.
	int32 number = 1;
	for (;; ++number) {
		VFilePath path;
		VSplitableLogFile::BuildFilePath(fFolder.Get(), fName, number, path);
		if (!path.IsValid())
			break;
		VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(path));
		if (!file->Exists())
			break;
	}
	Start(number > 1 ? number - 1 : 1);
}

void VLog4jMsgFileLogger::Start(int32 inNumber)
{
	StLocker<VCriticalSection> startStop(fStartStopLock);
	{
		StLocker<VCriticalSection> lock(fLock);
		if (fLogFile != nullptr || !fFolder || fName.IsNull() || fName.GetLength() == 0)
			return;
		auto file = std::make_unique<VSplitableLogFile>(fFolder.Get(), fName, inNumber, false);
		if (!file->Open(false, false))
			return;
		fLogFile = std::move(file);
		VTime::Now(fStartTime);
	}
	// Outside the lock: a delivery holds the process logger's listener lock
	// while it waits for this logger's.
	if (VProcess* process = VProcess::sInstance.load(std::memory_order_acquire); process != nullptr) {
		if (VLogger* logger = process->GetLogger(); logger != nullptr)
			logger->AddLogListener(fListener);
	}
}

void VLog4jMsgFileLogger::Stop()
{
	StLocker<VCriticalSection> startStop(fStartStopLock);
	{
		StLocker<VCriticalSection> lock(fLock);
		if (fLogFile == nullptr)
			return;
	}
	// Removing flushes the process logger through this listener: what is
	// queued is written before the file closes.
	if (VProcess* process = VProcess::sInstance.load(std::memory_order_acquire); process != nullptr) {
		if (VLogger* logger = process->GetLogger(); logger != nullptr)
			logger->RemoveLogListener(fListener);
	}
	StLocker<VCriticalSection> lock(fLock);
	fLogFile.reset();
	fStartTime.SetNull(true);
}

bool VLog4jMsgFileLogger::IsStarted() const
{
	StLocker<VCriticalSection> lock(fLock);
	return fLogFile != nullptr;
}

void VLog4jMsgFileLogger::Pause()
{
	StLocker<VCriticalSection> lock(fLock);
	fPaused = true;
}

void VLog4jMsgFileLogger::Resume()
{
	StLocker<VCriticalSection> lock(fLock);
	fPaused = false;
}

bool VLog4jMsgFileLogger::IsPaused() const
{
	StLocker<VCriticalSection> lock(fLock);
	return fPaused;
}

void VLog4jMsgFileLogger::Flush()
{
	StLocker<VCriticalSection> lock(fLock);
	if (fLogFile != nullptr)
		fLogFile->Flush();
}

bool VLog4jMsgFileLogger::ShouldLog(EMessageLevel inLevel) const
{
	StLocker<VCriticalSection> lock(fLock);
	return fLogFile != nullptr && (fLevelMask & (1u << (static_cast<uint32>(inLevel) & 31))) != 0;
}

void VLog4jMsgFileLogger::GetLogFolderPath(VFilePath& outPath) const
{
	if (fFolder)
		outPath.FromFilePath(fFolder->GetPath());
	else
		outPath.Clear();
}

void VLog4jMsgFileLogger::GetLogName(VString& outName) const
{
	outName.FromString(fName);
}

void VLog4jMsgFileLogger::SetLogMaxNumberToKeep(int32 inMax)
{
	StLocker<VCriticalSection> lock(fLock);
	if (fLogFile != nullptr)
		fLogFile->SetMaxLogsToKeep(inMax);
}

int32 VLog4jMsgFileLogger::GetLogMaxNumberToKeep() const
{
	StLocker<VCriticalSection> lock(fLock);
	return fLogFile != nullptr ? fLogFile->GetMaxLogsToKeep() : 0;
}

bool VLog4jMsgFileLogger::_ShouldWrite(EMessageLevel inLevel) const
{
	return fLogFile != nullptr && !fPaused && (fLevelMask & (1u << (static_cast<uint32>(inLevel) & 31))) != 0;
}

void VLog4jMsgFileLogger::_AppendTime(std::string& ioLine)
{
	VTime now;
	VTime::Now(now);
	const sLONG8 milliseconds = now.GetMilliseconds();
	sLONG8 second = milliseconds / 1000;
	sLONG8 millisecond = milliseconds % 1000;
	if (millisecond < 0) {
		millisecond += 1000;
		--second;
	}
	// The text up to the seconds changes once a second: the local time is
	// worked out then only. Zone offsets are whole seconds, so the
	// milliseconds are the same in any zone.
	if (second != fTimeSecond) {
		VString text;
		now.GetRfc3339String(text, VTime::kRFC3339_NoOffset);
		StStringConverter<char> utf8(text, VTC_UTF_8);
		const size_t length = std::min<size_t>(19, static_cast<size_t>(utf8.GetLength()));
		std::memcpy(fTimePrefix, utf8.GetCPointer(), length);
		fTimePrefix[length] = 0;
		fTimeSecond = second;
	}
	ioLine.append(fTimePrefix);
	const char digits[4] = {'.', static_cast<char>('0' + millisecond / 100), static_cast<char>('0' + millisecond / 10 % 10),
							static_cast<char>('0' + millisecond % 10)};
	ioLine.append(digits, 4);
}

void VLog4jMsgFileLogger::_WriteLine(std::string_view inSource, EMessageLevel inLevel, std::string_view inMessage)
{
	if (!_ShouldWrite(inLevel))
		return;
	const uint64 sequence = ILogger::GetSequenceNumber();
	std::string& line = fLine;
	line.clear();
	if (sequence != 0) {
		char digits[24];
		char* end = digits + sizeof(digits);
		const char* begin = FormatDecimal(sequence, end);
		line.append(begin, static_cast<size_t>(end - begin));
		line.push_back(' ');
	}
	_AppendTime(line);
	line.append(" [");
	line.append(inSource);
	line.append("] ");
	line.append(GetMessageLevelName(inLevel));
	line.append(" - ");
	line.append(inMessage);
	line.push_back('\n');
	fLogFile->AppendBytes(line);
	// A very long message leaves a large buffer behind: give it back.
	if (line.capacity() > 65536) {
		line.clear();
		line.shrink_to_fit();
	}
}

void VLog4jMsgFileLogger::VLog4jLogListener::Put(const std::vector<const VValueBag*>& inBags)
{
	VLog4jMsgFileLogger& logger = *fLogger;
	StLocker<VCriticalSection> lock(logger.fLock);
	if (logger.fLogFile == nullptr)
		return;
	for (const VValueBag* bag : inBags) {
		EMessageLevel level = EML_Information;
		ExtractLineParts(bag, logger.fSource, level, logger.fMessage, logger.fAttributes);
		logger._WriteLine(logger.fSource, level, logger.fMessage);
	}
	if (logger.fLogFile != nullptr)
		logger.fLogFile->Flush();
}

void VLog4jMsgFileLogger::VLog4jLogListener::Log(const char* inSource, EMessageLevel inLevel, const char* inMessage)
{
	StLocker<VCriticalSection> lock(fLogger->fLock);
	fLogger->_WriteLine(inSource != nullptr ? inSource : "", inLevel, inMessage != nullptr ? inMessage : "");
}

void VLog4jMsgFileLogger::VLog4jLogListener::Log(const VString& inSource, EMessageLevel inLevel,
												 const VString& inMessage)
{
	std::string source;
	std::string message;
	AppendUTF8(source, inSource);
	AppendUTF8(message, inMessage);
	StLocker<VCriticalSection> lock(fLogger->fLock);
	fLogger->_WriteLine(source, inLevel, message);
}

} // namespace qirn
