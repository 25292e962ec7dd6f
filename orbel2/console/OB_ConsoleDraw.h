// Drawing the console over the finished scene: the watches in the top right
// corner and, while the console is shown, the shaded background with the
// edit line at its bottom edge and the newest output lines above it.
// Placement is in screen fractions through the video system's view; text is
// placed in back-buffer pixels.
#pragma once

namespace orbel2 {

// Prepares the background quad; ConsoleInit calls it once.
void ConsoleDrawInit();
// Draws the console; call inside the frame's scene, after the scene itself.
// Leaves alpha blending on when the console is shown.
void ConsoleDraw();

}   // namespace orbel2
