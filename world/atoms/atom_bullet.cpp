#include "world/atoms/atom_bullet.h"

#include "core/directions.h"
#include "core/fatal_error.h"
#include "core/game_clock.h"
#include "core/random.h"
#include "core/timers.h"
#include "input/ambient/ambient_light.h"
#include "render/draw_lists.h"
#include "render/fx_particles.h"
#include "render/materials.h"
#include "render/mega_particles.h"
#include "render/particle_system.h"
#include "world/atoms/atom_draw.h"
#include "world/atoms/lightning_bolt.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/world.h"

#include <algorithm>

namespace {

const char* const kColourise = "game_colorizeRed_addBlue_additiveBlend";
constexpr u32 kLayerLow = 44;
constexpr u32 kLayerMid = 172;
constexpr u32 kLayerHigh = 236;
constexpr u32 kLayerSub = 8192;
constexpr u32 kWhite = 0xFFFFFFFFu;

const u32 kLineColours[BULLET_LEVEL_COUNT] = {0xFFFF4000u, 0xFF2060FFu, 0xFF40FF10u, 0xFF00F0FFu, 0xFF7040F0u, 0xFF7040F0u};
const u32 kBallColours[BULLET_LEVEL_COUNT] = {0xFFFF4000u, 0xFF2060FFu, 0xFF2060FFu, 0xFF7040F0u, 0xFF7040F0u, 0xFF7040F0u};
const u32 kDoubleColours[BULLET_LEVEL_COUNT] = {0xFFFF5000u, 0xFF2060FFu, 0xFF2060FFu, 0xFF7040F0u, 0xFF7040F0u, 0xFF7040F0u};
const f32 kTrailBallSizes[BULLET_LEVEL_COUNT] = {40, 50, 50, 50, 50, 50};
const f32 kGlowBallSizes[BULLET_LEVEL_COUNT] = {45, 55, 60, 60, 60, 90};
const f32 kDoubleSizes[BULLET_LEVEL_COUNT] = {65, 65, 65, 65, 70, 70};
constexpr f32 kShotgunWidth = 12.0f;

ClNamedMaterial g_LensGlow("system_add_nobias", "Images/Lensflare-glow");
ClNamedMaterial g_SubLensGlow("system_subtract", "Images/Lensflare-glow");
ClNamedMaterial g_NoteMaterial(kColourise, "Images/FlyingNote-2-Bright");
ClNamedMaterial g_NoteSubMaterial("system_subtract", "Images/FlyingNote-2-Bright-sub");
ClNamedMaterial g_BoltMaterial(kColourise, "Images/BulletWithGlow");
ClNamedMaterial g_BoltSubMaterial("system_subtract", "Images/BulletWithGlow");
ClNamedMaterial g_BeamMaterial("game_colorizeRed_addBlue_additiveBlend_perspective", "Images/fx-with-big-orange-glow");
ClNamedMaterial g_BeamSubMaterial("system_sub_perspective", "Images/BulletWithGlow-sub");
ClNamedMaterial g_OrangeGlow(kColourise, "Images/fx-with-big-orange-glow");
ClNamedMaterial g_Shockwave("system_subtract", "Images/Shockwave_small");
ClNamedMaterial g_SmallCircle("system_add", "Images/SmallCircle");
ClNamedMaterial g_Rays1("system_add_nobias", "Images/Bullet-Enemy-Rays-rot1");
ClNamedMaterial g_Rays2("system_add_nobias", "Images/Bullet-Enemy-Rays-rot2");
// The main pictures, chosen on a bullet's first draw; each bullet keeps its own copies.
ClNamedMaterial g_BlasterMaterial(kColourise, "Images/Bullet-Blaster");
ClNamedMaterial g_BlasterSubMaterial("system_subtract", "Images/Bullet-Blaster");
ClNamedMaterial g_PerspectiveSubLensGlow("system_sub_Perspective", "Images/Lensflare-glow");
ClNamedMaterial g_DoubleMaterials[3] = {
    {kColourise, "Images/Bullet-Player-Double1"}, {kColourise, "Images/Bullet-Player-Double2"}, {kColourise, "Images/Bullet-Player-Double3"}};
ClNamedMaterial g_DoubleSubMaterials[3] = {{"system_subtract", "Images/Bullet-Player-Double1-black"},
                                           {"system_subtract", "Images/Bullet-Player-Double2-black"},
                                           {"system_subtract", "Images/Bullet-Player-Double3-black"}};
ClNamedMaterial g_ShotgunMaterial(kColourise, "Images/Bullet-Shotgun");
ClNamedMaterial g_ShotgunSubMaterial("system_subtract", "Images/Bullet-Shotgun");
// The sparks the note and energy bullets throw off, one of three pictures at random.
ClNamedMaterial g_Sparks[3] = {{kColourise, "Images/Particle-1"}, {kColourise, "Images/Particle-2"}, {kColourise, "Images/Particle-3"}};

const SMaterial* energonMaterial() {
    static const SMaterial* material = nullptr;
    static u32 generation = 0;
    if (!material || material->generation != generation) {
        material = getMaterialForEffectAndTextureNames2("game_energon_add", "Images/SmallCircle", "Images/NoiseDots");
        generation = material->generation;
    }
    return material;
}

s32 clampLevel(s32 level) { return std::clamp(level, 0, BULLET_LEVEL_COUNT - 1); }

// The ambient light has one-shot flashes only: the strength dims the flash colour.
void ambientRequest(u32 colour, f32 strength) { requestAmbientFlash(brightenColour(colour, strength)); }

// What one draw of a bullet works with.
struct SBulletFrame {
    ClAtom_Bullet& bullet;
    ClVec3 position;      // the atom's world position
    ClVec3 previous;      // last frame's
    ClVec3 nodePosition;  // the node's world position
    ClVec3 x, z;          // the atom's first and third world axes
    ClVec3 nodeX;         // the node's first world axis
    s32 level;
    bool first;  // the draw that makes the glows

    void tail(f32 width, u32 colour, const SMaterial* material, u32 layer) const {
        appendLineCommand(position, position + scaleVec3(previous - position, 0.99f), width, colour, material, 3.0f, 1, layer);
    }
    void sprite(const ClVec3& at, f32 size, u32 colour, const SMaterial* material, u32 layer) const {
        appendSpriteCommand(at, size, colour, material, layer, 0.0f);
    }
    ClRenderTargetGroup* owner() const { return getPreviewRenderTarget(bullet.entity->ownerTag); }
    // A glow made on the first draw (with its ambient request when strength is not negative), or
    // steered on later ones while its particle is still the one it made.
    void glow(SFxParticle** slot, u32* generation, const ClVec3& at, f32 lifetime, f32 startSize, f32 endSize,
              u32 colour, u32 endColour, const SMaterial* material, f32 strength, u32 layer = FX_SPRITE_LAYER_MASK) const {
        if (!fxParticles()) return;
        if (first) {
            if (strength >= 0.0f) ambientRequest(colour, strength);
            *slot = fxParticles()->addSprite(at, lifetime, startSize, endSize, colour, endColour, material, owner(), layer);
            *generation = *slot ? (*slot)->generation : 0;
        } else if (*slot && fxParticleIsCurrent(*slot, *generation)) {
            fxParticles()->steerParticle(*slot, at);
        }
    }
    void sparks(f32 offsetLength, u32 colour) const {
        f32& timer = bullet.sparkTimer;
        timer -= gameClock(1).frameTime;
        if (timer >= 0.0f) return;
        timer = randomWithVariance(0.01f, 0.5f);
        if (!megaParticles()) return;
        const ClVec3 offset = scaleVec3(randomUnitVector3(), randomFloatInRange(0.0f, offsetLength));
        const SMaterial* material = g_Sparks[std::min(u32(randomUnitFloat() * 3.0f), 2u)].get();
        megaParticles()->emit(0, SMegaEmit{1, material, colour, position + offset, x, 3.0f, 50.0f, 0.3f, 0.0f, 4.0f,
                                                0.93f, 0.0f, 0.0f, 2.0f, 0.95f, 0.0f});
    }
};

// Ball and trail-ball layouts: 1, 2 or 3 sprite centres by level.
u32 ballCentres(const SBulletFrame& f, f32 pairSpread, ClVec3 out[3]) {
    if (f.level <= 1) {
        out[0] = f.position;
        return 1;
    }
    if (f.level <= 3) {
        out[0] = f.position + scaleVec3(f.z, pairSpread);
        out[1] = f.position - scaleVec3(f.z, pairSpread);
        return 2;
    }
    out[0] = f.position + scaleVec3(f.z, 7.5f);
    out[1] = f.position - scaleVec3(f.z, 7.5f);
    out[2] = f.position + scaleVec3(f.x, 7.5f);
    return 3;
}

void drawBall(SBulletFrame& f, bool sub) {
    ClAtom_Bullet& b = f.bullet;
    const f32 s = kGlowBallSizes[f.level] * b.params.bullRndRad;
    const u32 colour = kBallColours[f.level];
    ClVec3 centres[3];
    const u32 n = ballCentres(f, 4.0f, centres);
    const f32 base = n == 1 ? s : 0.996f * s;
    for (u32 i = 0; i < n; ++i) {
        const f32 size = randomWithVariance(base, 0.25f);
        f.sprite(centres[i], size, colour, b.mainMaterial, kLayerHigh);
        if (sub) f.sprite(centres[i], size, kWhite, b.mainSubMaterial, kLayerSub);
    }
    const f32 strength = sub && n == 2 ? 0.3f : 1.0f;
    const f32 glowSize = 0.35f * s;
    if (n == 2) {
        f.glow(&b.glow, &b.glowGeneration, centres[0], 0.2f, glowSize, glowSize, colour, withAlpha(colour, 0), b.glowMaterial, strength);
        f.glow(&b.glow2, &b.glow2Generation, centres[1], 0.2f, glowSize, glowSize, colour, withAlpha(colour, 0), b.glowMaterial, -1.0f);
    } else {
        f.glow(&b.glow, &b.glowGeneration, f.nodePosition, 0.2f, glowSize, glowSize, colour, withAlpha(colour, 0), b.glowMaterial,
               strength);
    }
}

void drawDouble(SBulletFrame& f, bool sub) {
    ClAtom_Bullet& b = f.bullet;
    const f32 s = randomWithVariance(kDoubleSizes[f.level], 0.1f);
    const u32 colour = kDoubleColours[f.level];
    const SMaterial* materials[3] = {b.mainMaterial, b.secondMaterial, b.thirdMaterial};
    const SMaterial* subs[3] = {b.mainSubMaterial, b.secondSubMaterial, b.thirdSubMaterial};
    const u32 pick = u32(f.level / 2);
    const ClVec3 up(0.0f, 1.0f, 0.0f);
    appendCentredQuadCommand(f.position, up, f.z, 0.75f * s, s, colour, materials[pick], kLayerMid, 0.0f);
    if (sub) appendCentredQuadCommand(f.position, up, f.z, 0.75f * s, s, kWhite, subs[pick], kLayerSub, 0.0f);
    f.glow(&b.glow, &b.glowGeneration, f.nodePosition, 0.3f, 0.35f * s, 0.35f * s, colour, withAlpha(colour, 0), b.glowMaterial, 0.99f);
}

void drawTrailBall(SBulletFrame& f, bool sub) {
    ClAtom_Bullet& b = f.bullet;
    const f32 c = kTrailBallSizes[f.level];
    const u32 colour = kBallColours[f.level];
    ClVec3 centres[3];
    const u32 n = ballCentres(f, 3.5f, centres);
    const f32 base = n == 1 ? c : 0.996f * c;
    for (u32 i = 0; i < n; ++i) {
        const f32 size = randomWithVariance(base, 0.25f);
        f.sprite(centres[i], size, colour, b.mainMaterial, kLayerHigh);
        if (sub) f.sprite(centres[i], size, kWhite, b.mainSubMaterial, kLayerSub);
        appendGradientLineCommand(centres[i], centres[i] - scaleVec3(f.x, 50.0f), 0.28f * size, 0.28f * size, colour,
                                  withAlpha(colour, 0), b.glowMaterial, kLayerLow);
    }
}

void drawNotes(SBulletFrame& f, bool sub) {
    ClAtom_Bullet& b = f.bullet;
    const f32 radius = b.params.bullRndRad;
    const u32 colour = u32(b.params.bullCol);
    const bool pair = f.level >= 3;
    const ClVec3 at[2] = {pair ? f.position + scaleVec3(f.z, 10.0f) : f.position, f.position - scaleVec3(f.z, 10.0f)};
    const u32 n = pair ? 2 : 1;
    if (sub) {
        const f32 s = randomWithVariance(radius, 0.125f);
        for (u32 i = 0; i < n; ++i) f.sprite(at[i], s, colour, g_NoteMaterial.get(), kLayerMid);
        for (u32 i = 0; i < n; ++i) f.sprite(at[i], s, kWhite, g_NoteSubMaterial.get(), kLayerSub);
        // Made at the bullet (or the node), then always steered to the node.
        f.glow(&b.glow, &b.glowGeneration, f.first && pair ? f.position : f.nodePosition, 0.84f, 0.75f * radius,
               0.75f * radius, colour, withAlpha(colour, 0), g_LensGlow.get(), 0.5f);
        const ClVec3 behind = f.nodePosition - scaleVec3(f.nodeX, 0.25f * radius);
        f.glow(&b.glow2, &b.glow2Generation, behind, 0.38052f, 0.2625f * radius, 0.2625f * radius, kWhite, 0x00FFFFFFu,
               g_SubLensGlow.get(), -1.0f, kLayerSub);
        return;
    }
    for (u32 i = 0; i < n; ++i) {
        f.sprite(at[i], randomWithVariance(radius, i == 0 ? 0.125f : 0.25f), colour, g_NoteMaterial.get(), kLayerMid);
        SFxParticle** slot = i == 0 ? &b.glow : &b.glow2;
        u32* generation = i == 0 ? &b.glowGeneration : &b.glow2Generation;
        f.glow(slot, generation, at[i], 0.84f, 0.75f * radius, 0.75f * radius, colour, withAlpha(colour, 0), g_LensGlow.get(),
               i == 0 ? 0.5f : -1.0f);
    }
    f.sparks(0.2f * radius, colour);
}

void drawBolt(SBulletFrame& f, bool sub) {
    ClAtom_Bullet& b = f.bullet;
    const u32 colour = kLineColours[f.level];
    const ClVec3 p0 = f.nodePosition + scaleVec3(f.nodeX, 17.5f);
    const ClVec3 nodeZ = matrixRow(b.node->currentWorldMatrix(), 2);
    const ClVec3 back = f.nodePosition - scaleVec3(f.nodeX, 17.5f);
    const ClVec3 p1 = back - scaleVec3(nodeZ, 3.0f);
    const ClVec3 p2 = back + scaleVec3(nodeZ, 3.0f);
    const f32 w = randomWithVariance(b.params.bullRndRad, 0.5f);
    appendLineCommand(p1, p0, w, colour, g_BoltMaterial.get(), 0.0f, 1, kLayerMid);
    appendLineCommand(p0, p2, w, colour, g_BoltMaterial.get(), 0.0f, 1, kLayerMid);
    if (sub) {
        appendLineCommand(p1, p0, 0.7f * w, kWhite, g_BoltSubMaterial.get(), 0.0f, 1, kLayerSub);
        appendLineCommand(p0, p2, 0.7f * w, kWhite, g_BoltSubMaterial.get(), 0.0f, 1, kLayerSub);
    }
    const s32 flag = b.params.bullFlag;
    if (flag < 0 || flag > 5) {
        SLightningBolt bolt;
        bolt.setUp(flag == 100 ? colour : kWhite, 3.0f, 3.0f, 0.5f, 45.0f, g_BoltMaterial.get());
        if (flag == 100)
            bolt.build(p0, p0 + scaleVec3(f.nodeX, randomWithVariance(20.0f, 0.5f)));
        else if (randomUnitFloat() < 0.5f)
            bolt.build(p1, p0);
        else
            bolt.build(p0, p2);
        bolt.draw(kLayerMid);
    }
    if (!b.glow && flag > 50 && fxParticles()) {
        ambientRequest(colour, f32(flag - 40) / 60.0f * 0.85f);
        b.glow = fxParticles()->addSprite(f.nodePosition, 1.84f, 25.125f, 15.075f, colour, withAlpha(colour, 0),
                                               g_LensGlow.get(), f.owner(), FX_SPRITE_LAYER_MASK);
        b.glowGeneration = b.glow ? b.glow->generation : 0;
    } else if (b.glow && fxParticleIsCurrent(b.glow, b.glowGeneration)) {
        fxParticles()->steerParticle(b.glow, f.nodePosition);
    }
}

void drawBeam(SBulletFrame& f, bool sub) {
    const u32 colour = getBulletColour(f.bullet.params);
    const ClVec3 end = f.position + scaleVec3(f.previous - f.position, 0.99f);
    const f32 w = randomWithVariance(12.5f, sub ? 0.3f : 0.5f);
    appendGradientLineCommand(f.position, end, w, w, colour, withAlpha(colour, 0), g_BeamMaterial.get(), kLayerHigh);
    if (sub) appendGradientLineCommand(f.position, end, 0.7f * w, 0.7f * w, kWhite, 0x00FFFFFFu, g_BeamSubMaterial.get(), kLayerSub);
}

void drawRays(const SBulletFrame& f, f32 size, u32 colour) {
    f.sprite(f.position, size, colour, (isBlinkOn(12.0f, 0.0f, 1) ? g_Rays2 : g_Rays1).get(), kLayerLow);
}

void drawConverging(SBulletFrame& f) {
    ClAtom_Bullet& b = f.bullet;
    if (b.trail.count == 0) {
        b.trail.init(BULLET_SATELLITE_COUNT + 1);
        for (u32 i = 0; i < BULLET_SATELLITE_COUNT; ++i) {
            SBulletSatellite satellite = {};
            satellite.from = scaleVec3(randomUnitVector3(), 60.0f);
            satellite.closing.start(SFloatTweenDesc{0, E_TWEEN_ANIMATE, E_TWEEN_CURVE_LINEAR, 1.0f, 0.0f, 0.0f, 0.0f, 0.2f, 0});
            b.trail.push(satellite);
        }
    }
    if (!b.satellitesDone) {
        for (u32 i = 0; i < b.trail.count; ++i) {
            const SBulletSatellite& s = b.trail.data[i];
            f.sprite(f.position + scaleVec3(s.from, s.closing.current), 18.75f + 12.5f * randomUnitFloat(), 0xFFFF0000u,
                     g_OrangeGlow.get(), kLayerLow);
        }
    } else {
        f.glow(&b.glow, &b.glowGeneration, f.position, 1.15f, 14.0f, 14.0f, 0x5FFF0000u, 0x00FF0000u, g_LensGlow.get(), -1.0f);
        f.sprite(f.position, 4.5f + 3.0f * randomUnitFloat(), kWhite, g_Shockwave.get(), kLayerSub);
        f.sprite(f.position, 10.5f + 7.0f * randomUnitFloat(), randomBrightColour(2.0f, 255), g_SmallCircle.get(), kLayerSub);
        drawRays(f, 60.0f + 40.0f * randomUnitFloat(), 0x5FFF0000u);
    }
    b.satellitesDone = 1;
    for (u32 i = 0; i < b.trail.count; ++i) {
        SFloatTween& closing = b.trail.data[i].closing;
        if (closing.mode == E_TWEEN_NONE || !closing.running) continue;
        closing.advance(frameTime());
        if (closing.running) b.satellitesDone = 0;
    }
}

void drawEnergyBall(SBulletFrame& f) {
    ClAtom_Bullet& b = f.bullet;
    f.glow(&b.glow, &b.glowGeneration, f.position, 1.15f, 10.0f, 10.0f, 0x6FFF0000u, 0x00FF0000u, g_LensGlow.get(), -1.0f);
    f.sparks(2.0f, 0xFFFF0000u);
    for (int i = 0; i < 3; ++i) f.sprite(f.position, randomWithVariance(10.0f, 0.25f), 0xFFFF3030u, energonMaterial(), kLayerMid);
    drawRays(f, randomWithVariance(100.0f, 0.25f), 0x7FFF0000u);
}

}  // namespace

u32 getBulletColour(const SBulletParams& params) {
    const s32 level = params.bullLev;
    switch (params.bullType) {
        case 0: case 2: case 3: case 6: case 7: case 11: case 12:
            if (level == 0 || level == 3) return 0xFFFF4000u;
            if (level == 1 || level == 4) return 0xFF0000FFu;
            return 0xFF7040F0u;
        case 15: case 16: {
            const u32 byLevel[4] = {0xFFFFFF00u, 0xFF00FF00u, 0xFF00FFFFu, 0xFFFF00FFu};
            return level >= 0 && level < 4 ? byLevel[level] : 0xFFF040F0u;
        }
        case ENEMY_GUN_BULLET_TYPE:
            return 0xFFFF0000u;
        default:
            if (level == 0 || level == 3) return 0xFF00FF00u;
            if (level == 1) return 0xFF00FFFFu;
            return 0xFF7040F0u;
    }
}

void ClAtom_Bullet::init(ClGeometryMesh* mesh, ClEntity* owner, ClEntityNode* hangingOn) {
    glow = glow2 = nullptr;
    glowGeneration = glow2Generation = 0;
    paramsRead = 0;
    glowsMade = 0;
    ClAtom::init(mesh, owner, hangingOn);
    kind = E_ATOM_BULLET;
    sparkTimer = 0.0f;
    satellitesDone = 1;
    mainMaterial = nullptr;
}

void ClAtom_Bullet::release() {
    ClAtom::release();
    trail.release();
    glow = glow2 = nullptr;
}

void ClAtom_Bullet::readParams() {
    SBulletParams::readFromNode(node, &params);
    paramsRead = 1;
}

void ClAtom_Bullet::takeParams(const SBulletParams& block) {
    params = block;
    paramsRead = 1;
}

// The radius is read with the parameters, once in the bullet's life, into its first box; each
// later box takes it from the one before, so that the step reads no line of the parameters.
void ClAtom_Bullet::computeWorldBounds() {
    if (!boundsValid) {
        makeFirstWorldBounds();
        return;
    }
    const u32 cur = g_uFrameCurrent;
    worldBox[cur].centre = matrixRow(worldMatrix[cur], 3);
    worldBox[cur].radius = worldBox[g_uFramePrevious].radius;
    worldBox[cur].kind = E_BOUNDS_SPHERE;
}

void ClAtom_Bullet::makeFirstWorldBounds() {
    if (!paramsRead) readParams();
    const u32 cur = g_uFrameCurrent;
    worldBox[cur].centre = matrixRow(worldMatrix[cur], 3);
    worldBox[cur].radius = params.bullRad;
    worldBox[cur].kind = E_BOUNDS_SPHERE;
    worldBox[g_uFramePrevious] = worldBox[cur];
    boundsValid = 1;
}

void ClAtom_Bullet::rebuildCollisionShape() {
    collisionShape.setSegment(matrixRow(worldMatrix[g_uFramePrevious], 3), matrixRow(worldMatrix[g_uFrameCurrent], 3), params.bullRad);
    collisionShapeDirty = 0;
}

void ClAtom_Bullet::chooseMaterials() {
    const s32 type = params.bullType;
    switch (type) {
        case 0: case 1:
            mainMaterial = g_BlasterMaterial.get();
            if (type == 1) mainSubMaterial = g_BlasterSubMaterial.get();
            break;
        case 2: case 3: case 8: case 9:
            mainMaterial = g_BoltMaterial.get();
            glowMaterial = g_LensGlow.get();
            if (type == 3 || type == 9) {
                mainSubMaterial = g_BoltSubMaterial.get();
                glowSubMaterial = g_PerspectiveSubLensGlow.get();
            }
            break;
        case 4: case 5:
            mainMaterial = g_DoubleMaterials[0].get();
            secondMaterial = g_DoubleMaterials[1].get();
            thirdMaterial = g_DoubleMaterials[2].get();
            glowMaterial = g_LensGlow.get();
            if (type == 5) {
                mainSubMaterial = g_DoubleSubMaterials[0].get();
                secondSubMaterial = g_DoubleSubMaterials[1].get();
                thirdSubMaterial = g_DoubleSubMaterials[2].get();
            }
            break;
        case 6: case 7:
            mainMaterial = g_ShotgunMaterial.get();
            if (type == 7) mainSubMaterial = g_ShotgunSubMaterial.get();
            break;
        default:
            break;
    }
}

void ClAtom_Bullet::draw() {
    if (!paramsRead) readParams();
    const s32 type = params.bullType;
    if (type < 0 || type >= BULLET_TYPE_COUNT) fatalErrorf("ClAtom_Bullet::draw: bullet type %d", type);
    if (!mainMaterial && type < 10) chooseMaterials();
    // The tails read the two positions alone: their draw leaves the axes and the node's frame
    // unread (and their cache lines unfetched).
    const bool tailOnly = type <= 1 || type == 6 || type == 7;
    if (tailOnly && lineCommandRoom() == 0) {
        // Every line would be dropped: only the random width each tail look draws is taken, so
        // the generator stays in step with a frame that had room.
        glowsMade = 1;
        sfmtGenRand32();
        return;
    }
    drawLook(type, tailOnly);
}

void ClAtom_Bullet::drawLook(s32 type, bool tailOnly) {
    ClDrawOwnerScope ownerScope(entity);

    const ClMatrix44& world = currentWorldMatrix();
    const ClMatrix44* nodeWorld = tailOnly ? nullptr : &node->currentWorldMatrix();
    SBulletFrame f{*this,
                   matrixRow(world, 3),
                   matrixRow(worldMatrix[g_uFramePrevious], 3),
                   nodeWorld ? matrixRow(*nodeWorld, 3) : ClVec3(),
                   tailOnly ? ClVec3() : matrixRow(world, 0),
                   tailOnly ? ClVec3() : matrixRow(world, 2),
                   nodeWorld ? matrixRow(*nodeWorld, 0) : ClVec3(),
                   clampLevel(params.bullLev),
                   glowsMade == 0};
    glowsMade = 1;
    const u32 lineColour = kLineColours[f.level];
    switch (type) {
        case 0:
            f.tail(randomWithVariance(7.5f, 0.5f), lineColour, mainMaterial, kLayerHigh);
            break;
        case 1: {
            const f32 w = randomWithVariance(9.5f, 0.5f);
            f.tail(w, lineColour, mainMaterial, kLayerMid);
            f.tail(w, kWhite, mainSubMaterial, kLayerSub);
            break;
        }
        case 2: case 3:
            drawBall(f, type == 3);
            break;
        case 4: case 5:
            drawDouble(f, type == 5);
            break;
        case 6:
            f.tail(randomWithVariance(kShotgunWidth, 0.25f), lineColour, mainMaterial, kLayerHigh);
            break;
        case 7:
            f.tail(randomWithVariance(kShotgunWidth, 0.25f), lineColour, mainMaterial, kLayerMid);
            f.tail(0.75f * kShotgunWidth, kWhite, mainSubMaterial, kLayerSub);
            break;
        case 8: case 9:
            drawTrailBall(f, type == 9);
            break;
        case 10: {
            const u32 colour = getBulletColour(params);
            f.glow(&glow, &glowGeneration, f.nodePosition, 0.85f, 22.0f, 22.0f, colour, withAlpha(colour, 0), g_LensGlow.get(), -1.0f);
            break;
        }
        case 11: case 12:
            drawNotes(f, type == 12);
            break;
        case 13: case 14:
            drawBolt(f, type == 14);
            break;
        case 15: case 16:
            drawBeam(f, type == 16);
            break;
        case 17:
            break;
        case ENEMY_GUN_BULLET_TYPE:
            drawConverging(f);
            break;
        case 19:
            drawEnergyBall(f);
            break;
    }
}
