#include "core/script_cache.h"

#include "core/directories.h"
#include "core/fatal_error.h"
#include "core/file_status.h"
#include "core/packages.h"
#include "core/script_node.h"
#include "core/script_parser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

// ---------------------------------------------------------------------------------------------
// The chained table

u64 scriptBucketHash(const char* key) {
    s32 evenSum = 0;
    s32 oddSum = 0;
    for (size_t i = 0; key[i] != '\0'; ++i) {
        // The sums are of signed bytes whatever the platform's plain char is.
        const s32 byte = static_cast<signed char>(key[i]);
        if (i % 2 == 0) evenSum += byte;
        else oddSum += byte;
    }
    // Both sums are exact in single precision, so the product is the exact one rounded once.
    const f32 product = f32(evenSum) * f32(oddSum);
    return u64(std::fabs(product));
}

namespace {

u32 bucketOf(const char* key) { return u32(scriptBucketHash(key) % SCRIPT_REGISTRY_BUCKET_COUNT); }

}  // namespace

bool ClScriptRegistry::insert(const char* key, uintptr_t value) {
    if (find(key, nullptr)) return false;
    SScriptRegistryEntry* entry = new SScriptRegistryEntry;
    entry->key = key;
    entry->value = value;
    const u32 bucket = bucketOf(key);
    entry->next = buckets[bucket];
    buckets[bucket] = entry;
    return true;
}

bool ClScriptRegistry::find(const char* key, uintptr_t* outValue) const {
    for (const SScriptRegistryEntry* entry = buckets[bucketOf(key)]; entry; entry = entry->next) {
        if (entry->key.equalsText(key)) {
            if (outValue) *outValue = entry->value;
            return true;
        }
    }
    return false;
}

bool ClScriptRegistry::remove(const char* key) {
    for (SScriptRegistryEntry** link = &buckets[bucketOf(key)]; *link; link = &(*link)->next) {
        SScriptRegistryEntry* entry = *link;
        if (entry->key.equalsText(key)) {
            *link = entry->next;
            delete entry;
            return true;
        }
    }
    return false;
}

bool ClScriptRegistry::removeFirst(String* outKey, uintptr_t* outValue) {
    for (SScriptRegistryEntry*& head : buckets) {
        if (!head) continue;
        SScriptRegistryEntry* entry = head;
        head = entry->next;
        if (outKey) *outKey = entry->key;
        if (outValue) *outValue = entry->value;
        delete entry;
        return true;
    }
    return false;
}

const char* ClScriptRegistry::findKeyOfValue(uintptr_t value) const {
    for (const SScriptRegistryEntry* head : buckets) {
        for (const SScriptRegistryEntry* entry = head; entry; entry = entry->next) {
            if (entry->value == value) return entry->key.getText();
        }
    }
    return nullptr;
}

void ClScriptRegistry::clear() {
    for (SScriptRegistryEntry*& head : buckets) {
        while (head) {
            SScriptRegistryEntry* entry = head;
            head = entry->next;
            delete entry;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Registries

namespace {

// Function-local so that they exist before any static initialiser could load a script.
ClScriptRegistry& scriptCache() {
    static ClScriptRegistry registry;
    return registry;
}

ClScriptRegistry& classRegistry() {
    static ClScriptRegistry registry;
    return registry;
}

String& lastMissingScript() {
    static String name;
    return name;
}

class ClPackagedScriptSource : public IScriptSource {
public:
    bool readScriptFile(const char* name, std::vector<char>* out) override { return readPackagedScriptFile(name, out); }
};

ClPackagedScriptSource g_packagedScriptSource;
IScriptSource* g_scriptSource = nullptr;

void destroyTree(uintptr_t value) { delete reinterpret_cast<ClScriptNode*>(value); }

// Destroys the cached tree of the name and takes its entry out; nothing when it is not cached.
void dropCachedScript(const char* fileName) {
    uintptr_t value = 0;
    if (!scriptCache().find(fileName, &value)) return;
    // The entry goes first, so a tree whose destruction looked itself up would not be found.
    scriptCache().remove(fileName);
    destroyTree(value);
}

}  // namespace

bool registerScriptClass(const char* className, ClScriptNode* block) {
    return classRegistry().insert(className, reinterpret_cast<uintptr_t>(block));
}

void unregisterScriptClass(const char* className) { classRegistry().remove(className); }

void scriptRegistriesInit() {
    freeAllScripts();
    lastMissingScript().clear();
}

void freeAllScripts() {
    String name;
    uintptr_t value = 0;
    while (scriptCache().removeFirst(&name, &value)) destroyTree(value);
    // Trees the cache never held (a caller's own scriptLoad) may still have classes here; the
    // registry only names them, it does not own them.
    classRegistry().clear();
}

// ---------------------------------------------------------------------------------------------
// Loading

ClScriptNode* getScript(const char* fileName, u32 reload) {
    if (!fileName) fileName = "";
    if (reload) dropCachedScript(fileName);
    uintptr_t value = 0;
    if (scriptCache().find(fileName, &value)) return reinterpret_cast<ClScriptNode*>(value);
    ClScriptNode* root = scriptLoad(fileName, 1);
    if (!root) {
        lastMissingScript() = fileName;
        return nullptr;
    }
    scriptCache().insert(fileName, reinterpret_cast<uintptr_t>(root));
    return root;
}

ClScriptNode* scriptLoad(const char* fileName, u32 watch) {
    (void)watch;
    IScriptSource* source = getScriptSource();
    std::vector<char> bytes;
    if (!fileName || !source->readScriptFile(fileName, &bytes)) return nullptr;
    // One byte over the limit is enough for the parser to report the file as too large.
    const u32 size = u32(std::min<size_t>(bytes.size(), size_t(SCRIPT_TEXT_SIZE_LIMIT) + 1));
    return scriptParseBytes(fileName, bytes.data(), size, source, nullptr);
}

const char* scriptNameOfRoot(const ClScriptNode* root) {
    if (!root) return nullptr;
    return scriptCache().findKeyOfValue(reinterpret_cast<uintptr_t>(root));
}

const char* lastMissingScriptName() { return lastMissingScript().getText(); }

void setScriptSource(IScriptSource* source) { g_scriptSource = source; }

IScriptSource* getScriptSource() { return g_scriptSource ? g_scriptSource : &g_packagedScriptSource; }

bool readPackagedScriptFile(const char* name, std::vector<char>* out) {
    out->clear();
    // data directory + "Scripts\" + name; the package layer hashes it relative to the data
    // directory, with '\' as the only separator.
    std::string path = getDataDir();
    path += SCRIPT_FOLDER;
    path += name;
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.size() >= FILE_PATH_LIMIT) return false;

    SAssetFile* file = nullptr;
    u32 size = 0;
    if (openPackagedFile(path.c_str(), &size, &file, PACKAGE_ID_ANY) != E_FILESTATUS_OK) return false;
    bool read = prepareAssetFileBuffers(file, 0, size, 16, 4) == 1 && readAssetFile(file, 0, size) == E_FILESTATUS_OK;
    if (read) out->assign(file->data, file->data + size);
    closeAssetFileDisk(file);
    releaseAssetFile(file);
    return read;
}
