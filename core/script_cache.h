// The two script registries (loaded trees by file name, class blocks by class name) and the
// loading entry points of text definition files ("Scripts\<name>", read from the mounted
// packages only).
//
// Main thread only; one load at a time.
#pragma once

#include "core/string.h"
#include "core/types.h"

#include <cstdint>
#include <vector>

class ClScriptNode;
class IScriptSource;

// The folder of the scripts under the data directory, with its separator.
constexpr const char* SCRIPT_FOLDER = "Scripts\\";

// ---------------------------------------------------------------------------------------------
// The chained table both registries use

constexpr u32 SCRIPT_REGISTRY_BUCKET_COUNT = 59;

// S0 = sum of the bytes at even positions, S1 = sum at odd positions, each byte a signed 8-bit
// number; the product S0 x S1 rounded to single precision, its magnitude truncated to an
// integer. The bucket is this value modulo 59. The truncation is taken in 64 bits, so keys long
// enough to pass 2^31 (far beyond any file or class name) still get a bucket.
u64 scriptBucketHash(const char* key);

struct SScriptRegistryEntry {
    String key;
    uintptr_t value = 0;
    SScriptRegistryEntry* next = nullptr;
};

// Keys compare case-sensitively.
class ClScriptRegistry {
public:
    ClScriptRegistry() = default;
    ~ClScriptRegistry() { clear(); }
    ClScriptRegistry(const ClScriptRegistry&) = delete;
    ClScriptRegistry& operator=(const ClScriptRegistry&) = delete;

    // A new entry goes to the head of its bucket. False, with nothing stored, when the key is
    // already present.
    bool insert(const char* key, uintptr_t value);
    // True when present; the value is written when outValue is not null.
    bool find(const char* key, uintptr_t* outValue) const;
    // Takes out the first entry with the key; false when absent.
    bool remove(const char* key);
    // Takes out the first entry in bucket order, handing over its key and value; false when empty.
    bool removeFirst(String* outKey, uintptr_t* outValue);
    // The key of the first entry holding the value, or null.
    const char* findKeyOfValue(uintptr_t value) const;
    // Frees every entry; values are the owner's business.
    void clear();

private:
    SScriptRegistryEntry* buckets[SCRIPT_REGISTRY_BUCKET_COUNT] = {};
};

// ---------------------------------------------------------------------------------------------
// Class registry

// False when a class of that name is already registered (by this or any other loaded script).
bool registerScriptClass(const char* className, ClScriptNode* block);
// Removes the first registration of the name; nothing happens when there is none.
void unregisterScriptClass(const char* className);

// ---------------------------------------------------------------------------------------------
// Loading and the cache

// Creates (empties) the script cache and the class registry; start-up calls it before the first
// script is loaded. Trees still cached are destroyed first.
void scriptRegistriesInit();
// Destroys every cached tree and empties both registries.
void freeAllScripts();

// The tree of "Scripts\<fileName>". With reload non-zero a cached tree of that name is destroyed
// first (its classes leave the class registry). A cached tree is returned; otherwise the file is
// loaded and, when that succeeds, cached. A missing file gives null and is tried again next time.
// Broken includes, two names in a row and duplicate classes stop the program with a message
// "file:offset: reason".
ClScriptNode* getScript(const char* fileName, u32 reload);
// Reads, expands and parses "Scripts\<fileName>"; null when the file cannot be read. The caller
// owns the tree (delete destroys it and unregisters its classes). The change watch that watch = 1
// asks for does not exist on this system, so the flag changes nothing.
ClScriptNode* scriptLoad(const char* fileName, u32 watch);

// The cache key of a cached root, or null (diagnostics only).
const char* scriptNameOfRoot(const ClScriptNode* root);
// The last file name that `getScript` gave null for; empty when none.
const char* lastMissingScriptName();

// Where scripts and their includes are read from: the mounted packages unless a test has put a
// source of its own in place (null restores the packages).
void setScriptSource(IScriptSource* source);
IScriptSource* getScriptSource();

// The package read itself: the whole file "Scripts\<name>" ('/' read as '\') into out. False
// when no mounted package holds it or the read fails.
bool readPackagedScriptFile(const char* name, std::vector<char>* out);
