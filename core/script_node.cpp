#include "core/script_node.h"

#include "core/fatal_error.h"
#include "core/name_hash.h"
#include "core/script_cache.h"
#include "core/vec.h"

#include <cmath>
#include <cstdio>
#include <cstring>

ClScriptNode::ClScriptNode() : isClass(0), parent(nullptr), named(0), kind(E_SCRIPTNODE_NAME_ONLY), number(0) {}

ClScriptNode::~ClScriptNode() { destroyChildren(); }

void ClScriptNode::init(u32 nodeKind) {
    // Every unnamed node shares the one static text; nothing to free.
    name.release();
    name.text = SCRIPT_UNNAMED_TEXT;
    name.hash = SCRIPT_UNNAMED_HASH;
    children.init(SCRIPT_NODE_CHILD_CAPACITY);
    parent = nullptr;
    isClass = 0;
    named = 0;
    kind = nodeKind;
}

void ClScriptNode::attachChild(ClScriptNode* child) {
    if (!children.inUse) children.init(SCRIPT_NODE_CHILD_CAPACITY);
    child->parent = this;
    children.push(child);
    kind = E_SCRIPTNODE_BLOCK;
}

void ClScriptNode::destroyChildren() {
    for (ClScriptNode* child : children) delete child;
    children.release();
    if (isClass) {
        unregisterScriptClass(name.text);
        isClass = 0;
    }
}

namespace {

u32 childIndexOf(const ClScriptNode* node) {
    const ClScriptNode* parent = node->parent;
    for (u32 i = 0; parent && i < parent->children.count; ++i) {
        if (parent->children[i] == node) return i;
    }
    return 0;
}

[[noreturn]] void dieOnNullNode(const char* what, const char* childName) {
    const char* missing = lastMissingScriptName();
    fatalErrorf("script: %s(\"%s\") on a null tree (last script that could not be loaded: \"%s\")", what,
                childName ? childName : "", missing[0] ? missing : "none");
}

[[noreturn]] void dieOnMissingChild(const ClScriptNode* node, const char* what, const char* childName) {
    char where[512];
    describeScriptNode(node, where, sizeof where);
    fatalErrorf("script %s: %s(\"%s\"): no such child", where, what, childName ? childName : "");
}

ClScriptNode* findChildByHash(const ClScriptNode* node, u32 hash, bool namedOnly) {
    for (ClScriptNode* child : node->children) {
        if (namedOnly && !child->named) continue;
        if (child->name.hash == hash) return child;
    }
    return nullptr;
}

}  // namespace

ClScriptNode* ClScriptNode::getNamedChildOrDie(const ClScriptNode* node, const char* childName) {
    if (!node) dieOnNullNode("getNamedChildOrDie", childName);
    ClScriptNode* child = findChildByHash(node, crc32TextNoCase(childName), true);
    if (!child) dieOnMissingChild(node, "getNamedChildOrDie", childName);
    return child;
}

ClScriptNode* ClScriptNode::getChildOrDie(const ClScriptNode* node, const char* childName) {
    if (!node) dieOnNullNode("getChildOrDie", childName);
    ClScriptNode* child = findChildByHash(node, crc32TextNoCase(childName), false);
    if (!child) dieOnMissingChild(node, "getChildOrDie", childName);
    return child;
}

ClScriptNode* ClScriptNode::findChild(const char* childName) const {
    return findChildByHash(this, crc32TextNoCase(childName), false);
}

ClScriptNode* ClScriptNode::getChild(u32 index) const {
    if (index >= children.count) {
        char where[512];
        describeScriptNode(this, where, sizeof where);
        fatalErrorf("script %s: child %u asked for, but it has %u", where, index, children.count);
    }
    return children[index];
}

f32 ClScriptNode::getFloat() const {
    if (kind == E_SCRIPTNODE_INT) return f32(s32(number));
    f32 real;
    std::memcpy(&real, &number, sizeof real);
    return real;
}

s32 ClScriptNode::getInt() const {
    if (kind != E_SCRIPTNODE_FLOAT) return s32(number);
    const f32 real = getFloat();
    // Converting a float outside the s32 range is undefined; such values saturate.
    if (std::isnan(real)) return 0;
    if (real >= 2147483648.0f) return INT32_MAX;
    if (real <= -2147483648.0f) return INT32_MIN;
    return s32(real);
}

void ClScriptNode::getVector3(ClVec3* out) const {
    out->x = getChild(0)->getFloat();
    out->y = getChild(1)->getFloat();
    out->z = getChild(2)->getFloat();
}

void ClScriptNode::setInt(s32 integer) {
    kind = E_SCRIPTNODE_INT;
    number = u32(integer);
}

void ClScriptNode::setFloat(f32 real) {
    kind = E_SCRIPTNODE_FLOAT;
    std::memcpy(&number, &real, sizeof number);
}

void describeScriptNode(const ClScriptNode* node, char* out, u32 outSize) {
    if (outSize == 0) return;
    out[0] = '\0';
    if (!node) {
        std::snprintf(out, outSize, "(null tree)");
        return;
    }
    // The path is built leaf first, so collect the chain and print it from the root.
    constexpr u32 MAX_SHOWN_DEPTH = 16;
    const ClScriptNode* chain[MAX_SHOWN_DEPTH];
    u32 depth = 0;
    const ClScriptNode* root = node;
    for (const ClScriptNode* n = node; n; n = n->parent) {
        if (!n->parent) root = n;
        else if (depth < MAX_SHOWN_DEPTH) chain[depth++] = n;
    }
    const char* scriptName = scriptNameOfRoot(root);
    u32 used = u32(std::snprintf(out, outSize, "\"%s\" ", scriptName ? scriptName : "(not cached)"));
    if (depth == 0 && used < outSize) used += u32(std::snprintf(out + used, outSize - used, "(root)"));
    while (depth > 0 && used < outSize) {
        const ClScriptNode* n = chain[--depth];
        if (n->named) used += u32(std::snprintf(out + used, outSize - used, "%s", n->name.text));
        else used += u32(std::snprintf(out + used, outSize - used, "[%u]", childIndexOf(n)));
        if (depth > 0 && used < outSize) used += u32(std::snprintf(out + used, outSize - used, "/"));
    }
}
