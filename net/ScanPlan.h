// Which addresses a search for TVs tries: the networks of the PC's own
// adapters (at most the /24 around each), or those the environment variable
// DAVREL_SCAN_NETWORKS names instead; only private, link-local and loopback
// ranges, at most SCAN_MAX_ADDRESSES in all. Computing the plan sends nothing.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>
#include "net/Ipv4.h"

const size_t SCAN_MAX_ADDRESSES = 1024;
const char SCAN_NETWORKS_VARIABLE[] = "DAVREL_SCAN_NETWORKS";

// 10/8, 172.16/12, 192.168/16, 169.254/16 and 127/8.
bool IsScannableNetwork(const Ipv4Network& network);
bool IsScannableAddress(uint32_t uAddress);
// The addresses a network's hosts may have: without its network and
// broadcast addresses up to a /30; a /31 and a /32 as they are.
uint64_t HostCount(const Ipv4Network& network);

// One IPv4 address of an adapter, as GetAdaptersAddresses reports it.
struct AdapterAddress {
    uint32_t uAddress = 0;
    int nPrefix = 24;
    bool bUp = true;
    bool bLoopback = false;
};

struct ScanPlan {
    bool bFromVariable = false;          // the variable was set: the adapters were not asked
    std::vector<Ipv4Network> networks;   // scanned, in order
    std::vector<std::string> refused;    // entries of the variable left out, as written
    std::vector<uint32_t> targets;       // every address tried, each once, in order
};

// The variable's comma-separated list ("127.0.0.0/24, 192.168.2.0/24").
// Malformed entries, networks outside the ranges above and networks that
// would take the total over SCAN_MAX_ADDRESSES are refused; empty entries
// are ignored.
ScanPlan PlanFromVariable(const std::string& strValue);
// The /24 around each adapter's address (its own network when smaller),
// adapters that are down and loopback ones left out; the PC's own
// addresses are not tried.
ScanPlan PlanFromAdapters(const std::vector<AdapterAddress>& adapters);
// The variable when it is set (even to nothing usable), else the adapters.
ScanPlan PlanScanHere();
// The PC's IPv4 adapter addresses (net/Adapters.cpp); asks the system only.
std::vector<AdapterAddress> ReadAdapterAddresses();
