// Puts the carried skin engine beside the executable and hands it a carried skin.
#pragma once

namespace skin {

// Writes the engine file beside the executable, hidden, when no entry of that name exists.
void EnsureSkinEngineFile();
// Attaches carried skin `number` (1 to 33; any other number attaches none).
void AttachSkin(int number);
void EnableSkinAero();

} // namespace skin
