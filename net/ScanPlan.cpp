#include "net/ScanPlan.h"

#include <windows.h>
#include <algorithm>
#include <set>

namespace {
const Ipv4Network SCANNABLE[] = {
    {0x0A000000u, 8},   // 10/8
    {0xAC100000u, 12},  // 172.16/12
    {0xC0A80000u, 16},  // 192.168/16
    {0xA9FE0000u, 16},  // 169.254/16, link-local
    {0x7F000000u, 8},   // 127/8, this PC
};

std::string Trimmed(const std::string& strText) {
    size_t nStart = strText.find_first_not_of(" \t");
    if (nStart == std::string::npos) return std::string();
    return strText.substr(nStart, strText.find_last_not_of(" \t") - nStart + 1);
}

// Fills plan.targets from plan.networks, skipping the addresses in skip.
void ListTargets(ScanPlan& plan, const std::set<uint32_t>& skip) {
    std::set<uint32_t> seen(skip);
    for (const Ipv4Network& network : plan.networks) {
        uint64_t nHosts = HostCount(network);
        uint32_t uFirst = network.uBase + (network.nPrefix <= 30 ? 1 : 0);
        for (uint64_t i = 0; i < nHosts; ++i) {
            uint32_t uAddress = uFirst + static_cast<uint32_t>(i);
            if (seen.insert(uAddress).second) plan.targets.push_back(uAddress);
        }
    }
}
}  // namespace

bool IsScannableNetwork(const Ipv4Network& network) {
    for (const Ipv4Network& range : SCANNABLE)
        if (NetworkContains(range, network)) return true;
    return false;
}

bool IsScannableAddress(uint32_t uAddress) {
    return IsScannableNetwork(Ipv4Network{uAddress, 32});
}

uint64_t HostCount(const Ipv4Network& network) {
    uint64_t nAll = uint64_t(1) << (32 - network.nPrefix);
    return network.nPrefix <= 30 ? nAll - 2 : nAll;
}

ScanPlan PlanFromVariable(const std::string& strValue) {
    ScanPlan plan;
    plan.bFromVariable = true;
    uint64_t nTotal = 0;
    size_t nStart = 0;
    while (nStart <= strValue.size()) {
        size_t nComma = strValue.find(',', nStart);
        if (nComma == std::string::npos) nComma = strValue.size();
        std::string strEntry = Trimmed(strValue.substr(nStart, nComma - nStart));
        nStart = nComma + 1;
        if (strEntry.empty()) continue;
        Ipv4Network network;
        if (ParseIpv4Network(strEntry, &network) && IsScannableNetwork(network) &&
            nTotal + HostCount(network) <= SCAN_MAX_ADDRESSES) {
            nTotal += HostCount(network);
            plan.networks.push_back(network);
        } else {
            plan.refused.push_back(strEntry);
        }
    }
    ListTargets(plan, std::set<uint32_t>());
    return plan;
}

ScanPlan PlanFromAdapters(const std::vector<AdapterAddress>& adapters) {
    ScanPlan plan;
    std::set<uint32_t> own;
    uint64_t nTotal = 0;
    for (const AdapterAddress& adapter : adapters) {
        if (!adapter.bUp || adapter.bLoopback || (adapter.uAddress >> 24) == 127) continue;
        own.insert(adapter.uAddress);
        int nPrefix = std::min(32, std::max(24, adapter.nPrefix));
        Ipv4Network network{adapter.uAddress & PrefixMask(nPrefix), nPrefix};
        if (!IsScannableNetwork(network)) continue;  // a public address: not ours to scan
        if (std::find(plan.networks.begin(), plan.networks.end(), network) != plan.networks.end()) continue;
        if (nTotal + HostCount(network) > SCAN_MAX_ADDRESSES) continue;
        nTotal += HostCount(network);
        plan.networks.push_back(network);
    }
    ListTargets(plan, own);
    return plan;
}

ScanPlan PlanScanHere() {
    // Set at all, even to nothing usable: the variable decides, the
    // adapters' networks are never tried instead.
    char szProbe[1];
    ::SetLastError(ERROR_SUCCESS);
    DWORD nLength = ::GetEnvironmentVariableA(SCAN_NETWORKS_VARIABLE, szProbe, 0);
    if (nLength > 0 || ::GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
        std::string strValue(nLength + 1, '\0');
        DWORD nRead = ::GetEnvironmentVariableA(SCAN_NETWORKS_VARIABLE, &strValue[0], nLength + 1);
        strValue.resize(nRead < nLength + 1 ? nRead : 0);
        return PlanFromVariable(strValue);
    }
    return PlanFromAdapters(ReadAdapterAddresses());
}
