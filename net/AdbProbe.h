// The one exchange a search has with whatever answers on port 5555: adb's
// own first message (CNXN), and the reading of the first message back.
// Pure: bytes in, a verdict out. What comes back is untrusted.
#pragma once
#include <stdint.h>
#include <string>

const unsigned short ADB_TV_PORT = 5555;
const uint32_t ADB_CNXN = 0x4E584E43;
const uint32_t ADB_AUTH = 0x48545541;
const uint32_t ADB_VERSION = 0x01000000;
const uint32_t ADB_MAX_PAYLOAD = 4096;
const uint32_t ADB_AUTH_TOKEN = 1;
const size_t ADB_HEADER_SIZE = 24;
// A longer banner than we said we take is not a TV's; no more is read.
const size_t PROBE_MAX_ANSWER = ADB_HEADER_SIZE + ADB_MAX_PAYLOAD;
// A model name is shown in the address list: longer ones are cut.
const size_t PROBE_MAX_MODEL_CHARS = 40;

// adb's payload byte sum, which older daemons check.
uint32_t AdbByteSum(const std::string& strPayload);
// The 24-byte header (six little-endian words) and the payload "host::\0".
std::string BuildConnectMessage();

enum ProbeVerdict {
    PROBE_INCOMPLETE,   // too little yet: read on (or, at the end, not a TV)
    PROBE_NOT_TV,       // anything that is not a daemon's answer
    PROBE_TV,           // CNXN with a device banner
    PROBE_NEEDS_AUTH,   // AUTH with a token: the TV will ask the user to allow debugging
};

struct ProbeAnswer {
    ProbeVerdict verdict = PROBE_INCOMPLETE;
    std::string strModel;  // PROBE_TV: the model in the system code page, control characters dropped; may be empty
};

// The bytes received so far (at most PROBE_MAX_ANSWER are ever read).
ProbeAnswer ReadProbeAnswer(const std::string& strReceived);
// The model from a banner "device::ro.product.name=...;ro.product.model=...;...":
// ro.product.model, else ro.product.name, else ro.product.device.
std::string ModelFromBanner(const std::string& strBanner);
