#include "front_end.h"

#include "change_directory.h"
#include "compile_client.h"
#include "glslang_compile.h"

#include <cstring>
#include <unistd.h>

namespace platform {

namespace {

enum Tag : uint32_t {
    kPreprocessed = 1, // 0 or 1
    kPreprocessMessages,
    kPreprocessedText,
    kCompiled,   // 0 or 1
    kEntryFound, // 0 or 1
    kCompileMessages,
    kFlawFile,
    kFlawLine, // a uint32_t
    kFlawMessage,
    kSpirvMade, // 0 or 1
    kSpirvFile,
    kSpirvLine, // a uint32_t
    kSpirvMessage,
    kSpirv,
    kDone, // empty: everything was sent
};

void SendWord(RecordWriter& out, Tag tag, uint32_t word) {
    out.Write(tag, &word, sizeof word);
}

// The child's part: glslang's steps, then the SPIR-V stage, and the sending of their results. A child
// that cannot move to the caller's folder would look includes up in the wrong place, so it gives up.
void Work(const FrontEndJob& job, RecordWriter& out) {
    if (!job.directory.empty() && !ChangeDirectory(job.directory))
        _exit(kExitSetupFailed);
    std::string text, messages;
    const bool preprocessed = Preprocess(job, &text, &messages);
    SendWord(out, kPreprocessed, preprocessed);
    out.Write(kPreprocessMessages, messages);
    if (preprocessed) {
        out.Write(kPreprocessedText, text);
        std::vector<uint32_t> spirv;
        bool entryFound = true;
        const bool compiled = CompileToSpirv(job, &spirv, &messages, &entryFound);
        SendWord(out, kCompiled, compiled);
        SendWord(out, kEntryFound, entryFound);
        out.Write(kCompileMessages, messages);
        if (compiled) {
            SpirvStageFailure failure;
            auto flawed = [&out](const SpirvStageFailure& flaw) {
                out.Write(kFlawFile, flaw.file);
                SendWord(out, kFlawLine, flaw.line);
                out.Write(kFlawMessage, flaw.message);
            };
            const bool made = RunSpirvStage(&spirv, job.optimize, flawed, &failure);
            SendWord(out, kSpirvMade, made);
            if (made) {
                out.Write(kSpirv, spirv.data(), spirv.size() * sizeof(uint32_t));
            } else {
                out.Write(kSpirvFile, failure.file);
                SendWord(out, kSpirvLine, failure.line);
                out.Write(kSpirvMessage, failure.message);
            }
        }
    }
    out.Write(kDone, nullptr, 0);
}

bool ReadWord(const std::string& bytes, uint32_t* word) {
    if (bytes.size() != sizeof *word)
        return false;
    std::memcpy(word, bytes.data(), sizeof *word);
    return true;
}

bool ReadFlag(const std::string& bytes, bool* flag) {
    uint32_t word;
    if (!ReadWord(bytes, &word) || word > 1)
        return false;
    *flag = word != 0;
    return true;
}

// False when a record is unknown or of the wrong size; the fields of the good ones are filled in.
bool ReadRecords(const std::vector<Record>& records, FrontEndResult* r) {
    bool done = false;
    for (const Record& record : records) {
        bool ok = !done;
        switch (record.tag) {
        case kPreprocessed:
            ok = ok && ReadFlag(record.bytes, &r->preprocessed);
            break;
        case kPreprocessMessages:
            r->preprocessMessages = record.bytes;
            break;
        case kPreprocessedText:
            r->preprocessedText = record.bytes;
            break;
        case kCompiled:
            ok = ok && ReadFlag(record.bytes, &r->compiled);
            break;
        case kEntryFound:
            ok = ok && ReadFlag(record.bytes, &r->entryFound);
            break;
        case kCompileMessages:
            r->compileMessages = record.bytes;
            break;
        case kFlawFile:
            r->flaw.file = record.bytes;
            break;
        case kFlawLine:
            ok = ok && ReadWord(record.bytes, &r->flaw.line);
            break;
        case kFlawMessage:
            r->flawed = true;
            r->flaw.message = record.bytes;
            break;
        case kSpirvMade:
            ok = ok && ReadFlag(record.bytes, &r->spirvMade);
            break;
        case kSpirvFile:
            r->spirvFailure.file = record.bytes;
            break;
        case kSpirvLine:
            ok = ok && ReadWord(record.bytes, &r->spirvFailure.line);
            break;
        case kSpirvMessage:
            r->spirvFailure.message = record.bytes;
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

IsolatedRun RunFrontEndChild(const FrontEndJob& job, int limitMs, int callerFd) {
    if (!PrepareGlslang(job.stage)) {
        IsolatedRun run;
        run.failure = "glslang could not be set up";
        return run;
    }
    return RunIsolated([&job](RecordWriter& out) { Work(job, out); }, limitMs, callerFd);
}

FrontEndResult RunFrontEnd(const FrontEndJob& job, int limitMs) {
    IsolatedRun run;
    if (!RunOnCompileServer(job, limitMs, &run))
        run = RunFrontEndChild(job, limitMs, -1);
    FrontEndResult result;
    result.end = run.end;
    result.exitStatus = run.exitStatus;
    result.signal = run.signal;
    result.failure = std::move(run.failure);
    const bool readable = ReadRecords(run.records, &result);
    result.finished = result.finished && readable;
    return result;
}

} // namespace platform
