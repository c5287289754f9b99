#pragma once
// A joinable thread with the platform's default stack size.

#include <functional>
#include <memory>

#include "platform/hresult.h"

namespace hx {

class CThread {
 public:
  CThread();
  /// Joins the thread if it was started and not joined yet.
  ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  /// Starts body on a new thread; the platform's error when the thread cannot be created.
  HRESULT Start(std::function<void()> body);
  bool Started() const;
  /// Waits for the thread to end; nothing happens if it was not started or is joined already.
  void Join();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace hx
