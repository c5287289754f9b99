#pragma once
// A name that is not a regular file and that opening would act on: what an image file must
// never be.

#include <filesystem>

namespace hx::test {

/// On POSIX a FIFO without a writer made in dir; on Windows a named pipe's name, which no
/// server serves.
std::filesystem::path NotARegularFile(const std::filesystem::path& dir);

}  // namespace hx::test
