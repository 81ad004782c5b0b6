// The per-item conversion settings, held as the texts the settings grid
// shows, plus the clip fields.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

struct ConversionSettings {
  std::string videoDisabled;
  std::string videoBitrate;
  std::string videoFrameRate;
  std::string videoSize;
  std::string videoCodec;
  std::string audioDisabled;
  std::string audioVolume;
  std::string audioChannel;
  std::string audioBitrate;
  std::string audioSampleRate;
  std::string audioCodec;
  std::string quantizerMin;
  std::string quantizerMax;
  int32_t clipEnabled = 0;
  double clipEndSeconds = 0.0;
  double clipStartSeconds = 0.0;
  std::string clipStartText;
  std::string clipEndText;
  std::string outputFormat;
  std::string splitMode;
};

}  // namespace orv
