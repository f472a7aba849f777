#include "runtime/platform/XLinuxFiles.h"
#include "runtime/platform/XLinuxSystem.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <linux/if_addr.h>
#include <map>
#include <net/if.h>
#include <netinet/in.h>
#include <set>
#include <utility>

namespace qirn {

namespace {

// IPv6 addresses not to offer: tentative, failed duplicate detection,
// deprecated, temporary (privacy) ones.
constexpr unsigned kUnwantedIPv6Flags = IFA_F_TENTATIVE | IFA_F_DADFAILED | IFA_F_DEPRECATED | IFA_F_TEMPORARY;

// The flags of every IPv6 address, by interface and address as text.
std::map<std::pair<std::string, std::string>, unsigned> ReadIPv6Flags()
{
	std::map<std::pair<std::string, std::string>, unsigned> flags;
	std::string text;
	if (!XLinuxFiles::ReadText("/proc/net/if_inet6", text))
		return flags;
	for (const std::string& line : XLinuxFiles::SplitLines(text)) {
		char hex[33] = {}, name[IF_NAMESIZE + 1] = {};
		unsigned index = 0, prefix = 0, scope = 0, addressFlags = 0;
		if (std::sscanf(line.c_str(), "%32s %x %x %x %x %16s", hex, &index, &prefix, &scope, &addressFlags, name) != 6)
			continue;
		in6_addr address{};
		for (int i = 0; i < 16; ++i) {
			char byte[3] = {hex[2 * i], hex[2 * i + 1], 0};
			address.s6_addr[i] = static_cast<unsigned char>(std::strtoul(byte, nullptr, 16));
		}
		char textual[INET6_ADDRSTRLEN] = {};
		if (::inet_ntop(AF_INET6, &address, textual, sizeof(textual)) != nullptr)
			flags[{name, textual}] = addressFlags;
	}
	return flags;
}

std::string InterfaceFile(const std::string& inName, const char* inEntry)
{
	return "/sys/class/net/" + inName + "/" + inEntry;
}

std::string InterfaceType(const std::string& inName)
{
	std::string uevent;
	XLinuxFiles::ReadText(InterfaceFile(inName, "uevent").c_str(), uevent, 4096);
	size_t at = uevent.find("DEVTYPE=");
	std::string deviceType;
	if (at != std::string::npos)
		deviceType = XLinuxFiles::Trim(uevent.substr(at + 8, uevent.find('\n', at) - at - 8));
	if (deviceType == "wlan")
		return "wifi";
	if (!deviceType.empty())
		return deviceType;
	// ARPHRD_ETHER
	if (XLinuxFiles::ReadFirstLine(InterfaceFile(inName, "type")) == "1")
		return "ethernet";
	return XLinuxFiles::ReadFirstLine(InterfaceFile(inName, "type"));
}

} // namespace

void XLinuxSystem::ReadAdapters(std::vector<Adapter>& outAdapters)
{
	outAdapters.clear();
	ifaddrs* list = nullptr;
	if (::getifaddrs(&list) != 0)
		return;
	const auto ipv6Flags = ReadIPv6Flags();
	std::map<std::string, std::vector<AdapterAddress>> byName;
	for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
		if (entry->ifa_addr == nullptr || entry->ifa_name == nullptr)
			continue;
		const int family = entry->ifa_addr->sa_family;
		if (family != AF_INET && family != AF_INET6)
			continue;
		// Up and multicast, neither loopback nor point-to-point.
		const unsigned wanted = IFF_UP | IFF_LOOPBACK | IFF_POINTOPOINT | IFF_MULTICAST;
		if ((entry->ifa_flags & wanted) != (IFF_UP | IFF_MULTICAST))
			continue;
		if (entry->ifa_netmask == nullptr || entry->ifa_netmask->sa_family != family)
			continue;
		char textual[INET6_ADDRSTRLEN] = {};
		const void* address = family == AF_INET
								  ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr)
								  : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(entry->ifa_addr)->sin6_addr);
		if (::inet_ntop(family, address, textual, sizeof(textual)) == nullptr)
			continue;
		if (family == AF_INET6) {
			// Flags that cannot be read keep the address.
			auto found = ipv6Flags.find({entry->ifa_name, textual});
			if (found != ipv6Flags.end() && (found->second & kUnwantedIPv6Flags) != 0)
				continue;
		}
		byName[entry->ifa_name].push_back({textual, family == AF_INET6});
	}
	::freeifaddrs(list);

	// The system's order of interfaces is their index order.
	if (struct if_nameindex* names = ::if_nameindex()) {
		for (const struct if_nameindex* name = names; name->if_index != 0 && name->if_name != nullptr; ++name) {
			auto found = byName.find(name->if_name);
			if (found == byName.end())
				continue;
			outAdapters.push_back({found->first, InterfaceType(found->first), std::move(found->second)});
			byName.erase(found);
		}
		::if_freenameindex(names);
	}
}

bool XLinuxSystem::ReadNetworkByteTotals(double& outReceived, double& outSent)
{
	std::string text;
	if (!XLinuxFiles::ReadText("/proc/net/dev", text))
		return false;
	outReceived = 0;
	outSent = 0;
	for (const std::string& line : XLinuxFiles::SplitLines(text)) {
		// "  name: rx_bytes rx_packets ... (8 receive figures) tx_bytes ..."
		size_t colon = line.find(':');
		if (colon == std::string::npos)
			continue;
		std::string name = XLinuxFiles::Trim(line.substr(0, colon));
		unsigned long long received = 0, sent = 0;
		if (std::sscanf(line.c_str() + colon + 1, "%llu %*u %*u %*u %*u %*u %*u %*u %llu", &received, &sent) != 2)
			continue;
		const unsigned long flags = std::strtoul(XLinuxFiles::ReadFirstLine(InterfaceFile(name, "flags")).c_str(), nullptr, 16);
		if ((flags & IFF_LOOPBACK) != 0 || name == "lo")
			continue;
		outReceived += static_cast<double>(received);
		outSent += static_cast<double>(sent);
	}
	return true;
}

} // namespace qirn
