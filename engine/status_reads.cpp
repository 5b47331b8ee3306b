// The pool that reads the statuses of collected files: each thread takes
// the next batch handed over, reads its files' statuses in the order given,
// and puts the batch back as ended.
#include "engine/status_reads.h"

#include <new>
#include <utility>

struct StatusReads::Batch {
    std::unique_ptr<DirListing> dir;   // null: each file by its whole path
    size_t dir_len = 0;
    std::vector<Fnode*> files;
};

namespace {

// Notes a record whose status could not be read. Without memory for the
// note only its warning is lost, never the end of its batch.
void note(std::vector<Fnode*>* failed, Fnode* f)
{
    try {
        failed->push_back(f);
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace

StatusReads::StatusReads(Platform& sys, const std::atomic<int>& abort_flag) : sys_(sys), abort_flag_(abort_flag)
{
    threads_.reserve(THREADS);   // a thread started is always kept, to be waited for
}

StatusReads::~StatusReads()
{
    stop();
}

void StatusReads::read(std::unique_ptr<DirListing> dir, size_t dir_len, std::vector<Fnode*> files)
{
    if (files.empty())
        return;
    std::unique_ptr<Batch> b(new Batch);
    b->dir = std::move(dir);
    b->dir_len = dir_len;
    b->files = std::move(files);
    size_t waiting, idle;
    {
        MutexLock hold(lock_);
        queue_.push_back(b.get());
        Batch* queued = b.release();
        if (queued->dir)
            ++held_;
        ++open_;
        waiting = waiting_ += queued->files.size();
        idle = idle_;
    }
    if (waiting >= WAKE_AT)
        set_to_work(idle, false);
}

// A thread is woken only once enough files wait, since each switch to a
// thread costs about as much as a few statuses read from memory: a thread
// that keeps up takes batch after batch, and others join as the waiting
// files pile up (as when each status waits for the disk). A thread is
// started when none is idle, until the pool has all of its threads, so a
// small scan starts few. Where none can be started, the scan thread reads
// the batches itself. `idle`: the threads idle a moment ago. `all`: the
// walk is done; every idle thread is woken.
void StatusReads::set_to_work(size_t idle, bool all)
{
    if (idle == 0 && threads_.size() < THREADS)
        start_thread();
    if (threads_.empty())
        serve(false);
    else if (all)
        work_.wake_all();
    else if (idle > 0)
        work_.wake_one();
}

void StatusReads::read_by_path(Fnode* f)
{
    by_path_.push_back(f);
    if (by_path_.size() >= PATH_BATCH)
        hand_over_by_path();
}

void StatusReads::hand_over_by_path()
{
    std::vector<Fnode*> files;
    files.swap(by_path_);
    read(nullptr, 0, std::move(files));
}

void StatusReads::take_failed(std::vector<Fnode*>* failed)
{
    if (!any_failed_)
        return;
    MutexLock hold(lock_);
    any_failed_ = false;
    failed->insert(failed->end(), failed_.begin(), failed_.end());
    failed_.clear();
}

bool StatusReads::wait(unsigned ms)
{
    hand_over_by_path();
    size_t idle;
    {
        MutexLock hold(lock_);
        idle = idle_;
    }
    set_to_work(idle, true);
    MutexLock hold(lock_);
    if (open_ > 0)
        done_.wait(lock_, ms);
    return open_ == 0;
}

void StatusReads::stop()
{
    {
        MutexLock hold(lock_);
        stopping_ = true;
    }
    work_.wake_all();
    for (ThreadHandle h : threads_) {
        while (!sys_.wait_thread(h, 1000)) {
        }
        sys_.close_thread(h);
    }
    threads_.clear();
    for (Batch* b : queue_)
        delete b;
    queue_.clear();
    by_path_.clear();
}

unsigned StatusReads::worker(void* self)
{
    static_cast<StatusReads*>(self)->serve(true);
    return 0;
}

void StatusReads::start_thread()
{
    if (ThreadHandle h = sys_.start_thread(worker, this))
        threads_.push_back(h);
}

// Takes batch after batch until the pool stops or, unless
// `wait_for_more`, until none is waiting.
void StatusReads::serve(bool wait_for_more)
{
    std::vector<Fnode*> failed;
    lock_.lock();
    while (!stopping_) {
        if (queue_.empty()) {
            if (!wait_for_more)
                break;
            ++idle_;
            work_.wait(lock_, 1000);
            --idle_;
            continue;
        }
        Batch* b = queue_.front();
        queue_.pop_front();
        waiting_ -= b->files.size();
        lock_.unlock();
        read_batch(*b, &failed);
        bool held = b->dir != nullptr;
        b->dir.reset();   // closed outside the lock
        lock_.lock();
        if (!failed.empty()) {
            for (Fnode* f : failed)
                note(&failed_, f);
            failed.clear();
            any_failed_ = true;
        }
        if (held)
            --held_;
        --open_;
        delete b;
        done_.wake_all();
    }
    lock_.unlock();
}

// A status that cannot be read leaves its record as it was; a stop or an
// abort leaves the rest of the batch unread.
void StatusReads::read_batch(Batch& b, std::vector<Fnode*>* failed)
{
    for (Fnode* f : b.files) {
        if (stopping_ || abort_flag_)
            return;
        FileStatus fs;
        bool ok = b.dir ? sys_.stat_below(*b.dir, f->pathname, b.dir_len, &fs) : sys_.stat(f->pathname, &fs);
        if (ok)
            keep_status(f, fs);
        else
            note(failed, f);
    }
}
