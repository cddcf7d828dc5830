// Makes camera_template_1073.jpg, the template picture of camera copies:
//   make-camera-template resources/pictures/camera_template_1073.jpg
// A 160 x 120 grey JPEG whose Exif block, written by the program's own Exif
// writer, is the model for every copy: the program as maker and model, the
// Exif directory with its dates and the maker directory whose byte 0x0D00 a
// copy sets, and a thumbnail directory. Everything in it is fixed, so the
// same program always makes the same bytes.
#include "imaging/exif_file.h"
#include "imaging/exif_thumbnail.h"
#include "imaging/image_buffer.h"
#include "imaging/jpeg_codec.h"
#include "imaging/pixel_types.h"
#include "platform/file.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace {

constexpr int kWidth = 160, kHeight = 120;
constexpr int kQuality = 90;
constexpr const char* kDate = "2026:01:01 00:00:00";

CExifEntry* Add(CExifFile& exif, WORD sub, WORD tag, WORD type, DWORD count)
{
    return exif.InsertEntry(std::make_unique<CExifEntry>(&exif, 0, sub, tag, type, count));
}

void AddText(CExifFile& exif, WORD sub, WORD tag, WORD type, const char* text, DWORD count)
{
    CExifEntry* e = Add(exif, sub, tag, type, count);
    std::memcpy(e->GetData(), text, std::min<size_t>(std::strlen(text), count));
}

void AddShort(CExifFile& exif, WORD sub, WORD tag, WORD value) { Add(exif, sub, tag, 3, 1)->SetShort(value, 0); }

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-camera-template OUT.jpg\n");
        return 2;
    }
    CImageBuffer picture;
    std::vector<uint8_t> grey(size_t(kWidth) * 3 * kHeight, 0x80);
    if (!picture.Create(CImageBuffer::kHeap, CSize(kWidth, kHeight), PixelType::Bgr24, 1, grey.data(), nullptr, 72.0f,
                        72.0f)) {
        std::fprintf(stderr, "make-camera-template: no picture\n");
        return 1;
    }

    CExifFile exif;
    const size_t nameBytes = std::strlen("Quiram Relayo") + 1;
    AddText(exif, kSubMain, 271, 2, "Quiram", 7);
    AddText(exif, kSubMain, 272, 2, "Quiram Relayo", static_cast<DWORD>(nameBytes));
    AddShort(exif, kSubMain, 274, 1);
    Add(exif, kSubMain, 282, 5, 1)->SetRational(72, 1, 1, 0);
    Add(exif, kSubMain, 283, 5, 1)->SetRational(72, 1, 1, 0);
    AddShort(exif, kSubMain, 296, 2);
    AddText(exif, kSubMain, 306, 2, kDate, 20);
    AddShort(exif, kSubMain, 531, 2);
    Add(exif, kSubMain, kTagExifPointer, 4, 1);
    AddText(exif, kSubExif, 36864, 7, "0220", 4);
    AddText(exif, kSubExif, kTagDateTimeOriginal, 2, kDate, 20);
    AddText(exif, kSubExif, 36868, 2, kDate, 20);
    // The note's own bytes are rebuilt from the maker directory when written.
    Add(exif, kSubExif, kTagMakerNote, 7, 4);
    AddText(exif, kSubExif, 40960, 7, "0100", 4);
    AddShort(exif, kSubExif, 40961, 1);
    // The version entry makes the note one the reader parses as a directory.
    AddText(exif, kSubMaker, 0, 7, "VR01", 4);
    Add(exif, kSubMaker, 0x0D00, 1, 1);

    CMemFile thumbnail;
    CSize thumbSize;
    const DWORD thumbBytes = MakeExifThumbnail(picture, thumbSize, thumbnail);
    CMemFile block;
    DWORD blockBytes = 0;
    if (thumbBytes == 0 || exif.WriteExif(&block, blockBytes, thumbnail.Data().data(), thumbBytes, kWidth, kHeight,
                                          thumbSize.cx, thumbSize.cy, kExifJpeg, -1) != 0) {
        std::fprintf(stderr, "make-camera-template: no Exif block\n");
        return 1;
    }
    std::vector<uint8_t> encoded;
    size_t encodedBytes = 0;
    JpegEncode(picture.GetBits(), PixelType::Bgr24, true, kWidth, kHeight, kQuality, 72, 72, 0, nullptr, 0, nullptr, 0,
               encoded, &encodedBytes, nullptr);
    // Exif readers look for the APP1 segment right behind the start of image:
    // it takes the place of the encoder's JFIF segment.
    if (encoded.size() < 6 || encoded[2] != 0xFF || encoded[3] != 0xE0) {
        std::fprintf(stderr, "make-camera-template: no picture\n");
        return 1;
    }
    const size_t rest = 4 + (size_t(encoded[4]) << 8 | encoded[5]);
    const size_t app1Length = block.Data().size() + 2;
    std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t(app1Length >> 8), uint8_t(app1Length)};
    jpeg.insert(jpeg.end(), block.Data().begin(), block.Data().end());
    jpeg.insert(jpeg.end(), encoded.begin() + static_cast<ptrdiff_t>(rest), encoded.end());
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make-camera-template: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
