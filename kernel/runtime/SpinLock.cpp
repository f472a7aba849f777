#include "runtime/SpinLock.h"

#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VErrorContext.h"
#include "runtime/VSystem.h"
#include "runtime/VTaskMgr.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace qirn {

SpinLock::LockProc SpinLock::Lock = &SpinLock::LockMaxSpinsThenLoopYields;
SpinLock::LockProc SpinLock::Unlock = &SpinLock::ReleaseWord;
int32 SpinLock::sMaxSpins = 1;
bool SpinLock::sYieldAfterCheckEvent = false;

namespace {

// Up to maxSpins attempts, at least one, with maxSpins read once.
bool SpinAttempts(uint32* ioWord)
{
	const int32 maxSpins = SpinLock::sMaxSpins;
	int32 attempts = 0;
	do {
		if (SpinLock::TryLock(ioWord))
			return true;
	} while (++attempts < maxSpins);
	return false;
}

} // namespace

void SpinLock::LockMaxSpinsThenLoopYields(uint32* ioWord)
{
	if (SpinAttempts(ioWord))
		return;
	for (;;) {
		VTaskMgr::YieldNow();
		if (TryLock(ioWord))
			return;
	}
}

void SpinLock::LockLoopMaxSpinsAndYields(uint32* ioWord)
{
	for (;;) {
		if (SpinAttempts(ioWord))
			return;
		VTaskMgr::YieldNow();
		if (TryLock(ioWord))
			return;
	}
}

void SpinLock::LockAlwaysSleep(uint32* ioWord)
{
	if (TryLock(ioWord))
		return;
	const int32 limit = std::max<int32>(8, VSystem::GetNumberOfLogicalProcessors());
	for (int32 pass = 1;; ++pass) {
		// Not through the task's own sleep: that waits on the semaphore its
		// WakeUp signals, and would eat a wake-up meant for a later Sleep.
		if (pass < limit)
			VTaskMgr::YieldNow();
		else
			VSystem::Delay(1);
		if (TryLock(ioWord))
			return;
		if (pass == std::numeric_limits<int32>::max())
			pass = limit;
	}
}

void SpinLock::ReleaseWord(uint32* ioWord)
{
	_ReleaseWord(ioWord);
}

SpinLock::LockProc SpinLock::GetStrategy(ESpinLockMode inMode)
{
	switch (inMode) {
		case ESpinLockMode::kAlwaysSleep:
			return &LockAlwaysSleep;
		case ESpinLockMode::kLoopMaxSpinsAndYields:
			return &LockLoopMaxSpinsAndYields;
		case ESpinLockMode::kMaxSpinsThenLoopYields:
			break;
	}
	return &LockMaxSpinsThenLoopYields;
}

std::optional<ESpinLockMode> SpinLock::ModeFromName(const std::u16string& inName)
{
	const VString name(inName.data(), static_cast<VIndex>(inName.size()));
	auto equalsIgnoringCase = [&name](const char* inAscii) { return name.EqualToString(VString(inAscii), false); };
	// In this order, as the file's readers always tested them.
	if (equalsIgnoringCase("alwaysSleep"))
		return ESpinLockMode::kAlwaysSleep;
	if (equalsIgnoringCase("loopMaxSpinsAndYields"))
		return ESpinLockMode::kLoopMaxSpinsAndYields;
	if (equalsIgnoringCase("maxSpinsThenLoopYields"))
		return ESpinLockMode::kMaxSpinsThenLoopYields;
	return std::nullopt;
}

void SpinLock::ApplySettings(const SpinLockSettings& inSettings)
{
	if (inSettings.fMode) {
		if (std::optional<ESpinLockMode> mode = ModeFromName(*inSettings.fMode)) {
			Lock = GetStrategy(*mode);
			Unlock = &ReleaseWord;
		}
	}
	if (inSettings.fMaxSpins && !std::isnan(*inSettings.fMaxSpins)) {
		double spins = std::trunc(*inSettings.fMaxSpins);
		spins = std::clamp(spins, static_cast<double>(std::numeric_limits<int32>::min()),
						   static_cast<double>(std::numeric_limits<int32>::max()));
		sMaxSpins = static_cast<int32>(spins);
	}
	if (inSettings.fYieldAfterCheckEvent)
		sYieldAfterCheckEvent = *inSettings.fYieldAfterCheckEvent;
}

void SpinLock::_ConfigureFrom(const SpinLockSettings* inSettings)
{
	if (VTaskMgr::Get()->GetTaskCount(false) != 1)
		return;
	if (inSettings != nullptr)
		ApplySettings(*inSettings);
}

void SpinLock::Configure()
{
	if (VTaskMgr::Get()->GetTaskCount(false) != 1)
		return;
	SpinLockSettings settings;
	bool read = false;
	{
		// A missing or unreadable file is the common case, and a malformed one
		// only keeps the defaults: neither leaves an error behind.
		StErrorContextInstaller quiet(false, true);
		VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(VFolder::RetainSystemFolder(eFK_Executable, false));
		VRefPtr<VFile> file =
			folder ? VRefPtr<VFile>::Adopt(folder->RetainRelativeFile(VString("spinlock.prm"), FPS_POSIX)) : nullptr;
		VJSONValue content;
		if (file && file->Exists() && file->GetContentAsJSON(content, VTC_UTF_8) == VE_OK && content.IsObject()) {
			const VJSONObject* object = content.GetObject();
			VJSONValue mode = object->GetProperty(VString("mode"));
			if (mode.IsString()) {
				VString text;
				mode.GetString(text);
				settings.fMode = std::u16string(text.GetCPointer(), static_cast<size_t>(text.GetLength()));
			}
			VJSONValue maxSpins = object->GetProperty(VString("maxSpins"));
			if (maxSpins.IsNumber())
				settings.fMaxSpins = maxSpins.GetNumber();
			VJSONValue yield = object->GetProperty(VString("yieldAfterCheckEvent"));
			if (yield.IsBool())
				settings.fYieldAfterCheckEvent = yield.GetBool();
			read = true;
		}
	}
	_ConfigureFrom(read ? &settings : nullptr);
}

} // namespace qirn
