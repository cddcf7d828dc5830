#pragma once

#include <string>
#include <vector>

namespace qrtest {

// What exiftool gave for one command.
struct ExifToolAnswer {
    std::string out;   // standard output
    std::string err;   // standard error
    int status = -1;   // exiftool's exit status for the command; -1 when it could not be asked
};

// Runs one exiftool command, its arguments as they would be given on the
// command line (no shell: no quoting). One exiftool stays open for the whole
// test program (-stay_open), so a call costs the work, not perl's start.
ExifToolAnswer ExifTool(const std::vector<std::string>& args);

} // namespace qrtest
