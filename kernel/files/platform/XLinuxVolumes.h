#pragma once

#include "core/VObject.h"
#include "core/VString.h"
#include "runtime/VCriticalSection.h"

#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace qirn {

// The process-wide cache of mounted volumes that path conversions ask: a
// mount path's volume name, and a name's mount path. Linux has no volume
// names: the system's list is the one root "/", named "Root", so that every
// absolute path lies on it. The cache keeps the shape of a real volume list
// (both maps, reloaded at most every 2,000 ms) over a source that a test
// may replace.
class XLinuxVolumes : public VObject {
public:
	struct Volume {
		std::string fMountPath; // bytes, as the system spells it
		std::string fName;		// UTF-8
	};
	// Lists the mounted volumes.
	using Source = std::function<void(std::vector<Volume>& outVolumes)>;
	// Milliseconds of a monotonic clock.
	using Clock = std::function<uint32()>;

	static constexpr uint32 kReloadDelay = 2000;
	static constexpr const char* kRootMountPath = "/";
	static constexpr const char* kRootVolumeName = "Root";

	// Over the system's list and the coarse monotonic clock.
	XLinuxVolumes();
	XLinuxVolumes(Source inSource, Clock inClock);
	~XLinuxVolumes() override;

	XLinuxVolumes(const XLinuxVolumes&) = delete;
	XLinuxVolumes& operator=(const XLinuxVolumes&) = delete;

	// The process's cache, made on first use and kept until the process ends.
	static XLinuxVolumes& Get();

	// The system's list: the root alone.
	static void ListSystemVolumes(std::vector<Volume>& outVolumes);

	// The name of the volume mounted at exactly that path, copied with its
	// NUL into out; false when no known volume is mounted there, or when the
	// name does not fit in inSize bytes (a cut name would name another one).
	bool GetVolumeNameFromMountPath(const char* inMountPath, char* outName, size_t inSize);
	// The same as text.
	bool GetVolumeNameFromMountPath(const char* inMountPath, VString& outName);
	// The mount path of the volume of that name (names compare unit by unit).
	bool GetMountPathFromVolumeName(const VString& inName, VString& outMountPath);

	// Shorter names first, names of one length unit by unit. Names are taken
	// as they are: Linux composes no text, so "é" and "e" + U+0301 are two names.
	struct VolumeNameComparator {
		bool operator()(const VString& inA, const VString& inB) const;
	};

	using VObject::DebugDump;
	CharSet DebugDump(char* ioBuffer, int32& ioSize) const override;

private:
	// Called under the lock.
	void _ReloadCacheIfNecessary();

	struct Name {
		std::string fBytes; // UTF-8
		VString fText;
	};
	std::unordered_map<std::string, Name> fNamesByMountPath;
	std::map<VString, VString, VolumeNameComparator> fMountPathsByName;
	uint32 fLastReload = 0;
	bool fLoaded = false;
	mutable VCriticalSection fLock;
	Source fSource;
	Clock fClock;
};

} // namespace qirn
