#pragma once

// Every public header of the kernel.

#include "core/CharSet.h"
#include "core/IRefCountable.h"
#include "core/SharedBuffer.h"
#include "core/VByteSwap.h"
#include "core/VCppMemMgr.h"
#include "core/VKernelTypes.h"
#include "core/VLeaksChecker.h"
#include "core/VMemCppImpl_stdlib.h"
#include "core/VMemory.h"
#include "core/VMemoryBuffer.h"
#include "core/VMemStats.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/XMemCppImpl.h"

#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "files/VStream.h"

#include "host/HostBundle.h"

#include "runtime/SpinLock.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VError.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VSystem.h"
#include "runtime/VTaskMgr.h"
