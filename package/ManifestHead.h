// What a package says of itself on its compiled AndroidManifest.xml's
// <manifest> element (its name, version code and split name) and its
// <uses-sdk> (the oldest Android it takes). A bundle's parts are told apart
// by it without an aapt run each. Only what aapt would
// print the same way is taken: anything unusual (a value that is no plain
// string or integer, text aapt would escape, a damaged file) leaves the head
// unread, and the caller asks aapt instead.
#pragma once
#include <string>

struct ManifestHead {
    bool bRead = false;
    std::string strPackage;
    std::string strVersionCode;  // decimal, empty when absent or not above 0, as aapt prints it
    std::string strSplit;        // empty for a base
    int nMinSdk = 0;             // 0 when not said
};

// From the compiled XML's bytes.
ManifestHead ReadManifestHead(const std::string& strXml);
// From the package file (a zip) holding AndroidManifest.xml.
ManifestHead ReadPackageManifestHead(const std::string& strPackageFile);
