#include "world/atoms/atom_factory.h"

#include "core/fatal_error.h"
#include "world/atoms/atom.h"
#include "world/atoms/atom_attach_point.h"
#include "world/atoms/atom_body.h"
#include "world/atoms/atom_bullet.h"
#include "world/atoms/atom_pickupable.h"
#include "world/atoms/atom_staff.h"

#include <new>

namespace {

using AtomConstructor = ClAtom* (*)();

template <typename T>
ClAtom* constructAtom() {
    return new (std::nothrow) T();
}

struct SAtomKindEntry {
    const char* name;
    AtomConstructor construct;  // null while the class is not built
};

// Indexed by kind; one line per kind.
constexpr SAtomKindEntry ATOM_KINDS[ATOM_KIND_COUNT] = {
    {nullptr, nullptr},
    {"ClAtom_InvisibleAttachPt", &constructAtom<ClAtom_InvisibleAttachPt>},
    {"ClAtom_Body", &constructAtom<ClAtom_Body>},
    {nullptr, nullptr},
    {"ClAtom_Bullet", &constructAtom<ClAtom_Bullet>},
    {"ClAtom_Bullet_Staff", &constructAtom<ClAtom_Bullet_Staff>},
    {"ClAtom_Bullet_RoundStaff", &constructAtom<ClAtom_Bullet_RoundStaff>},
    {"ClAtom_Pickupable", &constructAtom<ClAtom_Pickupable>},
};

}  // namespace

const char* atomKindName(u32 kind) { return kind < ATOM_KIND_COUNT ? ATOM_KINDS[kind].name : nullptr; }

ClAtom* atomCreate(u32 kind) {
    const char* name = atomKindName(kind);
    if (!name) fatalErrorf("atom kind %u does not exist", kind);
    const AtomConstructor construct = ATOM_KINDS[kind].construct;
    if (!construct) fatalErrorf("atom kind %u (%s) has no class in this build", kind, name);
    ClAtom* atom = construct();
    if (!atom) fatalErrorf("no memory for an atom of kind %u (%s)", kind, name);
    return atom;
}

void atomFree(ClAtom* atom) { delete atom; }
