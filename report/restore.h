// Undoing a saving run: every copy its manifest names goes back to the
// place it came from, with its times.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"

struct RestoreResult {
    long restored = 0;   // copies put back in this run
    long back = 0;       // copies found back already (their place holds the same bytes)
    long problems = 0;   // copies that stay in the sinkhole, and unreadable lines
    bool no_manifest = false;
};

// What went wrong with one copy: a short capitalised text and the path it
// concerns.
using RestoreNote = std::function<void(const std::string& what, const std::string& path)>;

// Puts back every copy of `sinkhole`. A copy goes back only where nothing
// is: a place that is taken keeps its file and the copy stays. Each copy
// is complete at its place, with its times, before it leaves the sinkhole,
// so an interrupted restore can simply be run again. When every copy is
// back, the empty group directories and the manifest are removed.
RestoreResult restore_sinkhole(Platform& sys, const std::string& sinkhole, const RestoreNote& note);
