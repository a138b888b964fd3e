#include "server/Cp932Text.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace {

// "〓" in each coding.
const char kGetaUtf8[] = "\xE3\x80\x93";
const char kGetaCp932[] = "\x81\xAC";

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
        if (handle_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("no ") + from + " to " + to + " conversion on this system");
        }
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as it can: returns false at a sequence it cannot
    // convert (left at `in`), true at the end of the input.
    bool Convert(std::string_view& in, std::string& out) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        char buffer[1024];
        while (!in.empty()) {
            char* inPtr = const_cast<char*>(in.data());
            size_t inLeft = in.size();
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            size_t result = iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, sizeof buffer - outLeft);
            in.remove_prefix(in.size() - inLeft);
            if (result == static_cast<size_t>(-1) && errno != E2BIG) {
                iconv(handle_, nullptr, nullptr, nullptr, nullptr);
                return false;
            }
        }
        return true;
    }

private:
    iconv_t handle_;
};

// Length of the UTF-8 sequence that starts `text` (1 for a stray byte).
size_t Utf8SequenceLength(std::string_view text) {
    unsigned char lead = static_cast<unsigned char>(text[0]);
    size_t length = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 1;
    if (length > text.size()) return 1;
    for (size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

// Characters that other calendars write in their JIS X 0208 reading, and
// the code page's character for the same glyph.
struct JisFlavour {
    const char* utf8;
    const char* cp932;
};
const JisFlavour kJisFlavours[] = {
    {"\xE3\x80\x9C", "\x81\x60"},  // U+301C wave dash -> U+FF5E
    {"\xE2\x80\x96", "\x81\x61"},  // U+2016 double vertical line -> U+2225
    {"\xE2\x88\x92", "\x81\x7C"},  // U+2212 minus sign -> U+FF0D
    {"\xC2\xA2", "\x81\x91"},      // cent sign -> U+FFE0
    {"\xC2\xA3", "\x81\x92"},      // pound sign -> U+FFE1
    {"\xC2\xAC", "\x81\xCA"},      // not sign -> U+FFE2
    {"\xE2\x80\x94", "\x81\x5C"},  // U+2014 em dash -> U+2015
};

// Opening a conversion loads its tables: each thread keeps one of each.
Converter& FromCp932() {
    thread_local Converter converter("UTF-8", "CP932");
    return converter;
}

Converter& ToCp932() {
    thread_local Converter converter("CP932", "UTF-8");
    return converter;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
    Converter& converter = FromCp932();
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    while (!converter.Convert(bytes, out)) {
        // One undecodable character: a lead byte takes its trail with it
        // unless the trail is plain ASCII that stands on its own.
        unsigned char lead = static_cast<unsigned char>(bytes[0]);
        size_t skip = 1;
        if (bytes.size() >= 2 && ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) &&
            static_cast<unsigned char>(bytes[1]) >= 0x40) {
            skip = 2;
        }
        if (lead != 0) out += kGetaUtf8;
        bytes.remove_prefix(skip);
    }
    // iconv passes NUL through; the calendar's texts never hold one.
    std::string clean;
    clean.reserve(out.size());
    for (char c : out) {
        if (c != '\0') clean += c;
    }
    return clean;
}

Cp932Conversion Utf8ToCp932(std::string_view utf8) {
    Converter& converter = ToCp932();
    Cp932Conversion result;
    while (!converter.Convert(utf8, result.text)) {
        size_t length = Utf8SequenceLength(utf8);
        std::string_view character = utf8.substr(0, length);
        const char* same = nullptr;
        for (const JisFlavour& flavour : kJisFlavours) {
            if (character == flavour.utf8) same = flavour.cp932;
        }
        if (same) {
            result.text += same;
        } else {
            result.text += kGetaCp932;
            ++result.replaced;
        }
        utf8.remove_prefix(length);
    }
    return result;
}
