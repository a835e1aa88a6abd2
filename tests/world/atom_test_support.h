// Small entities for the atom, collision, generator and play tests: programs of one node (with at
// most one atom), generators that write them, one-atom entities placed at a point, and the null
// renderer with the built data's materials for the tests that read back draw commands.
#pragma once

#include "core/types.h"
#include "core/vec.h"
#include "render/draw_lists.h"
#include "tests/render/render_data_support.h"
#include "tests/world/world_test_support.h"
#include "world/entity/param_value.h"
#include "world/generators/dna_generator.h"
#include "world/play/inspiration_pickups.h"

class ClAtom;
class ClDNAProgram;
class ClEntity;
class ClGeometryMesh;

// Draws land in the producers' half of the draw lists.
constexpr u32 PRODUCER_HALF = 1;
inline SDrawListCounts producerCounts() { return drawListCounts(PRODUCER_HALF); }

// The null renderer with the built data's shaders, textures, materials and bar colour scheme.
class NullDrawTest : public NullDeviceDataTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The null renderer with a fresh world (world_test::startTestWorld) and fatal errors thrown.
class WorldDrawTest : public NullDrawTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Parameter values of one type, for motion segments.
inline SParamValue vectorValue(f32 x, f32 y, f32 z) { SParamValue v{}; v.setVector(x, y, z, 0.0f); return v; }
inline SParamValue intValue(s32 i) { SParamValue v{}; v.setInt(i); return v; }

// A new program of one node; with atomKind >= 0 the node carries one atom of hit-point class 5 (and
// its "PAT" when pattern > 0) on the mesh (owned by the program; may be null), registered if asked.
ClDNAProgram* oneNodeProgram(u32 kind, s32 inspirationScore, s32 atomKind, s32 pattern, ClGeometryMesh* mesh = nullptr,
                             bool registered = false);

class ClOneNodeGenerator : public ClDNAGenerator {
public:
    ClOneNodeGenerator(u32 category, const char* name, u32 kind, s32 inspiration = 0, s32 atomKind = -1,
                       s32 pattern = 0)
        : ClDNAGenerator(category, name), m_kind(kind), m_inspiration(inspiration), m_atomKind(atomKind),
          m_pattern(pattern) {}
    ClDNAProgram* generate(ClRandObjSFMT*, const SGeneratorParams*) override {
        return oneNodeProgram(m_kind, m_inspiration, m_atomKind, m_pattern);
    }

private:
    u32 m_kind;
    s32 m_inspiration, m_atomKind, m_pattern;
};

// A fresh world (world_test::WorldTest) with a zeroed play record, no pickups on the arena's grid and
// the score pickups' generator registered; every generator unregistered after.
class PickupWorldTest : public world_test::WorldTest {
protected:
    void SetUp() override;
    void TearDown() override;

    ClOneNodeGenerator m_pickup{E_GENCAT_PICKUP, SCORE_PICKUP_GENERATOR, E_PROGRAM_PICKUP};
};

struct SOneAtomEntity {
    ClDNAProgram* program = nullptr;
    ClEntity* entity = nullptr;
    ClAtom* atom = nullptr;

    // Releases what was built before. mesh (owned by the program from then on) may be null;
    // pattern > 0 writes the atom's "PAT".
    void build(u32 programKind, u32 atomKind, ClGeometryMesh* mesh, s32 pattern = 0);
    // A bullet atom of the type and level (render radius 1, colour green) at the point.
    void buildBullet(s32 type, s32 level, s32 flag, const ClVec3& at);
    // Root, node and atom at the point (scaled by `scale`): both frames of a new atom, the current
    // one after.
    void placeAt(const ClVec3& position, f32 scale = 1.0f);
    void release();
};
