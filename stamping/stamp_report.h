#pragma once

namespace instdll {

// The steps of a stamp, in order: the target opened and its layout read, its sections copied
// beside it, the parameters put into the copy, the copy's resources read back, the target's
// overlay appended to the copy without a certificate table and the whole copy checked, the
// target's metadata given to the copy, the copy moved into the target's place.
enum class StampStep { Open, Copy, Stamp, Verify, Overlay, Metadata, Replace };

// Told how each step of a stamp ended; a failed step is the last. The stamp does exactly what
// it does without one.
class StampReport {
public:
    // `error`: the Windows error code the failed step left, 0 when it failed a check of its own.
    virtual void StepEnded(StampStep step, bool done, unsigned long error) = 0;

protected:
    StampReport() = default;
    StampReport(const StampReport&) = default;
    StampReport& operator=(const StampReport&) = default;
    ~StampReport() = default;
};

}  // namespace instdll
