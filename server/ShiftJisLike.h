// The "like" match of schedule searches over Shift-JIS text: "%" matches any
// run of characters, "_" exactly one character, ASCII letters match without
// regard to case, and a double-byte character is always matched whole, so a
// pattern never matches starting on its trail byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class ShiftJisLikePattern {
public:
    explicit ShiftJisLikePattern(std::string_view pattern);

    bool Matches(std::string_view text) const;

private:
    enum class TokenKind { AnyRun, AnyOne, Literal };
    struct Token {
        TokenKind kind;
        size_t offset;  // a literal's character within pattern_
        size_t length;
    };

    std::string pattern_;
    std::vector<Token> tokens_;
    size_t literalCount_ = 0;  // characters the text needs at least
};

// Length in bytes of the Shift-JIS character that starts at `pos`.
size_t ShiftJisCharLength(std::string_view text, size_t pos);
