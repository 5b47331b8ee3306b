// Whole reports expected byte for byte, kept as text files in tests/golden/.
// A golden file has "\n" line ends and two stand-ins:
//   {T}       the test tree's root; every '/' after it on the same line is
//             the system's path separator
//   {BANNER}  the program's banner (the CREATED BY line)
//
//     EXPECT_EQ(run.report(), golden("two_roots.txt", t));
//     EXPECT_EQ(run.report(), golden("two_roots.txt", t, "\r\n"));
#pragma once

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/tree.h"

inline std::string golden(const std::string& name, const TestTree& t, const char* nl = "\n")
{
    std::ifstream in(std::string(TWINEX_GOLDEN_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << "no golden file " << name;
    std::string out, line;
    while (std::getline(in, line)) {
        for (size_t at = line.find("{BANNER}"); at != std::string::npos; at = line.find("{BANNER}"))
            line.replace(at, 8, banner_text());
        size_t first = line.find("{T}");
        for (size_t i = first; first != std::string::npos && i < line.size(); ++i)
            if (line[i] == '/')
                line[i] = PATH_SEP;
        for (size_t at = first; at != std::string::npos; at = line.find("{T}", at + t.root().size()))
            line.replace(at, 3, t.root());
        out += line + nl;
    }
    return out;
}
