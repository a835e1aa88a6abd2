#include "render/render_target.h"

ClRenderTarget::ClRenderTarget(f32 width, f32 height, u32 flags) : m_width(width), m_height(height), m_flags(flags) {
    createResources();
}

ClRenderTarget::~ClRenderTarget() { releaseResources(); }

void ClRenderTarget::releaseResources() {}

void ClRenderTarget::createResources() {}
