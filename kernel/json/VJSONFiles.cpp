// JSON text in files: reading and writing a file's whole content as UTF-8.

#include "files/IFile.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"

namespace qirn {

VError VJSONImporter::ParseFile(IFile* inFile, VJSONValue& outValue, uint32 inOptions)
{
	if (inFile == nullptr) {
		outValue.SetUndefined();
		return VE_OK;
	}
	VString path;
	inFile->GetPlatformPath(path, FPS_POSIX);
	VString text;
	VError error = inFile->GetContentAsString(text, VTC_UTF_8, eCRM_NONE);
	if (error != VE_OK) {
		if ((inOptions & kOption_UndefinedOnFailure) != 0)
			outValue.SetUndefined();
		return error;
	}
	VJSONImporter importer(text, inOptions);
	importer.fSourceName = path;
	return importer.Parse(outValue);
}

VError VJSONWriter::StringifyValueToFile(IFile* inFile, const VJSONValue& inValue, uint32 inOptions)
{
	if (inFile == nullptr)
		return VE_OK;
	VString text;
	VJSONWriter writer(inOptions);
	VError error = writer.StringifyValue(inValue, text);
	if (error != VE_OK)
		return error;
	return inFile->SetContentAsString(text, VTC_UTF_8, eCRM_NONE, false);
}

VError VJSONValue::LoadFromFile(IFile* inFile, bool inDates)
{
	return VJSONImporter::ParseFile(inFile, *this, inDates ? 0xC0 : 0);
}

VError VJSONValue::SaveToFile(IFile* inFile, uint32 inOptions) const
{
	return VJSONWriter::StringifyValueToFile(inFile, *this, inOptions);
}

} // namespace qirn
