// What crosses the socket between the program and its compile server: a job with its time limit,
// and the run that came of it, each sent as one size-prefixed message. It neither starts processes
// nor judges what it carries.
#pragma once

#include "front_end.h"
#include "isolation.h"
#include "process.h"

#include <string>

namespace platform::d3dcompiler {

std::string EncodeJob(const FrontEndJob& job, const std::string& directory, int limitMs);
bool DecodeJob(const std::string& bytes, FrontEndJob* job, int* limitMs);

std::string EncodeRun(const IsolatedRun& run);
bool DecodeRun(const std::string& bytes, IsolatedRun* run);

// Each is false, with the reason in `failure` (kNoAnswer when the deadline passed), when the deadline
// passes, a call fails or the other end closes; a close before a message starts leaves it empty.
constexpr char kNoAnswer[] = "no answer in time";
bool SendMessage(int fd, const std::string& bytes, ProcessClock::time_point deadline, std::string* failure);
bool ReceiveMessage(int fd, std::string* bytes, ProcessClock::time_point deadline, std::string* failure);

} // namespace platform::d3dcompiler
