#include "wire.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform::d3dcompiler {

namespace {

// Far more than any source or result; a larger size means the stream is out of step.
constexpr uint64_t kMaxMessage = uint64_t(1) << 30;

class Writer {
  public:
    void U32(uint32_t v) { bytes_.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void Text(const std::string& text) {
        const uint64_t size = text.size();
        bytes_.append(reinterpret_cast<const char*>(&size), sizeof size);
        bytes_ += text;
    }
    std::string& bytes() { return bytes_; }

  private:
    std::string bytes_;
};

// Reads in the order written; after the first short read every later one fails too.
class Reader {
  public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool U32(uint32_t* v) { return Take(v, sizeof *v); }
    bool Text(std::string* text) {
        uint64_t size;
        if (!Take(&size, sizeof size) || size > bytes_.size() - at_)
            return ok_ = false;
        text->assign(bytes_, at_, size);
        at_ += size;
        return true;
    }
    bool AtEnd() const { return ok_ && at_ == bytes_.size(); }

  private:
    bool Take(void* out, size_t size) {
        if (!ok_ || size > bytes_.size() - at_)
            return ok_ = false;
        std::memcpy(out, bytes_.data() + at_, size);
        at_ += size;
        return true;
    }
    const std::string& bytes_;
    size_t at_ = 0;
    bool ok_ = true;
};

// Waits for `events` on `fd` until the deadline; false, with the reason, when it passes first.
bool Await(int fd, short events, ProcessClock::time_point deadline, std::string* failure) {
    for (;;) {
        pollfd p = {fd, events, 0};
        int ready = poll(&p, 1, PollTimeout(deadline));
        if (ready > 0)
            return true;
        if (ready == 0) {
            *failure = kNoAnswer;
            return false;
        }
        if (errno != EINTR) {
            *failure = ErrnoText("poll");
            return false;
        }
    }
}

bool SendAll(int fd, const char* at, size_t size, ProcessClock::time_point deadline, std::string* failure) {
    while (size > 0) {
        if (!Await(fd, POLLOUT, deadline, failure))
            return false;
        ssize_t done = send(fd, at, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (done < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (done < 0) {
            *failure = ErrnoText("send");
            return false;
        }
        at += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

// `*got` counts what arrived, so that a close before the first byte can be told from one midway.
bool ReceiveAll(int fd, char* at, size_t size, ProcessClock::time_point deadline, size_t* got,
                std::string* failure) {
    *got = 0;
    while (*got < size) {
        if (!Await(fd, POLLIN, deadline, failure))
            return false;
        ssize_t done = recv(fd, at + *got, size - *got, MSG_DONTWAIT);
        if (done < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (done < 0) {
            *failure = ErrnoText("recv");
            return false;
        }
        if (done == 0) {
            if (*got > 0)
                *failure = "the other end closed in the middle of a message";
            return false;
        }
        *got += static_cast<size_t>(done);
    }
    return true;
}

} // namespace

std::string EncodeJob(const FrontEndJob& job, const std::string& directory, int limitMs) {
    Writer w;
    w.U32(static_cast<uint32_t>(limitMs));
    w.Text(job.source);
    w.Text(job.name);
    w.Text(job.entry);
    w.U32(static_cast<uint32_t>(job.stage));
    w.U32(job.optimize);
    w.U32(job.standardIncludes);
    w.Text(directory);
    w.U32(static_cast<uint32_t>(job.macros.size()));
    for (const auto& [name, value] : job.macros) {
        w.Text(name);
        w.Text(value);
    }
    w.U32(static_cast<uint32_t>(job.includeDirectories.size()));
    for (const std::string& folder : job.includeDirectories)
        w.Text(folder);
    return std::move(w.bytes());
}

bool DecodeJob(const std::string& bytes, FrontEndJob* job, int* limitMs) {
    Reader r(bytes);
    uint32_t limit, stage, optimize, includes, macros;
    if (!r.U32(&limit) || !r.Text(&job->source) || !r.Text(&job->name) || !r.Text(&job->entry) ||
        !r.U32(&stage) || !r.U32(&optimize) || !r.U32(&includes) || !r.Text(&job->directory) ||
        !r.U32(&macros) || limit > INT_MAX)
        return false;
    for (uint32_t i = 0; i < macros; ++i) {
        std::string name, value;
        if (!r.Text(&name) || !r.Text(&value))
            return false;
        job->macros.emplace_back(std::move(name), std::move(value));
    }
    uint32_t folders;
    if (!r.U32(&folders))
        return false;
    for (uint32_t i = 0; i < folders; ++i) {
        std::string folder;
        if (!r.Text(&folder))
            return false;
        job->includeDirectories.push_back(std::move(folder));
    }
    *limitMs = static_cast<int>(limit);
    if (stage > static_cast<uint32_t>(ShaderStage::Geometry))
        return false;
    job->stage = static_cast<ShaderStage>(stage);
    job->optimize = optimize != 0;
    job->standardIncludes = includes != 0;
    return r.AtEnd();
}

std::string EncodeRun(const IsolatedRun& run) {
    Writer w;
    w.U32(static_cast<uint32_t>(run.end));
    w.U32(static_cast<uint32_t>(run.exitStatus));
    w.U32(static_cast<uint32_t>(run.signal));
    w.Text(run.failure);
    w.U32(static_cast<uint32_t>(run.records.size()));
    for (const Record& record : run.records) {
        w.U32(record.tag);
        w.Text(record.bytes);
    }
    return std::move(w.bytes());
}

bool DecodeRun(const std::string& bytes, IsolatedRun* run) {
    Reader r(bytes);
    uint32_t end, exitStatus, signal, records;
    if (!r.U32(&end) || !r.U32(&exitStatus) || !r.U32(&signal) || !r.Text(&run->failure) ||
        !r.U32(&records) || end > static_cast<uint32_t>(ChildEnd::Killed))
        return false;
    for (uint32_t i = 0; i < records; ++i) {
        Record record;
        if (!r.U32(&record.tag) || !r.Text(&record.bytes))
            return false;
        run->records.push_back(std::move(record));
    }
    run->end = static_cast<ChildEnd>(end);
    run->exitStatus = static_cast<int>(exitStatus);
    run->signal = static_cast<int>(signal);
    return r.AtEnd();
}

bool SendMessage(int fd, const std::string& bytes, ProcessClock::time_point deadline, std::string* failure) {
    const uint64_t size = bytes.size();
    return SendAll(fd, reinterpret_cast<const char*>(&size), sizeof size, deadline, failure) &&
           SendAll(fd, bytes.data(), bytes.size(), deadline, failure);
}

bool ReceiveMessage(int fd, std::string* bytes, ProcessClock::time_point deadline, std::string* failure) {
    uint64_t size;
    size_t got;
    if (!ReceiveAll(fd, reinterpret_cast<char*>(&size), sizeof size, deadline, &got, failure))
        return false;
    if (size > kMaxMessage) {
        *failure = "a message of " + std::to_string(size) + " bytes";
        return false;
    }
    bytes->resize(size);
    if (ReceiveAll(fd, bytes->data(), size, deadline, &got, failure))
        return true;
    if (failure->empty())
        *failure = "the other end closed in the middle of a message";
    return false;
}

} // namespace platform::d3dcompiler
