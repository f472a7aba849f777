#include "files/platform/XLinuxVolumes.h"

#include "files/platform/XLinuxPathBytes.h"
#include "runtime/platform/XLinuxClock.h"

#include <algorithm>
#include <cstring>

namespace qirn {

XLinuxVolumes::XLinuxVolumes() : XLinuxVolumes(&ListSystemVolumes, &XLinuxClock::CoarseMilliseconds) {}

XLinuxVolumes::XLinuxVolumes(Source inSource, Clock inClock)
	: fSource(std::move(inSource)), fClock(std::move(inClock))
{
}

XLinuxVolumes::~XLinuxVolumes() = default;

XLinuxVolumes& XLinuxVolumes::Get()
{
	// Never destroyed: a path converted by a static destructor at exit still
	// finds it. It stays reachable, so no leak checker counts it.
	static XLinuxVolumes* const sInstance = new XLinuxVolumes();
	return *sInstance;
}

void XLinuxVolumes::ListSystemVolumes(std::vector<Volume>& outVolumes)
{
	outVolumes.clear();
	outVolumes.push_back(Volume{kRootMountPath, kRootVolumeName});
}

bool XLinuxVolumes::VolumeNameComparator::operator()(const VString& inA, const VString& inB) const
{
	if (inA.GetLength() != inB.GetLength())
		return inA.GetLength() < inB.GetLength();
	return inA.CompareToStringRaw(inB) == CR_SMALLER;
}

void XLinuxVolumes::_ReloadCacheIfNecessary()
{
	const uint32 now = fClock();
	if (fLoaded && now - fLastReload <= kReloadDelay)
		return;
	std::vector<Volume> volumes;
	fSource(volumes);
	fNamesByMountPath.clear();
	fMountPathsByName.clear();
	for (const Volume& volume : volumes) {
		VString name;
		VString mountPath;
		name.FromBlock(volume.fName.data(), volume.fName.size(), VTC_UTF_8);
		XLinuxPathBytes::ToText(volume.fMountPath.data(), volume.fMountPath.size(), mountPath);
		fNamesByMountPath[volume.fMountPath] = Name{volume.fName, name};
		fMountPathsByName[name] = mountPath;
	}
	fLastReload = now;
	fLoaded = true;
}

bool XLinuxVolumes::GetVolumeNameFromMountPath(const char* inMountPath, char* outName, size_t inSize)
{
	if (inMountPath == nullptr || outName == nullptr || inSize == 0)
		return false;
	StLocker<VCriticalSection> lock(fLock);
	_ReloadCacheIfNecessary();
	auto found = fNamesByMountPath.find(inMountPath);
	if (found == fNamesByMountPath.end() || found->second.fBytes.size() >= inSize)
		return false;
	std::memcpy(outName, found->second.fBytes.c_str(), found->second.fBytes.size() + 1);
	return true;
}

bool XLinuxVolumes::GetVolumeNameFromMountPath(const char* inMountPath, VString& outName)
{
	if (inMountPath == nullptr)
		return false;
	StLocker<VCriticalSection> lock(fLock);
	_ReloadCacheIfNecessary();
	auto found = fNamesByMountPath.find(inMountPath);
	if (found == fNamesByMountPath.end())
		return false;
	// Copied into the caller's own buffer: sharing the cache's would make
	// the caller's next edit allocate.
	outName.FromUniString(found->second.fText.GetCPointer(), found->second.fText.GetLength());
	return true;
}

bool XLinuxVolumes::GetMountPathFromVolumeName(const VString& inName, VString& outMountPath)
{
	StLocker<VCriticalSection> lock(fLock);
	_ReloadCacheIfNecessary();
	auto found = fMountPathsByName.find(inName);
	if (found == fMountPathsByName.end())
		return false;
	outMountPath.FromUniString(found->second.GetCPointer(), found->second.GetLength());
	return true;
}

CharSet XLinuxVolumes::DebugDump(char* ioBuffer, int32& ioSize) const
{
	StLocker<VCriticalSection> lock(fLock);
	std::string text;
	for (const auto& [mountPath, name] : fNamesByMountPath) {
		if (!text.empty())
			text += ", ";
		text += mountPath + " = " + name.fBytes;
	}
	const int32 size = ioSize > 0 ? static_cast<int32>(std::min<size_t>(text.size(), static_cast<size_t>(ioSize))) : 0;
	std::memcpy(ioBuffer, text.data(), static_cast<size_t>(size));
	ioSize = size;
	return VTC_UTF_8;
}

} // namespace qirn
