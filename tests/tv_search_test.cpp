// The search for TVs: which addresses it may try, the one message it sends
// and how it reads the answer (tables of bytes), then the scanner against
// listeners of this test on loopback addresses.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>

#include "net/AdbProbe.h"
#include "net/Ipv4.h"
#include "net/ScanPlan.h"
#include "net/TvScanner.h"
#include "support/LoopbackListener.h"

namespace {

uint32_t Ip(const char* pszText) {
    uint32_t uAddress = 0;
    EXPECT_TRUE(ParseIpv4(pszText, &uAddress)) << pszText;
    return uAddress;
}

std::string Networks(const ScanPlan& plan) {
    std::string strText;
    for (const Ipv4Network& network : plan.networks) strText += FormatIpv4Network(network) + " ";
    return strText;
}

std::string Le(uint32_t uValue) {
    std::string strBytes;
    for (int i = 0; i < 4; ++i) strBytes.push_back(static_cast<char>(uValue >> (8 * i)));
    return strBytes;
}

// A message as a daemon sends it; the sum is adb's unless given.
std::string Message(uint32_t uCommand, uint32_t uArg0, const std::string& strPayload, int64_t nSum = -1,
                    uint32_t uMagicXor = 0xFFFFFFFFu) {
    return Le(uCommand) + Le(uArg0) + Le(4096) + Le(static_cast<uint32_t>(strPayload.size())) +
           Le(nSum < 0 ? AdbByteSum(strPayload) : static_cast<uint32_t>(nSum)) + Le(uCommand ^ uMagicXor) + strPayload;
}

bool WaitForReceived(const CLoopbackListener& listener) {  // its connection closed
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < 6000; Sleep(20))
        if (!listener.Received().empty()) return true;
    return false;
}

const char BANNER[] = "device::ro.product.name=mitv;ro.product.model=MiTV-4A;ro.product.device=mitv4a;features=shell_v2,cmd";

TEST(Ipv4, AddressesAreReadAsDecimalAndStrictly) {
    EXPECT_EQ(0x0A000008u, Ip("010.0.0.008"));  // never octal
    for (const char* pszBad : {"1.2.3.4 ", "1.2.3.0x1", "1.2.3.1000", "\xA3\xB1.2.3.4"}) {
        uint32_t uAddress = 0;
        EXPECT_FALSE(ParseIpv4(pszBad, &uAddress)) << pszBad;
    }
}

TEST(ScanPlan, TheVariableNamesTheNetworksAndEachRefusalStandsAlone) {
    ScanPlan plan = PlanFromVariable(" 127.0.0.64/30 , ,192.168.2.9/32,10.1.2.0/31");
    EXPECT_TRUE(plan.bFromVariable);
    EXPECT_EQ("127.0.0.64/30 192.168.2.9/32 10.1.2.0/31 ", Networks(plan));
    EXPECT_TRUE(plan.refused.empty());
    // A /30 without its network and broadcast addresses; a /31 and /32 whole.
    std::vector<uint32_t> expected = {Ip("127.0.0.65"), Ip("127.0.0.66"), Ip("192.168.2.9"), Ip("10.1.2.0"),
                                      Ip("10.1.2.1")};
    EXPECT_EQ(expected, plan.targets);
    // Each of the ranges, wholly inside, is taken.
    for (const char* pszAllowed : {"10.255.0.0/24", "172.16.0.0/24", "172.31.255.0/24", "192.168.255.0/24",
                                   "169.254.3.0/24", "127.0.1.0/24", "10.0.0.0/22"}) {
        EXPECT_EQ(1u, PlanFromVariable(pszAllowed).networks.size()) << pszAllowed;
    }
    // Each refused entry alone leaves nothing to scan, and is named.
    for (const char* pszRefused :
         {"8.8.8.0/24", "172.15.255.0/24", "172.32.0.0/24", "172.0.0.0/8", "192.169.0.0/24", "192.167.255.0/24",
          "169.253.0.0/24", "169.255.0.0/24", "128.0.0.0/24", "126.255.255.0/24", "11.0.0.0/24", "9.255.255.255",
          "0.0.0.0/0", "10.0.0.0/7", "224.0.0.0/24", "255.255.255.255",
          "10.0.0.0/21", "127.0.0.0/8",                                            // over 1,024 addresses
          "10.0.0/24", "10.0.0.0/33", "10.0.0.0/", "10.0.0.0/-1", "10.0.0.0/24x", "10.0.0.0/024", "10.0.0.0 /24",
          "/24", "localhost", "10.0.0.0-10.0.0.9", "１０.0.0.0/24"}) {  // malformed
        ScanPlan refused = PlanFromVariable(pszRefused);
        EXPECT_TRUE(refused.targets.empty()) << pszRefused;
        EXPECT_EQ(std::vector<std::string>{pszRefused}, refused.refused);
    }
    // The cap counts the whole list: the network that would pass it is left out, later small ones are not.
    plan = PlanFromVariable("10.0.0.0/22,10.1.0.0/24,10.2.0.1");
    EXPECT_EQ("10.0.0.0/22 10.2.0.1/32 ", Networks(plan));
    EXPECT_EQ(std::vector<std::string>{"10.1.0.0/24"}, plan.refused);
    EXPECT_EQ(1023u, plan.targets.size());
    // Overlapping entries try each address once.
    EXPECT_EQ(254u, PlanFromVariable("127.0.5.0/24,127.0.5.7").targets.size());
}

TEST(ScanPlan, AdaptersGiveTheSlash24AroundThemWithoutThePcItself) {
    std::vector<AdapterAddress> adapters(7);
    adapters[0] = {Ip("192.168.1.23"), 24, true, false};
    adapters[1] = {Ip("10.8.3.4"), 8, true, false};        // a wide network: only its /24
    adapters[2] = {Ip("172.20.0.9"), 29, true, false};     // a small one: itself
    adapters[3] = {Ip("192.168.7.2"), 24, false, false};   // down
    adapters[4] = {Ip("127.0.0.1"), 8, true, true};        // loopback
    adapters[5] = {Ip("203.0.113.5"), 24, true, false};    // public: not ours to scan
    adapters[6] = {Ip("192.168.1.99"), 24, true, false};   // the same /24 again
    ScanPlan plan = PlanFromAdapters(adapters);
    EXPECT_FALSE(plan.bFromVariable);
    EXPECT_EQ("192.168.1.0/24 10.8.3.0/24 172.20.0.8/29 ", Networks(plan));
    EXPECT_EQ(252u + 253u + 5u, plan.targets.size());  // the PC's own four addresses left out
    for (uint32_t uOwn : {Ip("192.168.1.23"), Ip("192.168.1.99"), Ip("10.8.3.4"), Ip("172.20.0.9")})
        EXPECT_EQ(plan.targets.end(), std::find(plan.targets.begin(), plan.targets.end(), uOwn));
    // At most 1,024 addresses: four /24s, the fifth adapter's left out.
    std::vector<AdapterAddress> many;
    for (int i = 0; i < 5; ++i) many.push_back({0x0A000005u + (uint32_t(i) << 8), 24, true, false});
    EXPECT_EQ(4u, PlanFromAdapters(many).networks.size());
    // This machine's adapters, asked without sending anything.
    ScanPlan here = PlanFromAdapters(ReadAdapterAddresses());
    EXPECT_LE(here.targets.size(), SCAN_MAX_ADDRESSES);
    for (uint32_t uAddress : here.targets) EXPECT_TRUE(IsScannableAddress(uAddress) && (uAddress >> 24) != 127);
}

TEST(ScanPlan, WithTheVariableSetNoOtherAddressIsTried) {
    ASSERT_TRUE(SetEnvironmentVariableA(SCAN_NETWORKS_VARIABLE, "127.0.0.200/31,127.0.0.9"));
    ScanPlan plan = PlanScanHere();
    EXPECT_TRUE(plan.bFromVariable);
    EXPECT_EQ((std::vector<uint32_t>{Ip("127.0.0.200"), Ip("127.0.0.201"), Ip("127.0.0.9")}), plan.targets);
    // Set to nothing usable: nothing is tried, the adapters are not asked instead.
    for (const char* pszUnusable : {"", "8.8.8.0/24", "garbage"}) {
        ASSERT_TRUE(SetEnvironmentVariableA(SCAN_NETWORKS_VARIABLE, pszUnusable));
        plan = PlanScanHere();
        EXPECT_TRUE(plan.bFromVariable && plan.targets.empty()) << pszUnusable;
    }
    ASSERT_TRUE(SetEnvironmentVariableA(SCAN_NETWORKS_VARIABLE, "127.0.0.0/24"));
}

TEST(AdbProbe, TheHelloIsAdbsOwnFirstMessage) {
    EXPECT_EQ(562u, AdbByteSum(std::string("host::\0", 7)));
    EXPECT_EQ(0u, AdbByteSum(""));
    EXPECT_EQ(0xFFu * 3, AdbByteSum("\xFF\xFF\xFF"));  // bytes are unsigned
    const std::string HELLO = BuildConnectMessage();
    EXPECT_EQ(Message(ADB_CNXN, ADB_VERSION, std::string("host::\0", 7)), HELLO);
    EXPECT_EQ(std::string("CNXN\0\0\0\x01\0\x10\0\0\x07\0\0\0\x32\x02\0\0\xBC\xB1\xA7\xB1host::\0", 31), HELLO);
}

TEST(AdbProbe, AnswersAsBytes) {
    const std::string CNXN = Message(ADB_CNXN, ADB_VERSION, BANNER + std::string(1, '\0'));
    const std::string STLS = Message(0x534C5453, 0x01000000, "");
    const struct { std::string strBytes; ProbeVerdict verdict; const char* pszModel; } ANSWERS[] = {
        {CNXN, PROBE_TV, "MiTV-4A"},
        {Message(ADB_CNXN, 0x01000001, BANNER, 0), PROBE_TV, "MiTV-4A"},  // newer daemons send no sum
        {Message(ADB_CNXN, ADB_VERSION, "device::ro.product.name=box;ro.product.device=b1"), PROBE_TV, "box"},
        {Message(ADB_CNXN, ADB_VERSION, "device::ro.product.model=;ro.product.device=b1;"), PROBE_TV, "b1"},
        // Control characters, bidirectional marks and terminal escapes go; UTF-8 becomes GBK; long names are cut.
        {Message(ADB_CNXN, ADB_VERSION, "device::ro.product.model=A\x1B[31mB\r\nC\x7F\xE2\x80\xAE" "D\xC2\x85"),
         PROBE_TV, "A[31mBCD"},
        {Message(ADB_CNXN, ADB_VERSION, "device::ro.product.model=\xE5\xB0\x8F\xE7\xB1\xB3\xE7\x94\xB5\xE8\xA7\x86"),
         PROBE_TV, "\xD0\xA1\xC3\xD7\xB5\xE7\xCA\xD3"},  // 小米电视
        {Message(ADB_CNXN, ADB_VERSION, "device::ro.product.model=%s%n\\..\\" + std::string(60, 'x')), PROBE_TV,
         "%s%n\\..\\xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
        {Message(ADB_AUTH, ADB_AUTH_TOKEN, std::string(20, '\x5A')), PROBE_NEEDS_AUTH, ""},
        // Not a TV's answer.
        {Message(ADB_AUTH, 2, std::string(20, 'x')), PROBE_NOT_TV, ""},
        {STLS, PROBE_NOT_TV, ""},
        {Message(ADB_CNXN, ADB_VERSION, "host::\0"), PROBE_NOT_TV, ""},
        {Message(ADB_CNXN, ADB_VERSION, "recovery::ro.product.model=X"), PROBE_NOT_TV, ""},
        {Message(ADB_CNXN, ADB_VERSION, BANNER, 12345), PROBE_NOT_TV, ""},           // a wrong sum
        {Message(ADB_CNXN, ADB_VERSION, BANNER, -1, 0x12345678), PROBE_NOT_TV, ""},  // a wrong magic
        {"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nServer: x\r\n\r\n", PROBE_NOT_TV, ""},
        {"SSH-2.0-dropbear\r\n", PROBE_INCOMPLETE, ""},  // under a header: the end decides
        {Message(ADB_CNXN, ADB_VERSION, "").substr(0, 12) + Le(4097) + Le(0) + Le(~ADB_CNXN) + "device::",
         PROBE_NOT_TV, ""},  // longer than we take
        {Message(ADB_CNXN, ADB_VERSION, BANNER).substr(0, 40), PROBE_INCOMPLETE, ""},
    };
    for (const auto& c : ANSWERS) {
        ProbeAnswer answer = ReadProbeAnswer(c.strBytes);
        EXPECT_EQ(c.verdict, answer.verdict) << c.strBytes;
        EXPECT_EQ(c.pszModel, answer.strModel) << c.strBytes;
    }
}

TEST(TvScanner, ProbesOnlyItsTargetsOnceEachAndTellsTvsApart) {
    // Listeners on loopback addresses of their own, one port for all; 127.0.0.165 has none.
    const std::string CNXN = Message(ADB_CNXN, ADB_VERSION, BANNER);
    CLoopbackListener tv, locked, web, silent, huge;
    ASSERT_TRUE(tv.Listen(Ip("127.0.0.161"), 0, CNXN));
    const unsigned short nPort = tv.Port();
    ASSERT_TRUE(locked.Listen(Ip("127.0.0.162"), nPort, Message(ADB_AUTH, ADB_AUTH_TOKEN, std::string(20, 'k'))));
    ASSERT_TRUE(web.Listen(Ip("127.0.0.163"), nPort, "HTTP/1.0 200 OK\r\n\r\n<html>device::</html>"));
    ASSERT_TRUE(silent.Listen(Ip("127.0.0.164"), nPort, ""));
    ASSERT_TRUE(huge.Listen(Ip("127.0.0.166"), nPort, CNXN.substr(0, 12) + Le(1u << 20) + CNXN.substr(16) +
                                                          std::string(8192, 'x')));
    ScanLimits limits;
    limits.nPort = nPort;
    limits.dwAnswerMs = 600;
    std::vector<uint32_t> targets;
    for (int i = 166; i >= 161; --i) targets.push_back(0x7F000000u + i);
    std::vector<FoundTv> found;
    EXPECT_EQ(SCAN_DONE, ScanForTvs(targets, NULL, limits, &found));
    ASSERT_EQ(2u, found.size());
    EXPECT_EQ(Ip("127.0.0.161"), found[0].uAddress);
    EXPECT_FALSE(found[0].bNeedsAuth);
    EXPECT_EQ("MiTV-4A", found[0].strModel);
    EXPECT_EQ(Ip("127.0.0.162"), found[1].uAddress);
    EXPECT_TRUE(found[1].bNeedsAuth);
    // Each was sent adb's first message once and nothing else, then the connection closed.
    for (CLoopbackListener* pListener : {&tv, &locked, &web, &silent, &huge}) {
        ASSERT_TRUE(WaitForReceived(*pListener));
        EXPECT_EQ(std::vector<std::string>{BuildConnectMessage()}, pListener->Received());
    }

    // Cancelled (the window closes): no connection is begun.
    HANDLE hCancel = CreateEventA(NULL, TRUE, TRUE, NULL);
    EXPECT_EQ(SCAN_CANCELLED, ScanForTvs(targets, hCancel, limits, &found));
    CloseHandle(hCancel);
    EXPECT_TRUE(found.empty());
    Sleep(200);
    EXPECT_EQ(1u, tv.Received().size());
}

}  // namespace
