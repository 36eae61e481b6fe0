#include "chooser/chooser_resources.h"

#include "chooser/dialog_template.h"

namespace instdll {

WideText LoadWideString(HINSTANCE module, int id) {
    // With no buffer length, LoadStringW hands out the resource's own text, not terminated.
    const wchar_t* text = nullptr;
    const int length =
        LoadStringW(module, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return {};
    return WideText(text, static_cast<std::size_t>(length));
}

std::string LoadAnsiString(HINSTANCE module, int id) {
    const WideText wide = LoadWideString(module, id);
    if (wide.empty()) return {};
    const int wideLength = static_cast<int>(wide.size());
    const int size =
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), wideLength, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), wideLength, text.data(), size, nullptr, nullptr);
    return text;
}

std::vector<std::pair<int, WideText>> TemplateControlTexts(HINSTANCE module, int templateId) {
    std::vector<std::pair<int, WideText>> texts;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(templateId), RT_DIALOG);
    if (found == nullptr) return texts;
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded == nullptr ? nullptr : LockResource(loaded);
    const auto dialog = ParseDialogTemplate(data, SizeofResource(module, found));
    if (!dialog) return texts;
    for (const auto& item : dialog->items) {
        if (item.text.name.empty()) continue;
        texts.emplace_back(item.id, WideText(item.text.name.data(), item.text.name.size()));
    }
    return texts;
}

}  // namespace instdll
