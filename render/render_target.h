// Off-screen targets for render-to-texture, and the groups that pair a target with the eye point
// of the camera-facing geometry drawn into it. Groups are what the renderer selects and what draw
// commands and batched objects name as their owner.
#pragma once

#include "core/types.h"
#include "core/vec.h"

class ClTexture;
struct SGfxDepthSurface;
struct SGfxTexture;

class ClRenderTargetBase {
public:
    virtual ~ClRenderTargetBase() = default;
    virtual ClTexture* getTexture() const = 0;
    virtual void releaseResources() {}
    // False when the resources cannot be made.
    virtual bool createResources() { return true; }
};

// A colour texture (RGBA8, one level) with a depth surface of the same size. Device loss releases
// both (releaseResources), a reset makes new ones of the same size (createResources).
class ClRenderTarget final : public ClRenderTargetBase {
public:
    // Creates the resources at once (none without a device).
    ClRenderTarget(f32 width, f32 height, u32 flags);
    ~ClRenderTarget() override;
    ClRenderTarget(const ClRenderTarget&) = delete;
    ClRenderTarget& operator=(const ClRenderTarget&) = delete;

    // Every texture set and material using the wrapper is purged first; releasing twice does
    // nothing more.
    void releaseResources() override;
    // A wrapper named "RTT <width>x<height>" adopts the new texture. False when the device
    // exists but the texture or the depth surface cannot be made: the target then holds neither
    // and is never selected (the back buffer is drawn into instead).
    bool createResources() override;
    ClTexture* getTexture() const override { return m_wrapper; }
    SGfxTexture* deviceTexture() const { return m_texture; }
    SGfxDepthSurface* depthSurface() const { return m_depth; }

    f32 width() const { return m_width; }
    f32 height() const { return m_height; }
    // The texture's size: the target's, each truncated to whole pixels.
    f32 textureWidth() const { return static_cast<f32>(static_cast<s32>(m_width)); }
    f32 textureHeight() const { return static_cast<f32>(static_cast<s32>(m_height)); }

private:
    SGfxTexture* m_texture = nullptr;
    SGfxDepthSurface* m_depth = nullptr;
    f32 m_width;
    f32 m_height;
    u32 m_flags;  // stored only
    ClTexture* m_wrapper = nullptr;
};

class ClRenderTargetGroup {
public:
    ClRenderTargetGroup(f32 width, f32 height, u32 flags) : m_target(width, height, flags) {}
    virtual ~ClRenderTargetGroup() = default;

    ClRenderTargetGroup(const ClRenderTargetGroup&) = delete;
    ClRenderTargetGroup& operator=(const ClRenderTargetGroup&) = delete;

    ClTexture* getTexture() const { return m_target.getTexture(); }
    void releaseResources() { m_target.releaseResources(); }
    bool createResources() { return m_target.createResources(); }
    ClRenderTarget* target() { return &m_target; }
    const ClRenderTarget* target() const { return &m_target; }

    // Written by the scene render for preview groups before their commands are built.
    ClVec4 eyePoint;

private:
    ClRenderTarget m_target;
};
