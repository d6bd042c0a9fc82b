// An opt-in timeline for finding where a flow's time goes. With the
// environment variable DAVREL_TRACE naming a file, every Trace call appends
// one line "<ms> <thread> <event> <detail>" to it; <ms> is the system's
// performance counter in milliseconds, the same clock in every process, so
// the lines of Davrel and of a program driving it can be read side by side.
// Without the variable nothing is written and a call costs one check.
#pragma once
#include <string>

bool IsTracing();
void Trace(const char* pszEvent, const std::string& strDetail = std::string());
