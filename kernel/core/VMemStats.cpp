#include "core/VMemStats.h"

#include "core/VString.h"
#include "files/VStream.h"

namespace qirn {

namespace {

std::string TagText(OsType inTag)
{
	std::string text(4, ' ');
	for (int i = 0; i < 4; ++i)
		text[i] = static_cast<char>((inTag >> (8 * (3 - i))) & 0xFF);
	return text;
}

void AppendLine(std::string& ioText, const char* inLabel, uint64 inValue)
{
	ioText += inLabel;
	ioText += std::to_string(inValue);
	ioText += '\n';
}

} // namespace

void VMemStats::Clear()
{
	fFreeMem = fUsedMem = 0;
	fNbPages = fNbObjects = fNbSmallBlocks = fNbFreeSmallBlocks = fNbUsedSmallBlocks = 0;
	fNbBigBlocks = fNbFreeBigBlocks = fNbUsedBigBlocks = 0;
	fBiggestBlock = fBiggestFreeBlock = 0;
	fObjectsByClass.clear();
	fBlocksByTag.clear();
	fSmallBlocksBySize.clear();
	fPagesBySize.clear();
	fOtherBigBlocksBySize.clear();
}

void VMemStats::AddObject(const std::string& inClassName, uint64 inSize)
{
	VObjectInfo& info = fObjectsByClass[inClassName];
	info.fClassName = inClassName;
	++info.fCount;
	info.fTotalSize += inSize;
	++fNbObjects;
}

void VMemStats::AddTaggedBlock(OsType inTag, uint64 inSize)
{
	VBlockTagInfo& info = fBlocksByTag[inTag];
	++info.fCount;
	info.fTotalSize += inSize;
}

std::string VMemStats::GetReport() const
{
	std::string text;
	AppendLine(text, "Used Mem = ", fUsedMem);
	AppendLine(text, "Free Mem = ", fFreeMem);
	AppendLine(text, "Biggest Free Block = ", fBiggestFreeBlock);
	text += "\n\n";
	AppendLine(text, "Nb Objects = ", fNbObjects);
	text += "\n\n";
	for (const auto& [name, info] : fObjectsByClass)
		text += name + " : " + std::to_string(info.fCount) + "   ,  mem = " + std::to_string(info.fTotalSize) + "\n";
	text += "\n\n";
	text += "Blocks by Tags\n";
	text += "\n\n";
	for (const auto& [tag, info] : fBlocksByTag)
		text += TagText(tag) + " : " + std::to_string(info.fCount) + "   ,  mem = " + std::to_string(info.fTotalSize) +
				"\n";
	return text;
}

VError VMemStats::DumpToStream(VStream* ioStream) const
{
	std::string report = GetReport();
	VString text;
	text.FromBlock(report.data(), report.size(), VTC_UTF_8);
	return ioStream->PutText(text);
}

std::string VMemStats::Dump() const
{
	std::string text = GetReport();
	text += "\n\n";
	AppendLine(text, "Nb Big Blocks = ", fNbBigBlocks);
	AppendLine(text, "Nb Used Big Blocks = ", fNbUsedBigBlocks);
	AppendLine(text, "Nb Free Big Blocks = ", fNbFreeBigBlocks);
	AppendLine(text, "Nb Pages containing small blocks = ", fNbPages);
	AppendLine(text, "Nb Small Blocks = ", fNbSmallBlocks);
	AppendLine(text, "Nb Used Small Blocks = ", fNbUsedSmallBlocks);
	AppendLine(text, "Nb Free Small Blocks = ", fNbFreeSmallBlocks);
	AppendLine(text, "Biggest Block = ", fBiggestBlock);
	text += "\n\nSmall Blocks\n\n";
	for (const auto& [size, count] : fSmallBlocksBySize)
		text += std::to_string(size) + " : NbUsed = " + std::to_string(count.fUsed) +
				" , NbFree = " + std::to_string(count.fFree) + "\n";
	text += "\n\nAllocation Pages\n\n";
	for (const auto& [size, count] : fPagesBySize)
		text += std::to_string(size) + " : NbFull = " + std::to_string(count.fFull) +
				" , NbPartial = " + std::to_string(count.fPartial) + "\n";
	text += "\n\nOther Big Blocks\n\n";
	for (const auto& [size, count] : fOtherBigBlocksBySize)
		text += std::to_string(size) + " : NbUsed = " + std::to_string(count.fUsed) +
				" , NbFree = " + std::to_string(count.fFree) + "\n";
	return text;
}

} // namespace qirn
