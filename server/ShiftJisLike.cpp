#include "server/ShiftJisLike.h"

#include "protocol/WireFormat.h"

#include <cstdint>

namespace {

unsigned char FoldAscii(unsigned char byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte - 'A' + 'a') : byte;
}

bool SameCharacter(std::string_view patternChar, std::string_view textChar) {
    if (patternChar.size() != textChar.size()) return false;
    if (patternChar.size() == 1) {
        return FoldAscii(static_cast<unsigned char>(patternChar[0])) ==
               FoldAscii(static_cast<unsigned char>(textChar[0]));
    }
    return patternChar == textChar;  // double-byte characters compare exactly
}

}  // namespace

size_t ShiftJisCharLength(std::string_view text, size_t pos) {
    if (IsShiftJisLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size()) return 2;
    return 1;
}

ShiftJisLikePattern::ShiftJisLikePattern(std::string_view pattern) : pattern_(pattern) {
    std::string_view bytes = pattern_;
    for (size_t pos = 0; pos < bytes.size();) {
        size_t length = ShiftJisCharLength(bytes, pos);
        std::string_view character = bytes.substr(pos, length);
        if (character == "%") {
            // A run of "%" matches what one does; keeping one bounds the work.
            if (tokens_.empty() || tokens_.back().kind != TokenKind::AnyRun) {
                tokens_.push_back(Token{TokenKind::AnyRun, pos, length});
            }
        } else if (character == "_") {
            tokens_.push_back(Token{TokenKind::AnyOne, pos, length});
            ++literalCount_;
        } else {
            tokens_.push_back(Token{TokenKind::Literal, pos, length});
            ++literalCount_;
        }
        pos += length;
    }
}

bool ShiftJisLikePattern::Matches(std::string_view text) const {
    // Cut the text into characters first so the match never starts inside one.
    std::vector<std::string_view> chars;
    chars.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        size_t length = ShiftJisCharLength(text, pos);
        chars.push_back(text.substr(pos, length));
        pos += length;
    }
    if (literalCount_ > chars.size()) return false;

    // Greedy wildcard match that backtracks only to the latest "%".
    size_t t = 0;
    size_t p = 0;
    size_t starToken = SIZE_MAX;
    size_t starText = 0;
    while (t < chars.size()) {
        if (p < tokens_.size() && tokens_[p].kind == TokenKind::AnyRun) {
            starToken = p++;
            starText = t;
        } else if (p < tokens_.size() &&
                   (tokens_[p].kind == TokenKind::AnyOne ||
                    SameCharacter(std::string_view(pattern_).substr(tokens_[p].offset, tokens_[p].length), chars[t]))) {
            ++p;
            ++t;
        } else if (starToken != SIZE_MAX) {
            p = starToken + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < tokens_.size() && tokens_[p].kind == TokenKind::AnyRun) ++p;
    return p == tokens_.size();
}
