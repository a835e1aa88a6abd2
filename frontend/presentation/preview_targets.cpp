#include "frontend/presentation/preview_targets.h"

#include "render/batcher.h"
#include "render/render_target.h"
#include "render/scene_inputs.h"

#include <cstdio>
#include <cstring>

void formatMiniMapTargetName(char* out, size_t size, u32 index) { std::snprintf(out, size, "RTT_MM%u", index); }
void formatItemTargetName(char* out, size_t size, u32 index) { std::snprintf(out, size, "RTT_IS%u", index); }

bool ClPreviewTarget::create(const char* name, u32 slot, f32 width, f32 height) {
    if (m_group || slot >= PREVIEW_SLOT_COUNT || previewSlot(slot).group) return false;
    if (!name || std::strlen(name) >= PREVIEW_TARGET_NAME_LENGTH) return false;
    auto* group = new ClRenderTargetGroup(width, height, 0);
    if (!registerBatchTarget(reinterpret_cast<BatchKey>(group))) {
        delete group;
        return false;
    }
    std::strcpy(m_name, name);
    m_slot = slot;
    m_group = group;
    setPreviewSlotGroup(slot, group);
    return true;
}

void ClPreviewTarget::destroy() {
    if (!m_group) return;
    unregisterBatchTarget(reinterpret_cast<BatchKey>(m_group));
    setPreviewSlotGroup(m_slot, nullptr);
    delete m_group;
    m_group = nullptr;
    m_name[0] = '\0';
}
