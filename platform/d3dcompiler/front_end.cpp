#include "front_end.h"

#include <cstring>
#include <mutex>
#include <set>

namespace platform {

namespace {

enum Tag : uint32_t {
    kPreprocessStatus = 1, // a Status
    kPreprocessMessages,
    kPreprocessedText,
    kCompileStatus, // a Status
    kCompileMessages,
    kSpirv,
    kDone, // empty: everything was sent
};

struct Status {
    uint32_t status;
    uint32_t errors;
};

// One compiler for the whole process, made in the parent before the first fork: glslang's process
// set-up runs once there, and no child ever takes the lock it runs under, which another thread of
// the parent could hold at the fork.
const shaderc::Compiler& ProcessCompiler() {
    static const shaderc::Compiler compiler;
    return compiler;
}

// Glslang builds its table of built-in functions once per stage and keeps it for the process. Built
// here in the parent, on a blank source of our own, every child starts with it rather than spending
// a hundred milliseconds and more building it again.
void PrepareStage(const FrontEndJob& job) {
    static std::mutex lock;
    static std::set<shaderc_shader_kind> prepared;
    std::lock_guard<std::mutex> guard(lock);
    if (prepared.insert(job.kind).second)
        ProcessCompiler().PreprocessGlsl(" ", 1, job.kind, "blank", *job.options);
}

void SendStatus(RecordWriter& out, Tag tag, shaderc_compilation_status status, size_t errors) {
    const Status s = {static_cast<uint32_t>(status), static_cast<uint32_t>(errors)};
    out.Write(tag, &s, sizeof s);
}

// The child's part: nothing here but shaderc's calls and the sending of their results.
void Work(const FrontEndJob& job, RecordWriter& out) {
    const shaderc::Compiler& compiler = ProcessCompiler();
    shaderc::PreprocessedSourceCompilationResult preprocessed =
        compiler.PreprocessGlsl(job.source, job.length, job.kind, job.name, *job.options);
    SendStatus(out, kPreprocessStatus, preprocessed.GetCompilationStatus(), preprocessed.GetNumErrors());
    out.Write(kPreprocessMessages, preprocessed.GetErrorMessage());
    if (preprocessed.GetCompilationStatus() == shaderc_compilation_status_success) {
        out.Write(kPreprocessedText, preprocessed.cbegin(),
                  static_cast<size_t>(preprocessed.cend() - preprocessed.cbegin()));
        shaderc::SpvCompilationResult result =
            compiler.CompileGlslToSpv(job.source, job.length, job.kind, job.name, job.entry, *job.options);
        SendStatus(out, kCompileStatus, result.GetCompilationStatus(), result.GetNumErrors());
        out.Write(kCompileMessages, result.GetErrorMessage());
        out.Write(kSpirv, result.cbegin(), (result.cend() - result.cbegin()) * sizeof(uint32_t));
    }
    out.Write(kDone, nullptr, 0);
}

bool ReadStatus(const std::string& bytes, shaderc_compilation_status* status, size_t* errors) {
    Status s;
    if (bytes.size() != sizeof s)
        return false;
    std::memcpy(&s, bytes.data(), sizeof s);
    *status = static_cast<shaderc_compilation_status>(s.status);
    *errors = s.errors;
    return true;
}

// False when a record is unknown or of the wrong size; the fields of the good ones are filled in.
bool ReadRecords(const std::vector<Record>& records, FrontEndResult* r) {
    bool done = false;
    size_t preprocessErrors = 0;
    for (const Record& record : records) {
        bool ok = !done;
        switch (record.tag) {
        case kPreprocessStatus:
            ok = ok && ReadStatus(record.bytes, &r->preprocessStatus, &preprocessErrors);
            r->preprocessed = ok;
            break;
        case kPreprocessMessages:
            r->preprocessMessages = record.bytes;
            break;
        case kPreprocessedText:
            r->preprocessedText = record.bytes;
            break;
        case kCompileStatus:
            ok = ok && ReadStatus(record.bytes, &r->compileStatus, &r->compileErrors);
            r->compiled = ok;
            break;
        case kCompileMessages:
            r->compileMessages = record.bytes;
            break;
        case kSpirv:
            ok = ok && record.bytes.size() % sizeof(uint32_t) == 0;
            if (ok && !record.bytes.empty()) {
                r->spirv.resize(record.bytes.size() / sizeof(uint32_t));
                std::memcpy(r->spirv.data(), record.bytes.data(), record.bytes.size());
            }
            break;
        case kDone:
            ok = ok && record.bytes.empty();
            done = true;
            break;
        default:
            ok = false;
        }
        if (!ok)
            return false;
    }
    r->finished = done && r->end == ChildEnd::Exited && r->exitStatus == 0;
    return true;
}

} // namespace

FrontEndResult RunFrontEnd(const FrontEndJob& job, int limitMs) {
    FrontEndResult result;
    if (!ProcessCompiler().IsValid()) {
        result.failure = "shaderc could not set up glslang";
        return result;
    }
    PrepareStage(job);
    IsolatedRun run = RunIsolated([&job](RecordWriter& out) { Work(job, out); }, limitMs);
    result.end = run.end;
    result.exitStatus = run.exitStatus;
    result.signal = run.signal;
    result.failure = std::move(run.failure);
    result.malformed = !ReadRecords(run.records, &result);
    result.finished = result.finished && !result.malformed;
    return result;
}

} // namespace platform
