#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CAPhotoContent;
class CFile;
class CImageBuffer;

// A message as a web page: one HTML page (CR LF lines, UTF-8) with the
// photograph, the area of each comment on it, and the pictures and sounds of
// image and sound comments as files beside it, all written through the file
// writer.
namespace webpage {

// The file names of one page. The base is the message title made a safe
// file name, or "ANO" for an untitled message, so nothing is ever written
// outside the chosen folder.
std::string BaseName(const std::string& title);
std::string PageName(const std::string& base);
// "<base>_<nnn>.<ext>", or "<base>_<nnn>_<kkk>.<ext>" when k is 1 or more.
std::string SideName(const std::string& base, int n, int k, const char* ext);
// Every file a page of this content writes, the page first.
std::vector<std::string> TargetNames(const CAPhotoContent& content);

// The markup lines. Texts are escaped for HTML; the file names in SRC and
// HREF are percent-encoded.
void HtmlBegin(CFile& out, const std::string& title);
void HtmlEnd(CFile& out);
void HtmlBreak(CFile& out);
void HtmlRule(CFile& out);
void HtmlImage(CFile& out, const std::string& prefix, const std::string& name);
void HtmlLink(CFile& out, const std::string& prefix, const std::string& name, const std::string& text);
void HtmlWrite(CFile& out, const std::string& text);
// The text's lines with a break between them.
void HtmlWriteLines(CFile& out, const std::string& text);

// "2-1." style numbers of comments in tree order.
class CNestingNumber {
public:
    static constexpr int kDepths = 8;
    // Counts the comment at depth (clamped to 0-7) and gives its number.
    std::string Next(int depth);

private:
    int m_counters[kDepths] = {};
};

// What one page save did.
struct Result {
    bool complete = true;    // every comment reached the page
    std::string failedPath;  // the first file that could not be written, empty when none
    std::string reason;      // why, in the system's words
};

// Writes the page and its side files into folder. stop is asked before each
// comment; total and done count the comments (plus the photograph) for a
// progress bar. A picture or comment file that cannot be made ends the page
// there; what was done is still written as the page, with its end.
Result WritePage(const CImageBuffer& photo, const CAPhotoContent& content, const std::string& folder, int quality,
                 const std::function<bool()>& stop, std::atomic<uint32_t>& total, std::atomic<uint32_t>& done);

} // namespace webpage
