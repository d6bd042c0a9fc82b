// The PC's own IPv4 addresses, from the system's adapter list. Nothing is
// sent on any network to learn them.
#include <winsock2.h>
#include <iphlpapi.h>
#include <ws2tcpip.h>
#include <vector>
#include "net/ScanPlan.h"

std::vector<AdapterAddress> ReadAdapterAddresses() {
    std::vector<AdapterAddress> addresses;
    const ULONG FLAGS = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG nSize = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG nResult = ERROR_BUFFER_OVERFLOW;
    // The list may grow between the calls: a few tries.
    for (int nTry = 0; nTry < 4 && nResult == ERROR_BUFFER_OVERFLOW; ++nTry) {
        buffer.assign(nSize, 0);
        nResult = ::GetAdaptersAddresses(AF_INET, FLAGS, NULL,
                                         reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &nSize);
    }
    if (nResult != NO_ERROR) return addresses;
    for (const IP_ADAPTER_ADDRESSES* pAdapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         pAdapter; pAdapter = pAdapter->Next) {
        for (const IP_ADAPTER_UNICAST_ADDRESS* pUnicast = pAdapter->FirstUnicastAddress; pUnicast;
             pUnicast = pUnicast->Next) {
            const SOCKADDR* pSockaddr = pUnicast->Address.lpSockaddr;
            if (!pSockaddr || pSockaddr->sa_family != AF_INET) continue;
            AdapterAddress address;
            address.uAddress = ntohl(reinterpret_cast<const sockaddr_in*>(pSockaddr)->sin_addr.s_addr);
            address.nPrefix = pUnicast->OnLinkPrefixLength;
            address.bUp = pAdapter->OperStatus == IfOperStatusUp;
            address.bLoopback = pAdapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
            addresses.push_back(address);
        }
    }
    return addresses;
}
