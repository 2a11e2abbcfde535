#pragma once
// Readable names for the cases of parameterised tests: a name generator makes the case's
// own text (a file name, a date text) into a test name, so that the test list and a
// failure name the case instead of printing its bytes.
#include <gtest/gtest.h>

#include <string>

// text with every character that a test name cannot hold replaced by '_', and the case's
// index in front so that two cases with the same text stay apart.
inline std::string ParamName(size_t index, const std::string &text)
{
    std::string name = std::to_string(index) + "_";
    for (const char c : text) {
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        name += plain ? c : '_';
    }
    return name;
}

// Name generator for INSTANTIATE_TEST_SUITE_P: field names the text of a case.
template <class Case> auto ParamNameFrom(const char *Case::*field)
{
    return [field](const ::testing::TestParamInfo<Case> &info) {
        const char *text = info.param.*field;
        return ParamName(info.index, text ? text : "");
    };
}
