#include "json/VJSONArrayReader.h"

#include "json/VJSONErrors.h"
#include "json/VJSONImporter.h"

namespace qirn {

VJSONArrayReader::VJSONArrayReader() = default;

VJSONArrayReader::VJSONArrayReader(const VString& inText)
{
	_Parse(inText);
}

VJSONArrayReader::~VJSONArrayReader() = default;

void VJSONArrayReader::FromJSONString(const VString& inText)
{
	_Parse(inText);
}

void VJSONArrayReader::_Parse(const VString& inText)
{
	fError = VE_OK;
	fCount = 0;
	fElements.clear();
	if (inText.IsNull() || inText.IsEmpty()) {
		fError = VE_JSON_MALFORMED;
		return;
	}
	VJSONImporter importer(inText, 0);
	VString text;
	bool quoted = false;
	VJSONImporter::JsonToken token;
	do {
		token = importer.GetNextJSONToken(nullptr);
	} while (token != VJSONImporter::jsonNone && token != VJSONImporter::jsonBeginArray);
	bool closed = false;
	while (token != VJSONImporter::jsonNone && !closed) {
		token = importer.GetNextJSONToken(text, &quoted, nullptr);
		if (token == VJSONImporter::jsonEndArray) {
			closed = true;
		} else if (token == VJSONImporter::jsonBeginArray) {
			// A nested array is passed over whole.
			int depth = 1;
			while (depth > 0) {
				token = importer.GetNextJSONToken(nullptr);
				if (token == VJSONImporter::jsonNone)
					break;
				if (token == VJSONImporter::jsonBeginArray)
					++depth;
				else if (token == VJSONImporter::jsonEndArray)
					--depth;
			}
		} else if (token == VJSONImporter::jsonString) {
			fElements.push_back(text);
		}
	}
	if (!closed) {
		fError = VE_JSON_MALFORMED;
		fElements.clear();
		return;
	}
	fCount = static_cast<sLONG>(fElements.size());
}

sLONG VJSONArrayReader::GetCountOfElements(VError* outError) const
{
	if (outError != nullptr)
		*outError = fError;
	return fCount;
}

template <class T, class Convert>
VError VJSONArrayReader::_ToArray(T* outValues, Convert inConvert) const
{
	if (fError != VE_OK)
		return fError;
	if (outValues == nullptr)
		return VE_OK;
	for (sLONG i = 0; i < fCount; ++i)
		outValues[i] = inConvert(fElements[static_cast<size_t>(i)]);
	return VE_OK;
}

VError VJSONArrayReader::ToArrayShort(sWORD* outValues) const
{
	return _ToArray(outValues, [](const VString& inText) { return inText.GetWord(); });
}

VError VJSONArrayReader::ToArrayLong(sLONG* outValues) const
{
	return _ToArray(outValues, [](const VString& inText) { return inText.GetLong(); });
}

VError VJSONArrayReader::ToArrayReal(Real* outValues) const
{
	return _ToArray(outValues, [](const VString& inText) { return inText.GetReal(); });
}

VError VJSONArrayReader::ToArrayBool(char* outValues) const
{
	static const VString sTrue("true");
	return _ToArray(outValues, [](const VString& inText) { return static_cast<char>(inText.EqualToString(sTrue, false) ? 1 : 0); });
}

VError VJSONArrayReader::ToArrayString(std::vector<VString>& ioValues, bool inAppend) const
{
	if (!inAppend)
		ioValues.clear();
	if (fError == VE_OK)
		ioValues.insert(ioValues.end(), fElements.begin(), fElements.end());
	return fError;
}

} // namespace qirn
