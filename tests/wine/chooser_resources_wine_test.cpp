// The chooser's templates and strings, read back out of the built DLL as the platform finds
// them: by id under the Russian language tag.
#include <windows.h>

#include <string>

#include "chooser/dialog_template.h"
#include "gtest/gtest.h"
#include "tests/wine/loaded_library.h"

namespace instdll::testing {
namespace {

const WORD kRussian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);
constexpr std::uint16_t kButton = 0x80, kEdit = 0x81, kStatic = 0x82;
constexpr std::uint16_t kPlaceholder = 1119;

struct ResourceBytes {
    const void* data = nullptr;
    DWORD size = 0;
};

ResourceBytes FindRussian(HMODULE module, LPCSTR type, int id) {
    HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), kRussian);
    if (found == nullptr) return {};
    return {LockResource(LoadResource(module, found)), SizeofResource(module, found)};
}

struct ExpectedItem {
    std::uint16_t id;
    std::uint16_t windowClass;
    std::uint32_t style;
    std::int16_t x, y, width, height;
    std::u16string text;
};

struct ExpectedTemplate {
    int id;
    ExpectedItem items[5];
};

const ExpectedTemplate kTemplates[] = {
    {772,
     {{4206, kButton, 0x50010001, 283, 20, 50, 14, u"Выбрать"},
      {IDCANCEL, kButton, 0x50010000, 283, 38, 50, 14, u"Отмена"},
      {4203, kEdit, 0x50830880, 76, 45, 200, 12, u""},
      {kPlaceholder, kStatic, 0x50020000, 0, 0, 281, 42, u""},
      {4204, kStatic, 0x50020000, 2, 45, 72, 8, u"Выбранный каталог:"}}},
    {773,
     {{4206, kButton, 0x50010001, 283, 20, 50, 14, u"Select"},
      {IDCANCEL, kButton, 0x50010000, 283, 38, 50, 14, u"Cancel"},
      {4203, kEdit, 0x50830880, 76, 45, 200, 12, u""},
      {kPlaceholder, kStatic, 0x50020000, 0, 0, 281, 42, u""},
      {4204, kStatic, 0x50020000, 5, 45, 68, 8, u"Selected directory:"}}},
    {774,
     {{4206, kButton, 0x50010001, 283, 20, 50, 14, u"Вибрати"},
      {IDCANCEL, kButton, 0x50010000, 283, 38, 50, 14, u"Відміна"},
      {4203, kEdit, 0x50830880, 84, 45, 192, 12, u""},
      {kPlaceholder, kStatic, 0x50020000, 0, 0, 281, 42, u""},
      {4204, kStatic, 0x50020000, 5, 45, 74, 8, u"Вибрана директорія:"}}},
};

TEST(ChooserResources, TemplatesMatchTheTablesControlByControl) {
    LoadedInstDll dll;
    ASSERT_TRUE(dll.loaded());
    for (const auto& expected : kTemplates) {
        SCOPED_TRACE("template " + std::to_string(expected.id));
        const ResourceBytes bytes = FindRussian(dll.module(), RT_DIALOG, expected.id);
        ASSERT_NE(bytes.data, nullptr) << "missing under language 1049";
        const auto dialog = ParseDialogTemplate(bytes.data, bytes.size);
        ASSERT_TRUE(dialog) << "not a classic template";
        EXPECT_EQ(dialog->style, 0x44000C44u);
        EXPECT_EQ(dialog->exStyle, 0u);
        EXPECT_EQ(dialog->x, 0);
        EXPECT_EQ(dialog->y, 0);
        EXPECT_EQ(dialog->width, 339);
        EXPECT_EQ(dialog->height, 62);
        EXPECT_EQ(dialog->menu, NameOrOrdinal{});
        EXPECT_EQ(dialog->windowClass, NameOrOrdinal{});
        EXPECT_EQ(dialog->title, u"");
        EXPECT_EQ(dialog->pointSize, 8);
        EXPECT_EQ(dialog->fontName, u"MS Sans Serif");
        ASSERT_EQ(dialog->items.size(), 5u);
        for (std::size_t i = 0; i < 5; ++i) {
            const DialogItem& item = dialog->items[i];
            const ExpectedItem& want = expected.items[i];
            SCOPED_TRACE("control " + std::to_string(i + 1));
            EXPECT_EQ(item.id, want.id) << "order";
            EXPECT_EQ(item.windowClass.ordinal, want.windowClass);
            EXPECT_EQ(item.style, want.style);
            EXPECT_EQ(item.exStyle, 0u);
            EXPECT_EQ(item.x, want.x);
            EXPECT_EQ(item.y, want.y);
            EXPECT_EQ(item.width, want.width);
            EXPECT_EQ(item.height, want.height);
            EXPECT_EQ(item.text.name, want.text);
            EXPECT_EQ(item.text.ordinal, 0);
        }
    }
}

// A string-table block holds 16 strings, each a length and that many UTF-16 units.
std::u16string StringFromBlock(const ResourceBytes& block, int id) {
    const auto* units = static_cast<const char16_t*>(block.data);
    const std::size_t count = block.size / sizeof(char16_t);
    std::size_t at = 0;
    for (int index = 0; index < id % 16; ++index) {
        if (at >= count) return u"<past the block>";
        at += 1 + units[at];
    }
    if (at >= count || at + 1 + units[at] > count) return u"<past the block>";
    return {units + at + 1, units[at]};
}

TEST(ChooserResources, StringsMatchTheTable) {
    LoadedInstDll dll;
    ASSERT_TRUE(dll.loaded());
    const struct {
        int id;
        std::u16string text;
    } strings[] = {
        {786, u"&Папка:"},          {787, u"Выбор каталога"}, {788, u"&Directory:"},
        {789, u"Select directory"}, {790, u"&Директорія:"},   {791, u"Вибір директорії"},
    };
    for (const auto& s : strings) {
        const ResourceBytes block = FindRussian(dll.module(), RT_STRING, s.id / 16 + 1);
        ASSERT_NE(block.data, nullptr) << "no string block under language 1049 for " << s.id;
        EXPECT_TRUE(StringFromBlock(block, s.id) == s.text) << "string " << s.id;
    }
}

}  // namespace
}  // namespace instdll::testing
