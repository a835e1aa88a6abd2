// A doubly linked list whose nodes carry their own links: a record joins a list by deriving from
// `ClListNode`. The list never allocates or frees; its nodes belong to the user.
#pragma once

#include "core/types.h"

struct ClListNode {
    ClListNode* next = nullptr;
    ClListNode* prev = nullptr;
};

class ClIntrusiveList {
public:
    using NodeCallback = void (*)(ClListNode* node);

    // The node must not be in a list already.
    void pushBack(ClListNode* node);
    // Joins the node's neighbours; the node must be in this list. The node's own links are left as
    // they were, so a walk may read `next` after unlinking. Nothing happens on an empty list.
    void unlink(ClListNode* node);
    // Unlinks the head until the list is empty, calling back after each removal (when a callback
    // is given): the callback may free the node.
    void clear(NodeCallback callback);

    u32 getCount() const { return count; }
    ClListNode* getHead() const { return head; }

private:
    u32 count = 0;
    ClListNode* head = nullptr;
    ClListNode* tail = nullptr;
};
