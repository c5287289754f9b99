#pragma once
// A completion queue of concurrency 1: completions posted by one thread are taken, in order, by
// the one worker that waits on it.

#include <cstdint>
#include <memory>

#include "platform/hresult.h"

namespace hx {

struct Completion {
  std::uint32_t byte_count;  ///< 0 for a work item; anything else asks the worker to stop
  void* key;                 ///< the work item
};

class CCompletionQueue {
 public:
  CCompletionQueue();
  ~CCompletionQueue();
  CCompletionQueue(const CCompletionQueue&) = delete;
  CCompletionQueue& operator=(const CCompletionQueue&) = delete;

  /// Creates the queue; the platform's error when it cannot.
  HRESULT Create();
  bool Created() const;
  /// Posts one completion; the platform's error when it cannot.
  HRESULT Post(const Completion& completion);
  /// Takes the oldest completion, waiting without a limit until one is posted.
  Completion Take();
  /// Takes the oldest completion if one is waiting.
  bool TryTake(Completion& completion);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace hx
