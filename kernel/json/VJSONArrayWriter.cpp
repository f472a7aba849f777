#include "json/VJSONArrayWriter.h"

#include "core/VReal.h"
#include "core/VValueSingle.h"

namespace qirn {

VJSONArrayWriter::VJSONArrayWriter() : fText("[")
{
}

VJSONArrayWriter::~VJSONArrayWriter() = default;

void VJSONArrayWriter::_Reopen()
{
	if (!fIsClosed)
		return;
	// The "]" goes and, after elements, the "," that closing took.
	if (fText.GetLength() > 0 && fText.GetUniChar(fText.GetLength()) == u']')
		fText.Truncate(fText.GetLength() - 1);
	if (fText.GetLength() > 1)
		fText.AppendUniChar(u',');
	fIsClosed = false;
}

void VJSONArrayWriter::_AppendElement(const VString& inText)
{
	_Reopen();
	fText.AppendString(inText);
	fText.AppendUniChar(u',');
}

void VJSONArrayWriter::Add(const VValueSingle& inValue, uint32 inOptions)
{
	VString text;
	if (inValue.GetJSONString(text, inOptions) == VE_OK)
		_AppendElement(text);
}

void VJSONArrayWriter::AddString(const char* inText, uint32 inOptions)
{
	if (inText != nullptr)
		AddString(VString(inText), inOptions);
}

void VJSONArrayWriter::AddString(const VString& inText, uint32 inOptions)
{
	Add(inText, inOptions);
}

void VJSONArrayWriter::AddBool(bool inValue)
{
	_AppendElement(VString(inValue ? "true" : "false"));
}

void VJSONArrayWriter::AddLong(sLONG inValue)
{
	VString text;
	text.FromLong(inValue);
	_AppendElement(text);
}

void VJSONArrayWriter::AddReal(Real inValue)
{
	VString text;
	VReal::RealToXMLString(inValue, text);
	_AppendElement(text);
}

void VJSONArrayWriter::AddJSONArray(VJSONArrayWriter& ioOther)
{
	VString text;
	ioOther.GetArray(text, false);
	_AppendElement(text);
}

void VJSONArrayWriter::AddLongs(const sLONG* inValues, int inCount)
{
	for (int i = 0; inValues != nullptr && i < inCount; ++i)
		AddLong(inValues[i]);
}

void VJSONArrayWriter::AddWords(const sWORD* inValues, int inCount)
{
	for (int i = 0; inValues != nullptr && i < inCount; ++i)
		AddLong(inValues[i]);
}

void VJSONArrayWriter::AddReals(const Real* inValues, int inCount)
{
	for (int i = 0; inValues != nullptr && i < inCount; ++i)
		AddReal(inValues[i]);
}

void VJSONArrayWriter::AddBools(const char* inValues, int inCount)
{
	for (int i = 0; inValues != nullptr && i < inCount; ++i)
		AddBool(inValues[i] != 0);
}

void VJSONArrayWriter::AddStrings(const std::vector<VString>& inValues, uint32 inOptions)
{
	for (const VString& value : inValues)
		AddString(value, inOptions);
}

void VJSONArrayWriter::Close()
{
	if (fIsClosed)
		return;
	const VIndex length = fText.GetLength();
	if (fText.IsNull() || length == 0)
		fText.FromCString("[]");
	else if (length == 1 && fText.GetUniChar(1) == u'[')
		fText.AppendUniChar(u']');
	else
		fText.Replace(VString("]"), length, 1);
	fIsClosed = true;
}

void VJSONArrayWriter::GetArray(VString& outText, bool inKeep)
{
	Close();
	outText.FromString(fText);
	if (!inKeep) {
		fText.FromCString("[]");
		fIsClosed = true;
	}
}

} // namespace qirn
