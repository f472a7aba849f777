#pragma once
// A client application's customisation: when the updater installs a client
// of a server, the bundle gets a server link file so that the relaunched
// client connects to its server, and its executable is made runnable.

#include "bags_xml/StPackedDictionaryKey.h"

namespace qirn {

class VFilePath;
class VJSONObject;

namespace StartupParametersBagKeys {
extern const StPackedDictionaryKey database_shortcut;
extern const StPackedDictionaryKey is_remote;
extern const StPackedDictionaryKey server_database_name;
extern const StPackedDictionaryKey cache_folder_name;
extern const StPackedDictionaryKey remote_shared_resources;
extern const StPackedDictionaryKey server_path;
} // namespace StartupParametersBagKeys

// Reads the customisation file (a JSON object with a text "ServerPlatform"),
// writes the link file into the bundle and makes its executable runnable.
// True when nothing failed; failures stay as errors on the task ('UPQX' 41
// for a file that is no such object).
bool FinishClientCustomization(const VFilePath& inCustomizationFile, const VFilePath& inBundle);
// Writes "Contents/Database/RoruzazUdivad.QXlink" in the bundle from the
// server's address ("BuildIPAdress", without which nothing is written),
// port, published name and cache folder name. Always true.
bool SetIPAdressOnClientPref(const VJSONObject& inInfo, const VFilePath& inBundle);
// Adds the three execute bits to the bundle's executable when one is
// missing. A bundle or executable that cannot be found is skipped.
bool FinishMacClientCustomization(const VFilePath& inBundle);

} // namespace qirn
