#include "world/atoms/atom_pickupable.h"

#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "core/timers.h"
#include "render/draw_lists.h"
#include "render/geometry_mesh.h"
#include "render/materials.h"
#include "render/particle_system.h"
#include "render/scene_inputs.h"
#include "world/atoms/atom_draw.h"
#include "world/entity/base_imports.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/services/bar_colour_scheme.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr f32 kTwoPi = 2.0f * std::numbers::pi_v<f32>;
constexpr u32 kLayer = 172;
constexpr u32 kCentreEntry = 32;
constexpr u32 kNoteEntry = 33;
const SGlintRule kPickupGlints = {3, 2.0f, 0};

ClNamedMaterial g_NoteSprite("game_colorizeRed_addBlue_additiveBlend", "Images/BulletWithGlow");

ClVec3 onFloor(ClVec3 v) {
    v.y = 0.0f;
    return v;
}

void startLife(SFloatTween* tween, f32 from, f32 delay, f32 duration) {
    tween->start(SFloatTweenDesc{0, E_TWEEN_ANIMATE, E_TWEEN_CURVE_LINEAR, from, 0.0f, delay, 0.0f, duration, 0});
}

}  // namespace

f32 pickupLifeProgress(const SFloatTween& tween) {
    return tween.mode == E_TWEEN_HOLD ? 1.0f : tween.time * tween.step;
}

u32 pickupOrbitNotesShown(f32 progress) {
    const f32 n = std::trunc(f32(PICKUP_ORBIT_NOTE_COUNT) * (1.0f - progress));
    return n > 0.0f ? u32(n) : 0;
}

void ClAtom_Pickupable::init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) {
    ClAtom::init(mesh, owner, hangingOn);
    kind = E_ATOM_PICKUPABLE;
    noteMaterial = glassMaterial = nullptr;
    pattern = E_PICKUP_PATTERN_UNREAD;
    lifeTween = SFloatTween{};
    initEdgeRecords(&edgeRecords, geometry);
}

void ClAtom_Pickupable::release() {
    ClAtom::release();
    releaseEdgeRecords(&edgeRecords);
}

void ClAtom_Pickupable::computeWorldBounds() {
    ClBoundingVolume& box = worldBox[g_uFrameCurrent];
    box.kind = E_BOUNDS_SPHERE;
    box.centre = onFloor(matrixRow(worldMatrix[g_uFrameCurrent], 3));
    box.radius = PICKUP_COLLISION_RADIUS;
    if (!boundsValid) {
        ClBoundingVolume& previous = worldBox[g_uFramePrevious];
        previous = box;
        previous.centre = onFloor(matrixRow(worldMatrix[g_uFramePrevious], 3));
        boundsValid = 1;
    }
}

void ClAtom_Pickupable::rebuildCollisionShape() {
    collisionShape.setSegment(onFloor(matrixRow(worldMatrix[g_uFramePrevious], 3)),
                              onFloor(matrixRow(worldMatrix[g_uFrameCurrent], 3)), PICKUP_COLLISION_RADIUS);
    collisionShapeDirty = 0;
}

void ClAtom_Pickupable::startLook() {
    if (!params.isInitialised()) fatalError("a pickup atom has no parameter table");
    // A pickup its program gave no look shows the note swarm.
    const SParamValue* look = params.find("PAT");
    pattern = look ? u32(look->integer) : E_PICKUP_PATTERN_NOTES;
    ClEntityNode* root = entity->root;
    if (pattern == E_PICKUP_PATTERN_NOTES) {
        const SParamValue* big = root && root->params.isInitialised() ? root->params.find("inspbig") : nullptr;
        bigNotes = big && big->integer != 0;
        for (SOrbitNote& note : orbitNotes) {
            note.angle = randomFloatInRange(0.0f, kTwoPi);
            note.speed = randomFloatInRange(-12.0f, 12.0f);
            note.radius = bigNotes ? randomFloatInRange(15.2f, 16.8f) : randomFloatInRange(7.6f, 8.4f);
            note.size = bigNotes ? randomFloatInRange(7.0f, 13.0f) : randomFloatInRange(3.5f, 6.5f);
        }
        noteMaterial = getMaterialForEffectAndTextureName("game_colorizeRed_addBlue_additiveBlend",
                                                          bigNotes ? "Images/FlyingNote-2-Bright" : "Images/FlyingNote-1-Bright");
        startLife(&lifeTween, bigNotes ? 40.0f : 20.0f, 6.0f, 3.0f);
        return;
    }
    if (pattern != E_PICKUP_PATTERN_MESH) fatalErrorf("a pickup atom with look %u", pattern);
    noteMaterial = getMaterialForEffectAndTextureName("system_add_nobias", "Images/Bar-New-White");
    glassMaterial = getMaterialForEffectAndTextureName("game_tri_glass", "Images/square");
    if (!inGameFlag()) {
        startLife(&lifeTween, 1.0f, 0.0f, 999999.0f);
        return;
    }
    if (!root || !root->params.isInitialised()) fatalError("a mesh pickup's entity has no root parameter table");
    const SParamValue* total = root->params.find("PTTS");
    if (total)
        startLife(&lifeTween, 20.0f, total->real - 6.0f, total->real);
    else
        startLife(&lifeTween, 20.0f, 6.0f, 3.0f);
}

void ClAtom_Pickupable::draw() {
    if (pattern == E_PICKUP_PATTERN_UNREAD)
        startLook();
    else
        lifeTween.advance(frameTime());
    if (pattern == E_PICKUP_PATTERN_NOTES)
        drawNotes();
    else
        drawMesh();
}

void ClAtom_Pickupable::drawNotes() {
    if (!lifeTween.running) {
        deactivate(0);
        ClEntityNode* root = entity->root;
        if (!root || !root->params.isInitialised()) fatalError("a pickup's entity has no root parameter table");
        if (const SParamValue* column = root->params.find("inspgridx"))
            g_BaseImports.freeInspirationGridCell(column->integer, root->params.get("inspgridz")->integer);
        return;
    }
    ClDrawOwnerScope owner(entity);
    const ClVec3 position = matrixRow(currentWorldMatrix(), 3);
    appendCentredQuadCommand(position, ClVec3(0, 1, 0), ClVec3(1, 0, 0), lifeTween.current, lifeTween.current,
                             g_BarColourScheme.colour(kCentreEntry).current, noteMaterial, kLayer, 0.0f);
    const u32 shown = pickupOrbitNotesShown(pickupLifeProgress(lifeTween));
    const u32 colour = g_BarColourScheme.colour(kNoteEntry).current;
    for (u32 i = 0; i < shown; ++i) {
        SOrbitNote& note = orbitNotes[i];
        note.angle += note.speed * frameTime();
        const ClVec3 at = position + ClVec3(note.radius * std::cos(note.angle), 0.0f, note.radius * std::sin(note.angle));
        appendSpriteCommand(at, note.size, colour, g_NoteSprite.get(), kLayer, 0.0f);
    }
}

void ClAtom_Pickupable::drawMesh() {
    if (!lifeTween.running) {
        deactivate(0);
        return;
    }
    const f32 progress = pickupLifeProgress(lifeTween);
    if (inGameFlag() && (progress != 0.0f || lifeTween.mode == E_TWEEN_HOLD) && isBlinkOn(4.0f, 0.0f, 1)) return;
    if (!geometry) return;
    ClDrawOwnerScope owner(entity);
    ClVec3 moved[GEOMETRY_MESH_MAX_VERTICES];
    const u32 movedCount = transformMeshVertices(*geometry, currentWorldMatrix(), moved);
    refreshEdgeGlints(&edgeRecords, kPickupGlints, atomMusicIntensity());
    const u32 colour = randomBrightColour(10.0f, 0);
    const u32 lineColour = withAlpha(colour, 80 + sfmtGenRand32() % 175);
    for (u32 e = 0; e < edgeRecords.count && e < geometry->edges.count; ++e) {
        const ClVec3& a = moved[geometry->edges.data[e].index[0]];
        const ClVec3 along = moved[geometry->edges.data[e].index[1]] - a;
        const SBodyEdgeRecord& record = edgeRecords.data[e];
        for (u32 g = record.glintCount; g-- > 0;) {
            const SEdgeGlint& glint = record.glints[g];
            appendLineCommand(a + scaleVec3(along, glint.segment.high), a + scaleVec3(along, glint.segment.low),
                              randomWithVariance(glint.widthFactor, 0.5f), lineColour, noteMaterial, 0.0f, 1, 44);
        }
    }
    appendMeshTriangleBatch(*geometry, moved, movedCount, withAlpha(colour, sfmtGenRand32() % 48), glassMaterial, 50, entity,
                            false);
}
