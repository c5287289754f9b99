#include <clocale>
#include <csignal>

#include "platform/process.h"

namespace hx::platform {

void PrepareProcess() {
  std::setlocale(LC_ALL, "");
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace hx::platform
