// Tracked GDI selection on real device contexts: destroying an object puts
// back what it replaced, without throwing out a newer selection.
#include "toolkit/Services.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class GdiSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = CreateWindowExA(0, "STATIC", "gdi", WS_POPUP, 10, 10, 200, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override {
        if (window_) DestroyWindow(window_);
    }

    static void MakeFont(Font& font, int height) {
        ASSERT_NE(font.CreateFont(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Tahoma"),
                  nullptr);
    }

    static HGDIOBJ CurrentFont(const Dc& dc) { return GetCurrentObject(dc.Handle(), OBJ_FONT); }

    HWND window_ = nullptr;
};

TEST_F(GdiSelectionTest, DeletingAFontStillSelectedIntoAWindowDcPutsThePreviousFontBack) {
    WindowDc dc(window_);
    ASSERT_NE(dc.Handle(), nullptr);
    HGDIOBJ original = CurrentFont(dc);
    HGDIOBJ fontHandle = nullptr;
    {
        Font font;
        MakeFont(font, 20);
        EXPECT_EQ(dc.SelectObject(font), original);
        EXPECT_EQ(CurrentFont(dc), font.Handle());
        fontHandle = font.Handle();
    }
    EXPECT_EQ(CurrentFont(dc), original);
    EXPECT_EQ(GetObjectType(fontHandle), 0u) << "the font was deleted, not left selected";
    // The DC still draws with its restored font.
    Rect rect(0, 0, 200, 100);
    EXPECT_GT(dc.DrawText("abc", -1, &rect, DT_SINGLELINE), 0);
}

TEST_F(GdiSelectionTest, DeletingAnOlderFontKeepsTheNewerOneAndItsUndoRestoresTheOriginal) {
    WindowDc dc(window_);
    HGDIOBJ original = CurrentFont(dc);
    auto older = std::make_unique<Font>();
    auto newer = std::make_unique<Font>();
    MakeFont(*older, 20);
    MakeFont(*newer, 30);
    dc.SelectObject(*older);
    EXPECT_EQ(dc.SelectObject(*newer), older->Handle());
    HGDIOBJ olderHandle = older->Handle();

    older.reset();
    EXPECT_EQ(CurrentFont(dc), newer->Handle()) << "the newer selection stays";
    EXPECT_EQ(GetObjectType(olderHandle), 0u);

    newer.reset();
    EXPECT_EQ(CurrentFont(dc), original) << "the newer font gives back what the older one replaced";
}

TEST_F(GdiSelectionTest, AFontSelectedTwiceIsUndoneLatestFirst) {
    WindowDc dc(window_);
    HGDIOBJ original = CurrentFont(dc);
    auto other = std::make_unique<Font>();
    MakeFont(*other, 30);
    {
        Font twice;
        MakeFont(twice, 20);
        dc.SelectObject(twice);
        dc.SelectObject(*other);
        EXPECT_EQ(dc.SelectObject(twice), other->Handle());
    }
    EXPECT_EQ(CurrentFont(dc), other->Handle());
    other.reset();
    EXPECT_EQ(CurrentFont(dc), original);
}

TEST_F(GdiSelectionTest, PensAndBrushesAreRestoredEachInTheirOwnSlot) {
    WindowDc dc(window_);
    HGDIOBJ originalPen = GetCurrentObject(dc.Handle(), OBJ_PEN);
    HGDIOBJ originalBrush = GetCurrentObject(dc.Handle(), OBJ_BRUSH);
    auto pen = std::make_unique<Pen>();
    auto brush = std::make_unique<Brush>();
    ASSERT_NE(pen->CreatePen(PS_SOLID, 2, RGB(0xFF, 0xC0, 0x00)), nullptr);
    ASSERT_NE(brush->CreateSolidBrush(RGB(0xC0, 0xFF, 0xC0)), nullptr);
    dc.SelectObject(*pen);
    dc.SelectObject(*brush);
    EXPECT_TRUE(dc.Rectangle(2, 2, 50, 50));

    pen.reset();
    EXPECT_EQ(GetCurrentObject(dc.Handle(), OBJ_PEN), originalPen);
    EXPECT_EQ(GetCurrentObject(dc.Handle(), OBJ_BRUSH), brush->Handle());
    brush.reset();
    EXPECT_EQ(GetCurrentObject(dc.Handle(), OBJ_BRUSH), originalBrush);
}

TEST_F(GdiSelectionTest, RecreatingAnObjectUndoesTheOldHandlesSelectionFirst) {
    WindowDc dc(window_);
    HGDIOBJ original = CurrentFont(dc);
    Font font;
    MakeFont(font, 20);
    HGDIOBJ first = font.Handle();
    dc.SelectObject(font);
    MakeFont(font, 30);
    EXPECT_EQ(CurrentFont(dc), original);
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_NE(font.Handle(), first);
}

TEST_F(GdiSelectionTest, AnObjectOutlivingItsMemoryDcsIsDeletedWithoutTouchingThem) {
    // Outlives the DCs it was selected into: its destruction must not reach
    // them any more.
    auto bitmap = std::make_unique<Bitmap>();
    Brush red;
    HGDIOBJ bitmapHandle = nullptr;
    {
        MemoryDc source(window_);
        MemoryDc target(window_);
        ASSERT_NE(source.Handle(), nullptr);
        WindowDc screen(window_);
        ASSERT_NE(bitmap->CreateCompatibleBitmap(screen.Handle(), 16, 16), nullptr);
        Bitmap copy;
        ASSERT_NE(copy.CreateCompatibleBitmap(screen.Handle(), 16, 16), nullptr);
        source.SelectObject(*bitmap);
        target.SelectObject(copy);
        ASSERT_NE(red.CreateSolidBrush(RGB(0xFF, 0, 0)), nullptr);
        Rect all(0, 0, 16, 16);
        EXPECT_NE(source.FillRect(&all, red.Get()), 0);
        EXPECT_TRUE(target.BitBlt(0, 0, 16, 16, source.Handle(), 0, 0, SRCCOPY));
        EXPECT_EQ(GetPixel(target.Handle(), 8, 8), RGB(0xFF, 0, 0));
        bitmapHandle = bitmap->Handle();
    }
    bitmap.reset();
    EXPECT_EQ(GetObjectType(bitmapHandle), 0u);
}

}  // namespace
