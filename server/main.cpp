// calendar-server: the calendar protocol server and its administration
// commands.
//
//   calendar-server serve [--db PATH] [--listen ADDR] [--port N] [--allow CIDR]...
//                         [--threads N] [--max-connections N] [--max-per-address N]
//                         [--request-timeout SECONDS] [--reply-timeout SECONDS]
//                         [--query-timeout SECONDS] [--reply-memory MB]
//                         [--ics-listen ADDR:PORT [--ics-name NAME] [--ics-refresh MINUTES]]
//   calendar-server add-category --db PATH [--raw] NAME [SHORT_NAME]
//   calendar-server holidays --db PATH FROM_YEAR TO_YEAR
//   calendar-server demo --db PATH
//   calendar-server copy --from PATH --to PATH
//   calendar-server export-ics --db PATH [FILTERS] > FILE.ics
//   calendar-server import-ics --db PATH (--genre ID | --holidays [--genre ID]) [--from DATE] [--to DATE]
//                              [--max-occurrences N] [--tz ZONE] FILE.ics
//   calendar-server init --db PATH
//   calendar-server backup --db PATH --to FILE
//   calendar-server restore --from FILE --db PATH
//
// PATH is a SQLite file or a PostgreSQL URI (postgresql://...).
#include "protocol/WireFormat.h"
#include "server/Backup.h"
#include "server/CalendarServer.h"
#include "server/CalendarStore.h"
#include "server/DateKey.h"
#include "server/DemoData.h"
#include "server/IcsExport.h"
#include "server/IcsImport.h"
#include "server/RequestLog.h"
#include "server/RequestParser.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage:\n"
    "  calendar-server serve [--db PATH] [--listen ADDR] [--port N] [--allow CIDR]...\n"
    "                        [--threads N] [--max-connections N] [--max-per-address N]\n"
    "                        [--request-timeout SECONDS] [--reply-timeout SECONDS]\n"
    "                        [--query-timeout SECONDS] [--reply-memory MB]\n"
    "                        [--ics-listen ADDR:PORT [--ics-name NAME] [--ics-refresh MINUTES]]\n"
    "  calendar-server add-category --db PATH [--raw] NAME [SHORT_NAME]\n"
    "  calendar-server holidays --db PATH FROM_YEAR TO_YEAR\n"
    "  calendar-server demo --db PATH\n"
    "  calendar-server copy --from PATH --to PATH\n"
    "  calendar-server export-ics --db PATH [--category ID]... [--genre ID]... [--text TEXT]...\n"
    "                             [--from DATE] [--to DATE] [--no-days] [--name NAME] > FILE.ics\n"
    "  calendar-server import-ics --db PATH (--genre ID | --holidays [--genre ID]) [--from DATE] [--to DATE]\n"
    "                             [--max-occurrences N] [--tz ZONE] FILE.ics\n"
    "  calendar-server init --db PATH                 (tables; holidays of this year and next if never used)\n"
    "  calendar-server backup --db PATH --to FILE     (a consistent SQLite copy of a live calendar)\n"
    "  calendar-server restore --from FILE --db PATH  (puts a backup back)\n"
    "PATH is a SQLite file or a PostgreSQL URI (postgresql://user@host:port/database).\n";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Command-line words after the command, with "--name value" options taken out.
class Arguments {
public:
    Arguments(int argc, char** argv, int first) {
        for (int i = first; i < argc; ++i) words_.emplace_back(argv[i]);
    }

    // Takes every value of a repeatable option.
    std::vector<std::string> TakeAll(const std::string& name) {
        std::vector<std::string> values;
        for (size_t i = 0; i < words_.size();) {
            if (words_[i] != name) {
                ++i;
                continue;
            }
            if (i + 1 >= words_.size()) throw UsageError(name + " needs a value");
            values.push_back(words_[i + 1]);
            words_.erase(words_.begin() + static_cast<std::ptrdiff_t>(i), words_.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        }
        return values;
    }

    std::string Take(const std::string& name, const std::string& fallback) {
        std::vector<std::string> values = TakeAll(name);
        if (values.size() > 1) throw UsageError(name + " given more than once");
        return values.empty() ? fallback : values[0];
    }

    bool TakeFlag(const std::string& name) {
        for (size_t i = 0; i < words_.size(); ++i) {
            if (words_[i] == name) {
                words_.erase(words_.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            }
        }
        return false;
    }

    // What is left must be plain words, between min and max of them.
    std::vector<std::string> Rest(size_t min, size_t max) const {
        for (const std::string& word : words_) {
            if (word.size() > 2 && word.compare(0, 2, "--") == 0) throw UsageError("unknown option " + word);
        }
        if (words_.size() < min || words_.size() > max) throw UsageError("wrong number of arguments");
        return words_;
    }

private:
    std::vector<std::string> words_;
};

long ParseNumber(const std::string& text, long min, long max, const char* what) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < min || value > max) {
        throw UsageError(std::string(what) + " must be a number from " + std::to_string(min) + " to " +
                         std::to_string(max));
    }
    return value;
}

// Text from the terminal is normally UTF-8; the calendar stores Shift-JIS.
// Bytes that are not UTF-8 are taken as Shift-JIS already.
// Names typed in a UTF-8 terminal become Shift-JIS; a character Shift-JIS
// does not have is a usage error, never stored as UTF-8 bytes.
std::string ToShiftJis(const std::string& text, bool raw) {
    if (raw) return text;
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) throw UsageError("no UTF-8 to Shift-JIS conversion here; use --raw");
    std::string out(text.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1)) {
        throw UsageError("\"" + text + "\" has characters that Shift-JIS cannot hold (or is not UTF-8; use --raw)");
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::string RequireDatabase(Arguments& arguments) {
    std::string path = arguments.Take("--db", "");
    if (path.empty()) throw UsageError("--db PATH is required");
    return path;
}

int Serve(Arguments& arguments) {
    ServerOptions options;
    options.databasePath = arguments.Take("--db", options.databasePath);
    options.listenAddress = arguments.Take("--listen", options.listenAddress);
    options.port = static_cast<int>(ParseNumber(arguments.Take("--port", "54321"), 0, 65535, "--port"));
    options.workerThreads =
        static_cast<size_t>(ParseNumber(arguments.Take("--threads", "4"), 1, 64, "--threads"));
    options.maxConnections =
        static_cast<size_t>(ParseNumber(arguments.Take("--max-connections", "256"), 1, 10000, "--max-connections"));
    options.maxPerAddress =
        static_cast<size_t>(ParseNumber(arguments.Take("--max-per-address", "32"), 1, 10000, "--max-per-address"));
    long timeoutMillis = static_cast<long>(
        std::strtod(arguments.Take("--request-timeout", "10").c_str(), nullptr) * 1000.0);
    if (timeoutMillis < 100 || timeoutMillis > 3600 * 1000) throw UsageError("--request-timeout must be 0.1 to 3600");
    options.requestTimeout = std::chrono::milliseconds(timeoutMillis);
    long stallMillis = static_cast<long>(std::strtod(arguments.Take("--reply-timeout", "10").c_str(), nullptr) * 1000.0);
    if (stallMillis < 100 || stallMillis > 3600 * 1000) throw UsageError("--reply-timeout must be 0.1 to 3600");
    options.replyStallTimeout = std::chrono::milliseconds(stallMillis);
    long queryMillis = static_cast<long>(std::strtod(arguments.Take("--query-timeout", "3").c_str(), nullptr) * 1000.0);
    if (queryMillis < 10 || queryMillis > 600 * 1000) throw UsageError("--query-timeout must be 0.01 to 600");
    options.queryTimeout = std::chrono::milliseconds(queryMillis);
    options.replyMemoryBytes =
        static_cast<size_t>(ParseNumber(arguments.Take("--reply-memory", "96"), 1, 65536, "--reply-memory")) << 20;
    options.icsListen = arguments.Take("--ics-listen", "");
    options.icsInfo.name = arguments.Take("--ics-name", options.icsInfo.name);
    options.icsInfo.refreshMinutes =
        static_cast<int>(ParseNumber(arguments.Take("--ics-refresh", "60"), 1, 10080, "--ics-refresh"));
    std::vector<std::string> allowed = arguments.TakeAll("--allow");
    if (!allowed.empty()) {
        options.allowList = AllowList();
        for (const std::string& text : allowed) {
            std::optional<IpNetwork> network = IpNetwork::Parse(text);
            if (!network) throw UsageError("--allow " + text + " is not an address or ADDR/BITS network");
            options.allowList.Add(*network);
        }
    }
    arguments.Rest(0, 0);

    // Open (and create) the database before listening, so a bad path fails at once.
    // (Each worker opens its own connection; this one is not kept.)
    std::string where = OpenCalendarStore(options.databasePath)->Describe();
    CalendarServer::InstallStopSignals();
    CalendarServer server(options);
    std::string endpoint = server.Listen();
    std::printf("listening on %s\n", endpoint.c_str());
    std::fflush(stdout);
    RequestLog::Note("listening on " + endpoint + ", database " + where);
    if (!server.IcsEndpoint().empty()) RequestLog::Note("iCalendar feed on http://" + server.IcsEndpoint() + "/calendar.ics");
    server.Run();
    RequestLog::Note("stopped");
    return 0;
}

int AddCategoryCommand(Arguments& arguments) {
    std::string path = RequireDatabase(arguments);
    bool raw = arguments.TakeFlag("--raw");
    std::vector<std::string> words = arguments.Rest(1, 2);
    std::string name = ToShiftJis(words[0], raw);
    std::string shortName;
    if (words.size() > 1) {
        shortName = ToShiftJis(words[1], raw);
    } else {
        char field[kMaxShortNameBytes + 1];
        shortName = std::string(field, CopyToField(field, sizeof field, name));
    }
    if (name.empty()) throw UsageError("NAME must not be empty");
    if (name.size() > kMaxTextBytes) throw UsageError("NAME is longer than 255 bytes in Shift-JIS");
    if (shortName.size() > kMaxShortNameBytes) throw UsageError("SHORT_NAME is longer than 63 bytes in Shift-JIS");
    std::unique_ptr<CalendarStore> store = OpenCalendarStore(path);
    std::printf("%d\n", store->AddCategory(name, shortName, StampNow("localhost")));
    return 0;
}

int HolidaysCommand(Arguments& arguments) {
    std::string path = RequireDatabase(arguments);
    std::vector<std::string> words = arguments.Rest(2, 2);
    int from = static_cast<int>(ParseNumber(words[0], kFirstYear, kLastYear, "FROM_YEAR"));
    int to = static_cast<int>(ParseNumber(words[1], kFirstYear, kLastYear, "TO_YEAR"));
    if (from > to) throw UsageError("FROM_YEAR must not be after TO_YEAR");
    std::unique_ptr<CalendarStore> store = OpenCalendarStore(path);
    int written = FillHolidayYears(*store, from, to);
    std::printf("%d holidays written\n", written);
    return 0;
}

int DemoCommand(Arguments& arguments) {
    std::string path = RequireDatabase(arguments);
    arguments.Rest(0, 0);
    std::unique_ptr<CalendarStore> store = OpenCalendarStore(path);
    if (store->CountSchedules() != 0 || store->CountCategories() != 0) {
        std::fprintf(stderr, "calendar-server: %s already holds data; demo needs an empty database\n",
                     store->Describe().c_str());
        return 1;
    }
    int schedules = FillDemoData(*store);
    std::printf("demo data written: %d schedules\n", schedules);
    return 0;
}

// Moves a whole calendar, ids and revisions kept, into an empty database (of
// either kind), with the keys of the events imported from other calendars.
int CopyCommand(Arguments& arguments) {
    std::string from = arguments.Take("--from", "");
    std::string to = arguments.Take("--to", "");
    arguments.Rest(0, 0);
    if (from.empty() || to.empty()) throw UsageError("copy needs --from PATH and --to PATH");
    if (from == to) throw UsageError("--from and --to name the same database");
    CalendarContents contents = OpenCalendarStore(from)->Export();
    std::unique_ptr<CalendarStore> target = OpenCalendarStore(to);
    target->Import(contents);
    std::printf("copied %zu categories and genres, %zu schedules, %zu dates, %zu imported events' keys to %s\n",
                contents.categories.size(), contents.schedules.size(), contents.dateInfo.size(),
                contents.foreignEvents.size(), target->Describe().c_str());
    return 0;
}

// Filter options (--category, --genre, --text, --from, --to) into `filter`.
void TakeIcsFilter(Arguments& arguments, IcsFilter& filter, const std::vector<const char*>& names) {
    for (const char* name : names) {
        for (const std::string& value : arguments.TakeAll(std::string("--") + name)) {
            if (std::optional<std::string> error = filter.Add(name, value)) throw UsageError(*error);
        }
    }
}

int ExportIcsCommand(Arguments& arguments) {
    std::string path = RequireDatabase(arguments);
    IcsFilter filter;
    TakeIcsFilter(arguments, filter, {"category", "genre", "text", "from", "to"});
    filter.days = !arguments.TakeFlag("--no-days");
    IcsCalendarInfo info;
    info.name = arguments.Take("--name", info.name);
    arguments.Rest(0, 0);
    std::string text = BuildIcs(OpenCalendarStore(path)->Export(), filter, info);
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0 ? 0 : 1;
}

int ImportIcsCommand(Arguments& arguments) {
    std::string path = RequireDatabase(arguments);
    IcsImportOptions options;
    options.genreId = static_cast<int32_t>(ParseNumber(arguments.Take("--genre", "0"), 0, INT32_MAX, "--genre"));
    options.holidays = arguments.TakeFlag("--holidays");
    if (options.genreId == 0 && !options.holidays) throw UsageError("import-ics needs --genre ID or --holidays");
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    int year = std::min(local.tm_year + 1900, kLastYear - 1);
    IcsFilter range;  // this year and next unless told otherwise
    range.from = year * 10000 + 101;
    range.to = (year + 1) * 10000 + 1231;
    TakeIcsFilter(arguments, range, {"from", "to"});
    options.from = range.from;
    options.to = range.to;
    options.maxOccurrences = static_cast<size_t>(
        ParseNumber(arguments.Take("--max-occurrences", "1000"), 1, 100000, "--max-occurrences"));
    options.zone = arguments.Take("--tz", "");
    std::string file = arguments.Rest(1, 1)[0];
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) throw std::runtime_error("cannot read " + file);
    IcsImportPlan plan = PlanIcsImport(text.str(), options);
    ForeignImportTally tally = OpenCalendarStore(path)->ImportForeignEvents(plan.events, StampNow("localhost"));
    std::fputs(DescribeIcsImport(plan, tally).c_str(), stdout);
    return 0;
}

int InitCommand(Arguments& arguments) {
    std::string path = RequireDatabase(arguments);
    arguments.Rest(0, 0);
    int written = PrepareNewCalendar(*OpenCalendarStore(path));
    if (written < 0) std::printf("calendar in use: nothing changed\n");
    else std::printf("new calendar: %d holidays written\n", written);
    return 0;
}

// backup --db DB --to FILE, restore --from FILE --db DB.
int BackupCommand(Arguments& arguments, bool restore) {
    std::string database = RequireDatabase(arguments);
    std::string file = arguments.Take(restore ? "--from" : "--to", "");
    arguments.Rest(0, 0);
    if (file.empty()) throw UsageError(restore ? "restore needs --from FILE" : "backup needs --to FILE");
    CalendarCounts counts = restore ? RestoreCalendar(file, database) : BackupCalendar(database, file);
    std::printf("%s %lld categories and genres, %lld schedules, %lld dates %s %s\n", restore ? "restored" : "backed up",
                counts.categories, counts.schedules, counts.dates, restore ? "from" : "to", file.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string command = argv[1];
    Arguments arguments(argc, argv, 2);
    try {
        if (command == "serve") return Serve(arguments);
        if (command == "add-category") return AddCategoryCommand(arguments);
        if (command == "holidays") return HolidaysCommand(arguments);
        if (command == "demo") return DemoCommand(arguments);
        if (command == "copy") return CopyCommand(arguments);
        if (command == "export-ics") return ExportIcsCommand(arguments);
        if (command == "import-ics") return ImportIcsCommand(arguments);
        if (command == "init") return InitCommand(arguments);
        if (command == "backup" || command == "restore") return BackupCommand(arguments, command == "restore");
        if (command == "--help" || command == "-h" || command == "help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        throw UsageError("unknown command " + command);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "calendar-server: %s\n%s", error.what(), kUsage);
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "calendar-server: %s\n", error.what());
        return 1;
    }
}
