#include "tools/BundleParts.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include "framework/StrUtil.h"

namespace {

const char* const ABIS[] = {"armeabi", "armeabi_v7a", "arm64_v8a", "x86", "x86_64", "mips", "mips64"};
const struct { const char* pName; int nDpi; } DENSITIES[] = {
    {"ldpi", 120}, {"mdpi", 160}, {"tvdpi", 213}, {"hdpi", 240},
    {"xhdpi", 320}, {"xxhdpi", 480}, {"xxxhdpi", 640},
};

// "armeabi-v7a" as split names write it: "armeabi_v7a".
std::string SplitAbi(std::string strAbi) {
    for (char& c : strAbi)
        if (c == '-') c = '_';
    return strAbi;
}

bool IsAbi(const std::string& strConfig) {
    for (const char* pAbi : ABIS)
        if (strConfig == pAbi) return true;
    return false;
}

int DensityOf(const std::string& strConfig) {
    for (const auto& density : DENSITIES)
        if (strConfig == density.pName) return density.nDpi;
    return 0;
}

// A split "config.X" belongs to the base, "feature.config.X" to that feature;
// a split without ".config." is a feature of its own.
void SplitConfig(const std::string& strSplit, std::string& strGroup, std::string& strConfig) {
    size_t nPos = StartsWith(strSplit, "config.") ? 0 : strSplit.find(".config.");
    if (nPos == std::string::npos) {
        strGroup = strSplit;
        strConfig.clear();
    } else if (nPos == 0) {
        strGroup.clear();
        strConfig = strSplit.substr(7);
    } else {
        strGroup = strSplit.substr(0, nPos);
        strConfig = strSplit.substr(nPos + 8);
    }
}

// A group's CPU and density splits: each part's index with its config.
struct Group {
    std::vector<std::pair<size_t, std::string>> vecAbi;
    std::vector<std::pair<size_t, int>> vecDensity;
};

}  // namespace

TvProperties ReadTvProperties(const std::string& strGetprop) {
    std::map<std::string, std::string> mapProps;
    size_t nPos = 0;
    while (nPos < strGetprop.size()) {
        size_t nEnd = strGetprop.find('\n', nPos);
        if (nEnd == std::string::npos) nEnd = strGetprop.size();
        std::string strLine = strGetprop.substr(nPos, nEnd - nPos);
        nPos = nEnd + 1;
        size_t nKeyEnd = strLine.find("]: [");
        size_t nValueEnd = strLine.rfind(']');
        if (strLine.empty() || strLine[0] != '[' || nKeyEnd == std::string::npos || nValueEnd < nKeyEnd + 4) continue;
        mapProps[strLine.substr(1, nKeyEnd - 1)] = strLine.substr(nKeyEnd + 4, nValueEnd - nKeyEnd - 4);
    }
    TvProperties tv;
    tv.nSdk = std::atoi(mapProps["ro.build.version.sdk"].c_str());
    tv.nDensity = std::atoi(mapProps["ro.sf.lcd_density"].c_str());
    tv.strRelease = mapProps["ro.build.version.release"].substr(0, 16);
    std::string strAbis = mapProps["ro.product.cpu.abilist"];
    // Before Android 5.0 there is no list: abi and abi2.
    if (strAbis.empty()) strAbis = mapProps["ro.product.cpu.abi"] + "," + mapProps["ro.product.cpu.abi2"];
    size_t nStart = 0;
    for (;;) {
        size_t nComma = strAbis.find(',', nStart);
        std::string strAbi = strAbis.substr(nStart, nComma == std::string::npos ? std::string::npos : nComma - nStart);
        if (!strAbi.empty()) tv.vecAbis.push_back(strAbi);
        if (nComma == std::string::npos) break;
        nStart = nComma + 1;
    }
    return tv;
}

BundleChoice ChooseBundleParts(const std::vector<BadgingDetails>& vecParts, const TvProperties& tv, int nManifestMinSdk) {
    BundleChoice choice;
    std::vector<size_t> vecBases, vecSplits;
    for (size_t i = 0; i < vecParts.size(); ++i) {
        const BadgingDetails& part = vecParts[i];
        if (!part.bRead) {
            choice.issue = BUNDLE_PART_UNREADABLE;
            return choice;
        }
        if (part.strPackageName != vecParts[0].strPackageName || part.strVersionCode != vecParts[0].strVersionCode) {
            choice.issue = BUNDLE_MIXED;
            return choice;
        }
        (part.strSplit.empty() ? vecBases : vecSplits).push_back(i);
    }
    if (vecBases.empty()) {
        choice.issue = BUNDLE_NO_BASE;
        return choice;
    }
    // Several whole packages and no split: standalones, one per CPU type.
    if (vecBases.size() > 1 && !vecSplits.empty()) {
        choice.issue = BUNDLE_MIXED;
        return choice;
    }
    size_t nBase = vecBases[0];
    if (vecBases.size() > 1) {
        bool bFound = false;
        for (size_t a = 0; a < tv.vecAbis.size() && !bFound; ++a)
            for (size_t b : vecBases)
                for (const std::string& strAbi : vecParts[b].vecNativeCode)
                    if (!bFound && strAbi == tv.vecAbis[a]) nBase = b, bFound = true;
        for (size_t b : vecBases)
            if (!bFound && vecParts[b].vecNativeCode.empty()) nBase = b, bFound = true;
        if (!bFound) {
            choice.issue = BUNDLE_NO_CPU_MATCH;
            return choice;
        }
    }
    choice.nMinSdk = std::max(vecParts[nBase].nMinSdk, nManifestMinSdk);
    if (tv.nSdk > 0 && choice.nMinSdk > tv.nSdk) {
        choice.issue = BUNDLE_NEEDS_NEWER_TV;
        return choice;
    }
    // Android learnt split packages in 5.0 (API 21).
    if (!vecSplits.empty() && tv.nSdk > 0 && tv.nSdk < 21) {
        choice.issue = BUNDLE_TV_WITHOUT_SPLITS;
        return choice;
    }

    choice.vecParts.push_back(nBase);
    std::map<std::string, Group> mapGroups;
    std::vector<size_t> vecOthers;
    for (size_t i : vecSplits) {
        std::string strGroup, strConfig;
        SplitConfig(vecParts[i].strSplit, strGroup, strConfig);
        if (IsAbi(strConfig)) mapGroups[strGroup].vecAbi.emplace_back(i, strConfig);
        else if (DensityOf(strConfig)) mapGroups[strGroup].vecDensity.emplace_back(i, DensityOf(strConfig));
        else vecOthers.push_back(i);  // languages, features, other configurations
    }
    std::vector<size_t> vecChosen = vecOthers;
    for (const auto& group : mapGroups) {
        if (!group.second.vecAbi.empty()) {
            size_t nPick = SIZE_MAX;
            for (size_t a = 0; a < tv.vecAbis.size() && nPick == SIZE_MAX; ++a)
                for (const auto& abi : group.second.vecAbi)
                    if (abi.second == SplitAbi(tv.vecAbis[a])) nPick = abi.first;
            if (nPick == SIZE_MAX) {
                choice.issue = BUNDLE_NO_CPU_MATCH;
                choice.vecParts.clear();
                return choice;
            }
            vecChosen.push_back(nPick);
        }
        if (!group.second.vecDensity.empty()) {
            // An unknown density counts as the default, mdpi.
            int nWant = tv.nDensity > 0 ? tv.nDensity : 160;
            size_t nAbove = SIZE_MAX, nBelow = SIZE_MAX;
            int nAboveDpi = 0, nBelowDpi = 0;
            for (const auto& density : group.second.vecDensity) {
                const size_t i = density.first;
                const int nDpi = density.second;
                if (nDpi >= nWant && (nAbove == SIZE_MAX || nDpi < nAboveDpi)) nAbove = i, nAboveDpi = nDpi;
                if (nDpi < nWant && (nBelow == SIZE_MAX || nDpi > nBelowDpi)) nBelow = i, nBelowDpi = nDpi;
            }
            vecChosen.push_back(nAbove != SIZE_MAX ? nAbove : nBelow);
        }
    }
    // In the bundle's own order after the base.
    std::sort(vecChosen.begin(), vecChosen.end());
    choice.vecParts.insert(choice.vecParts.end(), vecChosen.begin(), vecChosen.end());
    return choice;
}

namespace {
std::string Joined(const std::vector<std::string>& vecWords) {
    std::string strText;
    for (const std::string& strWord : vecWords) strText += (strText.empty() ? "" : ",") + strWord;
    return strText;
}
}  // namespace

Problem CheckPackageFitsTv(int nMinSdk, const std::vector<std::string>& vecNativeCode, const TvProperties& tv) {
    if (tv.nSdk > 0 && nMinSdk > tv.nSdk) {
        Problem problem(PROBLEM_TV_TOO_OLD, tv.strRelease);
        problem.nNeededSdk = nMinSdk;
        problem.nTvSdk = tv.nSdk;
        return problem;
    }
    if (vecNativeCode.empty() || tv.vecAbis.empty()) return Problem();
    for (const std::string& strAbi : vecNativeCode)
        if (std::find(tv.vecAbis.begin(), tv.vecAbis.end(), strAbi) != tv.vecAbis.end()) return Problem();
    Problem problem(PROBLEM_NO_MATCHING_CPU, Joined(vecNativeCode));
    problem.strTvAbis = Joined(tv.vecAbis);
    return problem;
}
