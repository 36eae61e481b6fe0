#include "selftest/report.h"

#include <windows.h>

namespace instdll::selftest {
namespace {

const char* StatusWord(Status status) {
    switch (status) {
        case Status::Passed:
            return "pass";
        case Status::Failed:
            return "FAIL";
        case Status::Skipped:
            return "skip";
    }
    return "";
}

std::string Bitness(const MachineFacts& facts) {
    return std::to_string(facts.bits) + "-bit" + (facts.wow64 ? " under WoW64" : "") + " on " +
           facts.nativeMachine;
}

std::vector<std::pair<std::string, std::string>> FactLines(const MachineFacts& facts) {
    return {{"windows", facts.windows},
            {"program", Bitness(facts)},
            {"code page", std::to_string(facts.codePage)},
            {"elevation", facts.elevation}};
}

std::string Utf8FromAnsi(const std::string& text) {
    if (text.empty()) return text;
    const int length = static_cast<int>(text.size());
    std::wstring wide(
        static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0)),
        L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), static_cast<int>(wide.size()));
    const int wideLength = static_cast<int>(wide.size());
    std::string utf8(static_cast<std::size_t>(WideCharToMultiByte(
                         CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(),
                        static_cast<int>(utf8.size()), nullptr, nullptr);
    return utf8;
}

// An attribute value: markup escaped, and the control characters XML 1.0 cannot hold dropped.
std::string Attribute(const std::string& ansi) {
    std::string out;
    for (const char c : Utf8FromAnsi(ansi)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\n':
                out += "&#10;";
                break;
            default:
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
        }
    }
    return out;
}

}  // namespace

std::string SummaryText(const MachineFacts& facts, const std::vector<CheckResult>& results) {
    std::string text;
    for (const auto& [name, value] : FactLines(facts)) text += name + ": " + value + "\n";
    int failed = 0;
    for (const CheckResult& result : results) {
        failed += result.status == Status::Failed;
        text += std::string(StatusWord(result.status)) + "  " + result.name + ": " +
                result.meaning + "\n      " + result.saw + "\n";
    }
    text += failed == 0 ? "all checks that ran passed\n"
                        : std::to_string(failed) + " check(s) failed\n";
    return text;
}

std::string JUnitXml(const MachineFacts& facts, const std::vector<CheckResult>& results) {
    int failures = 0;
    int skipped = 0;
    for (const CheckResult& result : results) {
        failures += result.status == Status::Failed;
        skipped += result.status == Status::Skipped;
    }
    const std::string suite = "instdll-selftest." + std::to_string(facts.bits);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuite name=\"" + suite +
                      "\" tests=\"" + std::to_string(results.size()) + "\" failures=\"" +
                      std::to_string(failures) + "\" skipped=\"" + std::to_string(skipped) +
                      "\">\n  <properties>\n";
    for (const auto& [name, value] : FactLines(facts))
        xml += "    <property name=\"" + name + "\" value=\"" + Attribute(value) + "\"/>\n";
    xml += "  </properties>\n";
    for (const CheckResult& result : results) {
        xml += "  <testcase classname=\"" + suite + "\" name=\"" + Attribute(result.name) + "\">\n";
        const std::string saw = Attribute(result.saw);
        if (result.status == Status::Failed)
            xml += "    <failure message=\"" + saw + "\"/>\n";
        else if (result.status == Status::Skipped)
            xml += "    <skipped message=\"" + saw + "\"/>\n";
        else
            xml += "    <system-out>" + saw + "</system-out>\n";
        xml += "  </testcase>\n";
    }
    return xml + "</testsuite>\n";
}

}  // namespace instdll::selftest
