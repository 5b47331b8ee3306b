// A set of file identities: the directories a scan has walked, so that a
// directory reached a second time (through a link, a junction, a bind mount
// or a second root) is not listed again.
//
// Open addressing with linear probing over plain heap blocks; a full set
// grows to twice its size. A slot whose `known` is false is empty.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "platform/platform.h"

struct IdSet {
    FileId* slots;
    uint32_t mask;
    uint32_t used;

    // False when memory is short.
    bool init()
    {
        used = 0;
        mask = START_SLOTS - 1;
        slots = static_cast<FileId*>(calloc(START_SLOTS, sizeof(FileId)));
        return slots != nullptr;
    }

    void release()
    {
        free(slots);
        slots = nullptr;
    }

    // 1 when `id` was added, 0 when it was there already, -1 when memory is
    // short (nothing added).
    int insert(const FileId& id)
    {
        if ((uint64_t(used) + 1) * 2 > uint64_t(mask) + 1 && !grow())
            return -1;
        FileId* s = find(slots, mask, id);
        if (s->known)
            return 0;
        *s = id;
        ++used;
        return 1;
    }

    bool contains(const FileId& id) const { return id.known && find(slots, mask, id)->known; }

private:
    static constexpr uint32_t START_SLOTS = 256;

    static uint32_t hash(const FileId& id)
    {
        uint64_t h = id.index * 0x9e3779b97f4a7c15ull ^ (id.volume + 0x632be59bd9b4e019ull);
        h ^= h >> 29;
        h *= 0xbf58476d1ce4e5b9ull;
        h ^= h >> 32;
        return uint32_t(h);
    }

    static FileId* find(FileId* table, uint32_t m, const FileId& id)
    {
        for (uint32_t i = hash(id) & m;; i = (i + 1) & m)
            if (!table[i].known || table[i] == id)
                return &table[i];
    }

    bool grow()
    {
        uint64_t slots_now = uint64_t(mask) + 1;
        uint64_t more = slots_now * 2;
        if (more > (uint64_t(1) << 31) || more > SIZE_MAX / sizeof(FileId))
            return false;
        FileId* fresh = static_cast<FileId*>(calloc(size_t(more), sizeof(FileId)));
        if (!fresh)
            return false;
        uint32_t m = uint32_t(more - 1);
        for (uint64_t k = 0; k < slots_now; ++k)
            if (slots[k].known)
                *find(fresh, m, slots[k]) = slots[k];
        free(slots);
        slots = fresh;
        mask = m;
        return true;
    }
};
