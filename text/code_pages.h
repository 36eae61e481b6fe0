#pragma once

#include <algorithm>
#include <iterator>

namespace instdll {

inline constexpr unsigned kUtf8CodePage = 65001;

// Every code page Windows uses as a system's ANSI code page: Thai, the four double-byte East
// Asian ones, the nine Windows single-byte ones and UTF-8.
inline constexpr unsigned kAnsiCodePages[] = {874,  932,  936,  949,  950,  1250, 1251, 1252,
                                              1253, 1254, 1255, 1256, 1257, 1258, 65001};

inline bool IsAnsiCodePage(unsigned codePage) {
    return std::find(std::begin(kAnsiCodePages), std::end(kAnsiCodePages), codePage) !=
           std::end(kAnsiCodePages);
}

// The first bytes of two-byte characters in the double-byte code pages; none elsewhere.
inline bool IsDoubleByteLeadByte(unsigned codePage, unsigned char byte) {
    switch (codePage) {
        case 932:
            return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        case 936:
        case 949:
        case 950:
            return byte >= 0x81 && byte <= 0xFE;
        default:
            return false;
    }
}

}  // namespace instdll
