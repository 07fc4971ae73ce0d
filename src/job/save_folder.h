// The two buttons beside the save-folder box.
#pragma once

namespace job {

// Picks the save folder in the Save As dialog: the returned path plus one backslash. A
// cancelled dialog leaves the box as it was.
void ChooseSaveFolder();
// Opens the save folder in the shell.
void OpenSaveFolder();

} // namespace job
