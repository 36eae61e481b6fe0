#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/component_record.h"
#include "inspect/code_page_converter.h"
#include "inspect/questions.h"

namespace instdll::inspect {

// ANSI text from the registry as both report writers show it, in UTF-8.
class ShownText {
public:
    explicit ShownText(const CodePageConverter& converter) : converter_(converter) {}

    // Bytes the code page does not define are shown as \xNN.
    std::string operator()(const std::string& ansi) const;
    // Text data without its terminating zeros, a zero inside it as \0.
    std::string Data(const std::vector<std::uint8_t>& data) const;

private:
    const CodePageConverter& converter_;
};

std::string HexBytes(const std::vector<std::uint8_t>& data);

// A value of up to four bytes as the library reads a number: little-endian, signed.
std::int32_t Number(const std::vector<std::uint8_t>& data);

const char* TitleOutcome(const TitleAnswer& answer);

// A component record's fields in the order both writers show them; RegMethod, the one number,
// has no text member.
struct RecordField {
    const char* name;
    std::string ComponentRecord::*text;
};
inline constexpr RecordField kRecordFields[] = {
    {"ComponentKey", &ComponentRecord::ComponentKey},
    {"Folder", &ComponentRecord::Folder},
    {"PathDir", &ComponentRecord::PathDir},
    {"PathFile", &ComponentRecord::PathFile},
    {"RegMethod", nullptr},
    {"UninstallKey", &ComponentRecord::UninstallKey},
    {"LogDir", &ComponentRecord::LogDir},
    {"LogFile", &ComponentRecord::LogFile},
    {"UninstallArgs", &ComponentRecord::UninstallArgs},
    {"CustomDll", &ComponentRecord::CustomDll},
};

}  // namespace instdll::inspect
