// DNA programs: flat lists of fixed-size instructions that build an entity's node tree, the
// emitters that write them, and the hit-point table of the atoms they create.
#pragma once

#include "core/array.h"
#include "core/matrix44.h"
#include "core/types.h"
#include "world/entity/param_value.h"

class ClDNAGenerator;
class ClGeometryMesh;
class ClWaveDNA;

enum EDNAOpcode : u32 {
    E_DNA_NEW_NODE = 1,            // A matrix
    E_DNA_SET_NODE_MATRIX = 2,     // A matrix
    E_DNA_NODE_PARAM = 3,          // A name, B value
    E_DNA_ADD_PROCESSOR = 4,       // A type id
    E_DNA_NAME_NODE = 5,           // A text
    E_DNA_CLOSE_NODE = 6,
    E_DNA_NEW_ATOM = 7,            // A kind, B geometry index (-1 none), C matrix, D hit-point class
    E_DNA_SET_ATOM_MATRIX = 8,     // A matrix
    E_DNA_REGISTER_ATOM = 9,
    E_DNA_NAME_ATOM = 10,          // A text
    E_DNA_ATOM_PARAM = 11,         // A name, B value
    E_DNA_CONFIGURE_ATOM = 12,     // A int
    E_DNA_JOIN_DEPENDANTS = 13,    // A atom index: the current atom joins atom A's dependants
    E_DNA_ADD_DEPENDANT = 14,      // A atom index: atom A joins the current atom's dependants
    E_DNA_ATOM_HIT_POINTS = 15,    // A int
    E_DNA_PAIR_ATOMS = 16,         // A atom index: linked both ways
    E_DNA_FORGET_ATOM = 17,
};
constexpr u32 DNA_OPCODE_FIRST = 1;
constexpr u32 DNA_OPCODE_LAST = 17;

enum EProgramKind : u32 {
    E_PROGRAM_PLAYER = 0,  // the ship and its items
    E_PROGRAM_ENEMY = 1,   // bosses included
    E_PROGRAM_PICKUP = 2,
    E_PROGRAM_PLAYER_SHOT = 3,
    E_PROGRAM_ENEMY_SHOT = 4,
    E_PROGRAM_BACKDROP = 5,
};

// Operands an opcode does not use have type 0.
struct alignas(16) SDNAInstruction {
    u32 opcode;
    SParamValue operand[4];
};

constexpr u32 DNA_INSTRUCTION_INITIAL_CAPACITY = 8;

class ClDNAProgram {
public:
    ClArray<ClGeometryMesh*> geometries;  // owned (made with new); opcode 7 picks one by index
    ClArray<SDNAInstruction> instructions;
    u32 atomCount = 0;
    ClArray<ClWaveDNA*> wavePlans;  // owned
    u32 kind = E_PROGRAM_PLAYER;
    s32 rawValue = 0;  // sum of the build steps of the atoms' geometries
    s32 weight = 0;    // the same after scaling to the construction cost
    s32 inspirationScore = 0;
    ClDNAGenerator* generator = nullptr;

    void init();
    // Releases the wave plans and the geometries and frees the lists. Entities built from the
    // program must be released first.
    void release();
    void initInstructions();
    void initInstructionStorage(u32 recordCount);
    void appendInstruction(const SDNAInstruction& record);

    void emitNewNode(const ClMatrix44& matrix);
    void emitParamFloat(const char* name, f32 value);
    void emitParamString(const char* name, const char* text);
    void emitParamInt(const char* name, s32 value);
    void emitParamVector(const char* name, f32 x, f32 y, f32 z, f32 w);
    void emitAddProcessor(u32 typeId);
    void emitNameNode(const char* name);
    void emitCloseNode();
    // Returns the index the atom will have within the entity.
    u32 emitNewAtom(u32 atomKind, s32 geometryIndex, const ClMatrix44& matrix, u32 hitPointClass);
    void emitRegisterAtom();
    void emitNameAtom(const char* name);
    void emitAtomParamInt(const char* name, s32 value);
    void emitAtomConfigure(s32 variant);
    void emitLinkToAtom(u32 atomIndex);
    void emitAtomHitPoints(s32 hitPoints);
    void emitPairWithAtom(u32 atomIndex);

    // Opens a node with the anchor atom "AnchorCL" and leaves it open; returns the atom's index.
    u32 emitAnchorNode();

    // Scales every geometry's build steps by construction cost / raw value (truncated, at least 1)
    // for the generator category `type` (8 or above), then recomputes the weight and stores the
    // inspiration score. A raw value of 0 skips the scaling.
    void applyConstructionCost(u32 type);
};

constexpr u32 HIT_POINT_LEVEL_COUNT = 6;
constexpr u32 HIT_POINT_CLASS_COUNT = 7;
constexpr s32 HIT_POINT_ROW_CURRENT = -1;

// The difficulty level (0 to 5) the atoms of enemies take their hit points from, set when play
// starts.
extern s32 g_iHitPointDifficultyLevel;

// table[row][class]; row -1 is the current difficulty level. Out-of-range arguments are fatal.
f32 hitPointsForClass(u32 hitPointClass, s32 row);

// Entry (type - 8) of "construction_cost" and "inspiration_score_per_type" in playbalance.txt;
// a type without an entry is fatal.
s32 getConstructionCost(u32 type);
s32 getInspirationScorePerType(u32 type);
