#include "form_tap.h"

namespace orn {

TFormTap::TFormTap(TMForm& form) : form_(form) {
    answer_ = form_.MB->OnResponseReady;
    error_ = form_.MB->OnError;
    // The image as it was before the window's handler stores the answer (a
    // write's echo among it), then the handler, then the listeners.
    form_.MB->OnResponseReady = [this](TModbusM* sender) {
        const TTransaction before = Snapshot();
        if (answer_) answer_(sender);
        End(before, 0);
    };
    form_.MB->OnError = [this](TModbusM* sender, const std::string& message) {
        const uint8_t code = form_.MB->ErrorCode();
        const TTransaction before = Snapshot();
        if (error_) error_(sender, message);
        // A refusal of a second request leaves the open one running.
        if (code != mbMasterBusy) End(before, code);
    };
}

TFormTap::~TFormTap() {
    if (!form_.MB) return;
    form_.MB->OnResponseReady = answer_;
    form_.MB->OnError = error_;
}

TTransaction TFormTap::Snapshot() const {
    TTransaction t;
    const TModbusM& mb = *form_.MB;
    t.slave = mb.SlaveId;
    t.function = mb.FunctionCode;
    t.offset = mb.Offset;
    t.quantity = mb.Quantity;
    if (mb.RequestData.size() >= 2) t.value = uint16_t(mb.RequestData[0] << 8 | mb.RequestData[1]);
    t.devType = form_.DevType;
    t.finding = form_.Finding;
    t.port = mb.PortName();
    t.before = form_.RegImage;
    t.imageFromSlave = form_.ImageReadFrom(mb.SlaveId);
    return t;
}

void TFormTap::End(TTransaction t, int code) {
    t.code = code;
    emit Ended(t);
}

} // namespace orn
