#include "support/net_image_lines.h"

namespace hx::test {

std::string Succeeded(const std::string& stage) {
  return stage + "...SUCCEEDED!\r\n";
}

std::string LinesUntilImages() {
  return Succeeded("Setting server information") + Succeeded("Setting URI information") +
         Succeeded("Setting port information") + Succeeded("Initializing image update") +
         Succeeded("Starting image update") + Succeeded("Building file manifest") +
         Succeeded("Sending request to server") + Succeeded("Receiving file manifest from server");
}

std::string LinesUntilDownload() {
  return LinesUntilImages() + Succeeded("Getting images");
}

std::string LinesAfterDownload() {
  return Succeeded("Preparing to validate image") + "Image validation\r\n...SUCCEEDED!\r\n" +
         Succeeded("Post image download process") + Succeeded("Flashing images") +
         "Image update succeed.  Please restart the device.\r\n";
}

std::string WithoutProgress(std::string output, const std::string& back,
                            std::vector<int>& percents) {
  const std::string head = "Download ";
  const std::string tail = "% done.\r\n" + back;
  const std::size_t first = output.find(head);
  std::size_t at = first;
  while (at != std::string::npos && output.compare(at, head.size(), head) == 0) {
    const std::size_t end = output.find(tail, at);
    if (end == std::string::npos) {
      break;
    }
    percents.push_back(std::stoi(output.substr(at + head.size(), end - at - head.size())));
    at = end + tail.size();
  }
  if (first != std::string::npos) {
    output.erase(first, at - first);
  }
  return output;
}

}  // namespace hx::test
