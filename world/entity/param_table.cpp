#include "world/entity/param_table.h"

#include "core/array.h"
#include "core/fatal_error.h"
#include "core/name_hash.h"

void SParamTable::init(u32 tableCapacity) {
    release();
    map.init(tableCapacity);
    entries = static_cast<SParamValue*>(arrayAllocateBlock(tableCapacity, sizeof(SParamValue)));
    for (u32 i = 0; i < tableCapacity; ++i) entries[i].type = E_PARAM_NONE;
    capacity = tableCapacity;
    count = 0;
}

void SParamTable::release() {
    if (!entries) return;
    map.release();
    arrayFreeBlock(entries);
    entries = nullptr;
    count = 0;
    capacity = 0;
}

SParamValue* SParamTable::find(const char* name) const { return find(SParamName(name)); }

SParamValue* SParamTable::find(const SParamName& name) const {
    if (!entries) fatalErrorf("parameter \"%s\" looked up in a table that was not set up", name.text);
    return reinterpret_cast<SParamValue*>(map.find(name.hash));
}

SParamValue* SParamTable::get(const char* name) const { return get(SParamName(name)); }

SParamValue* SParamTable::get(const SParamName& name) const {
    SParamValue* value = find(name);
    if (!value) fatalErrorf("required parameter \"%s\" is missing", name.text);
    return value;
}

SParamValue* SParamTable::findOrAdd(const char* name) { return findOrAdd(SParamName(name)); }

// The map has a slot for every entry, so a full table takes no new name.
SParamValue* SParamTable::findOrAdd(const SParamName& name) {
    if (count >= capacity) {
        if (SParamValue* value = find(name)) return value;
        fatalErrorf("parameter table full (%u entries) adding \"%s\"", capacity, name.text);
    }
    SParamValue* next = &entries[count];
    const uintptr_t found = map.findOrInsert(name.hash, reinterpret_cast<uintptr_t>(next));
    if (found == 0) fatalErrorf("parameter \"%s\" cannot be entered in its table", name.text);
    if (found == reinterpret_cast<uintptr_t>(next)) ++count;
    return reinterpret_cast<SParamValue*>(found);
}
