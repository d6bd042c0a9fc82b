// Which parts of a bundle a TV gets: read from aapt's report on each part and
// the TV's properties, then chosen as the TV's package manager needs them.
// Pure text work: no tool is run here.
#pragma once
#include <string>
#include <vector>
#include "package/BundleArchive.h"

// One part as aapt's badging report names it; a base has no split name.
struct BundlePart {
    bool bRead = false;  // aapt printed a package line
    std::string strPackage;
    std::string strVersionCode;
    std::string strSplit;            // "config.xxhdpi", "config.arm64_v8a", "feature1"...
    int nMinSdk = 0;
    std::vector<std::string> vecNativeCode;  // "armeabi-v7a"...: a standalone's CPU types
};
BundlePart ReadPartReport(const std::string& strReport);

// What "adb shell getprop" says of the TV.
struct TvProperties {
    int nSdk = 0;                    // 0: not said
    std::vector<std::string> vecAbis;  // preferred first: abilist, else abi and abi2
    int nDensity = 0;                // 0: not said
};
TvProperties ReadTvProperties(const std::string& strGetprop);

struct BundleChoice {
    BundleIssue issue = BUNDLE_FINE;
    std::vector<size_t> vecParts;  // indexes into the parts, the base first
    int nMinSdk = 0;               // BUNDLE_NEEDS_NEWER_TV: what the package needs
};

// The base (or the standalone that suits the TV), the CPU split of the ABI
// the TV lists first that the bundle has, the density split nearest the TV's
// density (the smallest not below it, else the largest), every language and
// feature split. nManifestMinSdk (0 when none) is the bundle's own claim.
BundleChoice ChooseBundleParts(const std::vector<BundlePart>& vecParts, const TvProperties& tv, int nManifestMinSdk);
