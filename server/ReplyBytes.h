// The bytes of one reply on their way to a client. A large reply is built
// once and may be shared by every connection sending it, so the bytes are
// immutable and reference-counted; a reply may start inside its buffer
// (the status line of a GET is written in front of its records once their
// number is known).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class ReplyBytes {
public:
    ReplyBytes() = default;
    explicit ReplyBytes(std::string text) : buffer_(std::make_shared<const std::string>(std::move(text))) {}
    ReplyBytes(std::shared_ptr<const std::string> buffer, size_t begin) : buffer_(std::move(buffer)), begin_(begin) {}

    std::string_view View() const {
        return buffer_ ? std::string_view(*buffer_).substr(begin_) : std::string_view();
    }
    size_t Size() const { return View().size(); }
    // Bytes of memory this reply holds (shared ones count for each holder).
    size_t Footprint() const { return buffer_ ? buffer_->capacity() : 0; }

private:
    std::shared_ptr<const std::string> buffer_;
    size_t begin_ = 0;
};
