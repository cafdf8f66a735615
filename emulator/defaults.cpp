#include "defaults.h"

#include <cstdio>

namespace portallib {

unsigned char default_memory_byte(std::uint32_t address, int terminal) {
    std::uint32_t value = address * 7u + (address >> 8) + static_cast<std::uint32_t>(terminal);
    return static_cast<unsigned char>(value & 0xFFu);
}

unsigned char memory_byte(const Records& memory, std::uint32_t address, int terminal) {
    unsigned char byte = default_memory_byte(address, terminal);
    for (const auto& [index, bytes] : memory) {
        std::uint32_t offset = address - static_cast<std::uint32_t>(index);
        if (offset < bytes.size()) byte = static_cast<unsigned char>(bytes[offset]);
    }
    return byte;
}

namespace {

void put16(std::string& s, unsigned v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& s, unsigned v) {
    put16(s, v & 0xFFFF);
    put16(s, (v >> 16) & 0xFFFF);
}

}  // namespace

std::string default_image(int terminal, const std::string& image) {
    const unsigned width = 8, height = 8, row = width * 3, pixels = row * height;
    std::string bmp;
    bmp += "BM";
    put32(bmp, 54 + pixels);
    put32(bmp, 0);
    put32(bmp, 54);
    put32(bmp, 40);
    put32(bmp, width);
    put32(bmp, height);
    put16(bmp, 1);
    put16(bmp, 24);
    put32(bmp, 0);
    put32(bmp, pixels);
    put32(bmp, 2835);
    put32(bmp, 2835);
    put32(bmp, 0);
    put32(bmp, 0);
    unsigned seed = static_cast<unsigned>(terminal) * 37u + (image == "form" ? 128u : 0u);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            bmp += static_cast<char>((seed + x * 32) & 0xFF);        // blue
            bmp += static_cast<char>((y * 32) & 0xFF);               // green
            bmp += static_cast<char>(((x + y) & 1) ? 0xFF : 0x20);  // red
        }
    return bmp;
}

int config_block_size(int kind) {
    static const int sizes[11] = {27, 23, 35, 36, 23, 38, 80, 97, 54, 32, 22};
    return kind >= 1 && kind <= 11 ? sizes[kind - 1] : 0;
}

std::string default_config_block(int kind, int terminal) {
    int size = config_block_size(kind);
    char head[64];
    std::snprintf(head, sizeof head, "CFG%02d T%03d ", kind, terminal);
    std::string block(head);
    while (static_cast<int>(block.size()) < size) block += static_cast<char>('0' + block.size() % 10);
    block.resize(static_cast<std::size_t>(size));
    return block;
}

std::string totvnx_header(int type, int number, long long count) {
    char head[64];
    std::snprintf(head, sizeof head, "%c %02d 000 TOTVNX HEADER", static_cast<char>(type & 0xFF), number);
    std::string header(head);
    header.resize(94, ' ');
    header += std::to_string(count);
    header.resize(113, ' ');
    return header;
}

std::string generated_ticket_line(int terminal, int index) {
    char line[64];
    std::snprintf(line, sizeof line, "TICKET T%03d LINE %04d", terminal, index);
    return line;
}

std::string default_modem_text(int mode) {
    switch (mode) {
    case 1: return "OFFICE CONFIGURATION\nNAME=BACK OFFICE\nADDRESS=1 MAIN STREET\nPHONE=000 000 000\n";
    case 2: return "SHOP CONFIGURATION\nNAME=DEMO SHOP\nSECTIONS=2\nCURRENCY=EUR\n";
    case 5: return "MODEM CONFIGURATION\nINIT=ATZ\nDIAL=ATDT\nNUMBER=000000000\nSPEED=9600\n";
    default: return "";
    }
}

}  // namespace portallib
