#include "render/render_target.h"

#include "platform/gfx/gfx_device.h"
#include "render/materials.h"
#include "render/texture.h"

#include <cstdio>

ClRenderTarget::ClRenderTarget(f32 width, f32 height, u32 flags) : m_width(width), m_height(height), m_flags(flags) {
    createResources();
}

ClRenderTarget::~ClRenderTarget() { releaseResources(); }

void ClRenderTarget::releaseResources() {
    if (m_wrapper) {
        purgeTextureFromMaterials(m_wrapper);
        delete m_wrapper;
        m_wrapper = nullptr;
    }
    // The wrapper only adopted the texture: the target releases it.
    if (m_texture) gfxReleaseTexture(m_texture);
    m_texture = nullptr;
    if (m_depth) gfxReleaseDepthSurface(m_depth);
    m_depth = nullptr;
}

bool ClRenderTarget::createResources() {
    if (!gfxDeviceExists() || m_texture) return true;
    const u32 width = static_cast<u32>(m_width);
    const u32 height = static_cast<u32>(m_height);
    m_texture = gfxCreateRenderTargetTexture(width, height);
    m_depth = gfxCreateDepthSurface(width, height);
    if (!m_texture || !m_depth) {
        // Selecting a target without a texture falls back to the back buffer.
        std::fprintf(stderr, "render target %ux%u could not be created\n", width, height);
        releaseResources();
        return false;
    }
    m_wrapper = new ClTexture;
    std::snprintf(m_wrapper->name, sizeof m_wrapper->name, "RTT %.0fx%.0f", m_width, m_height);
    m_wrapper->wrapDeviceTexture(m_texture);
    return true;
}
