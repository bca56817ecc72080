#include "app/worker_threads.h"

#include <system_error>

namespace velto {

size_t StartThreads(unsigned count, const std::function<void(unsigned)>& body,
                    const ThreadStarter& starter, std::vector<std::thread>* threads) {
  const size_t before = threads->size();
  // Reserved first: growing the vector later could throw with threads in it.
  threads->reserve(before + count);
  for (unsigned i = 0; i < count; ++i) {
    std::function<void()> run = [body, i] { body(i); };
    try {
      threads->push_back(starter ? starter(std::move(run)) : std::thread(std::move(run)));
    } catch (const std::system_error&) {
      break;
    }
    if (!threads->back().joinable()) {  // a starter that handed back no thread
      threads->pop_back();
      break;
    }
  }
  return threads->size() - before;
}

}  // namespace velto
