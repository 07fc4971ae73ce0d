// Test probes of fennrow_probe.exe, steered by environment variables:
//   FENNROW_PROBE_LOG    a file to which every probed step is appended, one name a line
//   FENNROW_PROBE_FAIL   the name of a step that is to fail (for example CreateMainWindow)
//   FENNROW_PROBE_FATAL  "worker" or "ui": once the job lock exists, raise a fatal error with
//                        code 7 and the message "probe" on a new worker or on the UI thread
#include "app/fatal_error.h"
#include "app/probe.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace app {
namespace {

void AppendToLog(const char* step) {
    const char* path = std::getenv("FENNROW_PROBE_LOG");
    if (path == nullptr) {
        return;
    }
    if (FILE* log = std::fopen(path, "ab")) {
        std::fprintf(log, "%s\n", step);
        std::fclose(log);
    }
}

DWORD WINAPI RaiseFatalOnWorker(LPVOID) {
    ReportFatalError("probe", 7);
}

void RaiseFatalIfAsked(const char* step) {
    const char* where = std::getenv("FENNROW_PROBE_FATAL");
    if (where == nullptr || std::strcmp(step, "CreateJobLock") != 0) {
        return;
    }
    if (std::strcmp(where, "worker") == 0) {
        CloseHandle(CreateThread(nullptr, 0, RaiseFatalOnWorker, nullptr, 0, nullptr));
    } else if (std::strcmp(where, "ui") == 0) {
        ReportFatalError("probe", 7);
    }
}

} // namespace

void ProbeEvent(const char* step) {
    AppendToLog(step);
    RaiseFatalIfAsked(step);
}

bool ProbeAllows(const char* step) {
    const char* failing = std::getenv("FENNROW_PROBE_FAIL");
    return failing == nullptr || std::strcmp(failing, step) != 0;
}

} // namespace app
