// Reads the badging report that aapt prints for a package ("aapt d badging")
// into the details the window shows. Pure text work: no tool is run here.
#pragma once
#include <map>
#include <string>

struct BadgingDetails {
    bool bDumpFailed = false;     // aapt said "ERROR: dump failed"; all else is empty
    std::string strLabel;
    std::string strPackageName;
    std::string strVersionName;
    std::string strSdkVersion;    // "Android 2.2" where the sdk number is known
    std::string strPermissions;   // one description per line, each ending in "\n"
    std::string strIconEntry;     // archive entry of a raster icon where the report names one
};

// mapPermissions is the permission table: names it lacks are added with an
// empty description, and permissions without a description are left out of
// the list.
BadgingDetails ReadBadgingReport(const std::string& strReport,
                                 std::map<std::string, std::string>& mapPermissions);
