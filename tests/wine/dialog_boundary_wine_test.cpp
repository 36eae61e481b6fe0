// The chooser's seam for out of memory: a handler of the open-file dialog that throws. The
// exception must not unwind through the platform's dialog code; the dialog ends as cancelled.
#include <new>

#include "chooser/open_file_dialog.h"
#include "gtest/gtest.h"
#include "module/export_boundary.h"

namespace instdll::testing {
namespace {

class DialogOutOfMemory final : public OpenFileDialog {
public:
    DialogOutOfMemory() : OpenFileDialog(nullptr, nullptr, 0, "All|*.*|", nullptr) {}

private:
    void OnInitDone() override { throw std::bad_alloc(); }
};

TEST(DialogBoundary, AHandlerOutOfMemoryEndsTheDialogAsCancelled) {
    DialogOutOfMemory dialog;
    constexpr int kEscaped = -1;
    EXPECT_EQ(AtExportBoundary(kEscaped, [&] { return static_cast<int>(dialog.DoModal()); }),
              IDCANCEL);
}

}  // namespace
}  // namespace instdll::testing
