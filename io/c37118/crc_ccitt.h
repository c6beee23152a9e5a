// The frame check of synchrophasor frames: CRC-CCITT with polynomial 0x1021,
// initial value 0xFFFF, no reflection and no final XOR. crcCcitt of the
// ASCII text "123456789" is 0x29B1.
#ifndef ORVANE_IO_C37118_CRC_CCITT_H
#define ORVANE_IO_C37118_CRC_CCITT_H

#include <cstddef>
#include <cstdint>

uint16_t crcCcitt(const uint8_t* data, size_t size);

#endif  // ORVANE_IO_C37118_CRC_CCITT_H
