// Translation of -vf / -af chains into libavfilter graph descriptions.
// Pure string work so it can be unit-tested without media.
#pragma once

#include <string>
#include <string_view>

namespace orv::engine {

struct FilterChain {
  std::string description;  // libavfilter syntax, "" if nothing to do
  std::string error;        // empty on success
  int outputChannels = 0;   // audio: channel count after the chain, 0 = unchanged
};

// -vf value (e.g. "scale=320:-2,harddup,expand=320:240:-1:-1:1") to a chain.
FilterChain TranslateVideoFilters(std::string_view vf);

// -af value (e.g. "channels=2:2:0:0:0:1,volume=-20db:sc"); inputChannels is
// the decoded channel count, needed to resolve routes that name missing
// channels.
FilterChain TranslateAudioFilters(std::string_view af, int inputChannels);

// channels=N:R:from:to:... as a pan filter.
FilterChain ChannelsToPan(std::string_view args, int inputChannels);
// pan=N:g00:g01:... (gains listed input-major) as a pan filter.
FilterChain PanToPan(std::string_view args, int inputChannels);
// volume=N[db][:sc] as volume (+ limiter when the gain could clip).
FilterChain VolumeToFilters(std::string_view args);

// The filters that show a picture upright whose display matrix turns it by
// `degrees` (counter-clockwise, as libavutil reads the matrix); "" when it
// needs none.
std::string UprightFilters(double degrees);

// The video graph run for every encode: rebased timestamps go in, constant
// frame rate (fpsNum/fpsDen) yuv420p comes out. endSeconds <= 0 means no end
// trim. startSeconds: the time of the first output frame (a graph rebuilt in
// mid-stream continues where the old one ended).
std::string VideoGraph(const std::string& userChain, int fpsNum, int fpsDen, double endSeconds,
                       double startSeconds = 0);
// The video graph of playback: the wanted range, in a format the screen takes.
std::string PlayVideoGraph(double endSeconds);
// Audio graph ending in the encoder's format. channelLayout is "mono",
// "stereo", ...; sampleFormat a libavutil sample format name. The output
// follows the input timestamps: gaps become silence, overlaps are dropped,
// and audio that starts late is preceded by silence. firstPts: where the
// output continues (a graph rebuilt in mid-stream), in samples at the input's
// rate, as aresample counts it.
std::string AudioGraph(const std::string& userChain, double endSeconds, int sampleRate,
                       const std::string& sampleFormat, const std::string& channelLayout,
                       long long firstPts = 0);

}  // namespace orv::engine
