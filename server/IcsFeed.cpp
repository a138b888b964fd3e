#include "server/IcsFeed.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <vector>

namespace {

const char* Reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Error";
    }
}

std::string HttpDate(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

std::optional<std::time_t> ParseHttpDate(const std::string& text) {
    std::tm utc{};
    const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &utc);
    if (!end || *end != '\0') return std::nullopt;
    return timegm(&utc);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A query component, "+" and %XX decoded; nullopt for a broken escape.
std::optional<std::string> PercentDecode(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

uint64_t Fnv(std::string_view text) {
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

HandledRequest Error(int status, std::string_view text, std::string kind) {
    return HandledRequest{ReplyBytes(HttpErrorResponse(status, text)), std::move(kind),
                          "error(" + std::to_string(status) + ")"};
}

// `text` as one gzip member.
std::string Gzip(const std::string& text) {
    z_stream stream{};
    if (deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::bad_alloc();
    std::string out(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("gzip failed");
    return out;
}

struct FeedRequest {
    bool head = false;
    bool gzip = false;
    std::string query;
    std::vector<std::string> ifNoneMatch;
    bool anyMatch = false;
    std::optional<std::time_t> ifModifiedSince;
};

// Parses the head; on failure fills `failure` with the error response.
bool ParseHead(std::string_view head, FeedRequest& request, std::optional<HandledRequest>& failure) {
    size_t lineEnd = head.find('\n');
    std::string_view line = Trim(head.substr(0, lineEnd));
    size_t space1 = line.find(' ');
    size_t space2 = space1 == std::string_view::npos ? space1 : line.find(' ', space1 + 1);
    if (space2 == std::string_view::npos || line.find(' ', space2 + 1) != std::string_view::npos) {
        failure = Error(400, "malformed request line", "HTTP ?");
        return false;
    }
    std::string_view method = line.substr(0, space1);
    std::string_view target = line.substr(space1 + 1, space2 - space1 - 1);
    std::string_view version = line.substr(space2 + 1);
    std::string kind = "HTTP " + std::string(method.substr(0, 8));
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        failure = Error(version.substr(0, 5) == "HTTP/" ? 505 : 400, "HTTP/1.1 only", kind);
        return false;
    }
    if (method != "GET" && method != "HEAD") {
        std::string response = HttpErrorResponse(405, "GET or HEAD only");
        response.insert(response.find("\r\n") + 2, "Allow: GET, HEAD\r\n");
        failure = HandledRequest{ReplyBytes(std::move(response)), kind, "error(405)"};
        return false;
    }
    request.head = method == "HEAD";
    size_t question = target.find('?');
    std::string_view path = target.substr(0, question);
    if (path != "/calendar.ics") {
        failure = Error(404, "the calendar is at /calendar.ics", kind);
        return false;
    }
    if (question != std::string_view::npos) request.query = std::string(target.substr(question + 1));
    std::string_view rest = lineEnd == std::string_view::npos ? std::string_view() : head.substr(lineEnd + 1);
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view header = Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (header.empty()) continue;
        size_t colon = header.find(':');
        if (colon == std::string_view::npos || colon == 0 || header.front() == ' ' || header.front() == '\t') {
            failure = Error(400, "malformed header line", kind);
            return false;
        }
        std::string name = Lower(header.substr(0, colon));
        std::string_view value = Trim(header.substr(colon + 1));
        if (name == "if-none-match") {
            while (!value.empty()) {
                size_t comma = value.find(',');
                std::string_view tag = Trim(value.substr(0, comma));
                if (tag == "*") request.anyMatch = true;
                if (tag.substr(0, 2) == "W/") tag.remove_prefix(2);
                if (!tag.empty()) request.ifNoneMatch.emplace_back(tag);
                value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
            }
        } else if (name == "accept-encoding") {
            std::string codings = Lower(value);
            for (std::string_view list = codings; !list.empty();) {
                size_t comma = list.find(',');
                std::string_view coding = Trim(list.substr(0, comma));
                list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
                size_t semicolon = coding.find(';');
                std::string_view codingName = Trim(coding.substr(0, semicolon));
                double quality = 1;
                if (semicolon != std::string_view::npos) {
                    std::string_view parameter = Trim(coding.substr(semicolon + 1));
                    if (parameter.substr(0, 2) == "q=") quality = std::atof(std::string(parameter.substr(2)).c_str());
                }
                if (codingName == "gzip" || codingName == "x-gzip") request.gzip = quality > 0;
            }
        } else if (name == "if-modified-since") {
            // An unreadable date is ignored, as HTTP asks.
            request.ifModifiedSince = ParseHttpDate(std::string(value));
        }
    }
    return true;
}

std::string Headers(int status, size_t length, const std::string& etag, std::time_t changed, bool gzip) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
    if (status == 200) {
        out += "Content-Type: text/calendar; charset=utf-8\r\n";
        if (gzip) out += "Content-Encoding: gzip\r\n";
        out += "Content-Length: " + std::to_string(length) + "\r\n";
    }
    out += "Vary: Accept-Encoding\r\n";
    out += "ETag: " + etag + "\r\n";
    out += "Last-Modified: " + HttpDate(changed) + "\r\n";
    out += "Cache-Control: no-cache\r\n";
    out += "Connection: close\r\n\r\n";
    return out;
}

}  // namespace

Frame FindHttpHead(std::string_view received) {
    for (size_t i = 0; i < received.size() && i < kMaxHttpHead + 4; ++i) {
        if (received[i] != '\n') continue;
        if (i >= 1 && received[i - 1] == '\n') return Frame{FrameStatus::Complete, i + 1};
        if (i >= 2 && received[i - 1] == '\r' && received[i - 2] == '\n') return Frame{FrameStatus::Complete, i + 1};
    }
    if (received.size() > kMaxHttpHead) return Frame{FrameStatus::TooLong, 0};
    return Frame{FrameStatus::NeedMore, 0};
}

std::string HttpErrorResponse(int status, std::string_view text) {
    std::string body = std::string(text) + "\n";
    return "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

IcsFeedCache::IcsFeedCache(size_t maxBuilds) : maxBuilds_(std::max<size_t>(maxBuilds, 1)), changedAt_(std::time(nullptr)) {}

bool IcsFeedCache::StartBuild() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (builds_ >= maxBuilds_) return false;
    ++builds_;
    return true;
}

void IcsFeedCache::EndBuild() {
    std::lock_guard<std::mutex> lock(mutex_);
    --builds_;
}

std::time_t IcsFeedCache::ChangedAt(const StoreVersion& version) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (seenAny_ && version != seen_) changedAt_ = std::max(std::time(nullptr), changedAt_ + 1);
    seen_ = version;
    seenAny_ = true;
    return changedAt_;
}

std::optional<ReplyBytes> IcsFeedCache::Find(const StoreVersion& version, bool gzip) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = entries_[gzip ? 1 : 0];
    if (entry.valid && entry.version == version) return entry.response;
    if (entry.building > 0 && entry.valid) return entry.response;
    ++entry.building;
    return std::nullopt;
}

void IcsFeedCache::Keep(const StoreVersion& version, bool gzip, const std::optional<ReplyBytes>& response) {
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = entries_[gzip ? 1 : 0];
    --entry.building;
    if (!response) return;
    entry.valid = true;
    entry.version = version;
    entry.response = *response;
}

HandledRequest IcsFeed::Handle(std::string_view head, std::chrono::steady_clock::time_point deadline,
                               const std::atomic<bool>* stopping) {
    FeedRequest request;
    std::optional<HandledRequest> failure;
    if (!ParseHead(head, request, failure)) return std::move(*failure);
    std::string kind = request.head ? "HTTP HEAD" : "HTTP GET";
    IcsFilter filter;
    for (std::string_view rest = request.query; !rest.empty();) {
        size_t amp = rest.find('&');
        std::string_view term = rest.substr(0, amp);
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
        if (term.empty()) continue;
        size_t equals = term.find('=');
        std::optional<std::string> name = PercentDecode(term.substr(0, equals));
        std::optional<std::string> value =
            PercentDecode(equals == std::string_view::npos ? std::string_view() : term.substr(equals + 1));
        if (!name || !value) return Error(400, "broken %-escape in the query", kind);
        if (std::optional<std::string> problem = filter.Add(*name, *value)) return Error(400, *problem, kind);
    }
    bool unfiltered = request.query.empty();
    try {
        StoreVersion version = store_.Version();
        std::time_t changed = cache_.ChangedAt(version);
        char tag[96];
        std::snprintf(tag, sizeof tag, "\"%lld-%lld-%lld-%016llx\"", static_cast<long long>(version[0]),
                      static_cast<long long>(version[1]), static_cast<long long>(version[2]),
                      static_cast<unsigned long long>(Fnv(request.query)));
        // Each representation has a tag of its own; either one names the
        // same calendar text.
        std::string plainTag = tag;
        std::string gzipTag = plainTag.substr(0, plainTag.size() - 1) + "-gzip\"";
        std::string etag = request.gzip ? gzipTag : plainTag;
        auto named = [&](const std::string& candidate) {
            return std::find(request.ifNoneMatch.begin(), request.ifNoneMatch.end(), candidate) !=
                   request.ifNoneMatch.end();
        };
        bool matches = request.anyMatch || named(plainTag) || named(gzipTag);
        bool unmodified = request.ifNoneMatch.empty() && !request.anyMatch && request.ifModifiedSince &&
                          *request.ifModifiedSince >= changed;
        if (matches || unmodified) {
            return HandledRequest{ReplyBytes(Headers(304, 0, etag, changed, false)), kind, "ok(304)"};
        }
        // Gives up a build of the shared feed that did not finish.
        struct BuildGuard {
            IcsFeedCache* cache = nullptr;
            StoreVersion version{};
            bool gzip = false;
            ~BuildGuard() {
                if (cache) cache->Keep(version, gzip, std::nullopt);
            }
        } guard;
        // A HEAD gets the headers of what a GET would get.
        auto answer = [&](ReplyBytes response) {
            if (!request.head) return HandledRequest{std::move(response), kind, "ok"};
            std::string_view text = response.View();
            return HandledRequest{ReplyBytes(std::string(text.substr(0, text.find("\r\n\r\n") + 4))), kind, "ok"};
        };
        if (unfiltered) {
            if (std::optional<ReplyBytes> cached = cache_.Find(version, request.gzip)) return answer(*cached);
            guard.cache = &cache_;
            guard.version = version;
            guard.gzip = request.gzip;
        }
        struct BuildSlot {
            IcsFeedCache& cache;
            bool taken;
            ~BuildSlot() {
                if (taken) cache.EndBuild();
            }
        } slot{cache_, cache_.StartBuild()};
        if (!slot.taken) {
            std::string response = HttpErrorResponse(503, "the server is building other calendars; try again shortly");
            response.insert(response.find("\r\n") + 2, "Retry-After: 5\r\n");
            return HandledRequest{ReplyBytes(std::move(response)), kind, "busy(feeds being built)"};
        }
        // The whole feed grows only with the data and is shared; a filtered
        // one is built for this request alone, under the time budget and
        // the shared reply memory.
        WorkBudget budget(unfiltered ? std::chrono::steady_clock::time_point::max() : deadline, stopping,
                          unfiltered ? nullptr : &memory_);
        std::string body = BuildIcs(store_.Export(), filter, info_, &budget);
        if (request.gzip) body = Gzip(body);
        std::string response = Headers(200, body.size(), etag, changed, request.gzip);
        response += body;
        body = std::string();
        if (unfiltered) {
            ReplyBytes shared(std::move(response));
            guard.cache = nullptr;
            cache_.Keep(version, request.gzip, shared);
            return answer(shared);
        }
        size_t charge = budget.TakeCharge();
        return answer(ReplyBytes(memory_.Adopt(std::move(response), charge), 0));
    } catch (const WorkStopped& stopped) {
        if (stopped.WhyStopped() == WorkStopped::Reason::Time) {
            return Error(503, "the calendar took too long to build; narrow the filter", kind);
        }
        return Error(503, "the server is busy or stopping; try again later", kind);
    } catch (const std::bad_alloc&) {
        return Error(503, "the server is out of memory", kind);
    } catch (const std::exception&) {
        return Error(500, "internal error", kind);
    }
}
