// The per-file set-up of the encoder control: its whole configuration in one fixed order, the
// audio codec chosen by name, then the start of the encode.
#pragma once

#include <string>

#include "platform/WinDefs.h"

class CProducerControl2;

// Throws automation::DispatchException when the control fails a call; every reference obtained
// so far is released as the exception passes.
void ConfigureEncoder(CProducerControl2& control, const std::string& source, const std::string& target,
                      const std::string& author, const std::string& audioSetting, int bitrateKbps,
                      BOOL deInterlace, BOOL flag3801);
