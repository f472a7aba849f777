#pragma once

#include "core/CharSet.h"
#include "core/VMemoryBuffer.h"
#include "files/IFileSystemObject.h"

namespace qirn {

class IFolder;
class VFile;
class VJSONValue;

// A file's content and life, on disk or elsewhere. Content is read and
// written whole; the text forms are built once here over the byte forms.
class IFile : public IFileSystemObject {
public:
	// The whole content, the buffer sized to it exactly.
	virtual VError GetContent(VMemoryBuffer<>& outContent) const = 0;
	// Up to inSize bytes from the start; outRead gets the count read.
	virtual VError GetData(void* outData, VSize inSize, VSize* outRead) const = 0;
	// Replaces the whole content.
	virtual VError SetContent(const void* inData, VSize inSize) const = 0;
	virtual VError AppendContent(const void* inData, VSize inSize) const = 0;
	virtual VError Delete() const = 0;
	virtual bool IsWritable() const = 0;
	virtual VError GetSize(sLONG8* outSize) const = 0;
	virtual VError CopyTo(const IFile& inDestination, uint32 inOptions) const = 0;
	// Into the folder under the file's own name; outFile, when given, gets
	// the copy (one reference for the caller) or null.
	virtual VError CopyTo(const IFolder& inDestination, VFile** outFile, uint32 inOptions) const = 0;

	// The file name without its extension.
	void GetNameWithoutExtension(VString& outName) const override;

	// The whole content as text: a byte-order mark at its start decides the
	// character set, else inCharSet; line ends become inMode's. The text is
	// empty when reading fails. Answers the last error raised.
	VError GetContentAsString(VString& outText, CharSet inCharSet, ECarriageReturnMode inMode) const;
	// Writes the text as the whole content in inCharSet, its line ends made
	// inMode's, after the set's byte-order mark when asked and the text is not
	// empty. Nothing is written when the text cannot be encoded (error 208
	// for a set without a converter). Answers the last error raised.
	VError SetContentAsString(const VString& inText, CharSet inCharSet, ECarriageReturnMode inMode,
							  bool inWithBOM) const;
	// The whole content read as text (a byte-order mark decides the
	// character set, else inCharSet) and parsed as JSON into outValue, dates
	// in their non-ambiguous forms. Answers the reading or parsing error.
	VError GetContentAsJSON(VJSONValue& outValue, CharSet inCharSet) const;
	// Writes the value as quoted JSON text, indented, through
	// SetContentAsString; nothing is written when the value cannot be written.
	VError SetContentAsJSON(const VJSONValue& inValue, CharSet inCharSet, ECarriageReturnMode inMode,
							bool inWithBOM) const;
	// This file's whole content becomes the destination's; nothing is written
	// when reading fails. A null destination only reads. Answers the first
	// error.
	VError CopyContentTo(const IFile* inDestination) const;
};

} // namespace qirn
