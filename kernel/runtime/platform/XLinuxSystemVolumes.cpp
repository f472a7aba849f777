#include "runtime/platform/XLinuxFiles.h"
#include "runtime/platform/XLinuxSystem.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <mntent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace qirn {

namespace {

bool IsNetworkFileSystem(const std::string& inType)
{
	static const char* const kNetworkTypes[] = {"nfs",	 "nfs4",	 "cifs",		"smb3",		 "smbfs",	   "ncpfs", "afs",
												"9p",	 "ceph",	 "glusterfs",	"fuse.sshfs", "davfs",	   "fuse.davfs2",
												"lustre", "fuse.glusterfs", "fuse.s3fs", "fuse.rclone"};
	for (const char* type : kNetworkTypes)
		if (inType == type)
			return true;
	return false;
}

std::string RealPath(const std::string& inPath)
{
	char resolved[PATH_MAX];
	return ::realpath(inPath.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// udev writes characters that are unsafe in a name as "\xHH".
std::string UnescapeUdevName(const std::string& inName)
{
	std::string name;
	for (size_t i = 0; i < inName.size(); ++i) {
		if (inName[i] == '\\' && i + 3 < inName.size() && inName[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(inName[i + 2])) &&
			std::isxdigit(static_cast<unsigned char>(inName[i + 3]))) {
			name += static_cast<char>(std::strtoul(inName.substr(i + 2, 2).c_str(), nullptr, 16));
			i += 3;
		} else {
			name += inName[i];
		}
	}
	return name;
}

// The name of the link in /dev/disk/<inFolder> that leads to the device
// node, or empty (no such link, or no udev).
std::string FindDiskLink(const char* inFolder, const std::string& inDeviceNode)
{
	const std::string folder = std::string("/dev/disk/") + inFolder;
	DIR* entries = ::opendir(folder.c_str());
	if (entries == nullptr)
		return std::string();
	std::string found;
	while (dirent* entry = ::readdir(entries)) {
		if (entry->d_name[0] == '.')
			continue;
		if (RealPath(folder + "/" + entry->d_name) == inDeviceNode) {
			found = UnescapeUdevName(entry->d_name);
			break;
		}
	}
	::closedir(entries);
	return found;
}

// The bus a disk hangs on, from its place in the device tree.
std::string DiskInterface(const std::string& inDiskPath)
{
	static const std::pair<const char*, const char*> kBuses[] = {
		{"/usb", "usb"}, {"/nvme", "nvme"}, {"/mmc", "mmc"}, {"/virtio", "virtio"}, {"/ata", "ata"}, {"/host", "scsi"}, {"/virtual/", "virtual"}};
	for (const auto& [marker, bus] : kBuses)
		if (inDiskPath.find(marker) != std::string::npos)
			return bus;
	return std::string();
}

// The block device of a mount: its source when that is a device node, else
// the device of the mount point itself. Empty when there is none (a memory
// or virtual file system).
std::string BlockDevicePath(const mntent& inMount)
{
	struct stat info {};
	dev_t device = 0;
	if (::stat(inMount.mnt_fsname, &info) == 0 && S_ISBLK(info.st_mode))
		device = info.st_rdev;
	else if (::stat(inMount.mnt_dir, &info) == 0)
		device = info.st_dev;
	else
		return std::string();
	return RealPath("/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device)));
}

} // namespace

void XLinuxSystem::ReadVolumes(std::vector<Volume>& outVolumes)
{
	outVolumes.clear();
	FILE* mounts = ::setmntent("/proc/self/mounts", "re");
	if (mounts == nullptr)
		return;
	mntent entry{};
	char buffer[4 * PATH_MAX];
	while (::getmntent_r(mounts, &entry, buffer, sizeof(buffer)) != nullptr) {
		struct statvfs figures {};
		if (::statvfs(entry.mnt_dir, &figures) != 0 || figures.f_blocks == 0)
			continue;
		Volume volume;
		volume.fMountPoint = entry.mnt_dir;
		volume.fFileSystem = entry.mnt_type;
		volume.fCapacity = static_cast<double>(figures.f_blocks) * static_cast<double>(figures.f_frsize) / 1024.0;
		volume.fAvailable = static_cast<double>(figures.f_bavail) * static_cast<double>(figures.f_frsize) / 1024.0;
		if (IsNetworkFileSystem(volume.fFileSystem)) {
			volume.fNetwork = true;
			volume.fInterface = "network";
			volume.fSize = volume.fCapacity;
			outVolumes.push_back(std::move(volume));
			continue;
		}
		// A volume on no disk (memory, overlay, pseudo file systems) is
		// left out.
		const std::string media = BlockDevicePath(entry);
		if (media.empty())
			continue;
		// A partition's disk is the folder above it.
		std::string disk = media;
		struct stat info {};
		if (::stat((media + "/partition").c_str(), &info) == 0)
			disk = media.substr(0, media.rfind('/'));
		const std::string node = "/dev/" + media.substr(media.rfind('/') + 1);
		volume.fName = FindDiskLink("by-label", node);
		volume.fInterface = DiskInterface(disk);
		volume.fDescription = XLinuxFiles::ReadFirstLine(disk + "/device/model");
		volume.fSize = std::strtod(XLinuxFiles::ReadFirstLine(media + "/size").c_str(), nullptr) * 512.0 / 1024.0;
		volume.fIdentifier = FindDiskLink("by-partuuid", node);
		outVolumes.push_back(std::move(volume));
	}
	::endmntent(mounts);
}

} // namespace qirn
