// What an emulated scale answers when nothing of that kind was stored: the
// memory image, the logo and format images, the configuration blocks, the
// totals header and the gateway's configuration texts. All deterministic, so
// that tests can check them byte for byte.
#pragma once

#include <cstdint>
#include <string>

#include "store.h"

namespace portallib {

// Byte at a memory address of a scale: (a*7 + (a>>8) + terminal) & 0xFF,
// computed on the address as an unsigned 32-bit value.
unsigned char default_memory_byte(std::uint32_t address, int terminal);

// Memory byte of a scale: the default image, overlaid by the records of
// kind "memory" (each record's bytes start at the address its index gives,
// read as an unsigned 32-bit value; a later index wins where two overlap).
unsigned char memory_byte(const Records& memory, std::uint32_t address, int terminal);

// A 246-byte 8 x 8 24-bit BMP, different per scale and per image ("logo"
// or "form").
std::string default_image(int terminal, const std::string& image);

// Size of a configuration block of kind 1 to 11, 0 for any other kind.
int config_block_size(int kind);
// Block of that size: "CFG<kind, 2 digits> T<terminal, 3 digits> " and then
// the digits 0 to 9 repeated, up to the size.
std::string default_config_block(int kind, int terminal);

// Header record of the extended totals: 113 bytes, "<type> <number> 000
// TOTVNX HEADER" padded with blanks to offset 94, where the count of
// records stands in decimal, then blanks up to 113 bytes.
std::string totvnx_header(int type, int number, long long count);

// Ticket line that arrives at a scale through the fault plan's add:N.
std::string generated_ticket_line(int terminal, int index);

// Office (mode 1), shop (mode 2) and modem (mode 5) configuration texts when
// none was stored; empty for other modes.
std::string default_modem_text(int mode);

}  // namespace portallib
