#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/product.h"
#include "launcher/splash.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_ui.h"
#include "win32/win32_screenshot.h"

namespace hanamizu::win32 {
namespace {

int Dpi() {
  const ScreenDc screen(GetDC(nullptr));
  return GetDeviceCaps(screen.get(), LOGPIXELSX);
}

int Pixels(int twips) {
  return static_cast<int>(std::lround(twips * Dpi() / 1440.0));
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, static_cast<int>(std::size(text)));
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, static_cast<int>(std::size(name)));
  return name;
}

// A control's rectangle in its window's client coordinates.
RECT PlaceOf(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

LONG Style(HWND window) {
  return GetWindowLongW(window, GWL_STYLE);
}

// The controls as they are found in the window: by class and kind, labels top to bottom.
struct SplashControls {
  HWND frame = nullptr;
  HWND image = nullptr;
  std::vector<HWND> labels;
};

SplashControls FindControls(HWND window) {
  SplashControls found;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const std::wstring kind = ClassOf(child);
    if (_wcsicmp(kind.c_str(), L"Button") == 0 && (Style(child) & BS_TYPEMASK) == BS_GROUPBOX) {
      found.frame = child;
    } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
      if ((Style(child) & SS_TYPEMASK) == SS_ICON) {
        found.image = child;
      } else {
        found.labels.push_back(child);
      }
    }
  }
  std::sort(found.labels.begin(), found.labels.end(),
            [](HWND a, HWND b) { return PlaceOf(a).top < PlaceOf(b).top; });
  return found;
}

// Design rectangle in twips (left, top, width, height), in the window's client area.
void ExpectPlacedAt(HWND control, int left, int top, int width, int height) {
  const RECT rect = PlaceOf(control);
  EXPECT_NEAR(rect.left, Pixels(left), 1);
  EXPECT_NEAR(rect.top, Pixels(top), 1);
  EXPECT_NEAR(rect.right - rect.left, Pixels(width), 1);
  EXPECT_NEAR(rect.bottom - rect.top, Pixels(height), 1);
}

class Win32Splash : public ::testing::Test {
 protected:
  Win32UserInterface ui;

  std::unique_ptr<SplashWindow> Load(const std::string& title) {
    auto splash = fSprash_Load(ui, title);
    window = reinterpret_cast<HWND>(splash->Handle());
    controls = FindControls(window);
    return splash;
  }
  HWND Label1() const { return controls.labels.at(0); }
  HWND LblKidochu() const { return controls.labels.at(1); }

  HWND window = nullptr;
  SplashControls controls;
};

TEST_F(Win32Splash, CaptionAndAFixedDialogFrameWithoutBoxes) {
  const auto splash = Load(kApplicationTitle);
  EXPECT_EQ(TextOf(window), L"起動中・・・");
  const LONG style = Style(window);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU), 0);
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  // Its border offers no sizing anywhere.
  RECT outer{};
  GetWindowRect(window, &outer);
  for (POINT p : {POINT{outer.right - 1, outer.bottom - 1}, POINT{outer.left, outer.top + 30},
                  POINT{outer.left + 30, outer.bottom - 1}}) {
    const LRESULT hit = SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
    EXPECT_TRUE(hit < HTSIZEFIRST || hit > HTSIZELAST) << hit;
  }
}

TEST_F(Win32Splash, TakesNoInputAndStaysHiddenUntilShown) {
  const auto splash = Load(kApplicationTitle);
  EXPECT_FALSE(IsWindowEnabled(window));
  EXPECT_FALSE(IsWindowVisible(window));
  splash->ShowModeless();
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
}

TEST_F(Win32Splash, ClientAreaAndControlsSitWhereTheDesignPutsThem) {
  const auto splash = Load(kApplicationTitle);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_NEAR(client.right, Pixels(5625), 1);
  EXPECT_NEAR(client.bottom, Pixels(1605), 1);
  ASSERT_NE(controls.frame, nullptr);
  ASSERT_NE(controls.image, nullptr);
  ASSERT_EQ(controls.labels.size(), 2u);
  ExpectPlacedAt(controls.frame, 60, 0, 5475, 1515);
  // The others are designed relative to the frame, which starts at 60 twips.
  ExpectPlacedAt(controls.image, 60 + 120, 240, 480, 480);
  ExpectPlacedAt(Label1(), 60 + 840, 360, 4395, 255);
  ExpectPlacedAt(LblKidochu(), 60 + 300, 1020, 4875, 255);
  EXPECT_EQ(TextOf(controls.frame), L"");
}

TEST_F(Win32Splash, CentredOnTheScreen) {
  const auto splash = Load(kApplicationTitle);
  RECT outer{};
  GetWindowRect(window, &outer);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  EXPECT_NEAR(outer.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2.0, 1);
  EXPECT_NEAR(outer.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2.0, 1);
}

TEST_F(Win32Splash, OuterSizeIsTheFramedWindowInTwips) {
  const auto splash = Load(kApplicationTitle);
  RECT outer{};
  GetWindowRect(window, &outer);
  const TwipsSize size = splash->OuterSize();
  EXPECT_NEAR(size.width, (outer.right - outer.left) * 1440.0 / Dpi(), 0.01);
  EXPECT_NEAR(size.height, (outer.bottom - outer.top) * 1440.0 / Dpi(), 0.01);
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_GT(size.height, client.bottom * 1440.0 / Dpi());  // the caption counts
}

TEST_F(Win32Splash, TheIconIsThirtyTwoPixelsSquare) {
  const auto splash = Load(kApplicationTitle);
  const auto icon = reinterpret_cast<HICON>(SendMessageW(controls.image, STM_GETICON, 0, 0));
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  const BitmapHandle mask(info.hbmMask);
  const BitmapHandle colour(info.hbmColor);
  BITMAP bitmap{};
  GetObjectW(colour.get(), sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, 32);
  EXPECT_EQ(bitmap.bmHeight, 32);
}

TEST_F(Win32Splash, LabelsShowTheTitleWithV4AndTheStartingText) {
  const auto splash = Load(kApplicationTitle);
  EXPECT_EQ(TextOf(Label1()), L"ハナミズ台帳ツール V4");
  EXPECT_EQ(TextOf(LblKidochu()), L"起動中");
  EXPECT_EQ(splash->TitleLabelText(), "ハナミズ台帳ツール V4");
}

TEST_F(Win32Splash, AnEmptyTitleLeavesTheLeadingBlank) {
  const auto splash = Load("");
  EXPECT_EQ(TextOf(Label1()), L" V4");
}

TEST_F(Win32Splash, LongTextsKeepTheLabelsWhereTheyAre) {
  const auto splash = Load(kApplicationTitle);
  const RECT title_before = PlaceOf(Label1());
  const RECT status_before = PlaceOf(LblKidochu());
  const std::string long_title(40, 'W');
  splash->SetTitleLabelText(long_title + "ハナミズ台帳ツール");
  splash->SetStatusText("Hanamizu_Update_Package_2024.exe ファイルをダウンロード中");
  EXPECT_EQ(Narrow(TextOf(Label1())), long_title + "ハナミズ台帳ツール");
  EXPECT_EQ(Narrow(TextOf(LblKidochu())),
            "Hanamizu_Update_Package_2024.exe ファイルをダウンロード中");
  const RECT title_after = PlaceOf(Label1());
  const RECT status_after = PlaceOf(LblKidochu());
  EXPECT_TRUE(EqualRect(&title_before, &title_after));
  EXPECT_TRUE(EqualRect(&status_before, &status_after));
}

TEST_F(Win32Splash, LabelsUseBoldJapaneseGothicAtElevenAndAQuarterPoints) {
  const auto splash = Load(kApplicationTitle);
  for (HWND label : controls.labels) {
    const auto font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW requested{};
    ASSERT_TRUE(GetObjectW(font, sizeof requested, &requested));
    EXPECT_STREQ(requested.lfFaceName, L"ＭＳ Ｐゴシック");
    EXPECT_EQ(requested.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(requested.lfWeight, FW_BOLD);
    EXPECT_EQ(requested.lfHeight, -std::lround(11.25 * Dpi() / 72));
    EXPECT_FALSE(requested.lfItalic);

    // What the system really draws with: a Japanese face (the named one or its substitute).
    const ScreenDc screen(GetDC(nullptr));
    const HGDIOBJ old = SelectObject(screen.get(), font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen.get(), &metrics);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(screen.get(), LF_FACESIZE, face);
    SelectObject(screen.get(), old);
    EXPECT_EQ(metrics.tmCharSet, SHIFTJIS_CHARSET) << Narrow(face);
    EXPECT_GE(metrics.tmWeight, FW_SEMIBOLD) << Narrow(face);
    RecordProperty("rendered_face", Narrow(face));
  }
}

TEST_F(Win32Splash, RepaintPaintsAtOnce) {
  const auto splash = Load(kApplicationTitle);
  splash->ShowModeless();
  InvalidateRect(window, nullptr, TRUE);
  InvalidateRect(Label1(), nullptr, TRUE);
  ASSERT_TRUE(GetUpdateRect(window, nullptr, FALSE));
  splash->Repaint();
  EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));
  EXPECT_FALSE(GetUpdateRect(Label1(), nullptr, FALSE));
}

TEST_F(Win32Splash, GivesItsHandleAndUnloadDestroysIt) {
  const auto splash = Load(kApplicationTitle);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(ClassOf(window), L"HanamizuSplash");
  splash->Unload();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(splash->Handle(), 0u);
}

// Counts pixels of the text colour in a client rectangle of the picture.
int TextPixels(const testing::WindowImage& image, RECT area) {
  const COLORREF text = GetSysColor(COLOR_BTNTEXT);
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) count += image.ClientPixel(x, y) == text;
  }
  return count;
}

TEST_F(Win32Splash, PaintsItsTextsAndClipsWhatDoesNotFit) {
  const auto splash = Load(kApplicationTitle);
  splash->ShowModeless();
  splash->Repaint();
  const auto shown = testing::CaptureWindow(window);
  testing::SaveBmp(shown, testing::ArtifactDirectory() + "\\splash.bmp");
  EXPECT_GT(TextPixels(shown, PlaceOf(Label1())), 50);
  EXPECT_GT(TextPixels(shown, PlaceOf(LblKidochu())), 50);

  splash->SetTitleLabelText(std::string(60, 'W') + "ハナミズ台帳ツール V4");
  splash->SetStatusText(std::string(20, 'M') + " ファイルをダウンロード中 " + std::string(20, 'M'));
  splash->Repaint();
  const auto long_texts = testing::CaptureWindow(window);
  testing::SaveBmp(long_texts, testing::ArtifactDirectory() + "\\splash-long-texts.bmp");
  // Right of Label1 up to the frame's border, and beside lblKidochu, no text is drawn.
  const RECT title = PlaceOf(Label1());
  const RECT status = PlaceOf(LblKidochu());
  const RECT frame = PlaceOf(controls.frame);
  EXPECT_GT(TextPixels(long_texts, title), 50);
  EXPECT_EQ(TextPixels(long_texts, {title.right, title.top, frame.right - 3, title.bottom}), 0);
  EXPECT_EQ(TextPixels(long_texts, {frame.left + 3, status.top, status.left, status.bottom}), 0);
  EXPECT_EQ(TextPixels(long_texts, {status.right, status.top, frame.right - 3, status.bottom}), 0);
  EXPECT_EQ(TextPixels(long_texts, {title.left, title.bottom, title.right, title.bottom + 4}), 0);
}

}  // namespace
}  // namespace hanamizu::win32
