// How every part of twinex, on either thread, speaks to the user: message
// boxes and yes/no questions (Complain), the seventeen progress fields of the
// scan panel, and the request that ends the program after a fatal error.
// The window, the console program and the tests each give their own.
#pragma once

#include <cstddef>
#include <string>

// Kinds of Complain.
enum {
    COMPLAIN_ERROR = -1,     // OK only, returns 0
    COMPLAIN_NOTICE = 0,     // OK only, returns 0
    COMPLAIN_OKCANCEL = 1,   // returns 1 for OK
    COMPLAIN_RETRYCANCEL = 2 // returns 1 for Retry
};

// Indices of the progress fields (tControl).
enum {
    PF_ABORT = 0, PF_QUIT = 1, PF_SUMMARY = 2,
    PF_COLLECT_LABEL = 3, PF_COLLECT_COUNT = 4,
    PF_PROCESS_LABEL = 5, PF_PROCESS_COUNT = 6,
    PF_WRITE_LABEL = 7, PF_WRITE_FILE = 8,
    PF_WRITTEN_LABEL = 9, PF_COPYING = 10, PF_WRITTEN_COUNT = 11,
    PF_ACTION_LABEL = 12, PF_ACTION_COUNT = 13,
    PF_SINKHOLE_LABEL = 14, PF_SINKHOLE_PATH = 15,
    PF_FINISHED = 16,
    PF_COUNT = 17
};

class Feedback {
public:
    virtual ~Feedback() = default;
    // Shows a box with caption `title` and up to three lines (each may be
    // null); kinds 1 and 2 return 1 for OK / Retry and 0 otherwise, kinds -1
    // and 0 always return 0. Callable from any thread.
    virtual int Complain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3) = 0;
    // Sets the text of progress field `index` (0..16). Never blocks on the
    // window thread.
    virtual void set_field(int index, const char* text) = 0;
    // After a fatal error on the scan thread: end the program (the window
    // closes; the console program exits with its fatal status).
    virtual void end_program() = 0;
    // Tells of a fatal error: `msg` over the line "QUITTING...", shown as a
    // box of kind -1 captioned "twinex" would show them. Allocates nothing,
    // so it can tell of exhausted memory too.
    virtual void show_fatal(const char* msg) = 0;
    // A directory the scan could not open or read to its end, with the
    // system's reason; the scan goes on without it. Called on the scan
    // thread. The window says nothing of it: it keeps only the count.
    virtual void walk_error(const char* path, const char* reason) { (void)path, (void)reason; }
    // The program is ending (QUIT, CANCEL, the close box): every box open
    // now, on either thread, is closed without acting on it, and a question
    // asked from now on answers no without being shown. Callable from any
    // thread; a Feedback without boxes of its own has nothing to do.
    virtual void end_questions() {}
};

// The text of a box: msg1 and msg2 each followed by a line feed, msg3 with
// none, cut to fit a 2048-byte buffer.
std::string complain_text(const char* msg1, const char* msg2, const char* msg3);

// The same text for a fatal error's box, `msg` and "QUITTING...", written
// into `buf` (cut to fit `size` bytes with the terminator) without
// allocating.
void fatal_text(char* buf, size_t size, const char* msg);
