// A node of a parsed text definition file: a block of children, a number, a quoted text or a
// bare name. The tree of a file has an unnamed block as its root whose children are the file's
// top-level entries.
#pragma once

#include "core/array.h"
#include "core/hashed_name.h"
#include "core/string.h"
#include "core/types.h"

struct ClVec3;

enum EScriptNodeKind : u32 {
    E_SCRIPTNODE_BLOCK = 0,      // has children
    E_SCRIPTNODE_FLOAT = 1,
    E_SCRIPTNODE_INT = 2,
    E_SCRIPTNODE_TEXT = 3,       // quoted text in `value`
    E_SCRIPTNODE_NAME_ONLY = 4,  // no value; also an empty quoted text
};

constexpr u32 SCRIPT_NODE_CHILD_CAPACITY = 8;
// The name of every node whose name did not come from the file.
constexpr const char* SCRIPT_UNNAMED_TEXT = "[UNNAMED]";
constexpr u32 SCRIPT_UNNAMED_HASH = 0x3B926EDAu;  // crc32TextNoCase("[UNNAMED]")

class ClScriptNode {
public:
    // Children array not set up, name empty and not owned, kind 4, not named, empty value.
    ClScriptNode();
    // Destroys the children (see destroyChildren) and the node's own strings.
    ~ClScriptNode();
    ClScriptNode(const ClScriptNode&) = delete;
    ClScriptNode& operator=(const ClScriptNode&) = delete;

    // Name "[UNNAMED]", a children block of 8, no parent, flags cleared, the kind given.
    void init(u32 nodeKind);
    // Takes ownership of the child and makes this node a block.
    void attachChild(ClScriptNode* child);
    // Deletes every child (each with its own children), releases the children array, and takes
    // a class block's name out of the class registry.
    void destroyChildren();

    // Among the children named in the file, the first whose name hash is crc32TextNoCase(name).
    // None, or a null node (a script that could not be loaded), stops the program with a message
    // naming the script. Use this form on a tree that may be null.
    static ClScriptNode* getNamedChildOrDie(const ClScriptNode* node, const char* name);
    // The first child of any kind with that name hash; unnamed children answer to "[UNNAMED]".
    // None, or a null node, stops the program with a message naming the script.
    static ClScriptNode* getChildOrDie(const ClScriptNode* node, const char* name);
    // As getChildOrDie, but null when there is none.
    ClScriptNode* findChild(const char* childName) const;
    // The child at the index; an index past the children stops the program with a message.
    ClScriptNode* getChild(u32 index) const;
    u32 childCount() const { return children.count; }

    // An integer node gives its value as a float; a float node gives its float.
    f32 getFloat() const;
    // A float node gives its value truncated toward zero (saturated to the s32 range, NaN 0); an
    // integer node gives its integer. Blocks, texts and bare names give 0 from both.
    s32 getInt() const;
    const String& getValueString() const { return value; }
    // x, y and z from children 0, 1 and 2 read with getFloat; the fourth float is left alone.
    // Fewer than three children stop the program with a message.
    void getVector3(ClVec3* out) const;

    // A value kept by its number word: floats as their bit pattern.
    void setInt(s32 integer);
    void setFloat(f32 real);

    u32 isClass;               // 1 when the block holds "_class" and was registered as a class
    ClScriptNode* parent;      // null for the root
    ClArray<ClScriptNode*> children;  // owned
    ClHashedName name;
    u32 named;                 // 1 when the name came from the file
    u32 kind;                  // EScriptNodeKind
    String value;              // the text of kind 3
    u32 number;                // the integer (kind 2) or the float's bits (kind 1)
};

// "\"playbalance.txt\" spawn_bar_range/[2]": the script (when the tree is cached) and the path of
// names from the root, unnamed nodes by their index. For diagnostics; always terminated.
void describeScriptNode(const ClScriptNode* node, char* out, u32 outSize);
