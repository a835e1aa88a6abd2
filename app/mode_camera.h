// The camera a game mode owns from its entry to its exit.
#pragma once

class ClCamera;

// Unregisters and destroys the camera: through the camera list when it holds the camera (listed),
// else directly, after every camera stack has forgotten it. Nothing for null; camera becomes null.
void releaseModeCamera(ClCamera*& camera, bool listed);
