// The pool that reads the statuses of collected files: each thread takes
// the next batch handed over, reads its files' statuses in the order given,
// and puts the batch back as ended.
#include "engine/status_reads.h"

#include <utility>

struct StatusReads::Batch {
    std::unique_ptr<DirListing> dir;   // null: each file by its whole path
    size_t dir_len = 0;
    std::vector<Fnode*> files;
};

StatusReads::StatusReads(Platform& sys, const std::atomic<int>& abort_flag) : sys_(sys), abort_flag_(abort_flag) {}

StatusReads::~StatusReads()
{
    stop();
}

// A thread is started for each batch handed over until the pool has all of
// its threads, so a small scan starts few. Where none can be started, the
// scan thread reads the batch itself.
void StatusReads::read(std::unique_ptr<DirListing> dir, size_t dir_len, std::vector<Fnode*> files)
{
    if (files.empty())
        return;
    std::unique_ptr<Batch> b(new Batch);
    b->dir = std::move(dir);
    b->dir_len = dir_len;
    b->files = std::move(files);
    bool wake;
    {
        MutexLock hold(lock_);
        if (b->dir)
            ++held_;
        ++open_;
        queue_.push_back(b.get());
        b.release();
        wake = idle_ > 0;   // a busy thread takes it when done: no switch to an idle one
    }
    if (!wake && threads_.size() < THREADS)
        start_thread();
    if (threads_.empty())
        serve(false);
    else if (wake)
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
    MutexLock hold(lock_);
    failed->insert(failed->end(), failed_.begin(), failed_.end());
    failed_.clear();
}

bool StatusReads::wait(unsigned ms)
{
    hand_over_by_path();
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
        lock_.unlock();
        read_batch(*b, &failed);
        bool held = b->dir != nullptr;
        b->dir.reset();   // closed outside the lock
        lock_.lock();
        failed_.insert(failed_.end(), failed.begin(), failed.end());
        failed.clear();
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
            failed->push_back(f);
    }
}
