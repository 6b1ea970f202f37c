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

// The clip title for a target path: its last component without the last extension (a drive
// prefix skipped, '\' and '/' both separators), cut to 255 bytes on a UTF-8 character boundary.
std::string TitleFromTarget(const std::string& target);
