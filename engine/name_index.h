// The collection's index from a file name to the first record of its group
// in flist, so that a newcomer finds its group in expected constant time
// instead of walking the list from its head.
//
// An open-addressing table with linear probing: each slot holds the hash of
// a name's key and the group's first record (null: empty). The key itself is
// not stored; the slot's record carries it (record_key). Keys are hashed and
// compared folded (only a..z onto A..Z) when the scan ignores letter case.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "engine/id_set.h"
#include "engine/state.h"
#include "match/fold.h"

class NameIndex {
public:
    struct Slot {
        Fnode* first;    // the group's first record; null for an empty slot
        uint32_t hash;
    };

    // Null when memory is short.
    static NameIndex* create(int i_flag)
    {
        NameIndex* ix = static_cast<NameIndex*>(malloc(sizeof(NameIndex)));
        if (!ix)
            return nullptr;
        ix->i_flag_ = i_flag;
        ix->used_ = 0;
        ix->mask_ = START_SLOTS - 1;
        ix->long_path_warned = false;
        ix->slots_ = static_cast<Slot*>(calloc(START_SLOTS, sizeof(Slot)));
        if (!ix->slots_ || !ix->walked.init()) {
            free(ix->slots_);
            free(ix);
            return nullptr;
        }
        return ix;
    }

    static void destroy(NameIndex* ix)
    {
        if (!ix)
            return;
        ix->walked.release();
        free(ix->slots_);
        free(ix);
    }

    int i_flag() const { return i_flag_; }

    static uint32_t hash(const char* name, int i_flag)
    {
        uint32_t h = 2166136261u;   // FNV-1a over the (folded) bytes
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
            unsigned char c = *p;
            if (i_flag)
                c = ascii_upper(c);
            h = (h ^ c) * 16777619u;
        }
        // Spread the high bits into the low ones the table mask keeps.
        h ^= h >> 16;
        h *= 0x85ebca6bu;
        h ^= h >> 13;
        h *= 0xc2b2ae35u;
        h ^= h >> 16;
        return h;
    }

    // Makes sure one more name can be added without moving slots later;
    // false when the table had to grow and memory is short.
    bool reserve_one()
    {
        uint64_t slots = uint64_t(mask_) + 1;
        if ((uint64_t(used_) + 1) * 4 <= slots * 3)
            return true;
        return grow();
    }

    // The slot of the group of `f` (whose key hashes to `h`): holding the
    // group's first record, or the empty slot where the group goes. Call
    // reserve_one() first.
    Slot* find(const Fnode* f, uint32_t h)
    {
        for (uint32_t i = h & mask_;; i = (i + 1) & mask_) {
            Slot* s = &slots_[i];
            if (!s->first)
                return s;
            if (s->hash == h && same_group(s->first, f, i_flag_))
                return s;
        }
    }

    // Fills an empty slot returned by find().
    void claim(Slot* s, uint32_t h, Fnode* first)
    {
        s->first = first;
        s->hash = h;
        ++used_;
    }

    bool long_path_warned;   // the walk has told the user about a too long path
    IdSet walked;            // every directory walked in this scan, all roots together

private:
    static constexpr uint32_t START_SLOTS = 1024;

    bool grow()
    {
        uint64_t old_slots = uint64_t(mask_) + 1;
        uint64_t new_slots = old_slots * 2;
        if (new_slots > (uint64_t(1) << 31) || new_slots > SIZE_MAX / sizeof(Slot))
            return false;
        Slot* fresh = static_cast<Slot*>(calloc(size_t(new_slots), sizeof(Slot)));
        if (!fresh)
            return false;
        uint32_t mask = uint32_t(new_slots - 1);
        for (uint64_t k = 0; k < old_slots; ++k) {
            const Slot& s = slots_[k];
            if (!s.first)
                continue;
            uint32_t i = s.hash & mask;
            while (fresh[i].first)
                i = (i + 1) & mask;
            fresh[i] = s;
        }
        free(slots_);
        slots_ = fresh;
        mask_ = mask;
        return true;
    }

    Slot* slots_;
    uint32_t mask_;
    uint32_t used_;
    int i_flag_;
};

// Releases the scan's index, if any (also reachable through
// ScanState::index_free for cleanup).
inline void free_name_index(ScanState& st)
{
    if (st.index) {
        NameIndex::destroy(st.index);
        st.index = nullptr;
    }
}
