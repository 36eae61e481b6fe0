#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace instdll {

using FileBytes = std::vector<std::uint8_t>;

// Where a PE file's headers and section data end. What follows is an overlay: data the loader
// never maps, appended by self-extracting and installer files. nullopt when `file` is not a PE
// file or is cut short of its headers or sections.
std::optional<std::size_t> SectionDataEnd(const FileBytes& file);

// The bytes after the section data; empty when there are none or `file` is not a PE file.
FileBytes Overlay(const FileBytes& file);

// Where to cut `rewritten` and append `overlay` so that its section data are followed by
// exactly `overlay` again; nullopt when they already are, when `overlay` is empty or when
// `rewritten` is not a PE file.
std::optional<std::size_t> OverlayRestoreOffset(const FileBytes& rewritten,
                                                const FileBytes& overlay);

}  // namespace instdll
