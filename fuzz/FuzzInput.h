#pragma once

// Splits one fuzz input into the pieces a target needs, without ever
// reading past its end.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_at >= m_size; }
    uint8_t byte() { return empty() ? 0 : m_data[m_at++]; }
    // Up to the next separator byte (dropped) or the end.
    std::string piece(char separator)
    {
        std::string out;
        while (!empty()) {
            const char c = char(m_data[m_at++]);
            if (c == separator)
                break;
            out.push_back(c);
        }
        return out;
    }
    std::string rest()
    {
        std::string out(reinterpret_cast<const char *>(m_data) + m_at, m_size - m_at);
        m_at = m_size;
        return out;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_at = 0;
};

// A broken invariant: says which and aborts, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            fuzzCheckContext();                                                        \
            std::abort();                                                              \
        }                                                                              \
    } while (0)

// What a target adds to the report of a failed check (nothing by default).
void fuzzCheckContext();
