// Option lists of the settings rows, which apply under which profile and
// format, and the settings a new item gets from a profile.
#pragma once

#include <string>
#include <vector>

#include "core/settings/conversion_settings.h"

namespace orv {

inline constexpr int kProfileCount = 4;        // built-in profiles 0..3
inline constexpr int kCustomizedProfile = 4;

namespace options {
inline constexpr const char* kYesNo = "no|yes|";
inline constexpr const char* kFormatMp4 = "mp4|";
inline constexpr const char* kFormatMp3 = "mp3|";
inline constexpr const char* kSplit = "Not split|00:10:00|00:20:00|650 MB|700 MB|800 MB|4.7 GB|";
inline constexpr const char* kCodecMpeg4 = "MPEG4|";
inline constexpr const char* kCodecH264 = "h264|";
inline constexpr const char* kVideoSize = "320x240|640x480|";
inline constexpr const char* kFrameRate = "default|13|14.985|15|18|20|23|23.976|24|25|29.97|30|";
inline constexpr const char* kBitrateMpeg4 = "512|1200|1500|2500|";
inline constexpr const char* kBitrateH264 = "100|200|400|500|600|768|";
// The codecs only a customized profile names offer constant qualities first.
inline constexpr const char* kBitrateHevc = "CRF 22|CRF 24|CRF 28|1500|3000|6000|";
inline constexpr const char* kBitrateAv1 = "CRF 28|CRF 32|CRF 36|1000|2000|4000|";
inline constexpr const char* kBitrateVp9 = "CRF 31|CRF 33|CRF 36|1000|2000|4000|";
inline constexpr const char* kAudioCodecAac = "AAC|";
inline constexpr const char* kAudioCodecMp3 = "mp3|";
inline constexpr const char* kSampleRate = "8000|11025|12000|16000|22050|24000|32000|44100|48000|";
inline constexpr const char* kAudioBitrate =
    "8|16|24|32|40|48|56|64|80|96|112|128|160|192|224|256|320|";
inline constexpr const char* kChannel =
    "default|left stereo|right stereo|left mono|right mono|mixed mono|";
inline constexpr const char* kVolume = "default|-20|-15|-10|-5|normalize|+5|+10|+15|+20|";
inline constexpr const char* kQuantizer =
    "1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|17|18|19|20|21|22|23|24|25|26|27|28|29|30|31|";
}  // namespace options

// The bitrate options of a video codec (as the row holds it: "h264",
// "MPEG4", "hevc", ...).
const char* VideoBitrateOptions(const std::string& videoCodec);

// Formats that carry video: mp4, mkv, webm (as stored, lower case).
bool IsVideoFormat(const std::string& format);

// The options of a list text, in order ("a|b|" gives a, b); text after the
// last "|" is no option.
std::vector<std::string> SplitOptionList(const std::string& list);

// Which lists and rows apply in one situation.
struct RowSet {
  std::string formatList;
  std::string videoCodecList;    // empty when the video rows are hidden
  std::string videoBitrateList;  // empty when the video rows are hidden
  std::string audioCodecList;
  bool videoRows = false;
  bool quantizerRows = false;
};

// profile 0..3, or kCustomizedProfile with the format and codec texts of the
// profile or item.
RowSet RowsFor(int profile, const std::string& format, const std::string& videoCodec);

// The extension Add File gives new items under a built-in profile.
std::string ProfileExtension(int profile);

// The settings texts a new item gets under built-in profile 0..3 (clip fields
// are left to the caller, who knows the duration).
void ApplyNewItemDefaults(int profile, ConversionSettings& s);

}  // namespace orv
