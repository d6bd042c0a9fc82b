// The TV's address as the user typed it, made into the serial adb names the
// device by: "host:port". Pure text work.
#pragma once
#include <string>

// Blanks (also full-width ones) trimmed; full-width digits, dots and colon
// made plain; port 5555 added when none is given. An IPv4 address must be
// four numbers up to 255; a host name letters, digits, '-' and '.'; a port
// 1 to 65535. False (strSerial empty) for anything else, the empty text too.
bool NormaliseTvAddress(const std::string& strTyped, std::string& strSerial);
