// Rendered frames read back from numbered PNG files, and the colour stages of
// a build run over them one by one, so each stage can be timed on exactly the
// frames other tools are given.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "effects/frame_list.h"
#include "plugin/guards.h"

// The frames of one animation, owned with every image and mask.
class StageFrames {
public:
    StageFrames() = default;
    StageFrames(const StageFrames&) = delete;
    StageFrames& operator=(const StageFrames&) = delete;
    ~StageFrames();

    // Reads folder/f0001.png, f0002.png... up to the first number missing.
    // Throws HostError when there is no first frame, a frame cannot be read,
    // a frame's size differs from the first one's, or memory fails; the
    // frames read before are kept then.
    void Load(const std::string& folder);

    FrameList& List() { return list_; }
    const FrameList& List() const { return list_; }
    int Count() const { return list_.count; }
    LONG Width() const { return width_; }
    LONG Height() const { return height_; }
    // The picture of frame i, 24 bits as rendered.
    HGLOBAL Image(int i) const;

private:
    FrameList list_;
    LONG width_ = 0;
    LONG height_ = 0;
};

// The file Load reads for frame number (1 for the first).
std::string FrameFileName(const std::string& folder, int number);

// A palette the frames are reduced to, as a build completes it.
struct StagePalette {
    BYTE triplets[768] = {};
    int depth = 8;
    int count = 256;
    int spare = -1;  // the entry unchanged pixels get, -1 for none
};

// The palette a build makes from its frames: at most 256 colours, or 255 and
// a spare entry (white) after them when spare is true; sorted by luminance.
// False when memory fails.
bool BuildStagePalette(const FrameList& frames, bool spare, StagePalette& palette);

// "256-color orthogonal", the fixed palette of a default dialog.
StagePalette FixedStagePalette();

// Every frame reduced to the palette, dithered or by nearest colour. False
// when memory fails; out is then empty.
bool ReduceFrames(const StageFrames& frames, const StagePalette& palette, bool dither,
                  std::vector<GlobalBlock>& out);

// Marks the unchanged pixels of every frame and paints them with the
// palette's spare entry in the reduced frames, as a supercompressed build
// does. False when memory fails or a frame cannot be painted.
bool Supercompress(StageFrames& frames, const StagePalette& palette, std::vector<GlobalBlock>& reduced);

// Writes the GIF the host writes for the reduced frames (delay 10
// hundredths, transparentIndex -1 for none) to the file at path, as a build
// does, and returns its bytes. Throws HostError; a file already at path is
// then left as it was.
std::size_t WriteStageGif(const std::vector<GlobalBlock>& reduced, int transparentIndex, const std::string& path);

// The palette as a 16 x 16 binary PPM, which other tools take as a colour
// map; entries past count repeat entry 0, so they never change which colour
// is nearest. Throws HostError when the file cannot be written.
void WritePalettePicture(const std::string& path, const StagePalette& palette);

// Every frame's pixels, top row first, red, green and blue bytes, frame
// after frame: raw video for other tools. Throws HostError.
void WriteRawFrames(const std::string& path, const StageFrames& frames);
