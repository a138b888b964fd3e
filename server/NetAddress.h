// IP addresses and networks for the listening address and the --allow list.
// IPv4 addresses are kept as IPv4-mapped IPv6 addresses, so one comparison
// covers both families.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IpAddress {
public:
    static std::optional<IpAddress> Parse(std::string_view text);
    static IpAddress FromSockaddr(const sockaddr_storage& address);

    bool IsV4() const;
    // Dotted quad for IPv4 (also when it arrived mapped), RFC 5952 text otherwise.
    std::string ToString() const;
    const std::array<uint8_t, 16>& Bytes() const { return bytes_; }

private:
    std::array<uint8_t, 16> bytes_{};
};

class IpNetwork {
public:
    // "ADDR/BITS" or a bare address (all bits). BITS counts in the family
    // ADDR is written in: 0..32 after a dotted quad, 0..128 after an IPv6
    // text (so "::ffff:0:0/96" is every IPv4 client). No leading zeros.
    static std::optional<IpNetwork> Parse(std::string_view text);

    bool Contains(const IpAddress& address) const;

private:
    IpAddress base_;
    int prefixBits_ = 128;  // over the 16-byte form
};

class AllowList {
public:
    // Loopback only: 127.0.0.0/8 and ::1.
    static AllowList LoopbackOnly();
    void Add(const IpNetwork& network) { networks_.push_back(network); }
    bool Allows(const IpAddress& address) const;

private:
    std::vector<IpNetwork> networks_;
};
