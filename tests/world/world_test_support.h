// Small helpers the world's tests share: a world set up and torn down around each test, a DNA
// program written in a few calls, and the steps of one game frame.
#pragma once

#include "core/matrix44.h"
#include "core/random.h"
#include "core/types.h"
#include "render/geometry_mesh.h"
#include "tests/support/fatal_catch.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_ref.h"
#include "world/state/player_records.h"

#include <memory>
#include <string>
#include <vector>

class ClAtom;
struct SBossEncounterHooks;

// Makes an entity player p's ship, as spawning one does (null: no ship).
inline void setPlayerShip(u32 player, ClEntity* ship) { g_aPlayerState[player].ship = makeEntityRef(ship); }

namespace world_test {

// A zeroed play record, with difficulty 0 and a barrel-phase count of 1.
void resetPlayRecord();

// A fresh world: game steps of 1/60 s, the bullet generators registered, the players, the beats
// and the boss encounter reset, the song clock at 0, the contact handlers of play installed; and
// its teardown.
void startTestWorld();
void stopTestWorld();

// A fresh world for every test; fatal errors are thrown as test_support::SFatal.
class WorldTest : public test_support::FatalThrowingTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The fixture with the global random stream seeded once it is set up.
template <typename Base, u32 Seed>
class Seeded : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        sfmtInitGenRand(Seed);
    }
};

// What a boss encounter needs around the world: random stream 19, fresh settings and script
// registries, the guardian's eye frames, the silent sound engine with the game's bank and the boss
// meter's widgets. False when the engine or the bank does not load.
bool openEncounterStage();

// A fresh encounter, play record and story sequence, the encounter installed under the hooks.
void installEncounter(const SBossEncounterHooks* hooks);
// Takes the encounter down, frees the world's entities and undoes the stage.
void closeBossStage();
// The boss of the program waiting `arrival` seconds with a full bar, built and named for the
// encounter, with the bank's boss intro.
ClEntity* awaitBoss(ClDNAProgram* program, const char* name, f32 arrival);
// The length of the bank's cue in seconds.
f32 cueSeconds(const char* name);
// One frame of a boss play at 1/60 s: the song clock on, the encounter and story events, the
// flip, the beats due, the update, the kill queue and the flushes.
void playBossFrame();
// Frames until the song time, or until the encounter reaches the phase (five minutes at most).
void playUntil(f32 songTime, void (*frame)() = playBossFrame);
void playUntilPhase(s32 phase, void (*frame)() = playBossFrame);

// A program made with new, released and deleted with its owner.
struct SProgramRelease {
    void operator()(ClDNAProgram* program) const;
};
using ProgramPtr = std::unique_ptr<ClDNAProgram, SProgramRelease>;

ClMatrix44 translation(f32 x, f32 y, f32 z);

// A ring of `edges` vertices of the radius in the x-z plane joined by as many edges, a fan of
// triangles over it from its centre, the bounding sphere set; its build step count is the mesh
// default (10).
ClGeometryMesh* makeRingMesh(u32 edges, f32 radius = 10.0f);

// A DNA program written through the emitters. The writer owns the program and releases it when it
// goes, so entities built from it must be freed first (the world's teardown does that).
class DnaWriter {
public:
    explicit DnaWriter(u32 kind = E_PROGRAM_ENEMY);
    ~DnaWriter();
    DnaWriter(const DnaWriter&) = delete;
    DnaWriter& operator=(const DnaWriter&) = delete;

    // Adds a geometry the program owns and returns its index.
    s32 addGeometry(ClGeometryMesh* mesh);
    DnaWriter& node(const char* name = nullptr, const ClMatrix44& local = ClMatrix44());
    DnaWriter& close();
    DnaWriter& param(const char* name, s32 value);
    DnaWriter& param(const char* name, f32 value);
    DnaWriter& param(const char* name, const char* text);
    DnaWriter& processor(u32 typeId);
    // An atom of the kind on the current node; returns its index within the entity.
    u32 atom(u32 kind, s32 geometryIndex = -1, u32 hitPointClass = 0, const ClMatrix44& local = ClMatrix44());
    // An attach point (or other atom) with its name, as the processors look them up.
    u32 namedAtom(u32 kind, const char* name, const ClMatrix44& local = ClMatrix44());
    // A Body atom registered as a main atom.
    u32 mainBody(s32 geometryIndex = -1, u32 hitPointClass = 0);
    // A gun's bullet block: bullets of the generator and type at the speed, each drawing its own
    // within the variation, of the damage; level 0, radius and drawn radius 2, white, no flags.
    DnaWriter& bulletBlock(const char* generator, s32 type, f32 speed, f32 speedVariation, f32 damage);

    ClDNAProgram program;
};

// allocEntity and buildFromDNA.
ClEntity* buildEntity(ClDNAProgram* program, s32 ownerTag = OWNER_LIVE_GAME);
// Built, atoms reset to their spawn values, spawned and activated; then its root moved to `at`.
ClEntity* spawnActiveEntity(ClDNAProgram* program);
ClEntity* spawnActiveEntity(ClDNAProgram* program, const ClVec3& at);

// One game step at the given frame time: flip, update, flush destroyed, flush freed.
void stepWorld(f32 frameTime = 1.0f / 60.0f);
// Game steps of 1/60 s over the seconds, the song clock moved on and the beats due delivered first.
void playSong(f32 seconds);
// The beats due at the song time, each pulled from audio and dispatched to the world's
// subscribers, as the game step does.
void deliverDueBeats();
// Subscriptions in use, counted as the pool's capacity less the ones a subscriber could still take
// (each taken and given back).
u32 liveBeatSubscriptions();
// Beats of strength 1 at first, first + spacing, ... appended to the song's beat list.
void addBeats(f32 first, f32 spacing, u32 count);

// Player 0's ship: a main body holding its place at the point (in both world buffers).
ClEntity* spawnShip(DnaWriter& dna, const ClVec3& at);
// Player 0's ship under the player's control: a main body on a small hexagon.
ClEntity* spawnPilotedShip(DnaWriter& dna);
// A player bullet of the damage at the atom, straight into its hit handler; then the kill queue.
void shootAtom(ClAtom* target, f32 damage = 1.0e7f);
ClVec3 positionOf(const ClEntity* entity);
// The live entities whose program is of the kind, in list order.
std::vector<ClEntity*> liveOfKind(u32 kind);
inline u32 liveCount(u32 kind) { return u32(liveOfKind(kind).size()); }

// Frees the entity, then takes its record again for a newcomer of the live game built from the
// same program and destroyed at once: a holder that kept the first must not touch the second.
// Null when the pool hands out another record.
ClEntity* reuseRecordForDestroyedNewcomer(ClEntity* entity);

}  // namespace world_test
