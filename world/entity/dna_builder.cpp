// The interpreter that runs a DNA program into an entity's node tree.
#include "core/fatal_error.h"
#include "core/owner_blocks.h"
#include "render/geometry_mesh.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_factory.h"
#include "world/entity/dna_program.h"
#include "world/entity/entity.h"
#include "world/entity/entity_node.h"
#include "world/entity/processor.h"
#include "world/entity/world.h"

namespace {

struct SBuildCursor {
    ClEntity* entity;
    ClEntityNode* node;
    ClAtom* atom;
    u32 index;
};

ClEntityNode* requireNode(const SBuildCursor& cursor, u32 opcode) {
    if (!cursor.node) fatalErrorf("DNA instruction %u (opcode %u) needs a current node", cursor.index, opcode);
    return cursor.node;
}

ClAtom* requireAtom(const SBuildCursor& cursor, u32 opcode) {
    if (!cursor.atom) fatalErrorf("DNA instruction %u (opcode %u) needs a current atom", cursor.index, opcode);
    return cursor.atom;
}

const char* textOf(const SBuildCursor& cursor, const SParamValue& operand) {
    if (operand.type != E_PARAM_STRING) fatalErrorf("DNA instruction %u wants a text operand", cursor.index);
    return operand.text;
}

ClAtom* atomOfIndex(const SBuildCursor& cursor, const SParamValue& operand) {
    ClAtom* atom = cursor.entity->root ? cursor.entity->root->findAtomByIndex(u32(operand.integer)) : nullptr;
    if (!atom) fatalErrorf("DNA instruction %u names atom %d, which was not built", cursor.index, operand.integer);
    return atom;
}

void openNode(SBuildCursor& cursor, const SDNAInstruction& record, ClEntityNode** resultSlot) {
    ClEntityNode* node = allocEntityNode();
    node->init();
    if (resultSlot) *resultSlot = node;
    if (cursor.node) {
        cursor.node->children.push(node);
        cursor.entity->boundsFrame = 0;
    } else {
        cursor.entity->root = node;
    }
    node->parent = cursor.node;
    node->entity = cursor.entity;
    cursor.node = node;
    node->localMatrix = record.operand[0].getMatrix();
}

void addProcessor(SBuildCursor& cursor, const SDNAInstruction& record) {
    ClEntityNode* node = requireNode(cursor, record.opcode);
    ClProcessor* processor = processorCreate(u32(record.operand[0].integer));
    if (!processor) fatalErrorf("processor type %d could not be created", record.operand[0].integer);
    processor->builderIndex = cursor.index;
    processor->attach(cursor.entity, node);
    node->processors.push(processor);
}

void newAtom(SBuildCursor& cursor, const SDNAInstruction& record, const ClDNAProgram& program) {
    ClEntityNode* node = requireNode(cursor, record.opcode);
    const s32 kind = record.operand[0].integer;
    if (kind < 1 || kind > 7 || kind == 3) fatalErrorf("DNA atom kind %d does not exist", kind);
    const s32 hitPointClass = record.operand[3].integer;
    if (hitPointClass < 0) fatalErrorf("hit-point class %d does not exist", hitPointClass);
    ClGeometryMesh* geometry = nullptr;
    const s32 geometryIndex = record.operand[1].integer;
    if (kind != E_ATOM_ATTACH_POINT && program.geometries.count != 0 && geometryIndex >= 0) {
        if (u32(geometryIndex) >= program.geometries.count)
            fatalErrorf("DNA geometry index %d is past the program's %u geometries", geometryIndex,
                        program.geometries.count);
        geometry = program.geometries[u32(geometryIndex)];
    }
    const f32 hitPoints =
        hitPointsForClass(u32(hitPointClass), program.kind == E_PROGRAM_PLAYER ? 0 : HIT_POINT_ROW_CURRENT);
    // Every check comes before the atom exists, so a refused atom is not left behind.
    ClAtom* atom = atomCreate(u32(kind));
    if (!atom) fatalErrorf("an atom of kind %d could not be created", kind);
    atom->init(geometry, cursor.entity, node);
    atom->hitPointClass = u32(hitPointClass);
    atom->hitPoints = hitPoints;
    atom->spawnHitPoints = hitPoints;
    node->atoms.push(atom);
    if (node->entity) node->entity->boundsFrame = 0;
    atom->localMatrix = record.operand[2].getMatrix();
    atom->indexInEntity = cursor.entity->nextAtomIndex++;
    cursor.atom = atom;
    cursor.entity->atoms.push(atom);
}

}  // namespace

void ClEntity::runDNA(u32 first, ClEntityNode* startNode, ClEntityNode** resultSlot) {
    if (!program) fatalError("runDNA on an entity without a program");
    // A tree grown later joins the rest of the entity's blocks while they have room.
    const ClOwnerBlocksScope ownBlocks(entityRecordNumber(this));
    if (first == 0) nextAtomIndex = 0;
    SBuildCursor cursor = {this, startNode, nullptr, first};
    const ClArray<SDNAInstruction>& instructions = program->instructions;
    for (; cursor.index < instructions.count; ++cursor.index) {
        const SDNAInstruction& record = instructions[cursor.index];
        const SParamValue& a = record.operand[0];
        switch (record.opcode) {
            case E_DNA_NEW_NODE:
                openNode(cursor, record, resultSlot);
                break;
            case E_DNA_SET_NODE_MATRIX:
                requireNode(cursor, record.opcode)->localMatrix = a.getMatrix();
                break;
            case E_DNA_NODE_PARAM:
                *requireNode(cursor, record.opcode)->params.findOrAdd(textOf(cursor, a)) = record.operand[1];
                break;
            case E_DNA_ADD_PROCESSOR:
                addProcessor(cursor, record);
                break;
            case E_DNA_NAME_NODE:
                copyEntityName(requireNode(cursor, record.opcode)->name, textOf(cursor, a));
                break;
            case E_DNA_CLOSE_NODE:
                cursor.node = requireNode(cursor, record.opcode)->parent;
                cursor.atom = nullptr;
                if (cursor.node == startNode) return;
                break;
            case E_DNA_NEW_ATOM:
                newAtom(cursor, record, *program);
                break;
            case E_DNA_SET_ATOM_MATRIX:
                requireAtom(cursor, record.opcode)->localMatrix = a.getMatrix();
                break;
            case E_DNA_REGISTER_ATOM:
                requireAtom(cursor, record.opcode)->registered = 1;
                registeredAtoms.push(cursor.atom);
                break;
            case E_DNA_NAME_ATOM:
                copyEntityName(requireAtom(cursor, record.opcode)->name, textOf(cursor, a));
                break;
            case E_DNA_ATOM_PARAM:
                *requireAtom(cursor, record.opcode)->params.findOrAdd(textOf(cursor, a)) = record.operand[1];
                break;
            case E_DNA_CONFIGURE_ATOM:
                requireAtom(cursor, record.opcode)->configure(a.integer);
                break;
            case E_DNA_JOIN_DEPENDANTS:
                requireAtom(cursor, record.opcode);
                atomOfIndex(cursor, a)->dependants.push(cursor.atom);
                break;
            case E_DNA_ADD_DEPENDANT:
                requireAtom(cursor, record.opcode)->dependants.push(atomOfIndex(cursor, a));
                break;
            case E_DNA_ATOM_HIT_POINTS:
                requireAtom(cursor, record.opcode)->hitPoints = f32(a.integer);
                cursor.atom->spawnHitPoints = f32(a.integer);
                break;
            case E_DNA_PAIR_ATOMS:
                requireAtom(cursor, record.opcode);
                ClAtom::linkAtoms(cursor.atom, atomOfIndex(cursor, a));
                break;
            case E_DNA_FORGET_ATOM:
                cursor.atom = nullptr;
                break;
            default:
                fatalErrorf("DNA instruction %u has opcode %u, outside 1 to 17", cursor.index, record.opcode);
        }
    }
}
