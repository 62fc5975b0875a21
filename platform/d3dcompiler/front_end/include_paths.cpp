#include "include_paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>

namespace platform::d3dcompiler {

std::string ForwardSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool FindIgnoringCase(std::string* path) {
    std::string found = path->compare(0, 1, "/") == 0 ? "/" : "";
    size_t at = found.size();
    while (at <= path->size()) {
        size_t slash = path->find('/', at);
        if (slash == std::string::npos)
            slash = path->size();
        const std::string part = path->substr(at, slash - at);
        at = slash + 1;
        if (part.empty() || part == "." || part == "..") {
            found += part.empty() ? "" : part + "/";
            continue;
        }
        struct stat st;
        std::string next = found + part;
        if (stat(next.c_str(), &st) != 0) {
            DIR* dir = opendir(found.empty() ? "." : found.c_str());
            if (!dir)
                return false;
            bool matched = false;
            while (dirent* entry = readdir(dir)) {
                if (strcasecmp(entry->d_name, part.c_str()) == 0) {
                    next = found + entry->d_name;
                    matched = true;
                    break;
                }
            }
            closedir(dir);
            if (!matched)
                return false;
        }
        found = slash < path->size() ? next + "/" : next;
    }
    *path = found;
    return true;
}

} // namespace platform::d3dcompiler
