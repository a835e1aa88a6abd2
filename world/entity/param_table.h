// Named parameters of a node or an atom, found by the case-insensitive hash of their name.
#pragma once

#include "core/hash_map.h"
#include "core/name_hash.h"
#include "core/types.h"
#include "world/entity/param_value.h"

constexpr u32 NODE_PARAM_CAPACITY = 16;
constexpr u32 ATOM_PARAM_CAPACITY = 8;

// A parameter name with its hash (crc32TextNoCase) worked out once, for names read or written
// often.
struct SParamName {
    const char* text;
    u32 hash;

    explicit SParamName(const char* name) : text(name), hash(crc32TextNoCase(name)) {}
};

// Entries are appended in the order of first use and never removed; only the name's hash is
// kept. The table owns its entry block and its map until release.
struct SParamTable {
    ClHashMap map;
    SParamValue* entries = nullptr;
    u32 count = 0;
    u32 capacity = 0;

    // Every entry's type 0, count 0. capacity: a power of two. A table in use is released first.
    void init(u32 tableCapacity);
    void release();
    bool isInitialised() const { return entries != nullptr; }

    // The entry of the name, appended when absent (an appended entry keeps whatever its slot
    // held; callers write type and payload). An uninitialised or full table is fatal.
    SParamValue* findOrAdd(const char* name);
    // The entry of the name; an uninitialised table or a missing name is fatal.
    SParamValue* get(const char* name) const;
    // The entry of the name, or null when absent; an uninitialised table is fatal.
    SParamValue* find(const char* name) const;
    // The same with the name's hash worked out once by the caller.
    SParamValue* find(const SParamName& name) const;
    SParamValue* get(const SParamName& name) const;
    SParamValue* findOrAdd(const SParamName& name);
};
