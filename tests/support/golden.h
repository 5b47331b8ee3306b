// Whole reports expected byte for byte, kept as text files in tests/golden/.
// A golden file has "\n" line ends and these stand-ins:
//   {T}       the test tree's root; every '/' after it on the same line is
//             the system's path separator
//   {BANNER}  the program's banner (the CREATED BY line)
//   {C:rel}   the creation date of the tree's file `rel` as a report writes
//             it (on Linux the system sets it itself; "-" where it keeps none)
//
//     EXPECT_EQ(run.report(), golden("two_roots.txt", t));
//     EXPECT_EQ(run.report(), golden("two_roots.txt", t, "\r\n"));
#pragma once

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/tree.h"

inline std::string golden_creation(const TestTree& t, const std::string& rel)
{
    FileStatus fs;
    EXPECT_TRUE(system_platform().stat(t.path(rel).c_str(), &fs)) << rel;
    return fs.times.creation_known ? ctime_text(ticks_to_unix(fs.times.creation)) : "-";
}

inline std::string golden(const std::string& name, const TestTree& t, const char* nl = "\n")
{
    std::ifstream in(std::string(TWINEX_GOLDEN_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << "no golden file " << name;
    std::string out, line;
    while (std::getline(in, line)) {
        for (size_t at; (at = line.find("{BANNER}")) != std::string::npos;)
            line.replace(at, 8, banner_text());
        for (size_t at, end; (at = line.find("{C:")) != std::string::npos;) {
            end = line.find('}', at);
            line.replace(at, end + 1 - at, golden_creation(t, line.substr(at + 3, end - at - 3)));
        }
        size_t first = line.find("{T}");
        if (first != std::string::npos)
            std::replace(line.begin() + long(first), line.end(), '/', PATH_SEP);
        for (size_t at = first; at != std::string::npos; at = line.find("{T}", at + t.root().size()))
            line.replace(at, 3, t.root());
        out += line + nl;
    }
    return out;
}
