#include "front_end.h"

#include "change_directory.h"
#include "compile_client.h"
#include "glslang_compile.h"

#include <cstring>
#include <unistd.h>

namespace platform::d3dcompiler {

namespace {

enum Tag : uint32_t {
    kPreprocessed = 1, // 0 or 1
    kPreprocessMessages,
    kPreprocessedText,
    kCompiled,   // 0 or 1
    kEntryFound, // 0 or 1
    kCompileMessages,
    kFlaw,      // a failure, as EncodeFailure writes it
    kSpirvMade, // 0 or 1
    kSpirvFailure,
    kSpirv,
    kDone, // empty: everything was sent
};

void SendFlag(RecordWriter& out, Tag tag, bool flag) {
    const uint32_t word = flag;
    out.Write(tag, &word, sizeof word);
}

// A failure of the SPIR-V stage as one record: its line, the size of its file's name, the name, and
// the message.
std::string EncodeFailure(const SpirvStageFailure& failure) {
    const uint32_t head[2] = {failure.line, static_cast<uint32_t>(failure.file.size())};
    return std::string(reinterpret_cast<const char*>(head), sizeof head) + failure.file + failure.message;
}

bool DecodeFailure(const std::string& bytes, SpirvStageFailure* failure) {
    uint32_t head[2];
    if (bytes.size() < sizeof head)
        return false;
    std::memcpy(head, bytes.data(), sizeof head);
    if (head[1] > bytes.size() - sizeof head)
        return false;
    failure->line = head[0];
    failure->file = bytes.substr(sizeof head, head[1]);
    failure->message = bytes.substr(sizeof head + head[1]);
    return true;
}

// The child's part: glslang's steps, then the SPIR-V stage, and the sending of their results. A child
// that cannot move to the caller's folder would look includes up in the wrong place, so it gives up.
void Work(const FrontEndJob& job, RecordWriter& out) {
    if (!job.directory.empty() && !ChangeDirectory(job.directory))
        _exit(kExitSetupFailed);
    std::string text, messages;
    const bool preprocessed = Preprocess(job, &text, &messages);
    SendFlag(out, kPreprocessed, preprocessed);
    out.Write(kPreprocessMessages, messages);
    if (preprocessed) {
        out.Write(kPreprocessedText, text);
        std::vector<uint32_t> spirv;
        bool entryFound = true;
        GlslangProgram program(job);
        const bool compiled = program.Compile(&spirv, &messages, &entryFound);
        SendFlag(out, kCompiled, compiled);
        SendFlag(out, kEntryFound, entryFound);
        out.Write(kCompileMessages, messages);
        if (compiled) {
            SpirvStageFailure failure;
            auto flawed = [&out](const SpirvStageFailure& flaw) { out.Write(kFlaw, EncodeFailure(flaw)); };
            auto withLines = [&program] { return program.Spirv(true); };
            const bool made = RunSpirvStage(&spirv, withLines, job.optimize, flawed, &failure);
            SendFlag(out, kSpirvMade, made);
            if (made)
                out.Write(kSpirv, spirv.data(), spirv.size() * sizeof(uint32_t));
            else
                out.Write(kSpirvFailure, EncodeFailure(failure));
        }
    }
    out.Write(kDone, nullptr, 0);
}

bool ReadFlag(const std::string& bytes, bool* flag) {
    uint32_t word;
    if (bytes.size() != sizeof word)
        return false;
    std::memcpy(&word, bytes.data(), sizeof word);
    if (word > 1)
        return false;
    *flag = word != 0;
    return true;
}

// Where each record goes in the result, by its kind.
const std::pair<Tag, bool FrontEndResult::*> kFlagRecords[] = {{kPreprocessed, &FrontEndResult::preprocessed},
                                                               {kCompiled, &FrontEndResult::compiled},
                                                               {kEntryFound, &FrontEndResult::entryFound},
                                                               {kSpirvMade, &FrontEndResult::spirvMade}};
const std::pair<Tag, std::string FrontEndResult::*> kTextRecords[] = {
    {kPreprocessMessages, &FrontEndResult::preprocessMessages},
    {kPreprocessedText, &FrontEndResult::preprocessedText},
    {kCompileMessages, &FrontEndResult::compileMessages}};
const std::pair<Tag, SpirvStageFailure FrontEndResult::*> kFailureRecords[] = {
    {kFlaw, &FrontEndResult::flaw}, {kSpirvFailure, &FrontEndResult::spirvFailure}};

// False when the record is unknown or malformed.
bool ReadRecord(const Record& record, FrontEndResult* r) {
    for (const auto& [tag, flag] : kFlagRecords)
        if (record.tag == tag)
            return ReadFlag(record.bytes, &(r->*flag));
    for (const auto& [tag, text] : kTextRecords)
        if (record.tag == tag) {
            r->*text = record.bytes;
            return true;
        }
    for (const auto& [tag, failure] : kFailureRecords)
        if (record.tag == tag) {
            r->flawed = r->flawed || tag == kFlaw;
            return DecodeFailure(record.bytes, &(r->*failure));
        }
    if (record.tag != kSpirv || record.bytes.size() % sizeof(uint32_t) != 0)
        return false;
    r->spirv.resize(record.bytes.size() / sizeof(uint32_t));
    std::memcpy(r->spirv.data(), record.bytes.data(), record.bytes.size());
    return true;
}

// False when a record is unknown or of the wrong size, or follows the last; the fields of the good
// ones are filled in.
bool ReadRecords(const std::vector<Record>& records, FrontEndResult* r) {
    bool done = false;
    for (const Record& record : records) {
        if (done)
            return false;
        done = record.tag == kDone;
        if (done ? !record.bytes.empty() : !ReadRecord(record, r))
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

} // namespace platform::d3dcompiler
