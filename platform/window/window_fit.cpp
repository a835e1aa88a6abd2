#include "platform/window/window_fit.h"

#include <algorithm>

SWindowPlacement windowFitToArea(const SWindowPlacement& client, const SWindowBorders& borders,
                                 const SWindowArea& area) {
    const s32 roomW = std::max<s32>(1, area.width - borders.left - borders.right);
    const s32 roomH = std::max<s32>(1, area.height - borders.top - borders.bottom);
    SWindowPlacement out = client;
    if (s64(client.width) > roomW || s64(client.height) > roomH) {
        const s64 w = std::max<s64>(1, client.width), h = std::max<s64>(1, client.height);
        // The side that runs out of room first takes all of it; the other keeps the shape.
        const bool widthLimits = s64(roomW) * h <= s64(roomH) * w;
        const s64 fitW = widthLimits ? roomW : w * roomH / h;
        const s64 fitH = widthLimits ? h * roomW / w : roomH;
        out.width = u32(std::clamp<s64>(fitW, 1, roomW));
        out.height = u32(std::clamp<s64>(fitH, 1, roomH));
        out.x = area.x + borders.left + (roomW - s32(out.width)) / 2;
        out.y = area.y + borders.top;
        return out;
    }
    const s32 minX = area.x + borders.left, maxX = area.x + area.width - borders.right - s32(out.width);
    const s32 minY = area.y + borders.top, maxY = area.y + area.height - borders.bottom - s32(out.height);
    out.x = std::clamp(out.x, minX, maxX);
    out.y = std::clamp(out.y, minY, maxY);
    return out;
}
