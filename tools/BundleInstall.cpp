// App bundles: their details (from the base part's badging report) and their
// install: the parts the TV can use in one "adb install-multiple", then the
// expansion files pushed to the package's OBB folder. Parts are unpacked into
// a temporary folder of Davrel's own, never beside the user's file.
#include "tools/ApkTool.h"

#include <algorithm>
#include <deque>
#include "package/ManifestHead.h"
#include "package/PackageIcon.h"
#include "tools/BadgingReport.h"
#include "tools/BundleParts.h"
#include "tools/DeviceReport.h"
#include "tools/FileSize.h"
#include "tools/RunBeside.h"
#include "tools/ToolRunner.h"

namespace {

// Looking for the base reads one part after another with aapt; a bundle
// whose base is not among the first few likely parts is not worth a long wait.
const size_t MAX_BASE_TRIES = 16;
// Parts named for no density and larger than this are not searched for an icon.
const unsigned long long MAX_ICON_PART_BYTES = 32ull << 20;
// Room left on the disk beyond the unpacked parts.
const unsigned long long SPARE_BYTES = 64ull << 20;

std::string PartFile(const CScopedTempFolder& folder, const char* pszPrefix, size_t nIndex, const char* pszExt) {
    char szName[48];
    wsprintfA(szName, "%s%u%s", pszPrefix, static_cast<unsigned>(nIndex), pszExt);
    return folder.Path() + szName;
}

bool Contains(const std::string& strText, const char* pWhat) {
    return strText.find(pWhat) != std::string::npos;
}

// The parts in the order they are tried as the base: the names bases have
// (base-master.apk, base.apk, <package>.apk, universal.apk) first.
std::vector<size_t> LikelyBasesFirst(const std::vector<std::string>& vecParts, const std::string& strPackage) {
    std::vector<size_t> vecOrder(vecParts.size());
    for (size_t i = 0; i < vecOrder.size(); ++i) vecOrder[i] = i;
    auto rank = [&](size_t i) {
        const std::string& strName = vecParts[i];
        if (Contains(strName, "base") || Contains(strName, "master") || Contains(strName, "universal") ||
            (!strPackage.empty() && strName == strPackage + ".apk"))
            return 0;
        return Contains(strName, "config") ? 2 : 1;
    };
    std::stable_sort(vecOrder.begin(), vecOrder.end(), [&](size_t a, size_t b) { return rank(a) < rank(b); });
    return vecOrder;
}

// Parts whose names speak of a screen density first: that is where an icon
// missing from the base lies.
std::vector<size_t> DensityPartsFirst(const std::vector<std::string>& vecParts) {
    std::vector<size_t> vecOrder(vecParts.size());
    for (size_t i = 0; i < vecOrder.size(); ++i) vecOrder[i] = i;
    std::stable_sort(vecOrder.begin(), vecOrder.end(), [&](size_t a, size_t b) {
        return Contains(vecParts[a], "dpi") && !Contains(vecParts[b], "dpi");
    });
    return vecOrder;
}

// Reading a bundle's details runs on the window's thread: the unpacking and
// the aapt runs of the parts tried together end after this long.
const DWORD BUNDLE_READ_LIMIT_MS = 10000;

// A handle that becomes signalled once the limit has passed from now.
HANDLE StartDeadline(LONGLONG nMilliseconds) {
    HANDLE hTimer = ::CreateWaitableTimerA(NULL, TRUE, NULL);
    LARGE_INTEGER due;
    due.QuadPart = -nMilliseconds * 10000;  // relative, in 100 ns
    if (hTimer && !::SetWaitableTimer(hTimer, &due, 0, NULL, NULL, FALSE)) {
        ::CloseHandle(hTimer);
        hTimer = NULL;
    }
    return hTimer;
}

// A part's name, version code, split and oldest Android straight from its
// manifest, without an aapt run; false for a manifest only aapt should read.
bool ReadPartManifest(const std::string& strFile, BadgingDetails& part) {
    ManifestHead head = ReadPackageManifestHead(strFile);
    if (!head.bRead) return false;
    part = BadgingDetails();
    part.bRead = true;
    part.strPackageName = head.strPackage;
    part.strVersionCode = head.strVersionCode;
    part.strSplit = head.strSplit;
    part.nMinSdk = head.nMinSdk;
    return true;
}

bool EnoughRoom(const std::string& strFolder, unsigned long long nBytes) {
    ULARGE_INTEGER free;
    return ::GetDiskFreeSpaceExA(strFolder.c_str(), &free, NULL, NULL) && free.QuadPart >= nBytes + SPARE_BYTES;
}

}  // namespace

void CApkTool::LoadBundleInfo(const std::string& strBundle) {
    std::string strAapt;
    {
        CLockGuard lock(m_csFields);
        strAapt = m_strAaptPath;
    }
    BundleIssue issue = BUNDLE_FINE;
    BadgingDetails details;
    std::string strIcon;
    // The window waits meanwhile: the whole read has one time limit, and a
    // read cut short by it says so (not that the bundle is damaged).
    CScopedHandle hDeadline(StartDeadline(EmulatedLimit(BUNDLE_READ_LIMIT_MS)));
    const HANDLE hStop = hDeadline ? hDeadline.Get() : m_hCancel;
    CBundleArchive archive;
    BundleContents contents = archive.Open(strBundle, BundleKindOf(strBundle));
    CScopedTempFolder folder;
    issue = contents.issue;
    if (issue == BUNDLE_FINE && folder.Path().empty()) issue = BUNDLE_NO_ROOM;

    std::string strBaseFile;
    size_t nBase = 0;
    if (issue == BUNDLE_FINE) {
        issue = BUNDLE_NO_BASE;
        std::vector<size_t> vecOrder = LikelyBasesFirst(contents.vecParts, contents.strPackage);
        for (size_t t = 0; t < vecOrder.size() && t < MAX_BASE_TRIES; ++t) {
            std::string strFile = PartFile(folder, "part", vecOrder[t], ".apk");
            BundleIssue extracted = archive.Extract(contents.vecParts[vecOrder[t]], strFile, hStop);
            if (extracted != BUNDLE_FINE) {
                issue = extracted;
                break;
            }
            // A split is no base: only a base's report gives the details shown.
            BadgingDetails head;
            if (ReadPartManifest(strFile, head) && !head.strSplit.empty()) {
                ::DeleteFileA(strFile.c_str());
                continue;
            }
            ToolRun run = RunToolEx(BadgingCommand(strAapt, strFile), TOOL_QUERY_TIMEOUT_MS, hStop);
            if (run.status == TOOL_CANCELLED) {
                issue = BUNDLE_CANCELLED;
                break;
            }
            if (run.status != TOOL_EXITED) {  // a hung aapt is waited for once
                issue = BUNDLE_PART_UNREADABLE;
                break;
            }
            BadgingDetails part = ReadBadgingReport(run.strOutput, m_mapPermissions);
            // A part aapt cannot read may be the base: said so, as at install.
            if (!part.bRead) issue = BUNDLE_PART_UNREADABLE;
            if (part.bRead && part.strSplit.empty()) {
                details = part;
                strBaseFile = strFile;
                nBase = vecOrder[t];
                issue = BUNDLE_FINE;
                break;
            }
            ::DeleteFileA(strFile.c_str());
        }
    }
    if (issue == BUNDLE_FINE && !details.strIconEntry.empty() && !ReadIconEntry(strBaseFile, details.strIconEntry, strIcon)) {
        // The base names its icon, but a density split may hold the picture.
        for (size_t i : DensityPartsFirst(contents.vecParts)) {
            // The window waits meanwhile: large parts (CPU splits) hold no icon worth it.
            if (i == nBase || (!Contains(contents.vecParts[i], "dpi") && archive.SizeOf(contents.vecParts[i]) > MAX_ICON_PART_BYTES))
                continue;
            std::string strFile = PartFile(folder, "part", i, ".apk");
            if (archive.Extract(contents.vecParts[i], strFile, hStop) != BUNDLE_FINE) break;
            bool bFound = ReadIconEntry(strFile, details.strIconEntry, strIcon);
            ::DeleteFileA(strFile.c_str());
            if (bFound) break;
        }
    }
    if (issue == BUNDLE_CANCELLED && hDeadline && ::WaitForSingleObject(hDeadline.Get(), 0) == WAIT_OBJECT_0)
        issue = BUNDLE_TOO_SLOW;
    std::string strSize;
    if (issue == BUNDLE_FINE) strSize = MeasurePackageFile(strBundle);

    StoreDetails(details, strSize, true, Problem::OfBundle(issue), strIcon);
}

BundleIssue CApkTool::UnpackAndReadParts(CBundleArchive& archive, const BundleContents& contents,
                                         const CScopedTempFolder& folder, std::vector<std::string>& vecFiles,
                                         std::vector<BadgingDetails>& vecParts) const {
    std::string strAapt;
    {
        CLockGuard lock(m_csFields);
        strAapt = m_strAaptPath;
    }
    if (folder.Path().empty()) return BUNDLE_NO_ROOM;
    unsigned long long nNeeded = 0, nLargestObb = 0;
    for (const std::string& strPart : contents.vecParts) nNeeded += archive.SizeOf(strPart);
    for (const BundleObb& obb : contents.vecObbs) nLargestObb = std::max(nLargestObb, archive.SizeOf(obb.strEntry));
    if (!EnoughRoom(folder.Path(), nNeeded + nLargestObb)) return BUNDLE_NO_ROOM;

    // A part's manifest says what choosing the parts needs of it; aapt reads
    // the parts whose manifests it cannot, one while the next is unpacked and
    // as many at once as the PC has processors (at most four). Each part's
    // outcome is taken in the parts' order, so the first at fault is named.
    SYSTEM_INFO system;
    ::GetSystemInfo(&system);
    const size_t nAtOnce = std::min<size_t>(4, std::max<size_t>(1, system.dwNumberOfProcessors));
    vecParts.assign(contents.vecParts.size(), BadgingDetails());
    std::deque<std::pair<size_t, std::future<ToolRun>>> reading;
    BundleIssue issue = BUNDLE_FINE;
    auto takeOldest = [&] {
        ToolRun run = reading.front().second.get();
        size_t nPart = reading.front().first;
        reading.pop_front();
        if (issue != BUNDLE_FINE) return;
        if (run.status == TOOL_CANCELLED) issue = BUNDLE_CANCELLED;
        else if (run.status != TOOL_EXITED) issue = BUNDLE_PART_UNREADABLE;
        else vecParts[nPart] = ReadBadgingReport(run.strOutput);
    };
    auto startRead = [&](size_t nPart) {
        const std::string strCommand = BadgingCommand(strAapt, vecFiles[nPart]);
        auto readPart = [this, strCommand] { return RunToolEx(strCommand, TOOL_QUERY_TIMEOUT_MS, m_hCancel); };
        std::future<ToolRun> run = RunBeside(readPart);
        if (!run.valid()) {  // no thread to be had: this part is read now
            std::promise<ToolRun> done;
            done.set_value(readPart());
            run = done.get_future();
        }
        reading.emplace_back(nPart, std::move(run));
        if (reading.size() >= nAtOnce) takeOldest();
    };
    std::vector<size_t> vecHeadBases;  // bases read from their manifests alone
    for (size_t i = 0; i < contents.vecParts.size() && issue == BUNDLE_FINE; ++i) {
        vecFiles.push_back(PartFile(folder, "part", i, ".apk"));
        BundleIssue extracted = archive.Extract(contents.vecParts[i], vecFiles.back(), m_hCancel);
        if (extracted != BUNDLE_FINE) {
            while (!reading.empty()) takeOldest();  // an earlier part at fault comes first
            if (issue == BUNDLE_FINE) issue = extracted;
            break;
        }
        if (!ReadPartManifest(vecFiles.back(), vecParts[i])) startRead(i);
        else if (vecParts[i].strSplit.empty()) vecHeadBases.push_back(i);
    }
    while (!reading.empty()) takeOldest();
    // Several bases are standalones, one per CPU type, which only aapt's report names.
    size_t nBases = 0;
    for (const BadgingDetails& part : vecParts) nBases += part.bRead && part.strSplit.empty();
    if (nBases > 1)
        for (size_t i = 0; i < vecHeadBases.size() && issue == BUNDLE_FINE; ++i) startRead(vecHeadBases[i]);
    while (!reading.empty()) takeOldest();
    return issue;
}

InstallResult CApkTool::InstallBundle(bool bInternal, bool bDowngrade, const std::string& strBundle,
                                      const std::string& strSerial, const std::function<void(BundleStage)>& onStage) const {
    std::string strAdb;
    {
        CLockGuard lock(m_csFields);
        strAdb = m_strAdbPath;
    }
    InstallResult result;
    auto refuse = [&result](BundleIssue issue) {
        int nNeeded = result.problem.nNeededSdk, nTv = result.problem.nTvSdk;
        std::string strAbis = result.problem.strTvAbis;
        result.problem = issue == BUNDLE_CANCELLED ? Problem(PROBLEM_CANCELLED) : Problem::OfBundle(issue);
        result.problem.nNeededSdk = nNeeded, result.problem.nTvSdk = nTv, result.problem.strTvAbis = strAbis;
        return result;
    };
    onStage(STAGE_UNPACKING);
    CBundleArchive archive;
    BundleContents contents = archive.Open(strBundle, BundleKindOf(strBundle));
    if (contents.issue != BUNDLE_FINE) return refuse(contents.issue);

    // What the TV is: its Android version, CPU types and screen density,
    // asked while the parts are unpacked and read; its answer is judged
    // first, as if it had come before them.
    const std::string strGetprop = CCommandLine::Adb(strAdb, strSerial).Word("shell").Word("getprop").Text();
    auto askTv = [this, strGetprop] { return RunToolEx(strGetprop, TOOL_QUERY_TIMEOUT_MS, m_hCancel); };
    std::future<ToolRun> propsAhead = RunBeside(askTv);

    std::vector<std::string> vecFiles;
    std::vector<BadgingDetails> vecParts;
    CScopedTempFolder folder;
    BundleIssue issue = UnpackAndReadParts(archive, contents, folder, vecFiles, vecParts);

    ToolRun props = TakeOrRun(propsAhead, askTv);
    if (props.status == TOOL_NOT_STARTED || props.status == TOOL_CANCELLED || props.status == TOOL_WAIT_FAILED) {
        result.problem = RunProblem(props, TOOL_ADB);
        return result;
    }
    TvProperties tv = ReadTvProperties(props.strOutput);
    if (props.status != TOOL_EXITED || tv.nSdk == 0) return refuse(BUNDLE_TV_NOT_READ);
    result.problem.nTvSdk = tv.nSdk;
    for (const std::string& strAbi : tv.vecAbis)
        result.problem.strTvAbis += (result.problem.strTvAbis.empty() ? "" : ",") + strAbi;
    if (issue != BUNDLE_FINE) return refuse(issue);

    BundleChoice choice = ChooseBundleParts(vecParts, tv, contents.nMinSdk);
    result.problem.nNeededSdk = choice.nMinSdk;
    if (choice.issue != BUNDLE_FINE) return refuse(choice.issue);
    const std::string strPackage = vecParts[choice.vecParts[0]].strPackageName;
    // The name goes on the TV's shell and into the OBB folder's path.
    if (!IsSafePackageName(strPackage)) return refuse(BUNDLE_UNSAFE_NAME);
    if (!contents.strPackage.empty() && contents.strPackage != strPackage) return refuse(BUNDLE_MIXED);

    onStage(STAGE_INSTALLING);
    CCommandLine install = CCommandLine::Adb(strAdb, strSerial).Word("install-multiple").Word("-r");
    if (bDowngrade) install.Word("-d");
    if (!bInternal) install.Word("-s");
    for (size_t i : choice.vecParts) install.Path(vecFiles[i]);
    InstallResult installed = RunChange(install.Text(), m_hCancel);
    if (!installed.bSuccess) return installed;

    for (size_t i = 0; i < contents.vecObbs.size() && installed.problem.IsNone(); ++i) {
        onStage(STAGE_PUSHING_OBB);
        std::string strFile = PartFile(folder, "obb", i, ".obb");
        BundleIssue issue = archive.Extract(contents.vecObbs[i].strEntry, strFile, m_hCancel);
        if (issue != BUNDLE_FINE) {
            installed.problem = Problem(PROBLEM_OBB_NOT_COPIED);
            installed.problem.bundleIssue = issue;
            break;
        }
        std::string strRemote = "/sdcard/Android/obb/" + strPackage + "/" + contents.vecObbs[i].strName;
        ToolRun run = RunToolEx(CCommandLine::Adb(strAdb, strSerial).Word("push").Path(strFile).Word(strRemote).Text(),
                                TOOL_NO_TIMEOUT, m_hCancel);
        ::DeleteFileA(strFile.c_str());
        if (run.status != TOOL_EXITED || run.dwExitCode != 0)
            installed.problem = Problem(PROBLEM_OBB_NOT_COPIED, run.status == TOOL_EXITED ? ReadPushFailure(run.strOutput)
                                                                                          : std::string());
    }
    return installed;
}
