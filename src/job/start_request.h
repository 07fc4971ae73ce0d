// The user's request to start: the start button, or Enter in the file-type box.
#pragma once

namespace job {

void StartRequest();
// The key-down event of the file-type box: Enter (13) starts, whatever the modifiers.
void FileTypeBoxKeyDown(int keyCode, int modifiers);

} // namespace job
