// The JSON descriptions of network adapters and mounted volumes, checked
// against what the system itself says of this machine.
#include "core/StStringConverter.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <set>
#include <string>
#include <sys/statvfs.h>
#include <vector>

namespace qirn {
namespace {

std::string UTF8(const VString& inText)
{
	StStringConverter<char> converter(inText, VTC_UTF_8);
	return std::string(converter.GetCPointer(), converter.GetLength());
}

std::string Text(const VJSONValue& inObject, const char* inName)
{
	VString text;
	inObject.GetProperty(VString(inName)).GetString(text);
	return UTF8(text);
}

// The property names in their insertion order.
std::vector<std::string> Names(const VJSONValue& inObject)
{
	std::vector<std::pair<size_t, std::string>> ordered;
	for (const auto& [name, property] : inObject.GetObject()->_GetMap())
		ordered.emplace_back(property.second, UTF8(name));
	std::sort(ordered.begin(), ordered.end());
	std::vector<std::string> names;
	for (const auto& entry : ordered)
		names.push_back(entry.second);
	return names;
}

std::vector<VJSONValue> Elements(const VJSONValue& inArray)
{
	std::vector<VJSONValue> values;
	if (inArray.GetArray() != nullptr)
		inArray.GetArray()->GetValues(values);
	return values;
}

// Interfaces up and multicast, neither loopback nor point-to-point, with an
// IPv4 address: each must be described with that address.
std::set<std::pair<std::string, std::string>> OfferedIPv4Addresses()
{
	std::set<std::pair<std::string, std::string>> offered;
	ifaddrs* list = nullptr;
	if (::getifaddrs(&list) != 0)
		return offered;
	for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
		if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET || entry->ifa_netmask == nullptr)
			continue;
		if ((entry->ifa_flags & (IFF_UP | IFF_LOOPBACK | IFF_POINTOPOINT | IFF_MULTICAST)) != (IFF_UP | IFF_MULTICAST))
			continue;
		char text[INET_ADDRSTRLEN] = {};
		::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr, text, sizeof(text));
		offered.emplace(entry->ifa_name, text);
	}
	::freeifaddrs(list);
	return offered;
}

TEST(SystemDescriptions, NetworkAdapters)
{
	VRefPtr<VJSONArray> adapters = VRefPtr<VJSONArray>::Adopt(new VJSONArray());
	VJSONValue previous(VString("kept"));
	adapters->Push(previous); // the call appends
	VSystem::GetNetworkAdaptersInformations(*adapters);
	std::vector<VJSONValue> values;
	adapters->GetValues(values);
	ASSERT_GE(values.size(), 1u);
	EXPECT_EQ(values.front().GetType(), JSON_string);

	std::set<std::pair<std::string, std::string>> described;
	for (size_t i = 1; i < values.size(); ++i) {
		const VJSONValue& adapter = values[i];
		SCOPED_TRACE(Text(adapter, "name"));
		ASSERT_TRUE(adapter.IsObject());
		EXPECT_EQ(Names(adapter), (std::vector<std::string>{"type", "name", "ipAddresses"}));
		EXPECT_NE(Text(adapter, "name"), "lo");
		const std::vector<VJSONValue> addresses = Elements(adapter.GetProperty(VString("ipAddresses")));
		EXPECT_FALSE(addresses.empty()); // an adapter without an address is not described
		for (const VJSONValue& address : addresses) {
			EXPECT_EQ(Names(address), (std::vector<std::string>{"ip", "type"}));
			const std::string ip = Text(address, "ip");
			const std::string type = Text(address, "type");
			unsigned char bytes[16];
			ASSERT_TRUE(type == "ipv4" || type == "ipv6") << type;
			EXPECT_EQ(::inet_pton(type == "ipv4" ? AF_INET : AF_INET6, ip.c_str(), bytes), 1) << ip;
			if (type == "ipv4")
				described.emplace(Text(adapter, "name"), ip);
		}
	}
	EXPECT_EQ(described, OfferedIPv4Addresses());
}

TEST(SystemDescriptions, MountedVolumes)
{
	VRefPtr<VJSONArray> volumes = VRefPtr<VJSONArray>::Adopt(new VJSONArray());
	VSystem::GetDiskPartitionsInfos(*volumes);
	std::vector<VJSONValue> values;
	volumes->GetValues(values);
	for (const VJSONValue& volume : values) {
		const std::string mountPoint = Text(volume, "mountPoint");
		SCOPED_TRACE(mountPoint);
		ASSERT_TRUE(volume.IsObject());
		EXPECT_EQ(Names(volume),
				  (std::vector<std::string>{"mountPoint", "capacity", "available", "filesystem", "name", "disk"}));
		// Kilobytes, as the file system counts them.
		struct statvfs figures {};
		ASSERT_EQ(::statvfs(mountPoint.c_str(), &figures), 0);
		EXPECT_DOUBLE_EQ(volume.GetProperty(VString("capacity")).GetNumber(),
						 static_cast<double>(figures.f_blocks) * figures.f_frsize / 1024.0);
		EXPECT_GT(volume.GetProperty(VString("capacity")).GetNumber(), 0.0);
		EXPECT_LE(volume.GetProperty(VString("available")).GetNumber(),
				  volume.GetProperty(VString("capacity")).GetNumber());
		EXPECT_FALSE(Text(volume, "filesystem").empty());
		// Pseudo and memory file systems are on no disk.
		EXPECT_NE(Text(volume, "filesystem"), "proc");
		EXPECT_NE(Text(volume, "filesystem"), "tmpfs");

		const VJSONValue disk = volume.GetProperty(VString("disk"));
		ASSERT_TRUE(disk.IsObject());
		if (Text(disk, "interface") == "network")
			EXPECT_EQ(Names(disk), (std::vector<std::string>{"interface", "description", "identifier", "size"}));
		else
			EXPECT_EQ(Names(disk), (std::vector<std::string>{"interface", "description", "size", "identifier"}));
		EXPECT_GT(disk.GetProperty(VString("size")).GetNumber(), 0.0);
	}
}

} // namespace
} // namespace qirn
