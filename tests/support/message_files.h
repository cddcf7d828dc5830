#pragma once

// Message files made by the program's own message writer, for the suites
// that list, search and open them (the suite links the message library).
#include "message/ano_record.h"
#include "message/photo_content.h"
#include "platform/archive.h"
#include "platform/file.h"
#include "support/test_support.h"

#include <filesystem>
#include <memory>
#include <string>

namespace qrtest {

// A message whose photograph is w x h of one colour, with one text comment
// on it when given.
inline void WriteMessageFile(const std::filesystem::path& path, int w, int h, COLORREF colour,
                             const std::string& comment = {})
{
    CImageBuffer photo;
    photo.Create(CImageBuffer::kHeap, CSize(w, h), PixelType::Bgr24, 1);
    for (int y = 0; y < h; ++y) {
        BYTE* row = photo.GetRowPointer(y);
        for (int x = 0; x < w; ++x) {
            row[x * 3] = GetBValue(colour);
            row[x * 3 + 1] = GetGValue(colour);
            row[x * 3 + 2] = GetRValue(colour);
        }
    }
    CAPhotoContent content(90);
    content.TakeImage(photo);
    if (!comment.empty()) {
        auto record = std::make_unique<CAnoRecord>();
        record->SetText(comment.c_str());
        content.m_comments.emplace_back(0, std::move(record));
    }
    CMemFile memory;
    CArchive ar(&memory, CArchive::store);
    content.WriteBody(ar);
    WriteBytes(path, memory.Detach());
}

} // namespace qrtest
