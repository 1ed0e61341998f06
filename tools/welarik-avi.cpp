// SPDX-License-Identifier: GPL-3.0-or-later
// welarik-avi FILE: runs the video file probe without a window and prints "FIELD<TAB>text" for
// every edit the film editor would fill; a message or file error goes to standard error. AVI
// files go through our AVI probe, every other video file through MediaInfoLib.

#include "videoprobe.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc != 2 || argv[1][0] == '\0') {
        std::fputs("usage: welarik-avi FILE\n", stderr);
        return 2;
    }
    const welarik::ProbeResult result = welarik::probeAnyVideoFile(argv[1]);
    const std::string lines = welarik::probeReportLines(result);
    std::fwrite(lines.data(), 1, lines.size(), stdout);
    std::fflush(stdout);
    if (!result.ok()) {
        const std::string text = result.errorText() + "\n";
        std::fwrite(text.data(), 1, text.size(), stderr);
        return 1;
    }
    return 0;
}
