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

namespace platform::d3dcompiler {

namespace {

// Deeper nesting than this is taken for an include cycle.
constexpr size_t kMaxIncludeDepth = 32;

// What an include hands glslang: the file's path and text, or, with an empty path, why it failed,
// which glslang puts into its error for the `#include` line.
struct IncludedFile {
    std::string name;
    std::string content;
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

class StandardFileIncluder final : public glslang::TShader::Includer {
  public:
    explicit StandardFileIncluder(std::vector<std::string> directories)
        : directories_(std::move(directories)) {}

    // Glslang asks here for both spellings, `#include "x"` and `#include <x>`, when includeLocal (not
    // overridden) finds nothing; Windows' standard handler looks both up the same way.
    IncludeResult* includeSystem(const char* requested, const char* requesting, size_t depth) override {
        return Include(requested, requesting, depth);
    }
    void releaseInclude(IncludeResult* result) override {
        if (result)
            delete static_cast<IncludedFile*>(result->userData);
        delete result;
    }

  private:
    IncludeResult* Include(const char* requested, const char* requesting, size_t depth) const {
        auto* file = new IncludedFile;
        Resolve(requested, requesting ? requesting : "", depth, file);
        return new IncludeResult(file->name, file->content.data(), file->content.size(), file);
    }

    void Resolve(const std::string& requested, const std::string& requesting, size_t depth,
                 IncludedFile* file) const {
        if (depth > kMaxIncludeDepth) {
            file->content = "includes nested more than " + std::to_string(kMaxIncludeDepth) + " deep";
            return;
        }
        const std::string wanted = ForwardSlashes(requested);
        std::vector<std::string> places = {wanted};
        if (wanted.empty() || wanted[0] != '/') {
            places = {FolderOf(requesting) + wanted, wanted};
            for (const std::string& folder : directories_)
                if (!folder.empty())
                    places.push_back(ForwardSlashes(folder) + "/" + wanted);
        }
        std::string reason, tried, ignored;
        // The exact names first, in every place; then, as on Windows, names that differ only in case.
        for (size_t i = 0; i < 2 * places.size(); ++i) {
            std::string content;
            std::string path = places[i % places.size()];
            const bool exact = i < places.size();
            const bool read = exact ? ReadFile(path, &content, &tried)
                                    : FindIgnoringCase(&path) && ReadFile(path, &content, &ignored);
            // The reason told is that of a file found, if one was.
            if (!read && exact && (reason.empty() || reason == std::strerror(ENOENT)))
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

    std::vector<std::string> directories_;
};

} // namespace

std::unique_ptr<glslang::TShader::Includer> MakeStandardFileIncluder(std::vector<std::string> directories) {
    return std::make_unique<StandardFileIncluder>(std::move(directories));
}

size_t SourceLength(const char* data, size_t size) {
    if (!data)
        return 0;
    const void* nul = std::memchr(data, '\0', size);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - data) : size;
}

} // namespace platform::d3dcompiler
