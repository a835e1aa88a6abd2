// Named parameters, DNA programs and the builder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/memory_script_source.h"
#include "world/atoms/atom.h"
#include "world/entity/entity_node.h"
#include "world/entity/processor.h"
#include "world/entity/world.h"
#include "tests/world/world_test_support.h"

#include <cfloat>

using ::testing::HasSubstr;
using test_support::fatalReasonOf;
using world_test::DnaWriter;
using world_test::translation;

namespace {

class ParamTable : public test_support::FatalThrowingTest {};

TEST_F(ParamTable, MissingFullAndUnsetTablesAndOverlongTextsAndNamesStop) {
    SParamTable table;
    EXPECT_THAT(fatalReasonOf([&] { table.findOrAdd("delay"); }), HasSubstr("not set up"));
    table.init(ATOM_PARAM_CAPACITY);
    EXPECT_THAT(fatalReasonOf([&] { table.get("staffwidth"); }), HasSubstr("\"staffwidth\" is missing"));
    for (u32 i = 0; i < ATOM_PARAM_CAPACITY; ++i) table.findOrAdd(("p" + std::to_string(i)).c_str())->setInt(s32(i));
    EXPECT_THAT(fatalReasonOf([&] { table.findOrAdd("one_more"); }), HasSubstr("parameter table full (8 entries)"));
    EXPECT_EQ(table.get("p7")->integer, 7);
    table.release();

    // Texts and names beyond their fields.
    SParamValue value;
    value.setText(std::string(91, 'a').c_str());
    EXPECT_EQ(std::string(value.text).size(), 91u);
    EXPECT_THAT(fatalReasonOf([&] { value.setText(std::string(92, 'a').c_str()); }), HasSubstr("longer than 91 characters"));
    char name[ENTITY_NAME_CAPACITY];
    copyEntityName(name, "BarrelNode1");
    EXPECT_STREQ(name, "BarrelNode1");
    EXPECT_THAT(fatalReasonOf([&] { copyEntityName(name, "BarrelNode12"); }), HasSubstr("longer than 11"));
}

class DnaBuild : public world_test::WorldTest {
protected:
    void TearDown() override {
        g_iHitPointDifficultyLevel = 0;
        world_test::WorldTest::TearDown();
    }
};

// An instruction no emitter writes: a matrix or an atom index operand.
void rawInstruction(ClDNAProgram& program, u32 opcode, const ClMatrix44* matrix = nullptr, s32 atomIndex = -1) {
    SDNAInstruction record = {};
    record.opcode = opcode;
    if (matrix) record.operand[0].setMatrix(*matrix);
    if (atomIndex >= 0) record.operand[0].setInt(atomIndex);
    program.appendInstruction(record);
}

TEST_F(DnaBuild, EveryOpcodeBuildsItsPartOfTheTree) {
    g_iHitPointDifficultyLevel = 2;
    DnaWriter dna;
    const s32 ring = dna.addGeometry(world_test::makeRingMesh(4, 3.0f));
    dna.node("core", translation(1, 2, 3));                           // 1, 5
    const ClMatrix44 moved = translation(0, 0, 9);
    rawInstruction(dna.program, E_DNA_SET_NODE_MATRIX, &moved);       // 2
    dna.param("Vel", 2.0f).param("BRINV", "yes");                     // 3
    dna.processor(E_PROC_BRIDGE_TO_CORE);                             // 4
    const u32 hull = dna.mainBody(ring, 1);                           // 7, 9
    dna.program.emitNameAtom("isAnchor");                             // 10
    dna.program.emitAtomParamInt("PAT", 5);                           // 11
    dna.program.emitAtomConfigure(0);                                 // 12
    const u32 pin = dna.atom(E_ATOM_ATTACH_POINT, ring, 0, translation(4, 0, 0));
    rawInstruction(dna.program, E_DNA_SET_ATOM_MATRIX, &moved);       // 8
    dna.program.emitLinkToAtom(hull);                                 // 13
    dna.program.emitPairWithAtom(hull);                               // 16
    dna.program.emitAtomHitPoints(40);                                // 15
    const u32 claw = dna.node("arm").atom(E_ATOM_BODY, ring, 6);
    rawInstruction(dna.program, E_DNA_ADD_DEPENDANT, nullptr, s32(pin));  // 14
    rawInstruction(dna.program, E_DNA_FORGET_ATOM);                   // 17
    dna.close().close();                                              // 6

    ClEntity* entity = world_test::buildEntity(&dna.program);
    ClEntityNode* root = entity->root;
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->processors.count, 1u);
    ASSERT_EQ(entity->atoms.count, 3u);
    EXPECT_EQ(root->localMatrix.m[14], 9.0f);
    EXPECT_EQ(std::string(root->params.get("brinv")->text), std::string("yes"));
    EXPECT_EQ(root->processors[0]->builderIndex, 5u);

    ClAtom* hullAtom = entity->atoms[hull];
    ClAtom* pinAtom = entity->atoms[pin];
    ClAtom* clawAtom = entity->atoms[claw];
    EXPECT_EQ(clawAtom->indexInEntity, 2u);
    // Attach points never take a geometry; the hull's hit points are difficulty 2, class 1.
    EXPECT_EQ(hullAtom->geometry, dna.program.geometries[0]);
    EXPECT_EQ(pinAtom->geometry, static_cast<ClGeometryMesh*>(nullptr));
    EXPECT_EQ(pinAtom->localMatrix.m[14], 9.0f);
    EXPECT_EQ(hullAtom->hitPoints, 250.0f);
    EXPECT_EQ(pinAtom->spawnHitPoints, 40.0f);
    EXPECT_EQ(clawAtom->hitPoints, FLT_MAX);
    using Atoms = std::vector<ClAtom*>;
    const auto list = [](const ClArray<ClAtom*>& atoms) { return Atoms(atoms.begin(), atoms.end()); };
    EXPECT_EQ(list(hullAtom->dependants), Atoms{pinAtom});
    EXPECT_EQ(list(clawAtom->dependants), Atoms{pinAtom});
    EXPECT_EQ(list(pinAtom->linkedAtoms), Atoms{hullAtom});
    EXPECT_EQ(list(hullAtom->linkedAtoms), Atoms{pinAtom});
    EXPECT_EQ(list(entity->registeredAtoms), Atoms{hullAtom});
    // Atom parameters are not node parameters.
    EXPECT_EQ(root->findByParamValue("PAT", 5), static_cast<ClEntityNode*>(nullptr));
}

TEST_F(DnaBuild, BrokenProgramsStopWithAMessage) {
    struct SCase { const char* expected; void (*write)(DnaWriter& dna); };
    const SCase cases[] = {
        {"opcode 18, outside 1 to 17", [](DnaWriter& d) { d.node(); rawInstruction(d.program, 18); }},
        {"opcode 0", [](DnaWriter& d) { rawInstruction(d.program, 0); }},
        {"atom kind 3 does not exist", [](DnaWriter& d) { d.node().atom(3); }},
        {"atom kind 8 does not exist", [](DnaWriter& d) { d.node().atom(8); }},
        {"geometry index 1 is past the program's 1",
         [](DnaWriter& d) { d.node().atom(E_ATOM_BODY, d.addGeometry(world_test::makeRingMesh(3, 1.0f)) + 1); }},
        {"needs a current node", [](DnaWriter& d) { d.param("delay", 1.0f); }},
        {"needs a current node", [](DnaWriter& d) { d.atom(E_ATOM_BODY); }},
        {"needs a current atom", [](DnaWriter& d) { d.node().program.emitRegisterAtom(); }},
        {"needs a current atom", [](DnaWriter& d) {
             d.node().atom(E_ATOM_BODY);
             rawInstruction(d.program, E_DNA_FORGET_ATOM);
             d.program.emitAtomHitPoints(3);
         }},
        {"names atom 4, which was not built", [](DnaWriter& d) { d.node().atom(E_ATOM_BODY); d.program.emitPairWithAtom(4); }},
        {"hit-point class 7 does not exist", [](DnaWriter& d) { d.node().atom(E_ATOM_BODY, -1, 7); }},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.expected);
        DnaWriter dna;
        c.write(dna);
        ClEntity* entity = allocEntity(OWNER_LIVE_GAME);
        EXPECT_THAT(fatalReasonOf([&] { entity->buildFromDNA(&dna.program); }), HasSubstr(c.expected));
        freeEntity(entity);
    }
}

class ConstructionCost : public test_support::FatalThrowingTest {};

TEST_F(ConstructionCost, BuildStepsScaleToTheCostAndAZeroRawValueIsLeftAlone) {
    const test_support::ClInstalledScripts script{
        {{"playbalance.txt", "construction_cost { 40, 80, 160 }; inspiration_score_per_type { 10, 25, 60 };"}}};
    DnaWriter dna;
    const s32 a = dna.addGeometry(world_test::makeRingMesh(3, 1.0f));
    const s32 b = dna.addGeometry(world_test::makeRingMesh(3, 1.0f));
    dna.node().atom(E_ATOM_BODY, a);
    dna.atom(E_ATOM_BODY, b);
    dna.atom(E_ATOM_ATTACH_POINT, a);  // does not count
    dna.atom(E_ATOM_BODY, b);
    dna.close();
    dna.program.applyConstructionCost(9);  // 80 steps over a raw 30
    const ClDNAProgram& p = dna.program;
    EXPECT_EQ(p.rawValue, 30);
    EXPECT_EQ(p.geometries[0]->detail, 26u);
    EXPECT_EQ(p.geometries[1]->detail, 26u);
    EXPECT_EQ(p.weight, 78);
    EXPECT_EQ(p.inspirationScore, 25);

    DnaWriter empty;
    empty.node().atom(E_ATOM_ATTACH_POINT);
    empty.close().program.applyConstructionCost(8);
    EXPECT_EQ(empty.program.weight, 0);
    EXPECT_EQ(empty.program.inspirationScore, 10);
    EXPECT_THAT(fatalReasonOf([&] { empty.program.applyConstructionCost(11); }),
                HasSubstr("no entry for generator category 11"));
    EXPECT_THAT(fatalReasonOf([&] { empty.program.applyConstructionCost(7); }), HasSubstr("category 7"));
}

}  // namespace
