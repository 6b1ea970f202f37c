// Registers the encoder control under its class id when the program starts. The program links
// this library whole, so this file's static initialiser runs without anyone naming it.
#include "common/EncoderContract.h"
#include "control/EncoderAutomation.h"
#include "control/EncoderControlRegistrar.h"
#include "control/EncoderControlWindow.h"
#include "platform/automation/ControlRegistry.h"

namespace quenlar::encoder {
namespace {

automation::ControlInstance CreateEncoderControl(const automation::ControlCreateParams& params)
{
    auto settings = std::make_shared<ControlSettings>();
    auto* window = new EncoderControlWindow(params.parent, params.id, params.rect, params.sink, settings);
    if (!params.visible)
        window->Hide();
    return {window, new EncoderAutomation(settings, window)};
}

const bool g_registered = [] {
    automation::ControlRegistry::Instance().Register(kProducerControlClsid, &CreateEncoderControl);
    return true;
}();

}  // namespace

bool EncoderControlRegistered()
{
    return g_registered;
}

}  // namespace quenlar::encoder
