#pragma once

#include <string>

// A name taken from a message (its title, a comment's file name) made fit to
// be one file name in a folder: every character a file name may not hold
// (\ / : , ; * ? " < > | and control characters) becomes '_', and a name
// that is then empty or only dots becomes fallback, so the file always lands
// inside the folder it is written to; leading dots become '_', so it is not
// hidden.
std::string MakeSafeFileName(const std::string& name, const std::string& fallback);
