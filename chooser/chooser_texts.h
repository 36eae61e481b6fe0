#pragma once

namespace instdll {

// A pattern no ordinary file matches, so the open-file dialog lists folders only.
inline constexpr char kChooserMask[] = "*.zk_private_choose_directory_mask";

}  // namespace instdll
