#include "world/generators/bullet_generators.h"

#include "core/matrix44.h"
#include "world/entity/dna_program.h"
#include "world/generators/dna_generator.h"

namespace {

// Processor type ids and atom kinds of the bullets' programs.
constexpr u32 PROCESSOR_UPDATE_WORLD_FRAMES = 0;
constexpr u32 PROCESSOR_BULLET = 2;
constexpr u32 PROCESSOR_BULLET_ROUNDSTAFF = 4;
constexpr u32 PROCESSOR_MISSILE = 5;
constexpr u32 ATOM_BULLET = 4;
constexpr u32 ATOM_BULLET_STAFF = 5;
constexpr u32 ATOM_BULLET_ROUNDSTAFF = 6;
constexpr s32 NO_GEOMETRY = -1;
constexpr u32 HIT_POINT_CLASS_WEAKEST = 0;
// The staff star overwrites it with its own width after building.
constexpr f32 DEFAULT_STAFF_WIDTH = 4.0f;

enum EBulletShape : u32 {
    E_SHAPE_BULLET,
    E_SHAPE_ROUNDSTAFF,
    E_SHAPE_STAFF,
    E_SHAPE_MISSILE,
};

class ClBulletGenerator : public ClDNAGenerator {
public:
    ClBulletGenerator(u32 category, const char* name, u32 programKind, EBulletShape shape)
        : ClDNAGenerator(category, name), m_programKind(programKind), m_shape(shape) {}

    ClDNAProgram* generate(ClRandObjSFMT*, const SGeneratorParams*) override {
        ClDNAProgram* program = new ClDNAProgram();
        program->init();
        program->kind = m_programKind;
        const ClMatrix44 identity;
        program->emitNewNode(identity);
        // Places the atom where the flight put the root.
        program->emitAddProcessor(PROCESSOR_UPDATE_WORLD_FRAMES);
        switch (m_shape) {
            case E_SHAPE_BULLET:
                program->emitAddProcessor(PROCESSOR_BULLET);
                program->emitNewAtom(ATOM_BULLET, NO_GEOMETRY, identity, HIT_POINT_CLASS_WEAKEST);
                break;
            case E_SHAPE_ROUNDSTAFF:
                program->emitAddProcessor(PROCESSOR_BULLET_ROUNDSTAFF);
                program->emitNewAtom(ATOM_BULLET_ROUNDSTAFF, NO_GEOMETRY, identity, HIT_POINT_CLASS_WEAKEST);
                program->emitNameAtom("RSAT");
                break;
            case E_SHAPE_STAFF:
                program->emitParamFloat("staffwidth", DEFAULT_STAFF_WIDTH);
                program->emitNewAtom(ATOM_BULLET_STAFF, NO_GEOMETRY, identity, HIT_POINT_CLASS_WEAKEST);
                break;
            case E_SHAPE_MISSILE:
                program->emitAddProcessor(PROCESSOR_MISSILE);
                program->emitNewAtom(ATOM_BULLET, NO_GEOMETRY, identity, HIT_POINT_CLASS_WEAKEST);
                break;
        }
        program->emitRegisterAtom();
        program->emitCloseNode();
        program->generator = this;
        return program;
    }

private:
    u32 m_programKind;
    EBulletShape m_shape;
};

ClBulletGenerator g_playerBullet(E_GENCAT_PLAYER_BULLET, "DefBullGen", E_PROGRAM_PLAYER_SHOT, E_SHAPE_BULLET);
ClBulletGenerator g_enemyBullet(E_GENCAT_ENEMY_BULLET, "DefBullGenE", E_PROGRAM_ENEMY_SHOT, E_SHAPE_BULLET);
ClBulletGenerator g_roundStaff(E_GENCAT_ENEMY_BULLET, "DefBullRSG", E_PROGRAM_ENEMY_SHOT, E_SHAPE_ROUNDSTAFF);
ClBulletGenerator g_staff(E_GENCAT_ENEMY_BULLET, "DefBullGEF", E_PROGRAM_ENEMY_SHOT, E_SHAPE_STAFF);
ClBulletGenerator g_missile(E_GENCAT_PLAYER_BULLET, "DefMissileGen", E_PROGRAM_PLAYER_SHOT, E_SHAPE_MISSILE);
ClBulletGenerator* const BULLET_GENERATORS[] = {&g_playerBullet, &g_enemyBullet, &g_roundStaff, &g_staff, &g_missile};

}  // namespace

void registerBulletGenerators() {
    for (ClBulletGenerator* generator : BULLET_GENERATORS) generatorRegister(generator);
}

void unregisterBulletGenerators() {
    for (ClBulletGenerator* generator : BULLET_GENERATORS) {
        generatorUnregister(generator);
        generator->releaseSharedProgram();
    }
}
