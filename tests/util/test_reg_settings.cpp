#include "util/app_settings.h"
#include "util/print_text_settings.h"
#include "util/reg_settings.h"
#include "resources/string_table.h"

#include "support/test_support.h"
#include "resources/string_ids.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const std::string kPreference = "SOFTWARE\\Quiram\\7321\\Preference";

// Every test gets its own hives, with the program's base path set as at start-up.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetRegistryStore(&store);
        SetRegRoot(HKEY_CURRENT_USER);
        SetRegBasePath(IDS_REG_KEYPATH);
    }
    void TearDown() override { SetRegistryStore(nullptr); }

    void Put(HKEY root, const std::string& key, const char* name, DWORD type, std::vector<uint8_t> data)
    {
        ASSERT_TRUE(store.SetValue(root, key, name, type, data.data(), data.size()));
    }

    qrtest::TempDir dir;
    CRegistryStore store{dir.path(), dir / "machine"};
};

QRect PrimaryDisplay() { return QGuiApplication::primaryScreen()->geometry(); }

bool FrameworkPathsAsExpected()
{
    SetRegFrameworkNames("Quiram", "7321");
    std::string section, none;
    BuildRegistryPath(section, "Preference");
    BuildRegistryPath(none, "");
    return section == "Software\\Quiram\\7321\\Preference" && none == "Quiram";
}

} // namespace

TEST(SettingsNames, StringTableHoldsTheStoredNames)
{
    const std::pair<UINT, const char*> rows[] = {
        {IDS_REG_SCANFOLDER, "ScanFolder"},       {IDS_REG_ANOFRAME, "AnoFrame"},
        {IDS_REG_PREFERENCE, "Preference"},       {IDS_REG_MAINFRAME, "MainFrame"},
        {IDS_REG_PREFERENCE2, "Preference"},      {IDS_REG_BASEPATH, "SOFTWARE\\Quiram\\7321"},
        {IDS_REG_RESIZEDLOGPOS, "ResizeDlogPos"}, {IDS_REG_PREFDLOGPOS, "PrefDlogPos"},
        {IDS_REG_WINDOWMAXIMIZED, "WindowMaximized"}, {IDS_REG_KEYPATH, "SOFTWARE\\Quiram\\7321"},
        {IDS_PRINTTEXT_FACE, "Arial"},
    };
    for (const auto& [id, text] : rows)
        EXPECT_EQ(res::String(id), text) << id;
}

TEST_F(SettingsTest, BuildRegistryPathRules)
{
    const std::pair<const char*, std::string> rows[] = {
        {"Preference", kPreference},
        {"#7", kPreference},
        {"#9", kPreference},
        {"", "SOFTWARE\\Quiram\\7321"},
        {"#0", "SOFTWARE\\Quiram\\7321"},
        {"#7x", "SOFTWARE\\Quiram\\7321\\#7x"},
    };
    for (const auto& [section, expected] : rows) {
        std::string path;
        BuildRegistryPath(path, section);
        EXPECT_EQ(path, expected) << section;
    }
    // A string id the table lacks leaves the base path as it was.
    SetRegBasePath(0xFFFF0);
    std::string path;
    BuildRegistryPath(path, "Preference");
    EXPECT_EQ(path, kPreference);
}

TEST(SettingsPaths, WithoutBasePathTheFrameworkKeyIsUsed)
{
    // The base path cannot be unset once set, so look at a freshly started process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(FrameworkPathsAsExpected() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST_F(SettingsTest, StringsOfAnyLengthRoundTrip)
{
    const std::string rows[] = {
        "",
        "/home/ana/Pictures",
        std::string(259, 'a'),
        std::string(260, 'b'),
        "/very/long/" + std::string(4000, 'c') + "/\xE5\x86\x99\xE7\x9C\x9F.jpg",
    };
    for (const std::string& text : rows) {
        RegWriteString(IDS_REG_PREFERENCE, "ScanFolder", text);
        std::string read = "stale";
        RegReadString(read, IDS_REG_PREFERENCE, "ScanFolder");
        EXPECT_EQ(read, text) << text.size();
        RegReadStringById(read, IDS_REG_PREFERENCE2, IDS_REG_SCANFOLDER);
        EXPECT_EQ(read, text) << text.size();
    }
    // Written with its terminating zero, under the section key.
    auto v = store.QueryValue(HKEY_CURRENT_USER, kPreference, "ScanFolder");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_SZ);
    EXPECT_EQ(v->data.size(), rows[4].size() + 1);
    EXPECT_EQ(v->data.back(), 0);
}

TEST_F(SettingsTest, IntegersRoundTripAndWrongTypesGiveDefaults)
{
    for (int n : {0, 1, -1, 95, 0x7FFFFFFF, static_cast<int>(0x80000000u)}) {
        RegWriteInt(IDS_REG_PREFERENCE, "ThumbSize", n);
        EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "ThumbSize", 2), n);
    }
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "Missing", 17), 17);

    Put(HKEY_CURRENT_USER, kPreference, "AsText", REG_SZ, {'5', 0});
    Put(HKEY_CURRENT_USER, kPreference, "ShortNumber", REG_DWORD, {5, 0});
    Put(HKEY_CURRENT_USER, kPreference, "AsNumber", REG_DWORD, {5, 0, 0, 0});
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "AsText", 300), 300);
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "ShortNumber", 300), 300);
    std::string text = "stale";
    RegReadString(text, IDS_REG_PREFERENCE, "AsNumber");
    EXPECT_EQ(text, "");
}

TEST_F(SettingsTest, RootChoosesTheHive)
{
    RegWriteInt(IDS_REG_PREFERENCE, "Compression", 50);
    EXPECT_EQ(GetCompressionSetting(), 95);
    RegWriteInt(IDS_REG_PREFERENCE, "Compression", 80, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(GetCompressionSetting(), 80);

    SetRegRoot(HKEY_LOCAL_MACHINE);
    RegWriteStringById(0, IDS_REG_SCANFOLDER, "/m");
    SetRegRoot(HKEY_CURRENT_USER);
    std::string s;
    RegReadStringById(s, 0, IDS_REG_SCANFOLDER);
    EXPECT_EQ(s, "");
    RegReadStringById(s, 0, IDS_REG_SCANFOLDER, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(s, "/m");
    EXPECT_TRUE(store.QueryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quiram\\7321", "ScanFolder"));
}

TEST_F(SettingsTest, BinaryBlocksFitOrLeaveTheBufferAlone)
{
    const uint8_t six[6] = {1, 2, 3, 4, 5, 6};
    RegWriteBinary(IDS_REG_PREFERENCE, "Block", six, sizeof six);
    uint8_t buf[8];
    std::memset(buf, 0xEE, sizeof buf);
    ASSERT_TRUE(RegReadBinary(IDS_REG_PREFERENCE, "Block", buf, sizeof buf));
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 8), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 0xEE, 0xEE}));

    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_FALSE(RegReadBinary(IDS_REG_PREFERENCE, "Block", buf, 5));
    Put(HKEY_CURRENT_USER, kPreference, "Text", REG_SZ, {'a', 0});
    EXPECT_FALSE(RegReadBinary(IDS_REG_PREFERENCE, "Text", buf, sizeof buf));
    EXPECT_FALSE(RegReadBinary(IDS_REG_PREFERENCE, "Missing", buf, sizeof buf));
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + 8), std::vector<uint8_t>(8, 0xEE));

    RegWriteBinary(IDS_REG_PREFERENCE, "Nothing", nullptr, 0);
    EXPECT_TRUE(RegReadBinary(IDS_REG_PREFERENCE, "Nothing", buf, sizeof buf));
}

TEST_F(SettingsTest, RectanglesAreSixteenLittleEndianBytes)
{
    const CRect r(-5, 7, 0x01020304, -0x7FFFFFFF);
    RegWriteRect(IDS_REG_PREFERENCE, IDS_REG_MAINFRAME, r);
    auto v = store.QueryValue(HKEY_CURRENT_USER, kPreference, "MainFrame");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, REG_BINARY);
    EXPECT_EQ(v->data, (std::vector<uint8_t>{0xFB, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0, 4, 3, 2, 1, 1, 0, 0, 0x80}));
    CRect back;
    ASSERT_TRUE(RegReadRect(IDS_REG_PREFERENCE2, IDS_REG_MAINFRAME, back));
    EXPECT_EQ(back, r);

    RegWriteRectAt("#9", "ResizeDlogPos", CRect(1, 2, 3, 4));
    ASSERT_TRUE(RegReadRect(IDS_REG_PREFERENCE2, IDS_REG_RESIZEDLOGPOS, back));
    EXPECT_EQ(back, CRect(1, 2, 3, 4));
    ASSERT_TRUE(RegReadRectAt("Preference", "resizedlogpos", back));
    EXPECT_EQ(back, CRect(1, 2, 3, 4));

    // Anything but a whole rectangle is no rectangle.
    Put(HKEY_CURRENT_USER, kPreference, "AnoFrame", REG_BINARY, {1, 0, 0, 0});
    back = CRect(9, 9, 9, 9);
    EXPECT_FALSE(RegReadRect(IDS_REG_PREFERENCE, IDS_REG_ANOFRAME, back));
    EXPECT_EQ(back, CRect(9, 9, 9, 9));
}

TEST_F(SettingsTest, RectOnDisplay)
{
    const QRect d = PrimaryDisplay();
    const LONG l = d.left(), t = d.top(), r = d.left() + d.width(), b = d.top() + d.height();
    const std::pair<CRect, BOOL> rows[] = {
        {CRect(l, t, l + 1, t + 1), TRUE},
        {CRect(r - 1, b - 1, r + 500, b + 500), TRUE},
        {CRect(l - 100, t - 100, l + 1, t + 1), TRUE},
        {CRect(r, t, r + 800, b), FALSE},        // wholly on a second monitor to the right
        {CRect(l - 800, t, l, b), FALSE},
        {CRect(l + 10, t + 10, l + 10, t + 50), FALSE}, // no width
        {CRect(l + 50, t + 50, l + 10, t + 10), FALSE}, // turned over
        {CRect(-0x7FFFFFFF - 1, -0x7FFFFFFF - 1, 0x7FFFFFFF, 0x7FFFFFFF), TRUE},
    };
    for (const auto& [rect, on] : rows)
        EXPECT_EQ(IsRectOnDisplay(rect), on) << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
}

TEST_F(SettingsTest, WindowPositionIsSavedAndOnlyTheCornerRestored)
{
    const QRect d = PrimaryDisplay();
    QWidget saved;
    saved.setGeometry(d.left() + 40, d.top() + 30, 320, 240);
    RegSaveWindowRect(&saved, IDS_REG_PREFERENCE, IDS_REG_ANOFRAME);
    CRect stored;
    ASSERT_TRUE(RegReadRect(IDS_REG_PREFERENCE, IDS_REG_ANOFRAME, stored));
    const QRect fg = saved.frameGeometry();
    EXPECT_EQ(stored, CRect(fg.left(), fg.top(), fg.left() + fg.width(), fg.top() + fg.height()));

    QWidget restored;
    restored.setGeometry(d.left() + 5, d.top() + 5, 111, 99);
    ASSERT_TRUE(RegRestoreWindowPos(&restored, IDS_REG_PREFERENCE, IDS_REG_ANOFRAME));
    EXPECT_EQ(restored.frameGeometry().topLeft(), fg.topLeft());
    EXPECT_EQ(restored.size(), QSize(111, 99));

    // Off the primary display, or missing: the window stays where its creator put it.
    RegWriteRectAt("Preference", "AnoFrame", CRect(d.right() + 100, 0, d.right() + 400, 300));
    restored.move(d.left() + 7, d.top() + 8);
    EXPECT_FALSE(RegRestoreWindowPos(&restored, IDS_REG_PREFERENCE, IDS_REG_ANOFRAME));
    EXPECT_FALSE(RegRestoreWindowPos(&restored, IDS_REG_PREFERENCE, IDS_REG_MAINFRAME));
    EXPECT_EQ(restored.pos(), QPoint(d.left() + 7, d.top() + 8));

    RegSaveWindowRectAt(&saved, "#7", "ViewerFrame");
    ASSERT_TRUE(RegReadRectAt("Preference", "ViewerFrame", stored));
    EXPECT_EQ(stored.TopLeft(), CPoint(fg.left(), fg.top()));
}

TEST_F(SettingsTest, AppSettingsDefaultsAndHiFiAlwaysOn)
{
    GetAppSettings() = CAppSettings();
    GetAppSettings().m_bHiFiImage = FALSE;
    LoadAppSettings();
    const CAppSettings& s = GetAppSettings();
    EXPECT_EQ(s.m_strUserName, "");
    EXPECT_EQ(s.m_bHiFiImage, TRUE);
    EXPECT_EQ(s.m_bShowDateTime, 1);
    EXPECT_EQ(s.m_bAttachPlayer, 0);
    EXPECT_EQ(s.m_bResizeMailImage, 0);

    Put(HKEY_CURRENT_USER, kPreference, "HiFiImage", REG_DWORD, {0, 0, 0, 0});
    RegWriteString(IDS_REG_PREFERENCE, "UserName", "Ana");
    RegWriteInt(IDS_REG_PREFERENCE, "ShowDateTime", 0);
    RegWriteInt(IDS_REG_PREFERENCE, "AttachPlayer", 1);
    RegWriteInt(IDS_REG_PREFERENCE, "ResizeMailImage", 1);
    LoadAppSettings();
    EXPECT_EQ(s.m_strUserName, "Ana");
    EXPECT_EQ(s.m_bHiFiImage, TRUE);
    EXPECT_EQ(s.m_bShowDateTime, 0);
    EXPECT_EQ(s.m_bAttachPlayer, 1);
    EXPECT_EQ(s.m_bResizeMailImage, 1);

    GetAppSettings().m_strUserName = "Bo";
    SaveAppSettings();
    EXPECT_EQ(RegReadInt(IDS_REG_PREFERENCE, "HiFiImage", -1), 1);
    std::string name;
    RegReadString(name, IDS_REG_PREFERENCE, "UserName");
    EXPECT_EQ(name, "Bo");
}

TEST_F(SettingsTest, PrintTextSettingsDefaultsAndRoundTrip)
{
    CPrintTextSettings fresh;
    fresh.Load();
    EXPECT_EQ(fresh.m_bInsideSelection, 0);
    EXPECT_STREQ(fresh.m_logFont.lfFaceName, "Arial");
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    EXPECT_EQ(fresh.m_logFont.lfHeight, -std::lround(90 * dpi / 720));
    EXPECT_EQ(fresh.m_color, 0u);
    EXPECT_EQ(fresh.m_nLocation, 3);
    EXPECT_EQ(fresh.m_bDateTime, 1);
    EXPECT_EQ(fresh.m_bFileName, 1);
    EXPECT_EQ(fresh.m_bComment, 1);
    EXPECT_EQ(fresh.m_nOverlayOn, 0);
    EXPECT_TRUE(fresh.m_rcArea.IsRectNull());

    CPrintTextSettings mine;
    mine.m_bInsideSelection = 1;
    mine.m_logFont.lfHeight = -21;
    mine.m_logFont.lfWeight = 700;
    mine.m_logFont.lfItalic = 1;
    mine.m_logFont.lfPitchAndFamily = 0x22;
    std::strcpy(mine.m_logFont.lfFaceName, "DejaVu Sans");
    mine.m_color = RGB(10, 20, 30);
    mine.m_nLocation = 0;
    mine.m_bDateTime = 0;
    mine.m_bFileName = 0;
    mine.m_bComment = 0;
    mine.m_nOverlayOn = 1;
    mine.Save();

    auto font = store.QueryValue(HKEY_CURRENT_USER, kPreference, "PTFont");
    ASSERT_TRUE(font);
    EXPECT_EQ(font->type, REG_BINARY);
    ASSERT_EQ(font->data.size(), 60u);
    EXPECT_EQ(std::vector<uint8_t>(font->data.begin(), font->data.begin() + 4), (std::vector<uint8_t>{0xEB, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(font->data[20], 1);    // italic
    EXPECT_EQ(font->data[27], 0x22); // pitch and family
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&font->data[28])), "DejaVu Sans");
    auto color = store.QueryValue(HKEY_CURRENT_USER, kPreference, "PTColor");
    ASSERT_TRUE(color);
    EXPECT_EQ(*color, (RegValue{REG_BINARY, {10, 20, 30, 0}}));
    EXPECT_FALSE(store.QueryValue(HKEY_CURRENT_USER, kPreference, "PTOverlayOn"));

    CPrintTextSettings back;
    back.Load();
    EXPECT_EQ(back.m_bInsideSelection, 1);
    EXPECT_EQ(back.m_logFont.lfHeight, -21);
    EXPECT_EQ(back.m_logFont.lfWeight, 700);
    EXPECT_EQ(back.m_logFont.lfItalic, 1);
    EXPECT_EQ(back.m_logFont.lfPitchAndFamily, 0x22);
    EXPECT_STREQ(back.m_logFont.lfFaceName, "DejaVu Sans");
    EXPECT_EQ(back.m_color, RGB(10, 20, 30));
    EXPECT_EQ(back.m_nLocation, 0);
    EXPECT_EQ(back.m_bDateTime, 0);
    EXPECT_EQ(back.m_bFileName, 0);
    EXPECT_EQ(back.m_bComment, 0);
    EXPECT_EQ(back.m_nOverlayOn, 0);
}

TEST_F(SettingsTest, PrintTextFontOfAnotherTypeKeepsTheDefault)
{
    Put(HKEY_CURRENT_USER, kPreference, "PTFont", REG_SZ, {'A', 'r', 'i', 0});
    Put(HKEY_CURRENT_USER, kPreference, "PTColor", REG_DWORD, {1, 2, 3, 0});
    CPrintTextSettings s;
    s.m_color = RGB(1, 1, 1);
    s.m_logFont.lfWeight = 900;
    s.Load();
    EXPECT_EQ(s.m_logFont.lfWeight, 0);
    EXPECT_STREQ(s.m_logFont.lfFaceName, "Arial");
    EXPECT_EQ(s.m_color, RGB(1, 1, 1));
}

namespace {

RegValue Value(DWORD type, std::vector<uint8_t> data) { return RegValue{type, std::move(data)}; }

TEST(SettingsValues, DecodersCheckTypeAndSize)
{
    using Bytes = std::vector<uint8_t>;
    // A rectangle is exactly 16 bytes: one less or one more is no rectangle.
    const Bytes rect{0xFB, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0, 4, 3, 2, 1, 1, 0, 0, 0x80};
    ASSERT_TRUE(RectFromRegValue(Value(REG_BINARY, rect)));
    EXPECT_EQ(CRect(*RectFromRegValue(Value(REG_BINARY, rect))), CRect(-5, 7, 0x01020304, INT32_MIN + 1));
    EXPECT_FALSE(RectFromRegValue(Value(REG_BINARY, Bytes(rect.begin(), rect.end() - 1))));
    Bytes longer = rect;
    longer.push_back(0);
    EXPECT_FALSE(RectFromRegValue(Value(REG_BINARY, longer)));
    EXPECT_FALSE(RectFromRegValue(Value(REG_DWORD, rect)));

    EXPECT_EQ(IntFromRegValue(Value(REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF})), -2);
    EXPECT_FALSE(IntFromRegValue(Value(REG_DWORD, {1, 0, 0})));
    EXPECT_FALSE(IntFromRegValue(Value(REG_DWORD, {1, 0, 0, 0, 0})));
    EXPECT_FALSE(IntFromRegValue(Value(REG_BINARY, {1, 0, 0, 0})));

    struct TextRow {
        Bytes data;
        std::string text;
    } texts[] = {{{'a', 'b', 0}, "ab"}, {{'a', 0, 'b', 0}, "a"}, {{'a', 'b'}, "ab"}, {{}, ""}, {{0}, ""}};
    for (const TextRow& r : texts)
        EXPECT_EQ(TextFromRegValue(Value(REG_SZ, r.data)), r.text);
    EXPECT_FALSE(TextFromRegValue(Value(REG_BINARY, {'a', 0})));

    // A block fills the front of a buffer of its size or larger, never one smaller.
    uint8_t buffer[4] = {9, 9, 9, 9};
    EXPECT_TRUE(BinaryFromRegValue(Value(REG_BINARY, {1, 2, 3}), buffer));
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{1, 2, 3, 9}));
    EXPECT_TRUE(BinaryFromRegValue(Value(REG_BINARY, {5, 6, 7, 8}), buffer));
    EXPECT_FALSE(BinaryFromRegValue(Value(REG_BINARY, {1, 2, 3, 4, 5}), buffer));
    EXPECT_FALSE(BinaryFromRegValue(Value(REG_SZ, {1}), buffer));
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{5, 6, 7, 8}));
}

TEST(SettingsValues, FontRecordKeepsItsFaceNameInsideTheField)
{
    LOGFONT f;
    f.lfHeight = -12;
    f.lfWeight = 700;
    f.lfItalic = 1;
    f.lfPitchAndFamily = 0x22;
    std::memcpy(f.lfFaceName, "Serif", 5);
    uint8_t bytes[kLogFontBytes];
    LogFontToBytes(f, bytes);
    const LOGFONT back = LogFontFromBytes(bytes);
    EXPECT_EQ(back.lfHeight, -12);
    EXPECT_EQ(back.lfWeight, 700);
    EXPECT_EQ(back.lfItalic, 1);
    EXPECT_EQ(back.lfPitchAndFamily, 0x22);
    EXPECT_STREQ(back.lfFaceName, "Serif");
    std::memset(bytes + kLogFontBytes - LF_FACESIZE, 'x', LF_FACESIZE);  // no terminating zero
    EXPECT_EQ(std::strlen(LogFontFromBytes(bytes).lfFaceName), size_t(LF_FACESIZE - 1));
}

} // namespace
