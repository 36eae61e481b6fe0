#include "chooser/dialog_template.h"

#include <vector>

#include "gtest/gtest.h"

namespace instdll {
namespace {

// Writes a template the way the resource compiler lays it out.
class TemplateBytes {
public:
    TemplateBytes& Word(std::uint16_t value) {
        bytes.push_back(static_cast<unsigned char>(value & 0xFF));
        bytes.push_back(static_cast<unsigned char>(value >> 8));
        return *this;
    }
    TemplateBytes& DoubleWord(std::uint32_t value) {
        return Word(static_cast<std::uint16_t>(value & 0xFFFF))
            .Word(static_cast<std::uint16_t>(value >> 16));
    }
    TemplateBytes& Text(const std::u16string& text) {
        for (char16_t unit : text) Word(static_cast<std::uint16_t>(unit));
        return Word(0);
    }
    TemplateBytes& Ordinal(std::uint16_t value) { return Word(0xFFFF).Word(value); }
    TemplateBytes& Align() {
        while (bytes.size() % 4 != 0) bytes.push_back(0xCC);
        return *this;
    }
    TemplateBytes& Item(std::uint32_t style, std::uint16_t id, std::uint16_t classAtom,
                        const std::u16string& text) {
        Align().DoubleWord(style).DoubleWord(0x200).Word(1).Word(2).Word(3).Word(4).Word(id);
        return Ordinal(classAtom).Text(text).Word(0);
    }

    std::vector<unsigned char> bytes;
};

TemplateBytes TwoItemDialog() {
    TemplateBytes t;
    t.DoubleWord(0x44000C44).DoubleWord(0).Word(2).Word(0).Word(0).Word(339).Word(62);
    t.Word(0).Word(0).Text(u"").Word(8).Text(u"MS Sans Serif");
    t.Item(0x50010001, 4206, 0x80, u"Выбрать");
    t.Item(0x50830880, 4203, 0x81, u"");
    return t;
}

TEST(DialogTemplate, ReadsHeaderFontAndAlignedItems) {
    const TemplateBytes t = TwoItemDialog();
    const auto dialog = ParseDialogTemplate(t.bytes.data(), t.bytes.size());
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->style, 0x44000C44u);
    EXPECT_EQ(dialog->width, 339);
    EXPECT_EQ(dialog->height, 62);
    EXPECT_EQ(dialog->menu, NameOrOrdinal{});
    EXPECT_EQ(dialog->title, u"");
    EXPECT_EQ(dialog->pointSize, 8);
    EXPECT_EQ(dialog->fontName, u"MS Sans Serif");
    ASSERT_EQ(dialog->items.size(), 2u);
    const DialogItem* select = dialog->Item(4206);
    ASSERT_NE(select, nullptr);
    EXPECT_EQ(select->style, 0x50010001u);
    EXPECT_EQ(select->exStyle, 0x200u);
    EXPECT_EQ(select->x, 1);
    EXPECT_EQ(select->height, 4);
    EXPECT_EQ(select->windowClass.ordinal, 0x80);
    EXPECT_EQ(select->text.name, u"Выбрать");
    EXPECT_EQ(dialog->Item(4203)->windowClass.ordinal, 0x81);
    EXPECT_EQ(dialog->Item(4203)->text, NameOrOrdinal{});
    EXPECT_EQ(dialog->Item(1), nullptr);
}

TEST(DialogTemplate, NamedClassAndCreationDataAreSkippedCorrectly) {
    TemplateBytes t;
    t.DoubleWord(0x80000000).DoubleWord(0).Word(2).Word(0).Word(0).Word(10).Word(10);
    t.Word(0).Text(u"MyClass").Text(u"Caption");
    t.Align().DoubleWord(0).DoubleWord(0).Word(0).Word(0).Word(0).Word(0).Word(7);
    t.Text(u"SysListView32").Ordinal(12).Word(4).Word(0xAAAA).Word(0xBBBB);
    t.Item(0, 8, 0x82, u"after");
    const auto dialog = ParseDialogTemplate(t.bytes.data(), t.bytes.size());
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowClass.name, u"MyClass");
    EXPECT_EQ(dialog->title, u"Caption");
    EXPECT_EQ(dialog->fontName, u"") << "no DS_SETFONT, no font";
    EXPECT_EQ(dialog->Item(7)->windowClass.name, u"SysListView32");
    EXPECT_EQ(dialog->Item(7)->text.ordinal, 12);
    ASSERT_NE(dialog->Item(8), nullptr);
    EXPECT_EQ(dialog->Item(8)->text.name, u"after");
}

TEST(DialogTemplate, RejectsEveryTruncationAndTheExtendedFormat) {
    const TemplateBytes t = TwoItemDialog();
    for (std::size_t size = 0; size < t.bytes.size(); ++size)
        EXPECT_FALSE(ParseDialogTemplate(t.bytes.data(), size)) << "cut at " << size;
    EXPECT_FALSE(ParseDialogTemplate(nullptr, 10));

    TemplateBytes extended;
    extended.Word(1).Word(0xFFFF).DoubleWord(0).DoubleWord(0).DoubleWord(0x44000C44);
    extended.Word(0).Word(0).Word(0).Word(10).Word(10).Word(0).Word(0).Word(0);
    EXPECT_FALSE(ParseDialogTemplate(extended.bytes.data(), extended.bytes.size()));
}

}  // namespace
}  // namespace instdll
