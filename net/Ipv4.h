// IPv4 addresses and networks in their dotted text form. Pure: no sockets.
#pragma once
#include <stdint.h>
#include <string>

// A network: its first address (host bits clear) and its prefix length.
struct Ipv4Network {
    uint32_t uBase = 0;
    int nPrefix = 32;
    bool operator==(const Ipv4Network& other) const { return uBase == other.uBase && nPrefix == other.nPrefix; }
};

// "a.b.c.d": four decimal parts of one to three ASCII digits, each at most
// 255 (a leading zero is read as decimal, never octal); nothing else, no
// blanks. Host order (a is the highest byte).
bool ParseIpv4(const std::string& strText, uint32_t* puAddress);
std::string FormatIpv4(uint32_t uAddress);
// "a.b.c.d/n" with n from 0 to 32, or a bare address (a /32). Host bits
// that are set are cleared: "192.168.2.7/24" is 192.168.2.0/24.
bool ParseIpv4Network(const std::string& strText, Ipv4Network* pNetwork);
std::string FormatIpv4Network(const Ipv4Network& network);

uint32_t PrefixMask(int nPrefix);  // 24 gives 0xFFFFFF00
bool NetworkContains(const Ipv4Network& outer, const Ipv4Network& inner);
