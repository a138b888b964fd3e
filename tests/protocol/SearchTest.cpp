// Schedule search driven as a user drives it, against the real calendar
// server: the criteria dialog, the condition it turns into, and the results
// dialog with its list and summary.
#include "protocol/CategorySet.h"
#include "protocol/SearchDialog.h"
#include "protocol/SearchResultsDialog.h"
#include "protocol/TcpSocket.h"
#include "protocol/WireFormat.h"
#include "resources/SearchResource.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ModalScript.h"
#include "tests/support/SeededCalendar.h"
#include "tests/support/TestServerContext.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace window_test;
using Strings = std::vector<std::string>;

const std::string kSearchCaption = "検索";
const std::string kResultsCaption = "検索結果";

// Picks an item by its text and tells the dialog, as a user's choice does.
void ChooseItem(HWND dialog, int id, const std::string& text) {
    HWND combo = GetDlgItem(dialog, id);
    int index = static_cast<int>(SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(text.c_str())));
    ASSERT_NE(index, CB_ERR) << text;
    SendMessageA(combo, CB_SETCURSEL, index, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

// What the results dialog showed.
struct Shown {
    std::string summary;
    std::vector<Strings> rows;  // cells of each row, in column order
    Strings headers;
};

class SearchTest : public testing::Test {
protected:
    // One server for the program: 業務 (会議, 出張) and 個人 (趣味), with
    // schedules whose texts test the quoting and the wildcards.
    static void SetUpTestSuite() {
        calendar = new SeededCalendar({"業務", "個人"});
        ASSERT_EQ(calendar->Categories().size(), 2u);
        const int32_t work = calendar->Categories()[0];
        const int32_t meeting = calendar->AddGenre(work, "会議");
        const int32_t trip = calendar->AddGenre(work, "出張");
        const int32_t hobby = calendar->AddGenre(calendar->Categories()[1], "趣味");
        ASSERT_TRUE(meeting && trip && hobby);
        struct Seed {
            int date;
            int32_t genre;
            const char* text;
        } seeds[] = {
            {20061231, meeting, "年末会議"},     {20060105, trip, "大阪出張"},   {20060301, hobby, "メモ a'b\\c表 終"},
            {20060302, hobby, "a'b\\c"},        {20060303, hobby, "100%達成"}, {20060304, hobby, "100円"},
            {20060305, hobby, "abc"},            {20060306, hobby, "a表c"},     {20060307, hobby, "ac"},
        };
        for (const Seed& seed : seeds) ASSERT_EQ(calendar->AddSchedule(seed.date, seed.genre, seed.text), 1);
    }
    static void TearDownTestSuite() {
        delete calendar;
        calendar = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(calendar, nullptr);
        context = std::make_unique<TestServerContext>("127.0.0.1", calendar->Port());
        context->owner = frame.Handle();
        store = std::make_unique<CategorySet>(*context);
        ASSERT_EQ(store->Get(""), 1);
    }

    // Runs the search as command 40021 does: `choose` fills the criteria
    // dialog (then OK is pressed); returns what the results showed.
    Shown Search(const std::function<void(HWND)>& choose) {
        Shown shown;
        RunScripted({
            [&] {
                HWND dialog = FindShownWindow(kSearchCaption);
                if (!dialog) return false;
                choose(dialog);
                EXPECT_TRUE(PressButton(dialog, IDOK));
                return true;
            },
            [&] {
                HWND dialog = FindShownWindow(kResultsCaption);
                if (!dialog) return false;
                shown = Read(dialog);
                EXPECT_TRUE(PressButton(dialog, IDOK));
                return true;
            },
        }, [&] {
            RunSearch(frame.Handle(), *store, *context);
            return INT_PTR{0};
        });
        return shown;
    }

    static Shown Read(HWND dialog) {
        Shown shown;
        shown.summary = ItemText(dialog, IDC_SEARCH_SUMMARY);
        // The summary quotes the user's text: an "&" in it is no mnemonic.
        EXPECT_TRUE(GetWindowLongPtrA(GetDlgItem(dialog, IDC_SEARCH_SUMMARY), GWL_STYLE) & SS_NOPREFIX);
        HWND list = GetDlgItem(dialog, IDC_SEARCH_RESULTS);
        HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
        int columns = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
        for (int column = 0; column < columns; ++column) {
            char text[64] = {};
            LVCOLUMNA read{};
            read.mask = LVCF_TEXT;
            read.pszText = text;
            read.cchTextMax = sizeof text;
            SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&read));
            shown.headers.push_back(text);
        }
        int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row) {
            Strings cells;
            for (int column = 0; column < columns; ++column) cells.push_back(ListViewCell(list, row, column));
            shown.rows.push_back(cells);
        }
        return shown;
    }

    // The name column of every row.
    static Strings Names(const Shown& shown) {
        Strings names;
        for (const Strings& row : shown.rows) names.push_back(row.size() > 3 ? row[3] : "");
        return names;
    }

    static inline SeededCalendar* calendar = nullptr;
    MessageBoxRecorder boxes;
    StandInFrame frame;
    std::unique_ptr<TestServerContext> context;
    std::unique_ptr<CategorySet> store;
};

TEST(SearchCondition, ClausesInTheirFixedOrderWithTheTextQuoted) {
    EXPECT_EQ(BuildSearchCondition(3, 12, "会議"), "sk0.id = 3 and sk1.id = 12 and schedule like '%会議%' ");
    EXPECT_EQ(BuildSearchCondition(0, 0, "it's"), "schedule like '%it''s%' ");
    EXPECT_EQ(BuildSearchCondition(0, 7, "a\\b"), "sk1.id = 7 and schedule like '%a\\\\b%' ");
    EXPECT_EQ(BuildSearchCondition(0, 0, ""), "");
    EXPECT_EQ(SearchSummaryText("会議", 2), "'会議'の検索結果\n2件ヒットしました");
}

TEST_F(SearchTest, NothingChosenListsEverySchedule) {
    Shown shown = Search([](HWND dialog) {
        EXPECT_EQ(ComboItems(dialog, IDC_SEARCH_CATEGORY), (Strings{"業務", "個人"}));
        EXPECT_TRUE(ComboItems(dialog, IDC_SEARCH_GENRE).empty());
        EXPECT_FALSE(ItemEnabled(dialog, IDC_SEARCH_MATCH_CASE));
    });
    EXPECT_EQ(shown.headers, (Strings{"日付", "ｶﾃｺﾞﾘ", "ｼﾞｬﾝﾙ", "名称"}));
    ASSERT_EQ(shown.rows.size(), 9u);
    EXPECT_EQ(shown.summary, "''の検索結果\n9件ヒットしました");
    // In the server's order (by date), dates without leading zeros.
    EXPECT_EQ(shown.rows[0], (Strings{"2006/1/5", "業務", "出張", "大阪出張"}));
    EXPECT_EQ(shown.rows[8], (Strings{"2006/12/31", "業務", "会議", "年末会議"}));
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(SearchTest, CategoryAndGenreNarrowTheSearchAndANewCategoryRefillsTheGenres) {
    Shown category = Search([](HWND dialog) {
        ChooseItem(dialog, IDC_SEARCH_CATEGORY, "業務");
        EXPECT_EQ(ComboItems(dialog, IDC_SEARCH_GENRE), (Strings{"会議", "出張"}));
    });
    EXPECT_EQ(Names(category), (Strings{"大阪出張", "年末会議"}));
    EXPECT_EQ(category.summary, "''の検索結果\n2件ヒットしました");

    Shown genre = Search([](HWND dialog) {
        ChooseItem(dialog, IDC_SEARCH_CATEGORY, "業務");
        ChooseItem(dialog, IDC_SEARCH_GENRE, "会議");
        // Another category: only its genres, the chosen one gone.
        ChooseItem(dialog, IDC_SEARCH_CATEGORY, "個人");
        EXPECT_EQ(ComboItems(dialog, IDC_SEARCH_GENRE), (Strings{"趣味"}));
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_SEARCH_GENRE, CB_GETCURSEL, 0, 0), CB_ERR);
        ChooseItem(dialog, IDC_SEARCH_CATEGORY, "業務");
        ChooseItem(dialog, IDC_SEARCH_GENRE, "出張");
    });
    EXPECT_EQ(Names(genre), (Strings{"大阪出張"}));
    EXPECT_EQ(genre.summary, "''の検索結果\n1件ヒットしました");
}

TEST_F(SearchTest, TextsWithQuotesBackslashesAndWildcardsFindWhatTheServerMatches) {
    // "'" and "\" doubled, the trail byte 0x5C of "表" too: exactly the one
    // schedule holding the whole text.
    const std::string quoted = "a'b\\c表";
    Shown shown = Search([&](HWND dialog) { SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, quoted.c_str()); });
    EXPECT_EQ(Names(shown), (Strings{"メモ a'b\\c表 終"}));
    EXPECT_EQ(shown.summary, "'" + quoted + "'の検索結果\n1件ヒットしました");

    // The server reads "%" as any run and "_" as any one character.
    Shown percent = Search([](HWND dialog) { SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, "100%"); });
    EXPECT_EQ(Names(percent), (Strings{"100%達成", "100円"}));
    Shown underscore = Search([](HWND dialog) { SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, "a_c"); });
    EXPECT_EQ(Names(underscore), (Strings{"abc", "a表c"}));
    EXPECT_EQ(underscore.summary, "'a_c'の検索結果\n2件ヒットしました");
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(SearchTest, AServerThatRefusesTheSearchShowsItsReasonOnceAndTheNextSearchFinds) {
    // One connection slot, held by a client that sends nothing: the
    // search's connection is answered "-" with the reason.
    SeededCalendar full({"業務"}, {"--max-connections", "1", "--request-timeout", "60"});
    ASSERT_EQ(full.Categories().size(), 1u);
    const int32_t meeting = full.AddGenre(full.Categories()[0], "会議");
    ASSERT_EQ(full.AddSchedule(20061224, meeting, "忘年会"), 1);
    context->settings.dwPortNo = full.Port();
    auto holder = std::make_unique<TcpSocket>();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(full.Port());
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    holder->Open(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(holder->Connect(reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    auto typeText = [](HWND dialog) { SetDlgItemTextA(dialog, IDC_SEARCH_TEXT, "忘年"); };
    Shown refused = Search(typeText);
    EXPECT_TRUE(refused.rows.empty());
    EXPECT_EQ(refused.summary, "'忘年'の検索結果\n0件ヒットしました");
    auto shownBoxes = boxes.Shown();
    ASSERT_EQ(shownBoxes.size(), 1u);
    EXPECT_EQ(shownBoxes[0].owner, frame.Handle());
    EXPECT_EQ(shownBoxes[0].caption, "GetScheduleに失敗");
    // The reply as it came, status mark and line end included.
    EXPECT_EQ(shownBoxes[0].text, "-サーバーが混み合っています。しばらくしてからやり直してください\r\n");
    EXPECT_NE(full.Server().Log().find("refused(busy)"), std::string::npos) << full.Server().Log();

    // The slot given back, the same search finds the schedule, and nothing
    // more is shown.
    holder.reset();
    ASSERT_TRUE(PumpUntil([&] { return full.Server().Log().find("closed without request") != std::string::npos; }))
        << full.Server().Log();
    Shown found = Search(typeText);
    ASSERT_EQ(found.rows.size(), 1u);
    EXPECT_EQ(found.rows[0], (Strings{"2006/12/24", "業務", "会議", "忘年会"}));
    EXPECT_EQ(found.summary, "'忘年'の検索結果\n1件ヒットしました");
    EXPECT_EQ(boxes.Shown().size(), 1u);
}

// Last: it stops the program's server.
TEST_F(SearchTest, AServerThatFailsShowsOneMessageAndAnEmptyResult) {
    calendar->Server().Stop();
    Shown shown = Search([](HWND dialog) { ChooseItem(dialog, IDC_SEARCH_CATEGORY, "業務"); });
    EXPECT_TRUE(shown.rows.empty());
    EXPECT_EQ(shown.summary, "''の検索結果\n0件ヒットしました");
    auto shownBoxes = boxes.Shown();
    ASSERT_EQ(shownBoxes.size(), 1u);
    EXPECT_EQ(shownBoxes[0].owner, frame.Handle());
    EXPECT_EQ(shownBoxes[0].caption, "Connect失敗");
}

}  // namespace
