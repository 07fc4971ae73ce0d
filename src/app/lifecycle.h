// Start-up and end of the process.
#pragma once

namespace app {

// The whole life of the program; ends the process.
[[noreturn]] void RunProgram();
// The main window's created handler: skin set-up, then the job lock.
void MainWindowCreated();

} // namespace app
