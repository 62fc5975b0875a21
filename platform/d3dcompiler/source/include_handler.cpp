#include "include_handler.h"

#include "include_paths.h"
#include "source_bridge.h"
#include "source_encoding.h"
#include "source_size.h"

#include <cerrno>
#include <fcntl.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Deeper nesting than this is taken for an include cycle.
constexpr size_t kMaxIncludeDepth = 32;

struct IncludedFile {
    std::string name;    // empty when the include failed
    std::string content; // the file's text, or the reason it failed
    shaderc_include_result result;
};

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// False, with the reason, when the file cannot be opened or read, or is not a regular file: a FIFO
// would wait for a writer and a device (/dev/zero) would never end. The open does not wait, and the
// kind is checked on what was opened, so a file swapped for a FIFO meanwhile is refused as well.
bool ReadFile(const std::string& path, std::string* content, std::string* reason) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return false;
    }
    struct stat status;
    const bool measured = fstat(fd, &status) == 0;
    if (!measured || !S_ISREG(status.st_mode)) {
        *reason = !measured                 ? std::strerror(errno)
                  : S_ISDIR(status.st_mode) ? std::strerror(EISDIR)
                                            : "not a regular file";
        close(fd);
        return false;
    }
    if (static_cast<uint64_t>(status.st_size) > kMaxSourceBytes) {
        *reason = TooLargeReason(static_cast<uint64_t>(status.st_size));
        close(fd);
        return false;
    }
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        *reason = std::strerror(errno);
        close(fd);
        return false;
    }
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        content->append(chunk, n);
    bool failed = std::ferror(file) != 0;
    if (failed)
        *reason = std::strerror(errno);
    std::fclose(file);
    if (failed)
        return false;
    if (const char* encoding = Utf16Encoding(content->data(), content->size())) {
        *reason = std::string("the file is ") + encoding +
                  "; the HLSL compiler reads ASCII or UTF-8: save it as UTF-8";
        return false;
    }
    content->resize(SourceLength(content->data(), content->size()));
    return true;
}

class StandardFileIncluder final : public shaderc::CompileOptions::IncluderInterface {
  public:
    shaderc_include_result* GetInclude(const char* requested_source, shaderc_include_type,
                                       const char* requesting_source, size_t include_depth) override {
        auto* file = new IncludedFile;
        Resolve(requested_source, requesting_source, include_depth, file);
        file->result.source_name = file->name.c_str();
        file->result.source_name_length = file->name.size();
        file->result.content = file->content.c_str();
        file->result.content_length = file->content.size();
        file->result.user_data = file;
        return &file->result;
    }

    void ReleaseInclude(shaderc_include_result* data) override {
        delete static_cast<IncludedFile*>(data->user_data);
    }

  private:
    static void Resolve(const std::string& requested, const std::string& requesting, size_t depth,
                        IncludedFile* file) {
        if (depth > kMaxIncludeDepth) {
            file->content = "includes nested more than " + std::to_string(kMaxIncludeDepth) + " deep";
            return;
        }
        const std::string wanted = ForwardSlashes(requested);
        std::string candidates[4] = {wanted, wanted, wanted, wanted};
        if (wanted.empty() || wanted[0] != '/')
            candidates[0] = candidates[2] = FolderOf(requesting) + wanted;
        std::string reason, tried, ignored;
        for (size_t i = 0; i < 4; ++i) {
            std::string content;
            std::string& path = candidates[i];
            // The exact names first; then, as on Windows, names that differ only in case.
            const bool read = i < 2 ? ReadFile(path, &content, &tried)
                                    : FindIgnoringCase(&path) && ReadFile(path, &content, &ignored);
            // The reason told is that of a file found, if one was.
            if (!read && i < 2 && (reason.empty() || reason == std::strerror(ENOENT)))
                reason = tried;
            if (read) {
                file->name = path;
                file->content = std::move(content);
                BridgeSource(&file->content);
                return;
            }
        }
        file->content = "cannot open include file '" + requested + "': " + reason;
    }
};

} // namespace

std::unique_ptr<shaderc::CompileOptions::IncluderInterface> MakeStandardFileIncluder() {
    return std::make_unique<StandardFileIncluder>();
}

size_t SourceLength(const char* data, size_t size) {
    if (!data)
        return 0;
    const void* nul = std::memchr(data, '\0', size);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - data) : size;
}

} // namespace platform
