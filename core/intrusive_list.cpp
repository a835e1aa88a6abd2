#include "core/intrusive_list.h"

void ClIntrusiveList::pushBack(ClListNode* node) {
    node->next = nullptr;
    node->prev = tail;
    if (tail) tail->next = node;
    else head = node;
    tail = node;
    ++count;
}

void ClIntrusiveList::unlink(ClListNode* node) {
    if (count == 0) return;
    if (node->prev) node->prev->next = node->next;
    else head = node->next;
    if (node->next) node->next->prev = node->prev;
    else tail = node->prev;
    --count;
}

void ClIntrusiveList::clear(NodeCallback callback) {
    while (count != 0 && head) {
        ClListNode* node = head;
        unlink(node);
        if (callback) callback(node);
    }
}
