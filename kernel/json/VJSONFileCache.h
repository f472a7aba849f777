#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "json/VJSONValue.h"
#include "runtime/VCriticalSection.h"

#include <map>

namespace qirn {

class VFilePath;

// JSON documents read from files, by the file's POSIX path, so that every
// reference into one file parses it once. May be shared by resolvers of
// several tasks: the map is locked, the documents themselves are not.
class VJSONFileCache : public VObject, public IRefCountable {
public:
	VJSONFileCache() = default;

	// The cached document (sharing its containers), or undefined.
	VJSONValue GetValue(const VFilePath& inPath) const;
	// Stores the document; an undefined value removes the entry.
	void SetValue(const VFilePath& inPath, const VJSONValue& inValue);
	size_t GetCount() const;

private:
	~VJSONFileCache() override = default;

	// Paths compare unit for unit: two names differing only in case are two
	// files on Linux.
	struct PathLess {
		bool operator()(const VString& inA, const VString& inB) const { return inA.CompareToStringRaw(inB) == CR_SMALLER; }
	};

	mutable VCriticalSection fLock;
	std::map<VString, VJSONValue, PathLess> fDocuments;
};

} // namespace qirn
