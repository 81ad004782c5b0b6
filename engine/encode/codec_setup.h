// Encoder configuration from -lavcopts / -lameopts.
#pragma once

#include "engine/av_support.h"
#include "engine/options.h"

namespace orv::engine {

const AVCodec* FindEncoder(const std::string& name);

// Picks the encoder's sample rate nearest to the wanted one.
int SupportedSampleRate(const AVCodec* codec, int wanted);

// Channel count the audio encoder will be fed: lame mode=3 forces mono,
// MP3 and AAC here take at most stereo.
int EncoderChannels(const OutputPlan& plan, const Options& options, int chainChannels);

// The lowest H.264 level (10 * major + minor; 9 is level 1b) at or above
// minimumLevel whose limits fit the stream: frame size, macroblock rate,
// peak bitrate and the reference frames the encoder keeps. 0 when even the
// highest level cannot carry it.
int H264LevelFor(int width, int height, AVRational frameRate, int maxRateKbps, int refFrames,
                 int minimumLevel);

// The coded picture buffer (kbit) a level allows for Baseline streams.
int H264LevelBufferKbit(int level);

// A frame rate the encoders accept: numerator and denominator within 16 bits
// (MPEG-4 Part 2 stores the time base in 16 bits), close to the wanted rate.
AVRational EncoderFrameRate(AVRational wanted);

CodecPtr OpenVideoEncoder(const OutputPlan& plan, const Options& options, int width, int height,
                          AVRational frameRate, bool globalHeader);

CodecPtr OpenAudioEncoder(const OutputPlan& plan, const Options& options, int sampleRate,
                          const AVChannelLayout& layout, AVSampleFormat format, bool globalHeader);

}  // namespace orv::engine
