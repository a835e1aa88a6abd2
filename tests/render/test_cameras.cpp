#include "core/game_clock.h"
#include "render/camera.h"
#include "render/camera_blend.h"
#include "render/camera_inputs.h"
#include "render/camera_list.h"
#include "render/camera_stacks.h"
#include "render/render_device.h"
#include "render/view_slots.h"
#include "tests/support/fatal_catch.h"
#include "tests/support/vec_text.h"

#include <gmock/gmock.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using ::testing::HasSubstr;
using test_support::fatalReasonOf;
using test_support::vecText;

class Cameras : public test_support::FatalThrowingTest {
protected:
    void SetUp() override {
        FatalThrowingTest::SetUp();
        setScreenSize(1280, 720);
        createDebugCamera();
        setUpCameraBlenders();
        resetViewSlots();
        resetCameraStacks();
        setCameraWorldView(ClVec3(), 0, ClVec3());
        setCameraActionRunning(0);
        setCameraPauseFlags(0, 0, 0);
        g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = 0.0f;
    }
    void TearDown() override {
        releaseCameras();
        releaseCameraBlenders();
        FatalThrowingTest::TearDown();
    }
    static void loadFrames(const std::string& text) { loadCameraFramesFromText(text.data(), u32(text.size()), "frames"); }
};

TEST_F(Cameras, TheInGameCameraSeesThePlayfieldFromAboveWithTheFocusInTheCentre) {
    const ClVec3 centre(162.5f, 0.0f, 134.875f);
    setCameraWorldView(centre, 1, centre);
    setCameraActionRunning(1);
    ClCameraInGame camera;
    for (int i = 0; i < 40; ++i) camera.update();
    EXPECT_EQ(34.0f, camera.fov);
    // The far edge (z 0, away from the camera) is at the top of the screen.
    EXPECT_LT(camera.projectToScreen(ClVec3(162.5f, 0, 0)).y, 0.5f);
    const ClVec2 shown = camera.projectToScreen(centre);
    EXPECT_EQ(vecText({ClVec3(shown.x, shown.y, 0.0f)}, 1e-3f), "(0.5 0.5 0)");
    setScreenSize(1024, 768);
    ClCameraInGame square;
    square.update();
    EXPECT_EQ(38.0f, square.fov);
}

TEST_F(Cameras, FramesAreParsedAndDamagedRecordsNameTheirLine) {
    loadFrames("// poses\nframe Top\n1 2 3\n0 0 -1\n1 0 0\n0 1 0\n45\n");
    const SCameraFrame* frame = getCameraFrame("top");
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ(45.0f, frame->fov);
    EXPECT_EQ(3.0f, frame->position.z);
    ClCamera camera;
    camera.applyFrame(*frame);
    ClMatrix44 view;
    camera.getViewMatrix(&view);
    const f32* m = view.m;
    EXPECT_EQ(vecText({ClVec3(m[0], m[1], m[2])}, 1e-6f), "(1 0 0)") << "first row";
    EXPECT_EQ(vecText({ClVec3(m[4], m[5], m[6])}, 1e-6f), "(0 1 0)") << "second row";
    EXPECT_EQ(vecText({ClVec3(m[8], m[9], m[10])}, 1e-6f), "(0 0 1)") << "third row";
    EXPECT_EQ(vecText({ClVec3(m[12], m[13], m[14])}, 1e-6f), "(-1 -2 -3)") << "translation";
    EXPECT_EQ(vecText({ClVec3(m[3], m[7], m[11])}, 1e-6f), "(0 0 0)") << "last column";
    EXPECT_EQ(m[15], 1.0f);
    EXPECT_THAT(fatalReasonOf([] { getCameraFrame("UI"); }), HasSubstr("UI"));
    createDebugCamera();
    EXPECT_THAT(fatalReasonOf([] { loadFrames("frame A\n1 2 3\n0 0 -1\n1 0 0\n0 1 0\n"); }), HasSubstr("line 5"));
    createDebugCamera();
    std::string five;
    for (int i = 0; i < 5; ++i) five += "frame F" + std::to_string(i) + "\n0 0 0\n0 0 -1\n1 0 0\n0 1 0\n60\n";
    EXPECT_THAT(fatalReasonOf([&] { loadFrames(five); }), HasSubstr("line 25"));
}

// A record whose numbers are words, missing, too many or not finite, whose axes have no length or
// lie along the forward one, or whose view is not between 0 and 180 degrees stops the program
// naming the line and what is wrong.
TEST_F(Cameras, FramesWithNumbersThatCannotPlaceACameraStopNamingTheLine) {
    const auto reasonFor = [](const char* position, const char* forward, const char* fov) {
        createDebugCamera();
        const std::string text = std::string("frame A\n") + position + "\n" + forward + "\n1 0 0\n0 1 0\n" + fov + "\n";
        return fatalReasonOf([&] { loadFrames(text); });
    };
    EXPECT_THAT(reasonFor("1 two 3", "0 0 -1", "45"), HasSubstr("line 2: the position"));
    EXPECT_THAT(reasonFor("1 2", "0 0 -1", "45"), HasSubstr("line 2: the position"));
    EXPECT_THAT(reasonFor("1 2 3x", "0 0 -1", "45"), HasSubstr("\"3x\""));
    EXPECT_THAT(reasonFor("nan 2 3", "0 0 -1", "45"), HasSubstr("line 2"));
    EXPECT_THAT(reasonFor("1 2 1e40", "0 0 -1", "45"), HasSubstr("line 2"));
    EXPECT_THAT(reasonFor("1 2 3", "0 0 0", "45"), HasSubstr("line 3: the forward direction has no length"));
    EXPECT_THAT(reasonFor("1 2 3 4", "0 0 -1", "45"), HasSubstr("line 2: the position needs 3 numbers, and \"4\" follows them"));
    EXPECT_THAT(reasonFor("1 2 3", "0 -2 0", "45"), HasSubstr("line 5: the up direction is parallel to the forward direction"));
    EXPECT_THAT(reasonFor("1 2 3", "0 0 -1", "-45"), HasSubstr("line 6: the field of view"));
    EXPECT_THAT(reasonFor("1 2 3", "0 0 -1", "0"), HasSubstr("line 6: the field of view"));
    EXPECT_THAT(reasonFor("1 2 3", "0 0 -1", "inf"), HasSubstr("line 6: the field of view"));
    EXPECT_THAT(reasonFor("1 2 3", "0 0 -1", "180"), HasSubstr("line 6: the field of view"));
    EXPECT_EQ(reasonFor("-1.5 2e1 +3", "0 0 -1", "179.5"), "");
}

TEST_F(Cameras, BlendsCutInterruptAndPauseWithTheGame) {
    ClCameraBlender& blender = g_aCameraBlenders[0];
    ClCamera a, b;
    a.node.position = ClVec3(0, 0, 0);
    b.node.position = ClVec3(10, 0, 0);
    b.fov = 95.0f;
    ClMatrix44 turn;
    turn.setRotationY(1.0f);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) b.node.orientation.set(r, c, turn.m[4 * r + c]);
    // The x of the view after each update at the frame time; a paused game holds the blend.
    const auto viewX = [&](f32 frameTime) {
        g_aGameClocks[GAME_CLOCK_GAMEPLAY].frameTime = frameTime;
        blender.update();
        return blender.getViewCamera()->position().x;
    };
    blender.blendTo(&a, 0.0f, false);
    const f32 cut = viewX(0.0f);
    blender.blendTo(&b, 1.0f, false);
    EXPECT_EQ(cut, 0.0f);
    EXPECT_EQ(viewX(0.0f), 0.0f);
    EXPECT_NEAR(5.0f, viewX(0.5f), 1e-5f);
    ClCamera* view = blender.getViewCamera();
    EXPECT_NEAR(75.0f, view->fov, 1e-4f);
    ClMatrix44 half;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) half.m[4 * r + c] = view->node.orientation.at(r, c);
    ClVec3 axis;
    EXPECT_NEAR(0.5f, half.toAxisAngle(&axis), 1e-4f);
    // Interrupted halfway: the new blend starts from what is on screen.
    blender.blendTo(&a, 1.0f, false);
    EXPECT_NEAR(5.0f, viewX(0.0f), 1e-5f);
    const f32 landed = viewX(1.0f);
    EXPECT_EQ(0.0f, landed);
}

TEST_F(Cameras, CurvesOfTheBlendHelpers) {
    EXPECT_NEAR(0.5f, blendCurveValue(E_BLEND_COSINE, 0.5f), 1e-6f);
    EXPECT_EQ(0.25f, blendCurveValue(E_BLEND_LINEAR, 0.25f));
    EXPECT_EQ(1.0f, blendCurveValue(E_BLEND_INVERSE_SQUARE, 0.0f));
    EXPECT_EQ(0.75f, blendCurveValue(E_BLEND_SQUARE_OUT, 0.5f));
    EXPECT_EQ(0.9375f, blendCurveValue(E_BLEND_FOURTH_OUT, 0.5f));
    EXPECT_NE("", fatalReasonOf([] { blendCurveValue(5, 0.5f); }));
    ClVectorBlend blend;
    blend.start(ClVec3(0, 0, 0), ClVec3(4, 8, 0), 2.0f, 0.5f);
    EXPECT_EQ(blend.value().x, 1.0f);
    EXPECT_EQ(blend.update(0.5f).y, 4.0f);
    EXPECT_EQ(blend.update(5.0f).x, 4.0f);
}

TEST_F(Cameras, CameraStacksPushPopOnlyOnRealStacksAndKeepTenEntries) {
    setViewSlotCameraStack(0, 0, 0);
    setViewSlotCameraStack(1, 4, 0);
    setViewSlotCameraStack(9, 0, 0);
    ClCamera* cameras[11];
    for (ClCamera*& camera : cameras) ASSERT_TRUE(registerCamera(camera = new ClCamera));
    pushViewCamera(1, cameras[0], 0.0f, false);
    EXPECT_EQ(0u, cameras[0]->active);
    EXPECT_EQ(nullptr, getViewSlotTopCamera(1));
    for (ClCamera* camera : cameras) pushViewCamera(0, camera, 0.0f, false);
    EXPECT_EQ(cameras[9], getViewSlotTopCamera(0));
    EXPECT_EQ(1u, cameras[10]->active);
    EXPECT_EQ(cameras[10], g_aCameraBlenders[0].fromCamera());
    EXPECT_EQ(cameras[10], g_aCameraBlenders[0].getTargetCamera());
    popViewCamera(0, 0.0f);
    EXPECT_EQ(cameras[8], g_aCameraBlenders[0].fromCamera());
    // Unregistering deletes the camera: the blender must not keep it.
    unregisterCamera(cameras[8]);
    EXPECT_EQ(nullptr, g_aCameraBlenders[0].fromCamera());
    EXPECT_EQ(cameras[7], getViewSlotTopCamera(0));
    EXPECT_EQ(8u, g_aCameraStacks[0].count);
    for (int i = 0; i < 9; ++i) popViewCamera(0, 0.0f);  // one more than it holds
    EXPECT_EQ(nullptr, getViewSlotTopCamera(0));
    while (cameraCount() < CAMERA_LIST_CAPACITY) registerCamera(new ClCamera);
    ClCamera extra;
    EXPECT_FALSE(registerCamera(&extra));
}

}  // namespace
