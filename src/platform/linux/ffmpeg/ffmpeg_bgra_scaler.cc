// The BGRA scaler of the movie writer module, on libswscale.

extern "C" {
#include <libswscale/swscale.h>
}

#include "platform/linux/bgra_scaler.h"

namespace platform::linux_desktop {
namespace {

class SwsBgraScaler final : public BgraScaler {
public:
    ~SwsBgraScaler() override {
        if (context_) sws_freeContext(context_);
    }

    bool scale(const BgraPicture& from, const BgraPicture& to) override {
        context_ = sws_getCachedContext(context_, from.width, from.height, AV_PIX_FMT_BGRA, to.width, to.height,
                                        AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!context_) return false;
        const uint8_t* source[] = {from.bytes};
        const int sourceStride[] = {from.bytesPerRow};
        uint8_t* destination[] = {to.bytes};
        const int destinationStride[] = {to.bytesPerRow};
        sws_scale(context_, source, sourceStride, 0, from.height, destination, destinationStride);
        return true;
    }

private:
    SwsContext* context_ = nullptr;
};

}  // namespace
}  // namespace platform::linux_desktop

extern "C" __attribute__((visibility("default"))) platform::linux_desktop::BgraScaler* qc_make_bgra_scaler() {
    return new platform::linux_desktop::SwsBgraScaler();
}
