#include "json/IJSONClassStore.h"

namespace qirn {

std::atomic<IJSONClassStore::Getter> IJSONClassStore::sGetter{nullptr};

} // namespace qirn
