// The statuses of collected files (times, size, identity), read by a small
// fixed pool of threads while the walk goes on. A drive answers several
// requests at once, and on a first scan, with nothing of the tree in
// memory, waiting for each status in turn is most of the scan's time.
//
// The walk hands over the files of one directory at a time together with
// its listing, read to its end but still open, so that each status is read
// by the file's own name in that directory. A file whose directory the walk
// has left already is read by its whole path. Each status is written into
// the file's record. A record handed over belongs to the pool until its
// batch is done: meanwhile the scan thread reads only its name and path.
//
// Only the scan thread calls these, but for stop() and the destructor,
// which any thread may call: once they return, no thread of the pool is left.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

#include "engine/state.h"

class StatusReads {
public:
    // `abort_flag`: the scan's stop signal; the threads stop reading once
    // it is set, without waiting to be told.
    StatusReads(Platform& sys, const std::atomic<int>& abort_flag);
    ~StatusReads();
    StatusReads(const StatusReads&) = delete;
    StatusReads& operator=(const StatusReads&) = delete;

    // Reads the statuses of `files`, all found in the directory that `dir`
    // lists, whose path is the first `dir_len` bytes of theirs. With a null
    // `dir`, each is read by its whole path.
    void read(std::unique_ptr<DirListing> dir, size_t dir_len, std::vector<Fnode*> files);
    // Reads the status of `f` by its whole path, with others read so.
    void read_by_path(Fnode* f);
    // True while the pool may keep one more directory open: each one held
    // is a descriptor the walk cannot use.
    bool may_hold() const { return held_ < MAX_HELD; }
    // Adds the records whose status could not be read, batch by batch as
    // the batches end, to *failed.
    void take_failed(std::vector<Fnode*>* failed);
    // Hands over what read_by_path gathered, then waits up to `ms` for a
    // batch to end; true once every batch handed over has ended.
    bool wait(unsigned ms);
    // The batches not yet begun are dropped, and the threads end when they
    // have read the status they are reading: every record is the scan
    // thread's again.
    void stop();

    static constexpr size_t THREADS = 8;       // statuses asked for at once
    static constexpr size_t MAX_HELD = 256;    // directories held open for the pool
    static constexpr size_t PATH_BATCH = 64;   // files read by path, handed over together
    static constexpr size_t WAKE_AT = 256;     // files waiting before a thread is set to work

private:
    struct Batch;
    static unsigned worker(void* self);
    void start_thread();
    void set_to_work(size_t idle, bool all);
    void hand_over_by_path();
    void serve(bool wait_for_more);
    void read_batch(Batch& b, std::vector<Fnode*>* failed);

    Platform& sys_;
    const std::atomic<int>& abort_flag_;
    Mutex lock_;
    Condition work_;   // a batch was handed over, or the pool stops
    Condition done_;   // a batch ended
    std::deque<Batch*> queue_;      // handed over, not begun
    std::vector<Fnode*> failed_;    // not yet taken
    std::vector<Fnode*> by_path_;   // gathered by read_by_path
    std::vector<ThreadHandle> threads_;
    size_t open_ = 0;               // batches handed over and not ended
    size_t idle_ = 0;               // threads waiting for a batch
    size_t waiting_ = 0;            // files in the batches not begun
    std::atomic<size_t> held_{0};   // directories held by batches not ended
    std::atomic<bool> stopping_{false};
    std::atomic<bool> any_failed_{false};   // failed_ holds some
};
