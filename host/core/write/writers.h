// The writers of each format, each in its own file.
#pragma once

#include <memory>

#include "host/core/write/animation_writer.h"

std::unique_ptr<AnimationWriter> MakeGifWriter(ByteSink& sink);
std::unique_ptr<AnimationWriter> MakeApngWriter(ByteSink& sink);
std::unique_ptr<AnimationWriter> MakeWebPWriter(ByteSink& sink);
