// Starting helper threads without letting a refusal take the process down.
// std::thread's constructor throws when the system cannot start a thread;
// callers start what they can and do the rest of the work themselves.
#pragma once

#include <functional>
#include <thread>
#include <vector>

namespace velto {

// Starts one thread running `body`. Throws std::system_error when it cannot.
// Tests substitute one that refuses, the way a system short of threads does.
using ThreadStarter = std::function<std::thread(std::function<void()> body)>;

// Starts up to `count` threads, each running `body(i)` for its own i, with
// `starter` (std::thread when empty). Stops at the first refusal and returns
// how many were started; they are in `*threads`, already running.
size_t StartThreads(unsigned count, const std::function<void(unsigned)>& body,
                    const ThreadStarter& starter, std::vector<std::thread>* threads);

}  // namespace velto
