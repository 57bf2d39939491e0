#pragma once
// Scaling of BGRA pictures, done by the movie writer module (which carries the scaler library), so that
// the executable maps no FFmpeg library until a recording needs one.

#include <cstdint>
#include <memory>

#include "platform/bgra_picture.h"

namespace platform::linux_desktop {


/// Scales BGRA pictures bilinearly; keeps its set-up between calls of the same sizes.
class BgraScaler {
public:
    virtual ~BgraScaler() = default;

    /// Draws `from` scaled to the size of `to`; false when the scaler cannot.
    virtual bool scale(const BgraPicture& from, const BgraPicture& to) = 0;
};

/// A scaler from the movie writer module, opened on first use; throws CaptureError when the module is missing.
std::unique_ptr<BgraScaler> makeBgraScaler();

}  // namespace platform::linux_desktop
