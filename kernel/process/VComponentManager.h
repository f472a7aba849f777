#pragma once

#include "core/VIntlMgr.h"
#include "core/VKernelTypes.h"

namespace qirn {

class VFolder;

// The process-wide registry of plug-in components, and the choice of the
// language a bundle's localizations are read in.
class VComponentManager {
public:
	VComponentManager() = delete;

	// The language of the ".lproj" folders of a folder (of its
	// "Contents/Resources" with inBundle). Without a wanted language (0) the
	// main bundle's preferred localization decides when it has
	// localizations; otherwise the wanted one (US English without either) is
	// looked for: a folder of that language gives it, else an English
	// folder gives US English, else the last language folder seen. -2 for a
	// missing folder or one without language folders.
	static DialectCode GetLocalizationLanguage(VFolder* inFolder, bool inBundle, DialectCode inWanted);
};

} // namespace qirn
