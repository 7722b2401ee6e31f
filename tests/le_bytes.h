#pragma once

// Little-endian bytes written out by hand, independently of the program's
// writer: the working files' tests build their files with it.

#include <cstdint>
#include <cstring>
#include <string>

namespace kvx::test {

struct Bytes {
    std::string b;
    Bytes& i32(std::int32_t v)
    {
        for (int i = 0; i < 4; ++i)
            b += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
        return *this;
    }
    Bytes& u8(int v)
    {
        b += static_cast<char>(v);
        return *this;
    }
    Bytes& f64(double v)
    {
        std::uint64_t u;
        std::memcpy(&u, &v, 8);
        for (int i = 0; i < 8; ++i)
            b += static_cast<char>((u >> (8 * i)) & 0xFF);
        return *this;
    }
    Bytes& pt(double x, double y) { return f64(x).f64(y); }
    Bytes& zeros(std::size_t n)
    {
        b.append(n, '\0');
        return *this;
    }
    Bytes& raw(const std::string& s)
    {
        b += s;
        return *this;
    }
};

} // namespace kvx::test
