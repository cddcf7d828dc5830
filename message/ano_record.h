#pragma once

#include "imaging/image_buffer.h"
#include "message/area_marquee.h"
#include "platform/datetime.h"
#include "platform/file.h"
#include "platform/types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CArchive;
class CDC;
class CDibBitmap;

// One comment of a message: who wrote it and when, in which font and colour,
// the area of the photograph it points to, and a text, a sound or an image.
// The memory file holds the attachment: nothing for a text, the whole ".wav"
// file for a sound, a 32-bit byte count and JPEG data for an image.
class CAnoRecord : public CMemFile {
public:
    enum ContentKind : int32_t { text = 1, sound = 2, image = 3 };

    // Attachments larger than this are refused (a message is mailed whole).
    static constexpr uint64_t kMaxAttachmentBytes = 256u << 20;
    // An image comment's picture: a thumbnail fitted into this size.
    static constexpr int kThumbWidth = 120;
    static constexpr int kThumbHeight = 90;
    // The attached picture as drawn on screen fits this size.
    static constexpr int kScreenWidth = 640;
    static constexpr int kScreenHeight = 480;

    CAnoRecord();
    CAnoRecord(int32_t kind, std::string userName, const SYSTEMTIME& date, const CAreaMarquee& area);
    CAnoRecord(const CAnoRecord& other);
    CAnoRecord& operator=(const CAnoRecord& other);
    ~CAnoRecord() override = default;

    // A text comment; a null text gives an empty one.
    void SetText(const char* text);
    void SetContentString(std::string text) { m_strContent = std::move(text); }

    // A sound comment holding the whole file. false when the file cannot be
    // opened, is larger than kMaxAttachmentBytes or was not read whole.
    bool AttachSound(const std::string& path);
    // An image comment: the picture as JPEG (quality 95) and a thumbnail.
    // false when the picture is not valid or cannot be encoded or resampled.
    bool AttachImage(const std::string& path, const CImageBuffer& picture);

    bool IsValid() const;

    // The attached picture of an image comment; false for other comments or
    // without attachment. Throws CArchiveException when the bytes do not decode.
    bool GetImage(CImageBuffer& out);

    // For a sound or image comment whose attachment does not read (a sound
    // that is no wave file the program plays, a picture that does not
    // decode): the text telling the user so, naming the comment. Empty when
    // it reads, and for a text comment. The bytes are kept whatever it says.
    std::string UnreadableText() const;

    // The attached picture as a screen bitmap fitted into 640 x 480; null
    // without one or when it does not decode.
    std::unique_ptr<CDibBitmap> CreateImageBitmap();

    // The comment card: the caption and, for an image comment, the thumbnail
    // above it (for a sound comment a sound mark left of it), laid out from
    // rect's top-left with the record's font and colour at a resolution (96
    // for the screen). format holds DrawText flags; with DT_CALCRECT nothing
    // is drawn. Answers the union of the text and picture rectangles. Without
    // the caption the card shows the content text alone; textArea receives
    // where the text stands, as wide as the card may grow.
    CRect LayoutCard(CDC& dc, const CRect& rect, UINT format, int resolution, bool showCaption = true,
                     CRect* textArea = nullptr);

    // The content as a side file: the text, the sound file or the bare JPEG
    // data. false when a sound or image comment has no attachment.
    bool WriteContent(CFile& file) const;

    // Moves the area from a photograph of the old size to one of the new
    // (both axes by the width ratio); image attachments are refitted into
    // attachWidth x attachHeight.
    void Scale(int oldWidth, int oldHeight, int newWidth, int newHeight, int attachWidth, int attachHeight);

    // "YYYY/MM/DD hh:mm:ss".
    std::string FormatDate() const;
    // Year, month, day, hour, minute, second from the text; missing fields come
    // from the current local time, and an impossible date is the current time.
    void ParseDate(std::string_view text);
    // The one-paragraph heading: content, then "( user date time )".
    std::string GetCaption() const;
    // Its last part: "( user date time )".
    std::string GetHeading() const;

    // The record's bytes in a message file of the given version (hundredths).
    // Loading without data passes over its attachment and picture unread.
    void Serialize(CArchive& ar, int version, bool withData = true);

    std::string m_strUserName;
    SYSTEMTIME m_date;
    CAreaMarquee m_area;
    CImageBuffer m_picture;
    LOGFONT m_logFont;
    COLORREF m_color = 0;
    std::string m_strContent;
    int32_t m_nKind = text;

private:
    void ClearContent(int32_t kind);
    void ReadAttachment(CArchive& ar);
    void ReadPicture(CArchive& ar);
};

// The default font of comments: face string 6264 at 10 points for the screen.
LOGFONT DefaultCommentFont();
