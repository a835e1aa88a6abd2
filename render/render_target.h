// Off-screen targets for render-to-texture, and the groups that pair a target with the eye point
// of the camera-facing geometry drawn into it. Groups are what the renderer selects and what draw
// commands and batched objects name as their owner.
#pragma once

#include "core/types.h"
#include "core/vec.h"

class ClRenderTargetBase {
public:
    virtual ~ClRenderTargetBase() = default;
    virtual void releaseResources() {}
    virtual void createResources() {}
};

class ClRenderTarget : public ClRenderTargetBase {
public:
    // Creates the resources at once.
    ClRenderTarget(f32 width, f32 height, u32 flags);
    ~ClRenderTarget() override;
    ClRenderTarget(const ClRenderTarget&) = delete;
    ClRenderTarget& operator=(const ClRenderTarget&) = delete;

    void releaseResources() override;
    void createResources() override;

    f32 width() const { return m_width; }
    f32 height() const { return m_height; }
    // The texture's size: the target's, each truncated to whole pixels.
    f32 textureWidth() const { return static_cast<f32>(static_cast<s32>(m_width)); }
    f32 textureHeight() const { return static_cast<f32>(static_cast<s32>(m_height)); }

private:
    f32 m_width;
    f32 m_height;
    u32 m_flags;  // stored only
};

class ClRenderTargetGroup {
public:
    ClRenderTargetGroup(f32 width, f32 height, u32 flags) : m_target(width, height, flags) {}
    virtual ~ClRenderTargetGroup() = default;

    void releaseResources() { m_target.releaseResources(); }
    void createResources() { m_target.createResources(); }
    ClRenderTarget* target() { return &m_target; }
    const ClRenderTarget* target() const { return &m_target; }

    // Written by the scene render for preview groups before their commands are built.
    ClVec4 eyePoint;

private:
    ClRenderTarget m_target;
};
