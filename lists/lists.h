// The one container of twinex: an intrusive doubly linked list whose header
// doubles as both end sentinels.
//
// A ListHeader is three links {head, tail, prev}. Read as a Node, the header
// itself is the head sentinel (next = head, prev = tail, always null); the
// address of its `tail` field read as a Node is the tail sentinel (next = tail,
// always null, prev = prev). A node is a real member exactly when its `next`
// is non-null, so every walk reads:
//
//     for (Node* n = list.head; n && n->next; n = n->next) ...
//
// The library never allocates or frees a node; callers own them.
#pragma once

struct Node {
    Node* next;
    Node* prev;
};

struct ListHeader {
    Node* head;
    Node* tail;  // always null: shared by both sentinels
    Node* prev;
};

// The two sentinels of a header.
inline Node* HeadSentinel(ListHeader* list) { return reinterpret_cast<Node*>(&list->head); }
inline Node* TailSentinel(ListHeader* list) { return reinterpret_cast<Node*>(&list->tail); }

void InitListHeader(ListHeader* list);
ListHeader* CreateListHeader();
// Releases only an empty header; returns null when released, `list` when kept.
ListHeader* DestroyListHeader(ListHeader* list);
void InsertNodeAfter(Node* node, Node* prevnode);
void InsertNodeBefore(Node* node, Node* nextnode);
void AddHeadNode(ListHeader* list, Node* node);
void AddTailNode(ListHeader* list, Node* node);
void RemoveNode(Node* node);
Node* RemoveHeadNode(ListHeader* list);
Node* RemoveTailNode(ListHeader* list);
Node* NodeExists(Node* node, ListHeader* list);
Node* NextNode(Node* node);
Node* PrevNode(Node* node);

// The first real node, or null for an empty list.
inline Node* FirstNode(ListHeader* list) { return NextNode(HeadSentinel(list)); }
