#pragma once

namespace instdll {

// Runs one export's work and turns whatever it throws (in practice std::bad_alloc) into the
// export's failure result: no exception may unwind into the setup program's frames. The owners
// it passes through release what they hold, so the module stays usable.
template <typename Work>
int AtExportBoundary(int failure, Work&& work) noexcept {
    try {
        return work();
    } catch (...) {
        return failure;
    }
}

}  // namespace instdll
