// What Davrel reads of a TV after connecting. The device check decides; the
// storage listing and getprop need the serial it finds. With an address
// that serial is almost always the address itself, so both start beside the
// check, named by it, and count only when the check finds the TV ready under
// that very serial. Otherwise they are read again for the serial found, or
// not at all when the TV is not ready: the outcome is that of reading in turn.
#include "tools/ApkTool.h"
#include "tools/RunBeside.h"

namespace {
struct PropertiesRead {
    bool bRead = false;
    TvProperties tv;
};
}  // namespace

ConnectedTv CApkTool::ReadConnectedTv(const std::string& strAddress) const
{
    auto readProperties = [this](const std::string& strSerial) {
        PropertiesRead read;
        read.bRead = QueryTvProperties(strSerial, read.tv);
        return read;
    };
    std::future<StorageReading> storage;
    std::future<PropertiesRead> properties;
    if (!strAddress.empty()) {
        storage = RunBeside([this, strAddress] { return ReadStorage(strAddress); });
        properties = RunBeside([readProperties, strAddress] { return readProperties(strAddress); });
    }
    ConnectedTv tv;
    tv.check = CheckDevice(strAddress);
    if (!tv.check.problem.IsNone()) return tv;
    const std::string strSerial = tv.check.strSerial;
    if (strSerial != strAddress) {
        storage = std::future<StorageReading>();  // waits for it; its answer is another device's
        properties = std::future<PropertiesRead>();
    }
    tv.storage = TakeOrRun(storage, [&] { return ReadStorage(strSerial); });
    if (!tv.storage.problem.IsNone()) return tv;
    PropertiesRead read = TakeOrRun(properties, [&] { return readProperties(strSerial); });
    // A TV that did not say leaves the checks before an install unknown (nSdk 0).
    tv.bProperties = true;
    if (read.bRead) tv.properties = read.tv;
    return tv;
}
