#pragma once

#include <QString>

// Event sounds. Playing never waits and never fails loudly: without the file or without a
// sound device the program simply stays silent.
namespace Sound {

// Starts playing the WAV file at `path` in the background and returns at once; false when
// it is known that it cannot be played (missing file, no sound device found earlier).
bool play(const QString &path);

// The folder the program's own sound files are taken from: the program's folder.
QString directory();
// Test hook: take the sound files from `folder` instead (empty: the program's folder again).
void setDirectory(const QString &folder);

} // namespace Sound
