// Small platform services for the tests.
#pragma once

#include <string>

// True when the Windows test programs run under Wine rather than Windows.
bool RunningUnderWine();
// A path the platform's file functions accept for a path of the machine that runs the tests
// (under Wine, a Unix path is reached through drive Z:).
std::string NativePath(const std::string& path);
// A port of 127.0.0.1 that nothing listens on at the moment of the call.
int UnusedLoopbackPort();
