#include "server/NetAddress.h"

#include <arpa/inet.h>

#include <cstring>

namespace {

constexpr uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};

bool ParsePrefixBits(std::string_view text, int limit, int& bits) {
    if (text.empty() || text.size() > 3) return false;
    if (text.size() > 1 && text[0] == '0') return false;  // "08" or "008" is no prefix length
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value > limit) return false;
    bits = value;
    return true;
}

}  // namespace

std::optional<IpAddress> IpAddress::Parse(std::string_view text) {
    if (text.size() >= INET6_ADDRSTRLEN) return std::nullopt;
    std::string copy(text);
    IpAddress address;
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, copy.c_str(), &v4) == 1) {
        std::memcpy(address.bytes_.data(), kMappedPrefix, 12);
        std::memcpy(address.bytes_.data() + 12, &v4, 4);
        return address;
    }
    if (inet_pton(AF_INET6, copy.c_str(), &v6) == 1) {
        std::memcpy(address.bytes_.data(), &v6, 16);
        return address;
    }
    return std::nullopt;
}

IpAddress IpAddress::FromSockaddr(const sockaddr_storage& storage) {
    IpAddress address;
    if (storage.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(storage);
        std::memcpy(address.bytes_.data(), kMappedPrefix, 12);
        std::memcpy(address.bytes_.data() + 12, &v4.sin_addr, 4);
    } else if (storage.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(storage);
        std::memcpy(address.bytes_.data(), &v6.sin6_addr, 16);
    }
    return address;
}

bool IpAddress::IsV4() const {
    return std::memcmp(bytes_.data(), kMappedPrefix, 12) == 0;
}

std::string IpAddress::ToString() const {
    char text[INET6_ADDRSTRLEN] = {};
    if (IsV4()) {
        inet_ntop(AF_INET, bytes_.data() + 12, text, sizeof text);
    } else {
        inet_ntop(AF_INET6, bytes_.data(), text, sizeof text);
    }
    return text;
}

std::optional<IpNetwork> IpNetwork::Parse(std::string_view text) {
    size_t slash = text.find('/');
    std::optional<IpAddress> base = IpAddress::Parse(text.substr(0, slash));
    if (!base) return std::nullopt;
    IpNetwork network;
    network.base_ = *base;
    if (slash != std::string_view::npos) {
        // The bits count in the family the address is written in: a dotted
        // quad's from its 32 bits, an IPv6 text's (IPv4-mapped ones too,
        // "::ffff:0:0/96") from all 128.
        bool writtenAsV4 = text.substr(0, slash).find(':') == std::string_view::npos;
        int bits = 0;
        if (!ParsePrefixBits(text.substr(slash + 1), writtenAsV4 ? 32 : 128, bits)) return std::nullopt;
        network.prefixBits_ = writtenAsV4 ? 96 + bits : bits;
    }
    return network;
}

bool IpNetwork::Contains(const IpAddress& address) const {
    const auto& mine = base_.Bytes();
    const auto& theirs = address.Bytes();
    int fullBytes = prefixBits_ / 8;
    if (std::memcmp(mine.data(), theirs.data(), static_cast<size_t>(fullBytes)) != 0) return false;
    int restBits = prefixBits_ % 8;
    if (restBits == 0) return true;
    auto mask = static_cast<uint8_t>(0xFF << (8 - restBits));
    return (mine[static_cast<size_t>(fullBytes)] & mask) == (theirs[static_cast<size_t>(fullBytes)] & mask);
}

AllowList AllowList::LoopbackOnly() {
    AllowList list;
    list.Add(*IpNetwork::Parse("127.0.0.0/8"));
    list.Add(*IpNetwork::Parse("::1"));
    return list;
}

bool AllowList::Allows(const IpAddress& address) const {
    for (const IpNetwork& network : networks_) {
        if (network.Contains(address)) return true;
    }
    return false;
}
