#include "world/atoms/atom_body.h"

#include "core/fatal_error.h"
#include "core/matrix44.h"
#include "core/prefetch.h"
#include "core/random.h"
#include "core/saved_options.h"
#include "input/ambient/ambient_light.h"
#include "render/debris_particles.h"
#include "render/draw_lists.h"
#include "render/geometry_mesh.h"
#include "render/materials.h"
#include "render/particle_system.h"
#include "render/shader.h"
#include "render/texture.h"
#include "world/atoms/atom_draw.h"
#include "world/atoms/atom_effect.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/generators/dna_generator.h"
#include "world/services/bar_colour_scheme.h"
#include "world/services/positioned_sound.h"
#include "world/state/player_records.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

using matrix44_rows::MatrixRow;
using matrix44_rows::rowAt;

constexpr f32 kTwoPi = 2.0f * std::numbers::pi_v<f32>;
constexpr u32 kEdgeLayer = 236;
constexpr u32 kTriangleBatch = 114;
constexpr u32 kTexturedFaceBatch = 244;
constexpr f32 kPlayerEdgeWidth = 2.15f;
const SGlintRule kBodyGlints = {BODY_GLINTS_PER_EDGE, 1.0f, 0};

// Colour entries of the scheme the looks take their colours from.
constexpr u32 kPlayerTriangleEntry = 12;
constexpr u32 kEnemyTriangleEntry = 7;
constexpr u32 kGhostEntry = 8;
constexpr u32 kFaceEntry = 9;

ClNamedMaterial g_LensGlow("system_add_nobias", "Images/Lensflare-glow");
ClNamedMaterial g_BossTimerEdge("game_colorizeRed_addBlue_additiveBlend", "Images/Bar_WhiteTight");

const SColourAnimator* schemeEntry(u32 entry) { return &g_BarColourScheme.colour(entry); }
u32 currentOf(const SColourAnimator* entry) { return entry ? entry->current : 0u; }

// A ghost's colour as its entity fades in: whole at 1, nothing at 0, else its alpha scaled.
u32 fadedColour(u32 colour, f32 fade) {
    if (fade == 1.0f) return colour;
    return fade == 0.0f ? 0 : withAlpha(colour, u32(f32(colour >> 24) * fade));
}

void edgeLine(const ClVec3& a, const ClVec3& b, f32 width, u32 colour, const SMaterial* material) {
    appendLineCommand(a, b, width, colour, material, 0.0f, 1, kEdgeLayer);
}

// What edgeLine appends but its ends, written into a line taken in a run.
void writeEdgeLineLook(SLineCommand& line, f32 width, u32 colour, const SMaterial* material, ClRenderTargetGroup* owner) {
    line.colour = colour;
    line.material = material;
    line.width = width;
    line.widthScale = 0.0f;
    line.layerMask = kEdgeLayer;
    line.owner = owner;
    line.word = 1;
}

// What edgeLine appends, written into a line taken in a run.
void writeEdgeLine(SLineCommand& line, const ClVec3& a, const ClVec3& b, f32 width, u32 colour, const SMaterial* material,
                   ClRenderTargetGroup* owner) {
    line.start.set(a.x, a.y, a.z, 0.0f);
    line.end.set(b.x, b.y, b.z, 0.0f);
    writeEdgeLineLook(line, width, colour, material, owner);
}

// The point the fraction t along an edge from a, each coordinate rounded as a + scaleVec3(along, t)
// rounds it, and w 0: a glint's end, made as a whole row.
void setGlintEnd(ClVec4& end, const MatrixRow& a, const MatrixRow& along, f32 t) {
    MatrixRow at = a + along * t;
    at[3] = 0.0f;
    std::memcpy(static_cast<void*>(&end), &at, sizeof at);
}

}  // namespace

u32 bodyGhostAlpha(f32 y) {
    if (y < 50.0f) return 255;
    if (y > 100.0f) return 0;
    return u32((1.0f - (y - 50.0f) / 50.0f) * 255.0f);
}

u32 bodyShownEdgeCount(u32 stamp, u32 stepCount, u32 edgeCount) {
    if (edgeCount == 0) return ATOM_SHOWN_EDGES_NO_MESH_EDGES;
    if (stamp >= stepCount) return edgeCount;
    return std::min(edgeCount, u32(f32(stamp) / f32(stepCount) * f32(edgeCount)));
}

bool ClAtom_Body::playerLook() const {
    const u32 owner = entity->program->kind;
    return owner == E_PROGRAM_PLAYER || owner == E_PROGRAM_PLAYER_SHOT;
}

void ClAtom_Body::init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) {
    ClAtom::init(mesh, owner, hangingOn);
    kind = E_ATOM_BODY;
    configure(1);
    initEdgeRecords(&edgeRecords, geometry);
    refreshGlints(1);
}

void ClAtom_Body::release() {
    ClAtom::release();
    releaseEdgeRecords(&edgeRecords);
}

void ClAtom_Body::refreshGlints(u32 randomOffset) {
    SGlintRule rule = kBodyGlints;
    rule.randomStart = randomOffset;
    refreshEdgeGlints(&edgeRecords, rule, atomMusicIntensity());
}

void ClAtom_Body::configure(s32 newVariant) {
    if (!effectsReady()) return;
    const u32 owner = entity->program->kind;
    const bool player = owner == E_PROGRAM_PLAYER || owner == E_PROGRAM_PLAYER_SHOT;
    if (!player && owner != E_PROGRAM_ENEMY && owner != E_PROGRAM_ENEMY_SHOT && owner != E_PROGRAM_BACKDROP)
        fatalErrorf("ClAtom_Body::configure: owner kind %u", owner);
    if (newVariant < 0 || newVariant > (player ? 1 : 2))
        fatalErrorf("ClAtom_Body::configure: variant %d for owner kind %u", newVariant, owner);
    variant = u32(newVariant);
    texturedFaceMaterial = nullptr;
    ghostColour = nullptr;
    flashMaterial = getMaterialForEffectAndTextureName("system_add_nobias", "Images/square");
    redEdgeMaterial = getMaterialForEffectAndTextureName("game_bar_enemy_red", "Images/Bar_WhiteTight");
    redTriangleMaterial = getMaterialForEffectAndTextureName("game_tri_glass_red", "Images/square");
    faceColour = schemeEntry(kFaceEntry);
    spareColour = schemeEntry(3);
    spareColours[0] = schemeEntry(14);
    if (player) {
        edgeMaterial = getMaterialForEffectAndTextureName("game_bar_player_1", "Images/Bar_WhiteTight");
        triangleMaterial = getMaterialForEffectAndTextureName("game_tri_glass_player", "Images/square");
        ghostMaterial = getMaterialForEffectAndTextureName("system_add_nobias", "Images/Bar_WhiteTight");
        triangleColour = schemeEntry(kPlayerTriangleEntry);
        spareColours[1] = schemeEntry(kEnemyTriangleEntry);
        return;
    }
    edgeMaterial = getMaterialForEffectAndTextureName(variant == 2 ? "game_bar_enemy_red" : "game_bar_enemy_1",
                                                      "Images/Bar_WhiteTight");
    triangleMaterial = getMaterialForEffectAndTextureName(variant == 1 ? "game_tri_enemy_1" : "game_tri_glass", "Images/square");
    ghostMaterial = getMaterialForEffectAndTextureName("game_tri_ghost", "Images/square");
    triangleColour = schemeEntry(kEnemyTriangleEntry);
    ghostColour = schemeEntry(kGhostEntry);
    spareColours[1] = schemeEntry(kPlayerTriangleEntry);
    if (variant == 0) {
        ClTexture* texture = geometry && geometry->material ? findTextureByHash(geometry->material) : nullptr;
        texturedFaceMaterial = texture ? getMaterialForEffectAndTexture("system_add_nobias", texture) : triangleMaterial;
    }
}

void ClAtom_Body::bumpStamp() {
    ++buildStamp;
    if (!geometry || geometry->edges.count == 0) {
        shownEdgeCount = ATOM_SHOWN_EDGES_NO_MESH_EDGES;
        return;
    }
    const u32 before = shownEdgeCount == ATOM_SHOWN_EDGES_NO_MESH_EDGES ? 0 : shownEdgeCount;
    shownEdgeCount = bodyShownEdgeCount(buildStamp, geometry->detail, geometry->edges.count);
    if (entity->program->kind != E_PROGRAM_PLAYER) return;
    for (u32 i = before; i < shownEdgeCount; ++i) addEffect(SAtomEffectDesc{1, 4.0f, i, 0});
}

void ClAtom_Body::computeWorldBounds() {
    const u32 current = g_uFrameCurrent;
    const u32 previous = g_uFramePrevious;
    if (!geometry || geometry->boundingSphere.kind != E_BOUNDS_SPHERE) {
        worldBox[current].clear();
        if (!boundsValid) worldBox[previous].clear();
        boundsValid = 1;
        return;
    }
    worldBox[current] = geometry->boundingSphere;
    worldBox[current].transformSphere(worldMatrix[current]);
    if (!boundsValid) {
        worldBox[previous] = geometry->boundingSphere;
        worldBox[previous].transformSphere(worldMatrix[previous]);
        boundsValid = 1;
    }
}

void ClAtom_Body::rebuildCollisionShape() {
    if (geometry)
        collisionShape.sweepSpheres(geometry->boundingVolumes, worldMatrix[g_uFramePrevious], worldMatrix[g_uFrameCurrent]);
    else
        collisionShape.reset();
    collisionShapeDirty = 0;
}

void ClAtom_Body::playImpactCue(f32, const ClAtom* other) {
    const ClVec3 at = matrixRow(other->node->currentWorldMatrix(), 3);
    const u32 owner = entity->program->kind;
    if (owner == E_PROGRAM_PLAYER) {
        playSoundCueAt("PlayerImpact", at);
        requestAmbientFlash(0xFFFF0000u);
        return;
    }
    if (owner != E_PROGRAM_ENEMY || !entity->program->generator) return;
    const u32 category = entity->program->generator->getCategory();
    if (category >= E_GENCAT_ENEMY_SMALL && category <= E_GENCAT_ENEMY_LARGE)
        playSoundCueAt("DefaultImpactsEnemy", at);
    else if (category == E_GENCAT_BOSS)
        playSoundCueAt("BossImpact", at);
}

void ClAtom_Body::onKilled(f32 spin) {
    if (!geometry) return;
    ClVec3 moved[GEOMETRY_MESH_MAX_VERTICES];
    transformMeshVertices(*geometry, currentWorldMatrix(), moved);
    if (debrisLineParticles() && shownEdgeCount != ATOM_SHOWN_EDGES_NO_MESH_EDGES) {
        const u32 shown = std::min(shownEdgeCount, geometry->edges.count);
        for (u32 i = 0; i < shown; ++i) {
            const SMeshEdge& edge = geometry->edges.data[i];
            const f32 angle = randomFloatInRange(0.0f, spin * kTwoPi);
            debrisLineParticles()->addLine(moved[edge.index[0]], moved[edge.index[1]], randomSpin(angle), 1.0f, 0xFFFFFFFFu,
                                        edgeMaterial, ClVec3(0, 0, 0));
        }
    }
    const u32 n = geometry->triangles.count;
    if (!debrisTriParticles() || entity->isIncoming() || n == 0) return;
    const char* texture = randomUnitFloat() < 0.5f ? "Images/FlyingNote-2-Bright" : "Images/FlyingNote-1-Bright";
    const SMaterial* material = getMaterialForEffectAndTextureName(playerLook() ? "game_bar_player_1" : "game_bar_enemy_1", texture);
    const ClVec3 centre = matrixRow(currentWorldMatrix(), 3);
    for (u32 t = 0; t < n / 3 + 1; ++t) {
        const f32 angle = randomFloatInRange(0.05f, spin * kTwoPi);
        debrisTriParticles()->addTriangle(moved[geometry->triangles.data[t].index[0]], randomSpin(angle),
                                       currentOf(triangleColour), material, centre);
    }
}

void ClAtom_Body::drawGlintLook(bool invincible, const ClVec3* moved) {
    ClDrawOwnerScope owner(entity);
    refreshGlints(0);
    if (shownEdgeCount == ATOM_SHOWN_EDGES_NO_MESH_EDGES || !geometry) return;
    const u32 colour = invincible ? randomBrightColour(10.0f, 80 + sfmtGenRand32() % 175) : 0xFFFFFFFFu;
    const SMaterial* material = invincible ? ghostMaterial : g_BossTimerEdge.get();
    const f32 baseWidth = invincible ? kPlayerEdgeWidth : 5.0f;
    for (u32 e = 0; e < edgeRecords.count && e < geometry->edges.count; ++e) {
        const SBodyEdgeRecord& record = edgeRecords.data[e];
        const ClVec3& a = moved[geometry->edges.data[e].index[0]];
        const ClVec3 along = moved[geometry->edges.data[e].index[1]] - a;
        for (u32 g = record.glintCount; g-- > 0;) {
            const SEdgeGlint& glint = record.glints[g];
            edgeLine(a + scaleVec3(along, glint.segment.high), a + scaleVec3(along, glint.segment.low),
                     randomWithVariance(glint.widthFactor * baseWidth, 0.5f), colour, material);
        }
    }
}

void ClAtom_Body::draw() {
    if (!active) return;
    for (u32 i = 0; i < effectCount; ++i) prefetchLine(effects[i]);
    SMovedVertices scratch;
    ClVec3* moved = scratch.at;
    const u32 movedCount = geometry ? transformMeshVertices(*geometry, currentWorldMatrix(), moved) : 0;
    const SPlayerState& player = g_aPlayerState[0];
    if (entityRefGet(player.ship) == entity && player.invincibilityTime > 0.0f) return drawGlintLook(true, moved);
    if (isCurrentBossEntity(entity) && entity->timer > 0.0f) return drawGlintLook(false, moved);

    const bool incoming = entity->isIncoming() != 0;
    const SMaterial* material = triangleMaterial;
    u32 colour = currentOf(triangleColour);
    if (incoming) {
        material = ghostMaterial;
        colour = currentOf(ghostColour) | (bodyGhostAlpha(entity->getWorldPosition().y) << 24);
        colour = fadedColour(colour, entity->tween.current);
    }
    ClDrawOwnerScope owner(entity);
    const ClVec3 position = matrixRow(currentWorldMatrix(), 3);
    if (incoming && atomIsAlive())
        appendSpriteCommand(position, randomWithVariance(40.0f, 0.1f), colour, g_LensGlow.get(), 44, 0.0f);

    const u32 edgeCount = geometry ? geometry->edges.count : 0;
    bool red = false;
    for (u32 i = 0; i < effectCount; ++i) {
        const SAtomEffect& effect = *effects[i];
        if (effect.kind == 0 && geometry) {
            const f32 share = effect.duration > 0.0f ? effect.countdown / effect.duration : 0.0f;
            appendMeshTriangleBatch(*geometry, moved, movedCount, withAlpha(0xFFFFFFFFu, u32(share * 255.0f)), flashMaterial,
                                    kTriangleBatch, entity, false);
        } else if (effect.kind == 1) {
            if (randomUnitFloat() < 0.5f && effect.param0 < edgeCount) {
                const SMeshEdge& edge = geometry->edges.data[effect.param0];
                edgeLine(moved[edge.index[0]], moved[edge.index[1]], 15.0f, withAlpha(0xFFFFFFFFu, 0x80 + sfmtGenRand32() % 0x80),
                         edgeMaterial);
            }
        } else if (effect.kind == 2 || effect.kind == 3) {
            red = true;
        }
    }

    if (!incoming && shownEdgeCount != ATOM_SHOWN_EDGES_NO_MESH_EDGES && geometry) {
        const bool playerEdges = playerLook();
        const f32 g = atomMusicIntensity();
        const f32 enemyWidth = std::min(1.0f + 1.5f * g, 5.0f) * 1.5f;
        const SMaterial* lineMaterial = !playerEdges && red ? redEdgeMaterial : edgeMaterial;
        const u32 shown = std::min({shownEdgeCount, edgeCount, edgeRecords.count});
        if (savedOptions().animatedLines) refreshGlints(0);
        const bool wholeEdges = !savedOptions().animatedLines;
        u32 wanted = shown;
        if (!wholeEdges) {
            wanted = 0;
            for (u32 e = 0; e < shown; ++e) wanted += edgeRecords.data[e].glintCount;
        }
        // The lines are taken at once and written in place, each drawing two random numbers
        // (width, then alpha). Those past the room left are dropped, the last ones in order, but
        // their numbers are still drawn, so the generator stays in step with a frame that had room.
        const SLineRun run = takeLineCommands(wanted);
        const f32 edgeWidth = playerEdges ? kPlayerEdgeWidth : enemyWidth;
        const f32 fade = playerEdges ? 1.0f : entity->tween.current;
        SLineCommand* line = run.lines;
        SLineCommand* const end = run.lines + run.count;
        {
            ClSfmtRun random;
            for (u32 e = 0; e < shown && line != end; ++e) {
                const ClVec3& a = moved[geometry->edges.data[e].index[0]];
                const ClVec3& b = moved[geometry->edges.data[e].index[1]];
                if (wholeEdges) {
                    const f32 width = withVarianceOfDraw(edgeWidth, 0.5f, random.next());
                    const u32 alpha = 0xF0 + random.next() % 15;
                    writeEdgeLine(*line++, a, b, width, withAlpha(0, alpha), lineMaterial, run.owner);
                    continue;
                }
                const SBodyEdgeRecord& record = edgeRecords.data[e];
                // The glints from the last down, as many as there is room for, with their words
                // taken before the lines are written.
                const u32 first = record.glintCount;
                const u32 count = std::min(first, u32(end - line));
                u32 spare[2 * EDGE_GLINT_CAPACITY];
                const u32* words = random.take(2 * count, spare);
                const ClVec3 along = scaleVec3(b - a, fade);
                const MatrixRow from = rowAt(&a.x);
                const MatrixRow step = rowAt(&along.x);
                for (u32 k = first; k-- > first - count; ++line, words += 2) {
                    const SEdgeGlint& glint = record.glints[k];
                    const f32 width = withVarianceOfDraw(glint.widthFactor * edgeWidth, 0.5f, words[0]);
                    const u32 alpha = 0xF0 + words[1] % 15;
                    setGlintEnd(line->start, from, step, glint.segment.high);
                    setGlintEnd(line->end, from, step, glint.segment.low);
                    writeEdgeLineLook(*line, width, withAlpha(0, alpha), lineMaterial, run.owner);
                }
            }
        }
        sfmtDiscard(2 * (wanted - run.count));
    }
    if (!geometry) return;
    appendMeshTriangleBatch(*geometry, moved, movedCount, colour, red ? redTriangleMaterial : material, kTriangleBatch, entity,
                            false);
    if (!atomIsAlive() || !texturedFaceMaterial) return;
    const u32 face = incoming ? fadedColour(currentOf(faceColour), entity->tween.current) : currentOf(faceColour);
    appendMeshTriangleBatch(*geometry, moved, movedCount, face, texturedFaceMaterial, kTexturedFaceBatch, entity, true);
}
