#pragma once
// The lines the network update prints, for tests that compare its output.

#include <string>
#include <vector>

namespace hx::test {

/// A stage that passed: "<stage>...SUCCEEDED!\r\n".
std::string Succeeded(const std::string& stage);

/// The lines of an update that goes well, from the first step to the manifest's arrival.
std::string LinesUntilImages();
/// The same and "Getting images": the lines before the download's progress.
std::string LinesUntilDownload();
/// The lines of an update that goes well, after its download.
std::string LinesAfterDownload();

/// output without its run of download progress lines, each "Download N% done.\r\n" followed
/// by back (what the console writes to return to the line's start); the percentages shown
/// are appended to percents.
std::string WithoutProgress(std::string output, const std::string& back,
                            std::vector<int>& percents);

}  // namespace hx::test
