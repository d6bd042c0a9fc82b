// Why something did not work, as the tools and the readers of their output
// tell it: a code, and where it helps, the words or numbers behind it. The
// window turns a problem into the status line's words in one table.
#pragma once
#include <string>
#include "package/BundleArchive.h"

enum ProblemCode {
    PROBLEM_NONE,
    // A tool run itself.
    PROBLEM_ADB_NOT_STARTED,    // adb.exe could not be started
    PROBLEM_ADB_TIMED_OUT,      // adb.exe did not end within its limit
    PROBLEM_AAPT_NOT_STARTED,   // aapt.exe could not be started
    PROBLEM_AAPT_TIMED_OUT,     // aapt.exe did not end within its limit
    PROBLEM_WAIT_FAILED,        // the system could not wait for the tool
    PROBLEM_CANCELLED,          // stopped because the window closes
    PROBLEM_TASK_NOT_STARTED,   // no background thread could be started
    // The TV, as adb's device list, its connect and its queries tell it.
    PROBLEM_NO_ADDRESS,         // nothing listed, and no address asked for
    PROBLEM_SEVERAL_DEVICES,    // several devices listed, and no address to choose one
    PROBLEM_BAD_ADDRESS,        // the typed text cannot be a TV's address
    PROBLEM_NOT_AT_ADDRESS,     // nothing answers at the address
    PROBLEM_UNAUTHORIZED,       // the TV waits for the user to allow debugging
    PROBLEM_OFFLINE,            // listed, but the connection dropped
    PROBLEM_NO_PERMISSIONS,     // the system denies adb the device
    PROBLEM_ADB_ERROR,          // adb printed no answer; strDetail holds its words
    PROBLEM_TV_SILENT,          // a query of the TV got no answer in time
    // A package.
    PROBLEM_PACKAGE_UNREADABLE, // aapt could not read the package
    PROBLEM_BUNDLE,             // a bundle could not be read or sent: bundleIssue
    // An install or uninstall the TV refused; strDetail holds its words.
    PROBLEM_REFUSED,
    // Installed, but an expansion file did not follow (bundleIssue or strDetail).
    PROBLEM_OBB_NOT_COPIED,
    // A package the TV cannot take, found before sending it.
    PROBLEM_TV_TOO_OLD,         // nNeededSdk above nTvSdk; strDetail the TV's release
    PROBLEM_NO_MATCHING_CPU,    // strDetail the package's CPU types, strTvAbis the TV's
};

struct Problem {
    ProblemCode code = PROBLEM_NONE;
    std::string strDetail;
    BundleIssue bundleIssue = BUNDLE_FINE;
    int nNeededSdk = 0;      // BUNDLE_NEEDS_NEWER_TV, PROBLEM_TV_TOO_OLD
    int nTvSdk = 0;
    std::string strTvAbis;   // BUNDLE_NO_CPU_MATCH, PROBLEM_NO_MATCHING_CPU

    Problem() = default;
    explicit Problem(ProblemCode c, const std::string& strWhy = std::string()) : code(c), strDetail(strWhy) {}
    static Problem OfBundle(BundleIssue issue) {
        Problem problem(issue == BUNDLE_FINE ? PROBLEM_NONE : PROBLEM_BUNDLE);
        problem.bundleIssue = issue;
        return problem;
    }
    bool IsNone() const { return code == PROBLEM_NONE; }
};
