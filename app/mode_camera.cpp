#include "app/mode_camera.h"

#include "render/camera.h"
#include "render/camera_list.h"
#include "render/camera_stacks.h"

void releaseModeCamera(ClCamera*& camera, bool listed) {
    if (!camera) return;
    if (listed) {
        unregisterCamera(camera);
    } else {
        forgetCameraInStacks(camera);
        delete camera;
    }
    camera = nullptr;
}
