#include "lists/lists.h"

#include <cstdlib>

void InitListHeader(ListHeader* list)
{
    if (!list)
        return;
    list->head = TailSentinel(list);
    list->tail = nullptr;
    list->prev = HeadSentinel(list);
}

ListHeader* CreateListHeader()
{
    ListHeader* list = static_cast<ListHeader*>(calloc(1, sizeof(ListHeader)));
    InitListHeader(list);
    return list;
}

// A header is released only while it holds no node, so no member is ever
// left linked to freed storage.
ListHeader* DestroyListHeader(ListHeader* list)
{
    if (!list)
        return nullptr;
    if (list->head != TailSentinel(list))
        return list;
    free(list);
    return nullptr;
}

void InsertNodeAfter(Node* node, Node* prevnode)
{
    node->next = prevnode->next;
    node->prev = prevnode;
    prevnode->next = node;
    node->next->prev = node;
}

void InsertNodeBefore(Node* node, Node* nextnode)
{
    node->next = nextnode;
    node->prev = nextnode->prev;
    node->prev->next = node;
    nextnode->prev = node;
}

void AddHeadNode(ListHeader* list, Node* node)
{
    node->next = list->head;
    node->prev = HeadSentinel(list);
    list->head = node;
    node->next->prev = node;
}

void AddTailNode(ListHeader* list, Node* node)
{
    node->next = TailSentinel(list);
    node->prev = list->prev;
    node->prev->next = node;
    list->prev = node;
}

void RemoveNode(Node* node)
{
    node->prev->next = node->next;
    node->next->prev = node->prev;
}

Node* RemoveHeadNode(ListHeader* list)
{
    Node* first = NextNode(HeadSentinel(list));
    if (!first)
        return nullptr;
    RemoveNode(first);
    return NextNode(first);  // its links still point at its old neighbours
}

Node* RemoveTailNode(ListHeader* list)
{
    Node* last = PrevNode(TailSentinel(list));
    if (!last)
        return nullptr;
    RemoveNode(last);
    return PrevNode(last);
}

Node* NodeExists(Node* node, ListHeader* list)
{
    for (Node* n = list->head; n && n->next; n = n->next)
        if (n == node)
            return n->next;
    return nullptr;
}

Node* NextNode(Node* node)
{
    if (!node || !node->next || !node->next->next)
        return nullptr;
    return node->next;
}

Node* PrevNode(Node* node)
{
    if (!node || !node->prev || !node->prev->prev)
        return nullptr;
    return node->prev;
}
