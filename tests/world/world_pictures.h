// Whole frames of the world: a 512 x 320 window with the images the atoms draw with, a camera
// looking down at a point of the arena, and the plain scene (no water reflection, no bloom) so
// what is drawn lands as it is; the bar colour scheme, a fresh world and an effects particle
// system of the fixture's own. Tests skip when no OpenGL device can be made.
#pragma once

#include "render/fx_particles.h"
#include "tests/support/offscreen_picture.h"
#include "world/entity/world.h"
#include "world/services/bar_colour_scheme.h"

class WorldPictureTest : public OffscreenPictureTest {
protected:
    WorldPictureTest() : OffscreenPictureTest(512, 320, true) {}
    void SetUp() override {
        OffscreenPictureTest::SetUp();
        m_ready = !HasFatalFailure() && !gfxIsNullRenderer();
        if (!m_ready) return;
        for (const char* name :
             {"Bar_WhiteTight", "square", "BulletWithGlow", "BulletWithGlow-sub", "Bullet-Enemy-Rays-rot1",
              "Bullet-Enemy-Rays-rot2", "Bullet-Player-Double1", "Bullet-Player-Double2", "Bullet-Player-Double3",
              "Bullet-Player-Double1-black", "Bullet-Player-Double2-black", "Bullet-Player-Double3-black", "NoiseDots",
              "FlyingNote-1-Bright", "FlyingNote-2-Bright", "FlyingNote-2-Bright-sub", "fx-with-big-orange-glow",
              "Bar-New-White", "Shockwave_small", "smallcircle", "Particle-1", "Particle-2", "Particle-3",
              "Bullet-Blaster", "Bullet-Shotgun", "Lensflare-glow", "Lensflare-filled-3"})
            loadTexture(("Images/" + std::string(name)).c_str());
        setInGameFlag(1);
        g_SavedOptions.waterReflection = 0;
        g_SavedOptions.bloom = 0;
        initBarColourScheme();
        initWorld();
        setFxParticleSystem(&m_fx);
    }
    void TearDown() override {
        if (m_ready) {
            setFxParticleSystem(nullptr);
            m_fx.releaseAll();
            shutdownWorld();
        }
        OffscreenPictureTest::TearDown();
    }
    static void lookAt(const ClVec3& eye, const ClVec3& target) { ClOffscreenPictures::lookAt(eye, target, 45.0f); }
    // The box of half-size r pixels round the point's picture.
    SPixelBox around(const ClVec3& world, u32 r) const {
        const ClVec2 p = project(world);
        return SPixelBox{u32(std::max(0.0f, p.x - f32(r))), u32(std::max(0.0f, p.y - f32(r))), u32(p.x + f32(r)), u32(p.y + f32(r))};
    }
    bool m_ready = false;
    ClFXParticleSystem m_fx;
};
