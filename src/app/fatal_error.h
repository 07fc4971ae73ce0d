// The fatal error box, and the single exit routine that a fatal end skips.
#pragma once

#include <string>

namespace app {

// Shows the error box (caption "错误") and ends the process with exit code -1, without the exit
// routine. From a worker, the end is handed to the UI thread. Never returns.
[[noreturn]] void ReportFatalError(const std::string& message, int code);

// The text the box shows: CR LF line breaks, code and message only when present.
std::string FatalErrorText(const std::string& message, int code);

// The UI thread and its invisible receiver of end requests from other threads.
void PrepareEndReceiver();
bool IsUiThread();

// The one exit routine: run once at the normal end, dropped by a fatal error.
void RegisterExitRoutine(void (*routine)());
void RunExitRoutine();

// Unloads the late-bound libraries, shuts COM down and ends the process.
[[noreturn]] void ShutDownAndExit(unsigned exitCode);

} // namespace app
