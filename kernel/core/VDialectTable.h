#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// One dialect: a Windows language identifier (primary language in the low
// 10 bits) and its names. Empty strings stand for a missing column.
struct VDialectRow {
	int32 fLangID;
	const char* fISO6391;
	const char* fISO6392;
	const char* fName;
	const char* fRegion;
	const char* fSubTag;
};

// The dialects the kernel knows, searched from the first row: a language
// identifier that appears twice answers with its first row.
constexpr int kDialectTableSize = 154;
extern const VDialectRow DialectTable[kDialectTableSize];

// The first row of a language identifier, or null.
const VDialectRow* FindDialectRow(int32 inLangID);

} // namespace qirn
