// Small helpers on console text that the tests share.
#pragma once

#include <string>

// How many times `what` occurs in `text`, without overlaps.
inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}
