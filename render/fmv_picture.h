// The playing film's picture on the screen: the render worker copies the latest decoded picture
// into a texture of its own and draws it over the back buffer, letterboxed to the film's aspect
// on black, hiding the frame beneath it.
#pragma once

// Render worker, after the frame's last 2D band (the main thread waits meanwhile, so the player's
// picture holds still): nothing unless a film with pictures plays.
void drawFmvPicture();
// With the device's other UI resources (loss and shutdown); the next picture creates it again.
void releaseFmvPictureTexture();
