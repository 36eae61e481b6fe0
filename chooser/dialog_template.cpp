#include "chooser/dialog_template.h"

namespace instdll {
namespace {

constexpr std::uint32_t kSetFontStyle = 0x40;  // DS_SETFONT
constexpr std::uint16_t kOrdinalMarker = 0xFFFF;

// Little-endian reads that fail, rather than run off, at the end of the data.
class TemplateReader {
public:
    TemplateReader(const void* data, std::size_t size)
        : data_(static_cast<const unsigned char*>(data)), size_(size) {}

    bool failed() const { return failed_; }
    std::size_t offset() const { return offset_; }

    std::uint16_t Word() {
        if (failed_ || size_ - offset_ < 2) return Fail();
        const auto value = static_cast<std::uint16_t>(data_[offset_] | data_[offset_ + 1] << 8);
        offset_ += 2;
        return value;
    }
    std::uint32_t DoubleWord() {
        const std::uint32_t low = Word();
        return low | static_cast<std::uint32_t>(Word()) << 16;
    }
    std::int16_t Coordinate() { return static_cast<std::int16_t>(Word()); }

    std::u16string String() {
        std::u16string text;
        for (std::uint16_t unit = Word(); unit != 0 && !failed_; unit = Word())
            text.push_back(static_cast<char16_t>(unit));
        return text;
    }
    NameOrOrdinal Field() {
        NameOrOrdinal field;
        const std::uint16_t first = Word();
        if (first == kOrdinalMarker) {
            field.ordinal = Word();
        } else if (first != 0) {
            field.name.push_back(static_cast<char16_t>(first));
            field.name += String();
        }
        return field;
    }
    void Skip(std::size_t bytes) {
        if (failed_ || size_ - offset_ < bytes)
            Fail();
        else
            offset_ += bytes;
    }
    // Items start on a 4-byte boundary counted from the template's start.
    void AlignToDoubleWord() { Skip((4 - offset_ % 4) % 4); }

private:
    std::uint16_t Fail() {
        failed_ = true;
        return 0;
    }

    const unsigned char* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
    bool failed_ = false;
};

// Position and size, in dialog units, as the dialog and each of its items store them.
template <typename Placed>
void ReadPlacement(TemplateReader& reader, Placed& placed) {
    placed.x = reader.Coordinate();
    placed.y = reader.Coordinate();
    placed.width = reader.Coordinate();
    placed.height = reader.Coordinate();
}

DialogItem ReadItem(TemplateReader& reader) {
    DialogItem item;
    reader.AlignToDoubleWord();
    item.style = reader.DoubleWord();
    item.exStyle = reader.DoubleWord();
    ReadPlacement(reader, item);
    item.id = reader.Word();
    item.windowClass = reader.Field();
    item.text = reader.Field();
    reader.Skip(reader.Word());  // creation data
    return item;
}

}  // namespace

const DialogItem* DialogTemplate::Item(std::uint16_t id) const {
    for (const auto& item : items)
        if (item.id == id) return &item;
    return nullptr;
}

std::optional<DialogTemplate> ParseDialogTemplate(const void* data, std::size_t size) {
    if (data == nullptr) return std::nullopt;
    TemplateReader reader(data, size);
    DialogTemplate dialog;
    dialog.style = reader.DoubleWord();
    // An extended template starts with version 1 and signature 0xFFFF where the style stands.
    if (dialog.style == 0xFFFF0001u) return std::nullopt;
    dialog.exStyle = reader.DoubleWord();
    const std::uint16_t itemCount = reader.Word();
    ReadPlacement(reader, dialog);
    dialog.menu = reader.Field();
    dialog.windowClass = reader.Field();
    dialog.title = reader.String();
    if (dialog.style & kSetFontStyle) {
        dialog.pointSize = reader.Word();
        dialog.fontName = reader.String();
    }
    for (std::uint16_t i = 0; i < itemCount && !reader.failed(); ++i)
        dialog.items.push_back(ReadItem(reader));
    if (reader.failed()) return std::nullopt;
    return dialog;
}

}  // namespace instdll
