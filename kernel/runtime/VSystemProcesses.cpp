#include "runtime/VSystem.h"

#include "core/VString.h"
#include "files/VFilePath.h"
#include "files/platform/XLinuxFile.h"
#include "files/platform/XLinuxPathBytes.h"
#include "runtime/platform/XLinuxSystem.h"

#include <string>

namespace qirn {

namespace {

void FromUTF8(const std::string& inText, VString& outText)
{
	outText.FromBlock(inText.data(), inText.size(), VTC_UTF_8);
}

} // namespace

void VSystem::GetProcessList(std::vector<pid_t>& ioIds)
{
	XLinuxSystem::ReadProcessIds(ioIds);
}

bool VSystem::GetProcessName(pid_t inPid, VString& outName)
{
	std::string name;
	if (!XLinuxSystem::ReadProcessName(inPid, name))
		return false;
	FromUTF8(name, outName);
	return true;
}

bool VSystem::GetProcessPath(pid_t inPid, VString& outPath)
{
	std::string path;
	if (!XLinuxSystem::ReadProcessPath(inPid, path))
		return false;
	FromUTF8(path, outPath);
	return true;
}

bool VSystem::KillProcess(pid_t inPid)
{
	return XLinuxSystem::KillProcess(inPid);
}

bool VSystem::WaitForProcess(pid_t inPid, sLONG inTimeout, EWFP_Reason* outReason)
{
	int32 reason = 0;
	bool ended = XLinuxSystem::WaitForProcess(inPid, inTimeout < 0, &reason);
	if (!ended && reason != 0 && outReason != nullptr)
		*outReason = static_cast<EWFP_Reason>(reason);
	return ended;
}

void VSystem::GetLoginUserName(VString& outName)
{
	std::string name = XLinuxSystem::ReadUserFullName();
	if (!name.empty())
		FromUTF8(name, outName);
}

void VSystem::GetCurrentUserName(VString& outName)
{
	std::string name = XLinuxSystem::ReadUserName();
	if (!name.empty())
		FromUTF8(name, outName);
}

bool VSystem::SearchExecutablePath(const VString& inName, VFilePath& outPath)
{
	// The name crosses as the bytes of a file name, so a name that is not
	// UTF-8 still finds its file; one with no byte form names none.
	std::string name, found;
	if (!XLinuxPathBytes::ToBytes(inName, name) || !XLinuxSystem::SearchExecutablePath(name, found))
	{
		outPath.Clear();
		return false;
	}
	XLinuxFile::GetFilePathFromPosixPath(found.c_str(), false, outPath);
	return outPath.IsValid();
}

void VSystem::GetHostName(VString& outName)
{
	std::string name = XLinuxSystem::ReadHostName();
	if (!name.empty())
		FromUTF8(name, outName);
}

} // namespace qirn
