#include "core/settings/grid_rows.h"

#include "platform/text.h"
#include "core/settings/option_tables.h"
#include "core/settings/settings_check.h"
#include "core/settings/time_text.h"

namespace orv {
namespace {

GridRow Combo(const char* caption, const char* options, const char* value, int listOnly) {
  return GridRow{caption, value, kEditorCombo, options, listOnly};
}

void Set(GridRow& row, const std::string& options, const std::string& value) {
  row.options = options;
  row.value = value;
}

bool IsMp3Profile(int p, const std::string& customFormat) {
  return p == 3 || (p == kCustomizedProfile && customFormat == "mp3");
}

// A customized profile's format the grid can show: mp3 or one that carries
// video.
bool UsableCustomFormat(const std::string& format) {
  return format == "mp3" || IsVideoFormat(format);
}

// The head every fill and profile shares: the five rows down to "Split".
// Matroska and WebM, which only a customized profile names, show as
// themselves.
void SetFormatRow(GridRows& rows, bool mp3, const std::string& format = "mp4") {
  if (!mp3 && format != "mp4" && IsVideoFormat(format)) {
    Set(rows[kRowFormat], format + "|", format);
    return;
  }
  Set(rows[kRowFormat], mp3 ? options::kFormatMp3 : options::kFormatMp4, mp3 ? "mp3" : "mp4");
}

// Opus, and MP3 in Matroska, are codecs of their own; in mp4 any other
// label is the AAC track the built-in lines write.
void SetAudioCodecRow(GridRows& rows, bool mp3, const std::string& format = "mp4",
                      const std::string& codec = "aac") {
  const std::string lower = AsciiLower(codec);
  if (!mp3 && (lower == "opus" || (lower == "mp3" && format == "mkv"))) {
    Set(rows[kRowAudioCodec], lower + "|", lower);
    return;
  }
  Set(rows[kRowAudioCodec], mp3 ? options::kAudioCodecMp3 : options::kAudioCodecAac,
      mp3 ? "mp3" : "AAC");
}

void SetBitrateOptions(GridRows& rows, const std::string& videoCodec) {
  rows[kRowVideoBitrate].options = VideoBitrateOptions(videoCodec);
}

void CopyAudioValues(GridRows& rows, const GridRows& from) {
  for (int r : {kRowAudioSample, kRowAudioBitrate, kRowAudioChannel, kRowAudioVolume,
                kRowAudioDisabled})
    rows[r].value = from[r].value;
}

}  // namespace

GridRows BuildGridRows() {
  GridRows rows;
  rows[kRowClip] = Combo("Clip video", options::kYesNo, "no", 1);
  rows[kRowStart] = GridRow{"Start time", kZeroTime, kEditorText, "", 0};
  rows[kRowEnd] = GridRow{"End time", kZeroTime, kEditorText, "", 0};
  rows[kRowFormat] = Combo("Output format", options::kFormatMp4, "mp4", 1);
  rows[kRowSplit] = Combo("Split", options::kSplit, "Not split", 0);
  rows[kRowVideoCodec] = Combo("Video codec", options::kCodecMpeg4, "MPEG4", 1);
  rows[kRowVideoSize] = Combo("Video size", options::kVideoSize, "320x240", 0);
  rows[kRowFrameRate] = Combo("Video frame rate", options::kFrameRate, "default", 1);
  rows[kRowVideoBitrate] = Combo("Video bitrate", options::kBitrateMpeg4, "1200", 0);
  rows[kRowVideoDisabled] = Combo("Video disabled", options::kYesNo, "no", 1);
  rows[kRowAudioCodec] = Combo("Audio codec", options::kAudioCodecAac, "AAC", 1);
  rows[kRowAudioSample] = Combo("Audio sample", options::kSampleRate, "44100", 1);
  rows[kRowAudioBitrate] = Combo("Audio bitrate", options::kAudioBitrate, "128", 1);
  rows[kRowAudioChannel] = Combo("Audio channel", options::kChannel, "default", 1);
  rows[kRowAudioVolume] = Combo("Audio volume", options::kVolume, "default", 0);
  rows[kRowAudioDisabled] = Combo("Audio disabled", options::kYesNo, "no", 1);
  rows[kRowQuantizerMin] = Combo("quantizer min", options::kQuantizer, "20", 1);
  rows[kRowQuantizerMax] = Combo("quantizer max", options::kQuantizer, "31", 1);
  return rows;
}

ShownRows InitialShownRows() {
  ShownRows shown;
  for (int r = kRowClip; r <= kRowAudioDisabled; ++r) shown.push_back(r);
  return shown;
}

ShownRows ShownRowsFor(bool mp3, bool quantizers) {
  ShownRows shown{kRowClip, kRowStart, kRowEnd, kRowFormat, kRowSplit};
  if (!mp3) {
    shown.push_back(kRowVideoCodec);
    if (quantizers) {
      shown.push_back(kRowQuantizerMin);
      shown.push_back(kRowQuantizerMax);
    }
    for (int r : {kRowVideoSize, kRowFrameRate, kRowVideoBitrate, kRowVideoDisabled})
      shown.push_back(r);
  }
  for (int r = kRowAudioCodec; r <= kRowAudioDisabled; ++r) shown.push_back(r);
  return shown;
}

ConversionSettings TextsOfRows(const GridRows& rows) {
  ConversionSettings s;
  s.clipEnabled = AsciiLower(rows[kRowClip].value) == "no" ? 0 : 1;
  s.clipStartText = rows[kRowStart].value;
  s.clipEndText = rows[kRowEnd].value;
  CopyRowsToItem(rows, s);
  return s;
}

std::optional<ShownRows> FillRowsFromItem(GridRows& rows, const ConversionSettings& item,
                                          int profile, const std::string& customFormat) {
  if (profile < 0 || profile > kCustomizedProfile) return std::nullopt;
  if (profile == kCustomizedProfile && !UsableCustomFormat(customFormat)) return std::nullopt;
  const bool mp3 = IsMp3Profile(profile, customFormat);
  const bool custom = profile == kCustomizedProfile;
  rows[kRowClip].value = item.clipEnabled ? "yes" : "no";
  rows[kRowStart].value = item.clipStartText;
  rows[kRowEnd].value = item.clipEndText;
  SetFormatRow(rows, mp3, custom ? customFormat : "mp4");
  rows[kRowSplit].value = item.splitMode;
  bool quantizers = false;
  if (!mp3) {
    if (profile == kCustomizedProfile) {
      Set(rows[kRowVideoCodec], item.videoCodec + "|", item.videoCodec);
      quantizers = item.videoCodec == "h264";
    } else {
      quantizers = profile == 2;
      Set(rows[kRowVideoCodec], quantizers ? options::kCodecH264 : options::kCodecMpeg4,
          quantizers ? "h264" : "MPEG4");
    }
    if (quantizers) {
      rows[kRowQuantizerMin].value = item.quantizerMin;
      rows[kRowQuantizerMax].value = item.quantizerMax;
    }
    rows[kRowVideoSize].value = item.videoSize;
    rows[kRowFrameRate].value = item.videoFrameRate;
    SetBitrateOptions(rows, custom ? item.videoCodec : quantizers ? "h264" : "MPEG4");
    rows[kRowVideoBitrate].value = item.videoBitrate;
    rows[kRowVideoDisabled].value = item.videoDisabled;
  }
  if (custom)
    SetAudioCodecRow(rows, mp3, customFormat, item.audioCodec);
  else
    SetAudioCodecRow(rows, mp3);
  rows[kRowAudioSample].value = item.audioSampleRate;
  rows[kRowAudioBitrate].value = item.audioBitrate;
  rows[kRowAudioChannel].value = item.audioChannel;
  rows[kRowAudioVolume].value = item.audioVolume;
  rows[kRowAudioDisabled].value = item.audioDisabled;
  return ShownRowsFor(mp3, quantizers);
}

std::optional<ShownRows> ApplyProfileToRows(GridRows& rows, int p, const ConversionSettings* item,
                                            double duration, const GridRows& custom) {
  if (p < 0 || p > kCustomizedProfile) return std::nullopt;
  const std::string& customFormat = custom[kRowFormat].value;
  if (p == kCustomizedProfile && !UsableCustomFormat(customFormat)) return std::nullopt;
  const bool mp3 = IsMp3Profile(p, customFormat);
  rows[kRowClip].value = "no";
  rows[kRowStart].value = kZeroTime;
  rows[kRowEnd].value = item ? FormatTime(duration) : kZeroTime;
  SetFormatRow(rows, mp3, p == kCustomizedProfile ? customFormat : "mp4");
  rows[kRowSplit].value = "Not split";
  bool quantizers = false;
  if (!mp3 && p != kCustomizedProfile) {
    quantizers = p == 2;
    Set(rows[kRowVideoCodec], quantizers ? options::kCodecH264 : options::kCodecMpeg4,
        quantizers ? "h264" : "MPEG4");
    if (quantizers && item) {
      rows[kRowQuantizerMin].value = item->quantizerMin;
      rows[kRowQuantizerMax].value = item->quantizerMax;
    }
    rows[kRowVideoSize].value = p == 1 ? "640x480" : "320x240";
    rows[kRowFrameRate].value = "default";
    SetBitrateOptions(rows, quantizers ? "h264" : "MPEG4");
    rows[kRowVideoBitrate].value = quantizers ? "768" : "1200";
    rows[kRowVideoDisabled].value = "no";
  } else if (!mp3) {
    Set(rows[kRowVideoCodec], custom[kRowVideoCodec].options, custom[kRowVideoCodec].value);
    quantizers = custom[kRowVideoCodec].value == "h264";
    SetBitrateOptions(rows, custom[kRowVideoCodec].value);
    for (int r : {kRowQuantizerMin, kRowQuantizerMax, kRowVideoSize, kRowFrameRate,
                  kRowVideoBitrate, kRowVideoDisabled})
      rows[r].value = custom[r].value;
  }
  if (p == kCustomizedProfile)
    SetAudioCodecRow(rows, mp3, customFormat, custom[kRowAudioCodec].value);
  else
    SetAudioCodecRow(rows, mp3);
  if (p == kCustomizedProfile) {
    CopyAudioValues(rows, custom);
  } else {
    rows[kRowAudioSample].value = "44100";
    rows[kRowAudioBitrate].value = "128";
    rows[kRowAudioChannel].value = "default";
    rows[kRowAudioVolume].value = "default";
    rows[kRowAudioDisabled].value = "no";
  }
  return ShownRowsFor(mp3, quantizers);
}

void ApplyProfileToItem(const GridRows& rows, int p, ConversionSettings& item, double duration) {
  item.clipEnabled = 0;
  item.clipStartSeconds = 0;
  item.clipEndSeconds = duration;
  item.clipStartText = kZeroTime;
  item.clipEndText = FormatTime(duration);
  const bool mp3 = rows[kRowFormat].value == "mp3";
  const bool otherVideoFormat = p == kCustomizedProfile && IsVideoFormat(rows[kRowFormat].value);
  item.outputFormat = mp3 ? "mp3" : otherVideoFormat ? rows[kRowFormat].value : "mp4";
  item.splitMode = rows[kRowSplit].value;
  if (!mp3) {
    item.videoCodec = rows[kRowVideoCodec].value;
    item.videoSize = rows[kRowVideoSize].value;
    item.videoFrameRate = rows[kRowFrameRate].value;
    item.videoBitrate = rows[kRowVideoBitrate].value;
    item.videoDisabled = rows[kRowVideoDisabled].value;
    if (p == kCustomizedProfile) {
      item.quantizerMin = rows[kRowQuantizerMin].value;
      item.quantizerMax = rows[kRowQuantizerMax].value;
    }
  }
  item.audioCodec = rows[kRowAudioCodec].value;
  item.audioSampleRate = rows[kRowAudioSample].value;
  item.audioBitrate = rows[kRowAudioBitrate].value;
  item.audioChannel = rows[kRowAudioChannel].value;
  item.audioVolume = rows[kRowAudioVolume].value;
  item.audioDisabled = rows[kRowAudioDisabled].value;
}

void ApplyLoadedProfileToItem(const GridRows& rows, ConversionSettings& item) {
  const std::string splitMode = item.splitMode;
  const int32_t clipEnabled = item.clipEnabled;
  CopyRowsToItem(rows, item);
  item.splitMode = splitMode;
  item.clipEnabled = clipEnabled;
}

std::optional<ShownRows> ShownRowsAfterLoad(GridRows& rows, const GridRows& custom) {
  const std::string& format = rows[kRowFormat].value;
  if (!UsableCustomFormat(format)) return std::nullopt;
  if (format == "mp3") return ShownRowsFor(true, false);
  const bool h264 = custom[kRowVideoCodec].value == "h264";
  SetBitrateOptions(rows, custom[kRowVideoCodec].value);
  return ShownRowsFor(false, h264);
}

std::string TypedValueCombinationProblem(const std::vector<const GridRow*>& shown,
                                         const std::string& caption, const std::string& value) {
  GridRows rows = BuildGridRows();
  for (GridRow& row : rows) {
    for (const GridRow* s : shown)
      if (s && s->caption == row.caption) row.value = s->value;
    if (row.caption == caption) row.value = value;
  }
  ConversionSettings settings;
  CopyRowsToItem(rows, settings);
  const auto problem = CombinationProblem(settings);
  return problem && problem->caption == caption ? problem->reason : std::string();
}

void CopyRowsToItem(const GridRows& rows, ConversionSettings& item) {
  item.clipEnabled = AsciiLower(rows[kRowClip].value) == "no" ? 0 : 1;
  item.outputFormat = rows[kRowFormat].value;
  item.splitMode = rows[kRowSplit].value;
  item.videoCodec = rows[kRowVideoCodec].value;
  item.videoSize = rows[kRowVideoSize].value;
  item.videoFrameRate = rows[kRowFrameRate].value;
  item.videoBitrate = rows[kRowVideoBitrate].value;
  item.videoDisabled = rows[kRowVideoDisabled].value;
  item.audioCodec = rows[kRowAudioCodec].value;
  item.audioSampleRate = rows[kRowAudioSample].value;
  item.audioBitrate = rows[kRowAudioBitrate].value;
  item.audioChannel = rows[kRowAudioChannel].value;
  item.audioVolume = rows[kRowAudioVolume].value;
  item.audioDisabled = rows[kRowAudioDisabled].value;
  item.quantizerMin = rows[kRowQuantizerMin].value;
  item.quantizerMax = rows[kRowQuantizerMax].value;
}

}  // namespace orv
