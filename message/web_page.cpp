#include "message/web_page.h"

#include "platform/gcc_warnings.h"

#include "message/ano_record.h"
#include "message/photo_content.h"
#include "message/picture_jpeg.h"
#include "message/safe_file_name.h"
#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/replace_file.h"
#include "util/path_util.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace webpage {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr char kPrefix[] = ".";
constexpr char kUntitled[] = "ANO";

void Put(CFile& out, const std::string& s) { out.Write(s.data(), s.size()); }

std::string Escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// A relative address: unreserved characters and '/' stay, every other byte
// (UTF-8 included) becomes %XX.
std::string PercentEncoded(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '.' || c == '_' || c == '~' || c == '/';
        if (keep) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// The page and its side files; the first failure is kept for the caller.
class CPageWriter {
public:
    CPageWriter(const std::string& folder, int quality, Result& result)
        : m_folder(folder), m_nQuality(quality), m_result(result)
    {
    }

    bool WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        const std::string path = JoinPath(m_folder, name);
        try {
            ReplaceFileContents(path, bytes);
            return true;
        } catch (const CFileException& e) {
            Fail(path, e.SystemReason());
        }
        return false;
    }

    bool WriteJpeg(const CImageBuffer& picture, const std::string& name)
    {
        std::vector<uint8_t> jpeg;
        if (!msgjpeg::Encode(picture, m_nQuality, jpeg)) {
            Fail(JoinPath(m_folder, name), {});
            return false;
        }
        return WriteBytes(name, jpeg);
    }

    bool WriteAreaImage(const CImageBuffer& photo, CRect rect, const std::string& name)
    {
        rect.NormalizeRect();
        CImageBuffer area;
        if (!area.CopyRect(photo, rect)) {
            Fail(JoinPath(m_folder, name), {});
            return false;
        }
        return WriteJpeg(area, name);
    }

    bool WriteContentFile(const CAnoRecord& record, const std::string& name)
    {
        CMemFile bytes;
        if (!record.WriteContent(bytes)) {
            Fail(JoinPath(m_folder, name), {});
            return false;
        }
        // A side file that cannot be made is left out; the page goes on.
        WriteBytes(name, bytes.Data());
        return true;
    }

    void Fail(const std::string& path, const std::string& reason)
    {
        if (m_result.failedPath.empty()) {
            m_result.failedPath = path;
            m_result.reason = reason;
        }
    }

private:
    std::string m_folder;
    int m_nQuality;
    Result& m_result;
};

} // namespace

std::string BaseName(const std::string& title) { return MakeSafeFileName(title, kUntitled); }

std::string PageName(const std::string& base) { return base + ".htm"; }

std::string SideName(const std::string& base, int n, int k, const char* ext)
{
    char number[32];
    if (k < 1)
        std::snprintf(number, sizeof number, "_%03d.", n);
    else
        std::snprintf(number, sizeof number, "_%03d_%03d.", n, k);
    return base + number + ext;
}

std::vector<std::string> TargetNames(const CAPhotoContent& content)
{
    const std::string base = BaseName(content.m_strPictureText);
    std::vector<std::string> names{PageName(base), SideName(base, 0, 0, "jpg")};
    int group = 0, images = 1, sounds = 1;
    for (const CAnoElement& e : content.m_comments) {
        if (e.m_nDepth <= 0) {
            names.push_back(SideName(base, ++group, 0, "jpg"));
            images = sounds = 1;
        }
        if (e.m_pRecord->m_nKind == CAnoRecord::image)
            names.push_back(SideName(base, group, images++, "jpg"));
        else if (e.m_pRecord->m_nKind == CAnoRecord::sound)
            names.push_back(SideName(base, group, sounds++, "wav"));
    }
    return names;
}

void HtmlBegin(CFile& out, const std::string& title)
{
    Put(out, std::string("<HTML>") + kCrLf + "<HEAD>" + kCrLf);
    Put(out, std::string("<META http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">") + kCrLf);
    Put(out, "<TITLE>" + Escaped(title) + "</TITLE>" + kCrLf + "</HEAD>" + kCrLf + "<BODY>" + kCrLf);
}

void HtmlEnd(CFile& out) { Put(out, std::string("</BODY>") + kCrLf + "</HTML>" + kCrLf); }

void HtmlBreak(CFile& out) { Put(out, std::string("<br>") + kCrLf); }

void HtmlRule(CFile& out) { Put(out, std::string("<hr>") + kCrLf); }

void HtmlImage(CFile& out, const std::string& prefix, const std::string& name)
{
    Put(out, "<IMG SRC=\"" + PercentEncoded(prefix + "/" + name) + "\">" + kCrLf);
}

void HtmlLink(CFile& out, const std::string& prefix, const std::string& name, const std::string& text)
{
    Put(out, "<A HREF=\"" + PercentEncoded(prefix + "/" + name) + "\">" + Escaped(text) + "</A>" + kCrLf);
}

void HtmlWrite(CFile& out, const std::string& text) { Put(out, Escaped(text)); }

void HtmlWriteLines(CFile& out, const std::string& text)
{
    size_t from = 0;
    for (;;) {
        const size_t lf = text.find('\n', from);
        HtmlWrite(out, text.substr(from, lf == std::string::npos ? std::string::npos : lf - from));
        if (lf == std::string::npos)
            break;
        HtmlBreak(out);
        from = lf + 1;
    }
}

// GCC 12 sees an overlap in std::string's own copy of a short literal here: a false -Wrestrict.
QR_GCC_IGNORE_BEGIN("-Wrestrict")
std::string CNestingNumber::Next(int depth)
{
    depth = std::clamp(depth, 0, kDepths - 1);
    ++m_counters[depth];
    std::fill(m_counters + depth + 1, m_counters + kDepths, 0);
    int deepest = kDepths - 1;
    while (deepest > 0 && m_counters[deepest] == 0)
        --deepest;
    std::string text = std::to_string(m_counters[0]);
    for (int d = 1; d <= deepest; ++d)
        text += "-" + std::to_string(m_counters[d]);
    return text + ".";
}
QR_GCC_IGNORE_END

Result WritePage(const CImageBuffer& photo, const CAPhotoContent& content, const std::string& folder, int quality,
                 const std::function<bool()>& stop, std::atomic<uint32_t>& total, std::atomic<uint32_t>& done)
{
    Result result;
    CPageWriter writer(folder, quality, result);
    const std::string base = BaseName(content.m_strPictureText);
    CMemFile page;
    total = uint32_t(content.m_comments.size() + 1);
    done = 0;

    // Each step answers false once a file could not be made: the page ends there.
    auto body = [&]() -> bool {
        const std::string photoName = SideName(base, 0, 0, "jpg");
        HtmlWrite(page, photoName);
        HtmlBreak(page);
        HtmlImage(page, kPrefix, photoName);
        HtmlBreak(page);
        if (!writer.WriteJpeg(photo, photoName))
            return false;
        HtmlRule(page);
        done = 1;

        CNestingNumber numbers;
        int group = 0, images = 1, sounds = 1;
        for (const CAnoElement& e : content.m_comments) {
            if (stop && stop())
                return false;
            const CAnoRecord& record = *e.m_pRecord;
            const std::string number = numbers.Next(e.m_nDepth);
            if (e.m_nDepth <= 0) {
                images = sounds = 1;
                const std::string areaName = SideName(base, ++group, 0, "jpg");
                HtmlWrite(page, areaName);
                HtmlBreak(page);
                HtmlImage(page, kPrefix, areaName);
                HtmlBreak(page);
                if (!writer.WriteAreaImage(photo, record.m_area.m_rect, areaName))
                    return false;
            }
            switch (record.m_nKind) {
            case CAnoRecord::text:
                HtmlWrite(page, number + " ");
                HtmlWriteLines(page, record.m_strContent);
                HtmlBreak(page);
                break;
            case CAnoRecord::image: {
                const std::string name = SideName(base, group, images, "jpg");
                HtmlWrite(page, number + " " + name);
                HtmlBreak(page);
                HtmlWriteLines(page, record.m_strContent);
                HtmlBreak(page);
                HtmlImage(page, kPrefix, name);
                HtmlBreak(page);
                if (!writer.WriteContentFile(record, name))
                    return false;
                ++images;
                break;
            }
            case CAnoRecord::sound: {
                const std::string name = SideName(base, group, sounds, "wav");
                HtmlLink(page, kPrefix, name, number + " " + name);
                HtmlBreak(page);
                HtmlWriteLines(page, record.m_strContent);
                HtmlBreak(page);
                if (!writer.WriteContentFile(record, name))
                    return false;
                ++sounds;
                break;
            }
            default:
                break;
            }
            HtmlRule(page);
            done = done + 1;
        }
        return true;
    };

    HtmlBegin(page, {});
    result.complete = body();
    HtmlEnd(page);
    // What was made so far is still a page the user can open.
    writer.WriteBytes(PageName(base), page.Data());
    return result;
}

} // namespace webpage
