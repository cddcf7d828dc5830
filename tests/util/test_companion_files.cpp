#include "util/companion_files.h"
#include "util/path_util.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(CompanionFiles, PicturesBringTheirVoiceNotesAndCameraThumbnailsOnce)
{
    qrtest::TempDir dir;
    for (const char* name : {"IMG_1.JPG", "IMG_1.wav", "IMG_1.TIF", "IMG_1.THM", "IMG_1.x.wav", "img_1.WAV",
                             "RAW_2.TKF", "RAW_2.thm", "RAW_2.Wav", "JPG_3.jpg", "JPG_3.THM", "NOTE.WAV", "NOTE.THM",
                             "Mixed.jpg", "MIXED.wav", "Two.jpg", "TWO.wav", "two.WAV", "\xC3\x9C" "ber.jpg",
                             "\xC3\xBC" "BER.wav"})
        qrtest::WriteBytes(dir / name, {'x'});
    auto at = [&](const char* name) { return (dir / name).string(); };
    std::vector<std::string> list = {at("IMG_1.JPG"), at("IMG_1.TIF"), at("RAW_2.TKF"), at("JPG_3.jpg"),
                                     at("NOTE.WAV"),  at("RAW_2.Wav"), at("Mixed.jpg"), at("Two.jpg"),
                                     at("\xC3\x9C" "ber.jpg")};
    AddCompanionFiles(list);
    // After the listed files: each picture's own in order, a WAV file none,
    // a thumbnail only for TIFF and raw pictures, nothing listed twice; a
    // name in another case when it is the only one.
    EXPECT_EQ(list, (std::vector<std::string>{at("IMG_1.JPG"), at("IMG_1.TIF"), at("RAW_2.TKF"), at("JPG_3.jpg"),
                                              at("NOTE.WAV"), at("RAW_2.Wav"), at("Mixed.jpg"), at("Two.jpg"),
                                              at("\xC3\x9C" "ber.jpg"), at("IMG_1.wav"), at("IMG_1.THM"),
                                              at("RAW_2.thm"), at("MIXED.wav"), at("\xC3\xBC" "BER.wav")}));
    EXPECT_EQ(FindNamesakes(at("IMG_1.TIF"), IsTiffFile), std::vector<std::string>{});
    EXPECT_EQ(FindNamesakes(at("IMG_1.wav"), IsJpegFile), std::vector<std::string>{at("IMG_1.JPG")});
}

} // namespace
