// Reads the badging report that aapt prints for a package ("aapt d badging"),
// a plain package's or a bundle part's alike. Pure text work: no tool is run here.
#pragma once
#include <map>
#include <string>
#include <vector>

struct BadgingDetails {
    bool bDumpFailed = false;     // aapt said "ERROR: dump failed"; all else is empty
    bool bRead = false;           // the report has a package line
    std::string strLabel;
    std::string strPackageName;
    std::string strVersionName;
    std::string strVersionCode;
    std::string strSplit;         // a bundle's split: "config.xxhdpi", "feature1"...; empty for a base
    int nMinSdk = 0;              // 0 when not said
    std::string strSdkVersion;    // as shown: "Android 2.2", "API 99", else the report's own text
    std::vector<std::string> vecNativeCode;  // "armeabi-v7a"...
    std::vector<std::string> vecPermissions;  // the requested names, in report order
    std::string strPermissions;   // one description per line, each ending in "\n"
    std::string strIconEntry;     // archive entry of a raster icon where the report names one
};

// Every field but strPermissions.
BadgingDetails ReadBadgingReport(const std::string& strReport);
// With strPermissions too, from the permission table: names it lacks are
// added with an empty description, and permissions without a description
// are left out of the list.
BadgingDetails ReadBadgingReport(const std::string& strReport,
                                 std::map<std::string, std::string>& mapPermissions);

// The required Android version as the window shows it, from the report's
// sdkVersion text.
std::string AndroidReleaseName(const std::string& strSdk);
