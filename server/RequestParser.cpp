#include "server/RequestParser.h"

#include "protocol/Records.h"
#include "protocol/WireFormat.h"
#include "server/DateKey.h"

#include <cstdint>

namespace {

// Splits the body "field:field:..." of a SET of `dataSet`, insists on
// exactly `expected` fields, or one more (the expected revision, read into
// `revision`), and starts the request.
std::optional<Failure> StartSet(std::string_view body, int dataSet, size_t expected,
                                std::vector<std::string_view>& fields, Request& request, ExpectedRevision& revision) {
    fields = SplitAll(body, ":");
    if (fields.size() == expected + 1) {
        int32_t value = 0;
        if (!ParseStrictInt(fields.back(), value) || value < 0) {
            return MakeFailure("bad-revision", "リビジョンが 0 以上の整数ではありません");
        }
        revision = ExpectedRevision{true, value};
        fields.pop_back();
    }
    if (fields.size() != expected) {
        return MakeFailure("field-count", "SET " + FormatInt(dataSet) + " の項目数が正しくありません(" +
                                              FormatInt(static_cast<int32_t>(expected)) + " 個必要なところ " +
                                              FormatInt(static_cast<int32_t>(fields.size())) + " 個でした)");
    }
    request.kind = RequestKind::Set;
    request.dataSet = dataSet;
    return std::nullopt;
}

bool ReadIntField(std::string_view field, const char* name, int32_t& value, Failure& failure) {
    if (ParseStrictInt(field, value)) return true;
    if (field.empty()) {
        failure = MakeFailure("missing-field", std::string(name) + " がありません");
    } else {
        failure = MakeFailure("bad-integer", std::string(name) + " が整数ではありません");
    }
    return false;
}

// Unescapes a text field and checks it fits the client's field.
bool ReadTextField(std::string_view field, const char* name, size_t maxBytes, std::string& text, Failure& failure) {
    text = Unescape(field);
    if (text.find('\0') != std::string::npos) {
        failure = MakeFailure("nul-in-text", std::string(name) + " に NUL 文字は使えません");
        return false;
    }
    if (text.size() > maxBytes) {
        failure = MakeFailure("text-too-long", std::string(name) + " が長すぎます(" +
                                                   FormatInt(static_cast<int32_t>(text.size())) + " バイト、最大 " +
                                                   FormatInt(static_cast<int32_t>(maxBytes)) + " バイト)");
        return false;
    }
    return true;
}

bool CheckDate(int32_t date, Failure& failure) {
    if (IsValidDateKey(date)) return true;
    failure = MakeFailure("bad-date", "日付 " + FormatInt(date) +
                                          " は正しい日付ではありません(1971年1月1日から2037年12月31日まで)");
    return false;
}

bool CheckOp(int32_t op, Failure& failure) {
    if (op >= OP_NONE && op <= OP_DELETE) return true;
    failure = MakeFailure("bad-op", "処理区分 " + FormatInt(op) + " は不明です(0 から 3)");
    return false;
}

// A known op, and an id that is no negative number.
bool CheckOpAndId(int32_t op, int32_t id, Failure& failure) {
    if (!CheckOp(op, failure)) return false;
    if (id >= 0) return true;
    failure = MakeFailure("bad-id", "id " + FormatInt(id) + " は正しくありません");
    return false;
}

// A change that stores fields (an add, or a change) as opposed to a delete
// or a no-op.
bool StoresFields(int32_t op) {
    return op == OP_ADD || op == OP_CHANGE;
}

Outcome<Request> ParseScheduleSet(std::string_view body) {
    std::vector<std::string_view> fields;
    Request request;
    ScheduleChange& change = request.schedule;
    if (auto wrong = StartSet(body, DATASET_SCHEDULES, 5, fields, request, change.expected)) return *wrong;
    Failure failure;
    if (!ReadIntField(fields[0], "処理区分", change.op, failure) ||
        !ReadIntField(fields[1], "日付", change.date, failure) ||
        !ReadIntField(fields[2], "id", change.id, failure) ||
        !ReadIntField(fields[4], "ジャンル id", change.genreId, failure) ||
        !CheckOpAndId(change.op, change.id, failure)) {
        return failure;
    }
    if (StoresFields(change.op)) {
        if (!CheckDate(change.date, failure) ||
            !ReadTextField(fields[3], "スケジュールの名称", kMaxTextBytes, change.text, failure)) {
            return failure;
        }
    }
    return request;
}

Outcome<Request> ParseGenreSet(std::string_view body) {
    std::vector<std::string_view> fields;
    Request request;
    GenreChange& change = request.genre;
    if (auto wrong = StartSet(body, DATASET_CATEGORIES, 6, fields, request, change.expected)) return *wrong;
    Failure failure;
    if (!ReadIntField(fields[0], "処理区分", change.op, failure) ||
        !ReadIntField(fields[1], "id", change.id, failure) ||
        !ReadIntField(fields[2], "レベル", change.level, failure) ||
        !ReadIntField(fields[3], "親 id", change.parentId, failure) ||
        !CheckOpAndId(change.op, change.id, failure)) {
        return failure;
    }
    if (change.op != OP_NONE && change.level != LEVEL_GENRE) {
        return MakeFailure("not-a-genre", "カテゴリはサーバーの管理者だけが登録・変更・削除できます(レベル " +
                                              FormatInt(change.level) + ")");
    }
    if (StoresFields(change.op)) {
        if (!ReadTextField(fields[4], "ジャンルの名称", kMaxTextBytes, change.name, failure) ||
            !ReadTextField(fields[5], "ジャンルの略称", kMaxShortNameBytes, change.shortName, failure)) {
            return failure;
        }
    }
    return request;
}

Outcome<Request> ParseDateInfoSet(std::string_view body) {
    std::vector<std::string_view> fields;
    Request request;
    DateInfoChange& change = request.dateInfo;
    if (auto wrong = StartSet(body, DATASET_DATE_INFO, 4, fields, request, change.expected)) return *wrong;
    Failure failure;
    if (!ReadIntField(fields[0], "日付", change.date, failure) ||
        !ReadIntField(fields[2], "休日区分", change.holiday, failure) ||
        !ReadIntField(fields[3], "補助項目", change.aux, failure) || !CheckDate(change.date, failure) ||
        !ReadTextField(fields[1], "日付名称", kMaxTextBytes, change.name, failure)) {
        return failure;
    }
    if (change.holiday != 0 && change.holiday != 1) {
        return MakeFailure("bad-holiday", "休日区分は 0 か 1 です(" + FormatInt(change.holiday) + ")");
    }
    return request;
}

// Cursor over the unescaped condition with the few tokens it is made of.
class ConditionReader {
public:
    explicit ConditionReader(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }

    bool Take(std::string_view expected) {
        if (text_.substr(pos_, expected.size()) != expected) return false;
        pos_ += expected.size();
        return true;
    }

    // "-"? digits, as far as they go; the value must be a strict integer.
    bool TakeInt(int32_t& value) {
        size_t end = pos_;
        if (end < text_.size() && text_[end] == '-') ++end;
        while (end < text_.size() && text_[end] >= '0' && text_[end] <= '9') ++end;
        if (!ParseStrictInt(text_.substr(pos_, end - pos_), value)) return false;
        pos_ = end;
        return true;
    }

    // The body of a quoted literal after its opening quote, through its
    // closing quote: "''" is a quote, "\\" a backslash, byte by byte.
    bool TakeQuoted(std::string& literal) {
        literal.clear();
        while (pos_ < text_.size()) {
            char byte = text_[pos_++];
            if (byte == '\'') {
                if (pos_ < text_.size() && text_[pos_] == '\'') {
                    literal += '\'';
                    ++pos_;
                    continue;
                }
                return true;
            }
            if (byte == '\\') {
                if (pos_ >= text_.size() || text_[pos_] != '\\') return false;  // a lone backslash
                literal += '\\';
                ++pos_;
                continue;
            }
            literal += byte;
        }
        return false;  // no closing quote
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

Failure BadCondition(const std::string& what) {
    return MakeFailure("bad-condition", "検索条件が正しくありません(" + what + ")");
}

}  // namespace

Frame FindRequestLine(std::string_view received) {
    Frame frame;
    // The line may be kMaxRequestLine bytes followed by CR LF.
    std::string_view window = received.substr(0, kMaxRequestLine + 2);
    size_t lineFeed = window.find('\n');
    if (lineFeed == std::string_view::npos) {
        frame.status = received.size() > kMaxRequestLine + 1 ? FrameStatus::TooLong : FrameStatus::NeedMore;
        return frame;
    }
    size_t length = lineFeed;
    if (length > 0 && received[length - 1] == '\r') --length;
    if (length > kMaxRequestLine) {
        frame.status = FrameStatus::TooLong;
        return frame;
    }
    frame.status = FrameStatus::Complete;
    frame.lineLength = length;
    return frame;
}

bool ParseStrictInt(std::string_view field, int32_t& value) {
    size_t pos = 0;
    bool negative = false;
    if (pos < field.size() && field[pos] == '-') {
        negative = true;
        ++pos;
    }
    if (pos >= field.size() || field.size() - pos > 10) return false;
    // "%d" writes no leading zero and no "-0".
    if (field[pos] == '0' && (field.size() - pos > 1 || negative)) return false;
    int64_t magnitude = 0;
    for (; pos < field.size(); ++pos) {
        if (field[pos] < '0' || field[pos] > '9') return false;
        magnitude = magnitude * 10 + (field[pos] - '0');
    }
    int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX) return false;
    value = static_cast<int32_t>(signedValue);
    return true;
}

bool ScheduleFilter::Accepts(int32_t categoryId, int32_t genreId, std::string_view text) const {
    for (int32_t id : categoryIds) {
        if (id != categoryId) return false;
    }
    for (int32_t id : genreIds) {
        if (id != genreId) return false;
    }
    for (const ShiftJisLikePattern& pattern : patterns) {
        if (!pattern.Matches(text)) return false;
    }
    return true;
}

Outcome<ScheduleFilter> ParseCondition(std::string_view condition) {
    ScheduleFilter filter;
    ConditionReader reader(condition);
    bool first = true;
    size_t clauses = 0;
    while (!reader.AtEnd()) {
        if (!first && !reader.Take("and ")) return BadCondition("条件は and でつなぎます");
        first = false;
        if (++clauses > kMaxConditionClauses) {
            return BadCondition("条件は " + FormatInt(static_cast<int32_t>(kMaxConditionClauses)) + " 個までです");
        }
        int32_t id = 0;
        if (reader.Take("sk0.id = ")) {
            if (!reader.TakeInt(id)) return BadCondition("sk0.id の値が整数ではありません");
            filter.categoryIds.push_back(id);
        } else if (reader.Take("sk1.id = ")) {
            if (!reader.TakeInt(id)) return BadCondition("sk1.id の値が整数ではありません");
            filter.genreIds.push_back(id);
        } else if (reader.Take("schedule like '")) {
            std::string literal;
            if (!reader.TakeQuoted(literal)) return BadCondition("文字列の引用符または \\ が対になっていません");
            filter.patterns.emplace_back(literal);
        } else {
            return BadCondition("使える条件は sk0.id、sk1.id、schedule like だけです");
        }
        if (!reader.Take(" ")) return BadCondition("条件の後には空白が一つ必要です");
    }
    return filter;
}

Outcome<Request> ParseRequest(std::string_view line) {
    if (line.find('\0') != std::string_view::npos) {
        return MakeFailure("nul-byte", "要求に NUL バイトが含まれています");
    }
    std::string_view helloLine = kHelloLine.substr(0, kHelloLine.size() - kLineEnd.size());
    if (line == helloLine) return Request{};
    if (line == kVersionsRequest) {
        Request request;
        request.kind = RequestKind::Versions;
        return request;
    }

    RequestKind kind;
    if (line.substr(0, 4) == "GET ") {
        kind = RequestKind::Get;
    } else if (line.substr(0, 4) == "SET ") {
        kind = RequestKind::Set;
    } else if (line.substr(0, helloLine.size()) == helloLine) {
        return MakeFailure("malformed", "HELLO 要求の後ろに余計な文字があります");
    } else if (line.substr(0, kVersionsRequest.size()) == kVersionsRequest) {
        return MakeFailure("malformed", "VERSIONS 要求の後ろに余計な文字があります");
    } else if (line.substr(0, 6) == "HELLO " || line.substr(0, 9) == "VERSIONS ") {
        return MakeFailure("version", "プロトコルのバージョンが違います(RDZVP/0.0 だけに対応しています)");
    } else {
        return MakeFailure("unknown-request", "不明な要求です(HELLO、GET、SET だけに対応しています)");
    }
    std::string_view rest = line.substr(4);
    if (rest.substr(0, kProtocolToken.size() + 1) != std::string(kProtocolToken) + " ") {
        return MakeFailure("version", "プロトコルのバージョンが違います(RDZVP/0.0 だけに対応しています)");
    }
    rest.remove_prefix(kProtocolToken.size() + 1);
    if (rest.empty() || rest[0] < '1' || rest[0] > '3' || (rest.size() > 1 && rest[1] != ' ')) {
        return MakeFailure("bad-dataset", "データセット番号が正しくありません(1 から 3)");
    }
    int dataSet = rest[0] - '0';
    std::string_view argument = rest.size() > 1 ? rest.substr(2) : std::string_view();

    if (kind == RequestKind::Set) {
        switch (dataSet) {
        case DATASET_SCHEDULES: return ParseScheduleSet(argument);
        case DATASET_CATEGORIES: return ParseGenreSet(argument);
        default: return ParseDateInfoSet(argument);
        }
    }
    Request request;
    request.kind = RequestKind::Get;
    request.dataSet = dataSet;
    std::string condition = Unescape(argument);
    if (dataSet != DATASET_SCHEDULES) {
        if (!condition.empty()) return BadCondition("データセット " + FormatInt(dataSet) + " は条件を取りません");
        return request;
    }
    Outcome<ScheduleFilter> filter = ParseCondition(condition);
    if (!filter.Ok()) return filter.Error();
    request.filter = std::move(filter.Value());
    return request;
}
