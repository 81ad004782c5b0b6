// Encoder configuration from -lavcopts / -lameopts.
#pragma once

#include "mediaengine/av_support.h"
#include "mediaengine/options.h"

namespace orv::engine {

const AVCodec* FindEncoder(const std::string& name);

// Picks the encoder's sample rate nearest to the wanted one.
int SupportedSampleRate(const AVCodec* codec, int wanted);

// Channel count the audio encoder will be fed: lame mode=3 forces mono,
// MP3 and AAC here take at most stereo.
int EncoderChannels(const OutputPlan& plan, const Options& options, int chainChannels);

CodecPtr OpenVideoEncoder(const OutputPlan& plan, const Options& options, int width, int height,
                          AVRational timeBase, AVRational frameRate, bool globalHeader);

CodecPtr OpenAudioEncoder(const OutputPlan& plan, const Options& options, int sampleRate,
                          const AVChannelLayout& layout, AVSampleFormat format, bool globalHeader);

}  // namespace orv::engine
