// Points at which a test build of the program can watch or steer it. The shipped program links
// probe_none.cpp, where these do nothing; fennrow_probe.exe links probe_file.cpp.
#pragma once

namespace app {

// Records that a named step ran.
void ProbeEvent(const char* step);
// False when a test asks the named step to fail.
bool ProbeAllows(const char* step);

} // namespace app
