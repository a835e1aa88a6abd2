#include "world/entity/dna_program.h"

#include "core/fatal_error.h"
#include "core/script_cache.h"
#include "core/script_node.h"
#include "render/geometry_mesh.h"
#include "world/services/world_imports.h"

#include <cfloat>
#include <cstring>

s32 g_iHitPointDifficultyLevel = 0;

namespace {

constexpr f32 HP_MAX = FLT_MAX;  // damage cannot use it up
const f32 HIT_POINT_TABLE[HIT_POINT_LEVEL_COUNT][HIT_POINT_CLASS_COUNT] = {
    {29.0f, 70.0f, 280.0f, 750.0f, 1750.0f, HP_MAX, HP_MAX},
    {60.0f, 100.0f, 400.0f, 1050.0f, 1500.0f, HP_MAX, HP_MAX},
    {150.0f, 250.0f, 1000.0f, 2500.0f, 3250.0f, HP_MAX, HP_MAX},
    {225.0f, 375.0f, 1600.0f, 3400.0f, 4650.0f, HP_MAX, HP_MAX},
    {330.0f, 550.0f, 2400.0f, 5000.0f, 5000.0f, HP_MAX, HP_MAX},
    {500.0f, 800.0f, 3200.0f, 7500.0f, 6500.0f, HP_MAX, HP_MAX},
};

constexpr u32 FIRST_GENERATOR_CATEGORY = 8;
const char* const PLAYBALANCE_SCRIPT = "playbalance.txt";

s32 playbalanceEntry(const char* arrayName, u32 type) {
    const ClScriptNode* values = ClScriptNode::getNamedChildOrDie(getScript(PLAYBALANCE_SCRIPT, 0), arrayName);
    if (type < FIRST_GENERATOR_CATEGORY || type - FIRST_GENERATOR_CATEGORY >= values->childCount())
        fatalErrorf("\"%s\" has no entry for generator category %u", arrayName, type);
    return values->getChild(type - FIRST_GENERATOR_CATEGORY)->getInt();
}

SDNAInstruction blankInstruction(u32 opcode) {
    SDNAInstruction record;
    std::memset(&record, 0, sizeof(record));
    record.opcode = opcode;
    return record;
}

ClMatrix44 identityMatrix() { return ClMatrix44(); }

}  // namespace

f32 hitPointsForClass(u32 hitPointClass, s32 row) {
    if (row == HIT_POINT_ROW_CURRENT) row = g_iHitPointDifficultyLevel;
    if (row < 0 || row >= s32(HIT_POINT_LEVEL_COUNT)) fatalErrorf("hit-point row %d is not a difficulty level", row);
    if (hitPointClass >= HIT_POINT_CLASS_COUNT) fatalErrorf("hit-point class %u does not exist", hitPointClass);
    return HIT_POINT_TABLE[row][hitPointClass];
}

s32 getConstructionCost(u32 type) { return playbalanceEntry("construction_cost", type); }
s32 getInspirationScorePerType(u32 type) { return playbalanceEntry("inspiration_score_per_type", type); }

void ClDNAProgram::init() {
    geometries.init();
    wavePlans.init();
    initInstructions();
    kind = E_PROGRAM_PLAYER;
    rawValue = 0;
    weight = 0;
    inspirationScore = 0;
    generator = nullptr;
}

void ClDNAProgram::release() {
    for (ClWaveDNA* plan : wavePlans)
        if (worldImports().releaseWavePlan) worldImports().releaseWavePlan(plan);
    for (ClGeometryMesh* mesh : geometries) delete mesh;
    wavePlans.release();
    geometries.release();
    instructions.release();
    atomCount = 0;
}

void ClDNAProgram::initInstructionStorage(u32 recordCount) {
    instructions.init(recordCount);
    std::memset(static_cast<void*>(instructions.data), 0, size_t(recordCount) * sizeof(SDNAInstruction));
}

void ClDNAProgram::initInstructions() {
    initInstructionStorage(DNA_INSTRUCTION_INITIAL_CAPACITY);
    atomCount = 0;
}

void ClDNAProgram::appendInstruction(const SDNAInstruction& record) { instructions.push(record); }

void ClDNAProgram::emitNewNode(const ClMatrix44& matrix) {
    SDNAInstruction record = blankInstruction(E_DNA_NEW_NODE);
    record.operand[0].setMatrix(matrix);
    appendInstruction(record);
}

void ClDNAProgram::emitParamFloat(const char* name, f32 value) {
    SDNAInstruction record = blankInstruction(E_DNA_NODE_PARAM);
    record.operand[0].setText(name);
    record.operand[1].setFloat(value);
    appendInstruction(record);
}

void ClDNAProgram::emitParamString(const char* name, const char* text) {
    SDNAInstruction record = blankInstruction(E_DNA_NODE_PARAM);
    record.operand[0].setText(name);
    record.operand[1].setText(text);
    appendInstruction(record);
}

void ClDNAProgram::emitParamInt(const char* name, s32 value) {
    SDNAInstruction record = blankInstruction(E_DNA_NODE_PARAM);
    record.operand[0].setText(name);
    record.operand[1].setInt(value);
    appendInstruction(record);
}

void ClDNAProgram::emitParamVector(const char* name, f32 x, f32 y, f32 z, f32 w) {
    SDNAInstruction record = blankInstruction(E_DNA_NODE_PARAM);
    record.operand[0].setText(name);
    record.operand[1].setVector(x, y, z, w);
    appendInstruction(record);
}

void ClDNAProgram::emitAddProcessor(u32 typeId) {
    SDNAInstruction record = blankInstruction(E_DNA_ADD_PROCESSOR);
    record.operand[0].setInt(s32(typeId));
    appendInstruction(record);
}

void ClDNAProgram::emitNameNode(const char* name) {
    SDNAInstruction record = blankInstruction(E_DNA_NAME_NODE);
    record.operand[0].setText(name);
    appendInstruction(record);
}

void ClDNAProgram::emitCloseNode() { appendInstruction(blankInstruction(E_DNA_CLOSE_NODE)); }

u32 ClDNAProgram::emitNewAtom(u32 atomKind, s32 geometryIndex, const ClMatrix44& matrix, u32 hitPointClass) {
    SDNAInstruction record = blankInstruction(E_DNA_NEW_ATOM);
    record.operand[0].setInt(s32(atomKind));
    record.operand[1].setInt(geometryIndex);
    record.operand[2].setMatrix(matrix);
    record.operand[3].setInt(s32(hitPointClass));
    appendInstruction(record);
    return atomCount++;
}

void ClDNAProgram::emitRegisterAtom() { appendInstruction(blankInstruction(E_DNA_REGISTER_ATOM)); }

void ClDNAProgram::emitNameAtom(const char* name) {
    SDNAInstruction record = blankInstruction(E_DNA_NAME_ATOM);
    record.operand[0].setText(name);
    appendInstruction(record);
}

void ClDNAProgram::emitAtomParamInt(const char* name, s32 value) {
    SDNAInstruction record = blankInstruction(E_DNA_ATOM_PARAM);
    record.operand[0].setText(name);
    record.operand[1].setInt(value);
    appendInstruction(record);
}

namespace {
SDNAInstruction intInstruction(u32 opcode, s32 value) {
    SDNAInstruction record = blankInstruction(opcode);
    record.operand[0].setInt(value);
    return record;
}
}  // namespace

void ClDNAProgram::emitAtomConfigure(s32 variant) { appendInstruction(intInstruction(E_DNA_CONFIGURE_ATOM, variant)); }
void ClDNAProgram::emitLinkToAtom(u32 atomIndex) { appendInstruction(intInstruction(E_DNA_JOIN_DEPENDANTS, s32(atomIndex))); }
void ClDNAProgram::emitAtomHitPoints(s32 hitPoints) { appendInstruction(intInstruction(E_DNA_ATOM_HIT_POINTS, hitPoints)); }
void ClDNAProgram::emitPairWithAtom(u32 atomIndex) { appendInstruction(intInstruction(E_DNA_PAIR_ATOMS, s32(atomIndex))); }

u32 ClDNAProgram::emitAnchorNode() {
    emitNewNode(identityMatrix());
    const u32 anchor = emitNewAtom(1, -1, identityMatrix(), 0);
    emitNameAtom("AnchorCL");
    return anchor;
}

// The raw value counts one geometry per atom of any kind but the attach point (kind 1).
void ClDNAProgram::applyConstructionCost(u32 type) {
    auto sumOfBuildSteps = [this]() {
        s32 sum = 0;
        for (const SDNAInstruction& record : instructions) {
            if (record.opcode != E_DNA_NEW_ATOM || record.operand[0].integer == 1) continue;
            const s32 index = record.operand[1].integer;
            if (index >= 0 && u32(index) < geometries.count) sum += s32(geometries[u32(index)]->detail);
        }
        return sum;
    };
    const s32 cost = getConstructionCost(type);
    rawValue = sumOfBuildSteps();
    if (rawValue != 0) {
        const f32 scale = f32(cost) / f32(rawValue);
        for (ClGeometryMesh* mesh : geometries) {
            const u32 scaled = u32(f32(mesh->detail) * scale);
            mesh->detail = scaled < 1 ? 1 : scaled;
        }
    }
    weight = sumOfBuildSteps();
    inspirationScore = getInspirationScorePerType(type);
}
