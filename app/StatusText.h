// Text from outside (adb's words, a package's permission list) made fit for
// the status line and the permission box, and why a bundle was refused.
#pragma once
#include <string>

// The status line is a link control: '<' in adb's words (which the TV
// writes) could open a link of the TV's choosing, so angle brackets become
// full-width ones. Cut, whole characters only, to a length the line can show.
std::string StatusSafe(const std::string& strText);

// A text with its two %s filled in, in order (values of any length).
std::string FilledText(const char* pszFormat, const std::string& strFirst, const std::string& strSecond);

// At most nMaxLines lines of a list whose lines each end in '\n'; when it has
// more, the last shown line says how many more there are (pszMoreFormat
// holds one %d).
std::string LimitLines(const std::string& strList, int nMaxLines, const char* pszMoreFormat);
