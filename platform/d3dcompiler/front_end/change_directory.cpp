#include "change_directory.h"

#include <algorithm>
#include <climits>
#include <unistd.h>

namespace platform::d3dcompiler {

bool ChangeDirectory(const std::string& path) {
    if (path.size() < PATH_MAX)
        return chdir(path.c_str()) == 0;
    size_t at = 0;
    if (path[0] == '/') {
        if (chdir("/") != 0)
            return false;
        at = 1;
    }
    // Each part is as many whole names as fit below PATH_MAX; a name is at most NAME_MAX long.
    while (at < path.size()) {
        size_t end = path.size();
        if (end - at >= PATH_MAX) {
            end = path.rfind('/', at + PATH_MAX - 1);
            if (end == std::string::npos || end <= at)
                end = std::min(path.find('/', at), path.size());
        }
        if (chdir(path.substr(at, end - at).c_str()) != 0)
            return false;
        at = end + 1;
    }
    return true;
}

} // namespace platform::d3dcompiler
