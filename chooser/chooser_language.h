#pragma once

#include <optional>

#include "chooser/chooser_ids.h"

namespace instdll {

enum class ChooserLanguage : int { Russian = 0, English = 1, Ukrainian = 2 };

// The resources that give the chooser its language.
struct ChooserResources {
    int childTemplate;
    int title;
    int folderListLabel;
};

// Nothing for a code outside the three languages.
inline std::optional<ChooserResources> ResourcesFor(ChooserLanguage language) {
    switch (language) {
        case ChooserLanguage::Russian:
            return ChooserResources{IDD_CHOOSER_RUSSIAN, IDS_TITLE_RUSSIAN,
                                    IDS_FOLDER_LABEL_RUSSIAN};
        case ChooserLanguage::English:
            return ChooserResources{IDD_CHOOSER_ENGLISH, IDS_TITLE_ENGLISH,
                                    IDS_FOLDER_LABEL_ENGLISH};
        case ChooserLanguage::Ukrainian:
            return ChooserResources{IDD_CHOOSER_UKRAINIAN, IDS_TITLE_UKRAINIAN,
                                    IDS_FOLDER_LABEL_UKRAINIAN};
    }
    return std::nullopt;
}

}  // namespace instdll
