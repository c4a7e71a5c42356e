#ifndef VANTORIX_UTILITY_VANTIO_H
#define VANTORIX_UTILITY_VANTIO_H

#include <cstdint>

namespace vantorix {

// The state shared by the input and output buffers (a virtual base of both):
// failures and the end of the data are bits, never exceptions.
class VantIO {
public:
    enum StateBit : std::uint16_t { badBit = 1, eofBit = 2, failBit = 4 };
    // Flag bit 0: written booleans read "true"/"false" instead of "1"/"0".
    enum FlagBit : std::uint32_t { boolAlpha = 1 };

    VantIO() = default;
    VantIO(const VantIO&) = default;
    VantIO& operator=(const VantIO&) = default;
    virtual ~VantIO();

    bool good() const { return m_state == 0; }
    bool eof() const { return (m_state & eofBit) != 0; }
    bool fail() const { return (m_state & (badBit | failBit)) != 0; }
    bool operator!() const { return fail(); }
    operator void*() const { return fail() ? nullptr : const_cast<VantIO*>(this); }

    std::uint16_t state() const { return m_state; }
    std::uint32_t flags() const { return m_flags; }
    void setFlags(std::uint32_t flags) { m_flags = flags; }
    // Adds bits to the state.
    void setState(std::uint16_t bits) { m_state = static_cast<std::uint16_t>(m_state | bits); }
    // Sets the state to exactly bits.
    void clear(std::uint16_t bits = 0) { m_state = bits; }

private:
    std::uint32_t m_flags = 0;
    std::uint16_t m_state = 0;
};

} // namespace vantorix

#endif
