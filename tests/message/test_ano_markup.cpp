#include "message/ano_markup.h"

#include "platform/file.h"
#include "message_fixtures.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> Wave() { return msgtest::PlayableWaveBytes(4); }

// A sound that begins as a WAV file does but ends half way.
std::vector<unsigned char> HalfWave()
{
    std::vector<unsigned char> b = msgtest::PlayableWaveBytes(400);
    b.resize(b.size() / 2);
    return b;
}

// A card as a camera lays it out: ROOT/ANN0001/ANN0001.TXT beside the linked files.
struct Card {
    qrtest::TempDir dir;
    fs::path root = dir / "ROOT";
    fs::path markup = root / "ANN0001" / "ANN0001.TXT";

    Card()
    {
        fs::create_directories(root / "ANN0001");
        fs::create_directories(root / "SND");
        qrtest::WriteBytes(root / "MAIN.JPG", {1, 2, 3});
        qrtest::WriteBytes(root / "PIC.JPG", {4});
        qrtest::WriteBytes(root / "SND" / "A.WAV", Wave());
        qrtest::WriteBytes(root / "SND" / "HALF.WAV", HalfWave());
        qrtest::WriteBytes(root / "SND" / "NOTWAVE.WAV", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' ', 0});
        qrtest::WriteBytes(dir / "SECRET.WAV", Wave());
    }

    void Write(const std::string& text)
    {
        std::ofstream(markup, std::ios::binary) << text;
    }

    bool Load(CAnoMarkup& m)
    {
        CFile f(markup.string(), CFile::modeRead);
        return m.Load(f);
    }
};

} // namespace

TEST(AnoMarkup, RecognisesAnnotationTextFiles)
{
    const std::pair<const char*, bool> rows[] = {
        {"/card/ANN0001/ANN0001.TXT", true},
        {"/card/ANN0001/ANN0001.txt", true},
        {"/card/ann0001/ANN0001.TXT", true},
        {"/card/ANN0001/ann0001.txt", false},
        {"/card/MISC/ANN0001.TXT", false},
        {"/card/ANN0001/ANN0001.DOC", false},
        {"/card/ANN0001/ANN0001", false},
        {"ANN0001.TXT", false},
    };
    for (const auto& [path, want] : rows)
        EXPECT_EQ(IsAnnotationTextFile(path), want) << path;
}

TEST(AnoMarkup, ParsesMainPictureAreasAndLinks)
{
    Card card;
    card.Write("junk <x> <Annotation version=\"1\" mainImage=\"/DCIM/100/MAIN.JPG\">\r\n"
               "<posLink position=\"10 20\" areaSize=\"30 40\">\n"
               "  <linkedImg source=\"PIC.JPG\"/>\n"
               "  <linkedSnd source=\"SND/A.WAV\"/>\n"
               "</posLink>\n"
               "<posLink position=\"1 2\" areaSize=\"3 4\"><linkedSnd source=\"/ROOT/SND/A.WAV\"></posLink>\n"
               "</Annotation><linkedImg source=\"PIC.JPG\">");
    CAnoMarkup m;
    ASSERT_TRUE(card.Load(m));
    const fs::path root = fs::canonical(card.root);
    EXPECT_EQ(m.m_strMainImage, (root / "MAIN.JPG").string());
    EXPECT_EQ(m.m_strAnnoFolder, (card.root / "ANN0001").string());
    EXPECT_EQ(m.m_strRootFolder, card.root.string());
    ASSERT_EQ(m.m_kinds, (std::vector<int32_t>{3, 2, 2}));
    EXPECT_EQ(m.m_areas[0], CRect(10, 20, 40, 60));
    EXPECT_EQ(m.m_areas[1], CRect(10, 20, 40, 60)); // both links of one posLink share its area
    EXPECT_EQ(m.m_areas[2], CRect(1, 2, 4, 6));
    EXPECT_EQ(m.m_paths[0], (root / "PIC.JPG").string());
    EXPECT_EQ(m.m_paths[1], (root / "SND" / "A.WAV").string());
    EXPECT_EQ(m.m_paths[2], (root / "SND" / "A.WAV").string()); // the root's own name repeated
}

TEST(AnoMarkup, RefusesLinksThatLeaveTheCardOrAreNotSounds)
{
    Card card;
    fs::create_symlink(card.dir / "SECRET.WAV", card.root / "LINK.WAV");
    const char* refused[] = {"../SECRET.WAV", "/etc/passwd", "SND/../../SECRET.WAV", "LINK.WAV",
                             "SND/NOTWAVE.WAV", "SND/HALF.WAV", "SND/MISSING.WAV", "", "SND\\A.WAV"};
    for (const char* ref : refused) {
        card.Write(std::string("<Annotation mainImage=\"MAIN.JPG\"><posLink position=\"0 0\" areaSize=\"1 1\">"
                               "<linkedSnd source=\"") + ref + "\"></Annotation>");
        CAnoMarkup m;
        ASSERT_TRUE(card.Load(m)) << ref;
        EXPECT_TRUE(m.m_paths.empty()) << ref;
    }
    EXPECT_FALSE(CAnoMarkup::IsAcceptableSoundFile((card.root / "MAIN.JPG").string()));
    EXPECT_TRUE(CAnoMarkup::IsAcceptableSoundFile((card.root / "SND" / "A.WAV").string()));
}

TEST(AnoMarkup, FailsWithoutMainPictureOrOnMalformedPositions)
{
    Card card;
    const char* failing[] = {
        "<Annotation mainImage=\"NOPE.JPG\"></Annotation>",
        "<Annotation mainImage=\"../SECRET.WAV\"></Annotation>",
        "<Annotation mainImage=MAIN.JPG></Annotation>", // unquoted: reads as empty
        "<Annotation mainImage=\"MAIN.JPG\"><posLink position=\"10\" areaSize=\"3 4\"></Annotation>",
        "<Annotation mainImage=\"MAIN.JPG\"><posLink position=\"1 2\" areaSize=\"x y\"></Annotation>",
        "<Annotation mainImage=\"MAIN.JPG\"><posLink position=\"2147483647 0\" areaSize=\"1 1\"></Annotation>",
    };
    for (const char* text : failing) {
        card.Write(text);
        CAnoMarkup m;
        EXPECT_FALSE(card.Load(m)) << text;
    }
    static const char withZero[] = "<Annotation mainImage=\"MAIN.JPG\">\0<posLink position=\"x\">";
    card.Write(std::string(withZero, sizeof withZero - 1));
    CAnoMarkup m;
    EXPECT_TRUE(card.Load(m)); // the text ends at the first zero byte
    EXPECT_EQ(m.m_strText, "<Annotation mainImage=\"MAIN.JPG\">");
}

TEST(AnoMarkup, LinksBeforeAnyPosLinkHaveAnEmptyArea)
{
    Card card;
    card.Write("<Annotation mainImage=\"MAIN.JPG\" ><linkedImg source=\"PIC.JPG\" /></Annotation>");
    CAnoMarkup m;
    ASSERT_TRUE(card.Load(m));
    ASSERT_EQ(m.m_areas.size(), 1u);
    EXPECT_TRUE(m.m_areas[0].IsRectNull());
}
