// The category tree on real windows beside a real grid, filled from the real
// calendar server, with its states in the real registry: labels and counts,
// on/off and mixed images, the double-click toggle and its row test, the
// grid's filter, and the states surviving a restart.
#include "editing/CategoryTree.h"
#include "protocol/ScheduleStore.h"
#include "protocol/WireFormat.h"
#include "settings/Settings.h"
#include "shell/CalendarGrid.h"
#include "shell/CalendarHost.h"
#include "shell/CalendarSplit.h"
#include "shell/CellAppearance.h"
#include "shell/MonthTabs.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/SeededCalendar.h"
#include "tests/support/TestServerContext.h"
#include "tests/support/WindowTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Stands in for the main frame: month tabs with the split, grid and the real
// category tree, the store loaded from the server, settings from the registry.
class TreeFrame : public WindowBase, public CalendarHost {
public:
    explicit TreeFrame(unsigned short port) : context_("127.0.0.1", static_cast<DWORD>(port)), store(context_) {
        settings.Load();
        store.RunLoad(kLoadEverything, [](const char*) {});
    }
    ~TreeFrame() override { Close(); }

    void Open() {
        window_test::RegisterWindowClassOnce();
        Create(0, "QxKit_Window", "tree", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 700, nullptr, nullptr,
               GetInstance(), nullptr);
        tabs = std::make_unique<MonthTabs>(*this);
        tabs->Create(0, "", MonthTabs::kStyle, 0, 0, ClientWidth(), ClientHeight(), hwnd,
                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(MonthTabs::kId)), GetInstance(), nullptr);
        tabs->SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(ClientWidth(), ClientHeight()));
        // Shown as the frame does when the tree pane is on.
        tree->ShowWindow(SW_SHOW);
        HWND split = tree->GetParent();
        RECT area;
        GetClientRect(split, &area);
        ::SendMessageA(split, WM_SIZE, SIZE_RESTORED, MAKELPARAM(area.right, area.bottom));
        window_test::PumpPending();
    }

    void Close() {
        if (hwnd) DestroyWindow(hwnd);
        tabs.reset();
    }

    CalendarGrid& Grid() { return *tabs->Grid(); }

    ScheduleStore& Store() override { return store; }
    HWND FrameWindow() const override { return hwnd; }
    void SetDaySelected(bool) override {}
    void SetStatusText(const std::string&) override {}
    void Reload(uint32_t) override {}
    std::unique_ptr<WindowBase> CreateCategoryTree(HWND split, CalendarGrid& grid) override {
        auto created = std::make_unique<CategoryTree>(store.categories, settings, grid, hwnd);
        created->CreateIn(split);
        tree = created.get();
        return created;
    }
    void RebuildCategoryTree() override { tree->Rebuild(); }
    void UpdateCategoryCounts() override { tree->UpdateCounts(); }
    int RunDaySheet(HWND, DayCell&, int) override { return 0; }

    LRESULT OnKeyDown(WPARAM key, LPARAM) override {
        keys.push_back(static_cast<UINT>(key));
        return 1;
    }
    LRESULT OnDestroy() override { return 0; }

    TestServerContext context_;
    ScheduleStore store;
    Settings settings;
    std::unique_ptr<MonthTabs> tabs;
    CategoryTree* tree = nullptr;
    std::vector<UINT> keys;
};

struct ItemView {
    std::string text;
    int image = -1;
    bool bold = false;
    bool expanded = false;
};

class CategoryTreeTest : public testing::Test {
protected:
    // One server for the program: 業務 with 会議 (2 schedules today) and
    // 出張 (3), 個人 with 趣味 (none), and 空 without genres.
    static void SetUpTestSuite() {
        server = new SeededCalendar({"業務", "個人", "空"});
        ASSERT_EQ(server->Categories().size(), 3u);
        work = server->Categories()[0];
        personal = server->Categories()[1];
        empty = server->Categories()[2];
        meeting = server->AddGenre(work, "会議");
        trip = server->AddGenre(work, "出張");
        hobby = server->AddGenre(personal, "趣味");
        ASSERT_TRUE(meeting && trip && hobby);
        int today = DateValue().DateKey(1);
        for (auto [genre, text] : {std::pair{meeting, "朝会"}, std::pair{meeting, "定例"}, std::pair{trip, "大阪"},
                                   std::pair{trip, "名古屋"}, std::pair{trip, "福岡"}}) {
            ASSERT_EQ(server->AddSchedule(today, genre, text), 1);
        }
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    // Every test starts from an empty stored text.
    void SetUp() override {
        ASSERT_NE(server, nullptr);
        WriteStoredStates("");
    }
    void TearDown() override {
        frame.reset();
        WriteStoredStates("");
    }

    static void WriteStoredStates(const std::string& text) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Settings::kRegistryPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "szCategorySetting", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
        RegCloseKey(key);
    }

    void Start() {
        frame = std::make_unique<TreeFrame>(server->Port());
        frame->Open();
        ASSERT_NE(frame->tree, nullptr);
        ASSERT_NE(frame->tree->Handle(), nullptr);
    }

    CategoryTree& Tree() { return *frame->tree; }
    HTREEITEM Item(int32_t id) { return frame->store.categories.FindById(id)->treeItem; }

    ItemView View(int32_t id) {
        char text[300] = {};
        TVITEMA item{};
        item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_IMAGE | TVIF_STATE;
        item.hItem = Item(id);
        item.pszText = text;
        item.cchTextMax = sizeof text;
        item.stateMask = TVIS_BOLD | TVIS_EXPANDED;
        EXPECT_TRUE(Tree().GetItem(&item)) << "item of id " << id;
        return ItemView{text, item.iImage, (item.state & TVIS_BOLD) != 0, (item.state & TVIS_EXPANDED) != 0};
    }

    std::vector<int> Images(std::initializer_list<int32_t> ids) {
        std::vector<int> images;
        for (int32_t id : ids) images.push_back(View(id).image);
        return images;
    }

    // Selects `selected` and double-clicks at `at` (client point), the cursor
    // placed there as a real double-click would.
    void DoubleClick(HTREEITEM selected, POINT at) {
        Tree().SendMessage(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(selected));
        POINT screen = at;
        Tree().ClientToScreen(&screen);
        SetCursorPos(screen.x, screen.y);
        Tree().SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        window_test::PumpPending();
    }
    POINT OnLabel(int32_t id) {
        RECT label{};
        EXPECT_TRUE(Tree().GetItemRect(TRUE, Item(id), &label));
        return POINT{(label.left + label.right) / 2, (label.top + label.bottom) / 2};
    }
    void Toggle(int32_t id) { DoubleClick(Item(id), OnLabel(id)); }

    // What today's cell lists under the grid's filter.
    std::string TodayList() {
        int today = DateValue().DateKey(1);
        for (int row = 0; row < 6; ++row) {
            for (int column = 0; column < 7; ++column) {
                DayCell& cell = frame->Grid().Cell(column, row);
                if (cell.DateKey() == today) {
                    return cell_appearance::ScheduleListText(cell.Schedules(), frame->Grid().genreFilter);
                }
            }
        }
        ADD_FAILURE() << "today is not shown";
        return {};
    }

    const CategoryState* Stored(int32_t id) {
        auto found = frame->settings.categoryStates.find(id);
        return found == frame->settings.categoryStates.end() ? nullptr : found->second.get();
    }

    static inline SeededCalendar* server = nullptr;
    static inline int32_t work = 0, personal = 0, empty = 0, meeting = 0, trip = 0, hobby = 0;
    MessageBoxRecorder boxes;
    std::unique_ptr<TreeFrame> frame;
};

TEST_F(CategoryTreeTest, EmptyStatesShowEverythingWithCountsAndPassKeysOn) {
    Start();
    ItemView workView = View(work);
    EXPECT_EQ(workView.text, "業務 (5)");
    EXPECT_TRUE(workView.bold);
    EXPECT_TRUE(workView.expanded);
    EXPECT_EQ(workView.image, TREE_IMAGE_ON);
    EXPECT_EQ(View(meeting).text, "会議 (2)");
    EXPECT_TRUE(View(meeting).bold);
    EXPECT_EQ(View(trip).text, "出張 (3)");
    ItemView hobbyView = View(hobby);
    EXPECT_EQ(hobbyView.text, "趣味 (0)");
    EXPECT_FALSE(hobbyView.bold);
    EXPECT_EQ(View(personal).text, "個人 (0)");
    EXPECT_TRUE(View(personal).expanded);
    ItemView emptyView = View(empty);
    EXPECT_EQ(emptyView.text, "空 (0)");
    EXPECT_EQ(emptyView.image, TREE_IMAGE_OFF);
    EXPECT_EQ(Images({meeting, trip, hobby, personal}),
              (std::vector<int>{TREE_IMAGE_ON, TREE_IMAGE_ON, TREE_IMAGE_ON, TREE_IMAGE_ON}));

    // Every genre is on, in store order; the day lists all five.
    EXPECT_EQ(frame->Grid().genreFilter, (std::vector<int32_t>{meeting, trip, hobby}));
    std::string list = TodayList();
    EXPECT_NE(list.find("朝会"), std::string::npos);
    EXPECT_NE(list.find("福岡"), std::string::npos);
    // Building the tree records nothing.
    EXPECT_TRUE(frame->settings.categoryStates.empty());

    // The frame sees the keys the tree has handled.
    Tree().SendMessage(WM_KEYDOWN, VK_F5, 1);
    EXPECT_EQ(frame->keys, (std::vector<UINT>{VK_F5}));
}

TEST_F(CategoryTreeTest, DoubleClicksToggleGenresCategoriesAndTheGridFilter) {
    Start();
    // One genre off: its category is mixed and the day lists only the other.
    Toggle(trip);
    EXPECT_EQ(Images({trip, work, meeting}), (std::vector<int>{TREE_IMAGE_OFF, TREE_IMAGE_MIXED, TREE_IMAGE_ON}));
    EXPECT_EQ(frame->Grid().genreFilter, (std::vector<int32_t>{meeting, hobby}));
    std::string list = TodayList();
    EXPECT_NE(list.find("朝会"), std::string::npos);
    EXPECT_EQ(list.find("大阪"), std::string::npos);
    ASSERT_NE(Stored(trip), nullptr);
    EXPECT_EQ(Stored(trip)->checked, 0);
    // The toggle does not expand or collapse.
    EXPECT_TRUE(View(work).expanded);

    // On again: the category is on again.
    Toggle(trip);
    EXPECT_EQ(Images({trip, work}), (std::vector<int>{TREE_IMAGE_ON, TREE_IMAGE_ON}));
    EXPECT_EQ(frame->Grid().genreFilter, (std::vector<int32_t>{meeting, trip, hobby}));
    EXPECT_NE(Stored(trip)->checked, 0);

    // A mixed category turns everything under it on, then everything off.
    Toggle(meeting);
    ASSERT_EQ(View(work).image, TREE_IMAGE_MIXED);
    Toggle(work);
    EXPECT_EQ(Images({work, meeting, trip}), (std::vector<int>{TREE_IMAGE_ON, TREE_IMAGE_ON, TREE_IMAGE_ON}));
    EXPECT_TRUE(View(work).expanded);
    Toggle(work);
    EXPECT_EQ(Images({work, meeting, trip}), (std::vector<int>{TREE_IMAGE_OFF, TREE_IMAGE_OFF, TREE_IMAGE_OFF}));
    EXPECT_EQ(frame->Grid().genreFilter, (std::vector<int32_t>{hobby}));
    EXPECT_EQ(TodayList(), "");
    EXPECT_TRUE(View(work).expanded);

    // A category without genres turns on but filters nothing, and is off
    // again after a rebuild, still counted 0.
    Toggle(empty);
    EXPECT_EQ(View(empty).image, TREE_IMAGE_ON);
    EXPECT_EQ(frame->Grid().genreFilter, (std::vector<int32_t>{hobby}));
    Tree().Rebuild();
    EXPECT_EQ(View(empty).image, TREE_IMAGE_OFF);
    EXPECT_EQ(View(empty).text, "空 (0)");
    // The genres' states survive the rebuild; the category follows them.
    EXPECT_EQ(Images({work, meeting, trip, hobby}),
              (std::vector<int>{TREE_IMAGE_OFF, TREE_IMAGE_OFF, TREE_IMAGE_OFF, TREE_IMAGE_ON}));
}

TEST_F(CategoryTreeTest, DoubleClickOffTheSelectedRowOnlyExpandsAndStatesSurviveARestart) {
    Start();
    // The genre is selected, the double-click lands on its category's row:
    // no toggle, the tree collapses the category and that is remembered.
    DoubleClick(Item(meeting), OnLabel(work));
    EXPECT_EQ(Images({work, meeting, trip}), (std::vector<int>{TREE_IMAGE_ON, TREE_IMAGE_ON, TREE_IMAGE_ON}));
    EXPECT_EQ(frame->Grid().genreFilter, (std::vector<int32_t>{meeting, trip, hobby}));
    EXPECT_FALSE(View(work).expanded);
    ASSERT_NE(Stored(work), nullptr);
    EXPECT_EQ(Stored(work)->expanded, 0);
    Toggle(hobby);
    EXPECT_EQ(View(personal).image, TREE_IMAGE_OFF);

    // A real close saves; the next start restores.
    frame->settings.Save();
    frame.reset();
    Start();
    EXPECT_FALSE(View(work).expanded);
    EXPECT_TRUE(View(personal).expanded);
    EXPECT_EQ(Images({work, hobby, personal}), (std::vector<int>{TREE_IMAGE_ON, TREE_IMAGE_OFF, TREE_IMAGE_OFF}));
    EXPECT_EQ(frame->Grid().genreFilter, (std::vector<int32_t>{meeting, trip}));
    EXPECT_EQ(View(trip).text, "出張 (3)");
}

}  // namespace
