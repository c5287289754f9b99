#include "usbip/connection_threads.h"

namespace hx::emu {

ConnectionThreads::~ConnectionThreads() {
  for (Worker& worker : workers_) {
    worker.thread.join();
  }
}

bool ConnectionThreads::Start(StreamSocket& connection, const Serve& serve) {
  JoinFinished();
  if (workers_.size() >= limit_) {
    return false;
  }
  Worker& worker = workers_.emplace_back();
  worker.thread = std::thread(
      [serve, &finished = worker.finished](StreamSocket socket) {
        serve(socket);
        // Counted out before the peer sees the end, so that its next connection finds room.
        finished = true;
        socket.Close();
      },
      std::move(connection));
  return true;
}

void ConnectionThreads::JoinFinished() {
  std::erase_if(workers_, [](Worker& worker) {
    if (!worker.finished) {
      return false;
    }
    worker.thread.join();
    return true;
  });
}

}  // namespace hx::emu
