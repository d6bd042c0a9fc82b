// Which parts of a bundle a TV gets: from aapt's report on each part (read by
// ReadBadgingReport; a base has no split name) and the TV's properties,
// chosen as the TV's package manager needs them. Pure text work: no tool is
// run here.
#pragma once
#include <string>
#include <vector>
#include "package/BundleArchive.h"
#include "tools/BadgingReport.h"
#include "tools/Problem.h"

// What "adb shell getprop" says of the TV.
struct TvProperties {
    int nSdk = 0;                    // 0: not said
    std::vector<std::string> vecAbis;  // preferred first: abilist, else abi and abi2
    int nDensity = 0;                // 0: not said
    std::string strRelease;          // "4.1.2"; empty: not said
};
TvProperties ReadTvProperties(const std::string& strGetprop);

// Whether a plain package suits the TV before any byte is sent: nothing, or
// PROBLEM_TV_TOO_OLD (the package's level, the TV's level and release) or
// PROBLEM_NO_MATCHING_CPU (the TV's CPU types; strDetail the package's).
// What the TV did not say is not held against the package.
Problem CheckPackageFitsTv(int nMinSdk, const std::vector<std::string>& vecNativeCode, const TvProperties& tv);

struct BundleChoice {
    BundleIssue issue = BUNDLE_FINE;
    std::vector<size_t> vecParts;  // indexes into the parts, the base first
    int nMinSdk = 0;               // BUNDLE_NEEDS_NEWER_TV: what the package needs
};

// The base (or the standalone that suits the TV), the CPU split of the ABI
// the TV lists first that the bundle has, the density split nearest the TV's
// density (the smallest not below it, else the largest), every language and
// feature split. nManifestMinSdk (0 when none) is the bundle's own claim.
BundleChoice ChooseBundleParts(const std::vector<BadgingDetails>& vecParts, const TvProperties& tv, int nManifestMinSdk);
