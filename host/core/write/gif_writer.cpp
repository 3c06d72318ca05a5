// GIF through giflib, frame by frame as they come. The first frame's colour
// table becomes the global table and the first frame is stored whole; every
// later frame is stored as the smallest rectangle that holds what it changes
// on the screen, left in place for the next (disposal "do not dispose"), so
// the file shows exactly what the full frames would. Inside the rectangle the
// changed pixels keep their colours and every other pixel becomes either
// transparent or the colour it already shows, whichever the coder finds
// shorter; the frame's own pixels are written instead only when no table has
// room for a transparent entry beside the changed colours. The global table
// serves where it holds the colours, a local table trimmed to the colours
// used where that is smaller. The pixel data is LZW-coded here (gif_lzw) and
// handed to giflib as code blocks.
// The NETSCAPE extension asks for endless looping, and the comment goes
// before the trailer.
//
// A 24-bit frame has no table; it gets an exact one when it holds 256
// colours or fewer, and otherwise giflib's median-cut quantizer chooses 256.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <cstring>
#include <deque>
#include <exception>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "dialog/frame_workers.h"
#include "host/core/host_error.h"
#include "host/core/write/gif_lzw.h"
#include "host/core/write/ordered_jobs.h"
#include "host/core/write/writers.h"

namespace {

constexpr std::uint64_t kLongestDelay = 0xFFFF;  // the extension's 16 bits
// Pixels compared or copied side by side.
constexpr LONG kBlock = 16;
// Pixels whose changes are found as the bits of one word.
constexpr LONG kWord = 64;
static_assert(std::endian::native == std::endian::little, "change bits are gathered from bytes in memory order");

// Colours are kept as red | green << 8 | blue << 16 with kOpaque set; 0 is
// no colour: a transparent pixel, or a place nothing has been drawn on yet.
constexpr std::uint32_t kOpaque = 1u << 24;

std::uint32_t Colour(BYTE red, BYTE green, BYTE blue) { return red | (green << 8) | (blue << 16) | kOpaque; }

GifColorType GifColour(std::uint32_t colour) {
    return GifColorType{static_cast<GifByteType>(colour), static_cast<GifByteType>(colour >> 8),
                        static_cast<GifByteType>(colour >> 16)};
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using ColourMap = std::unique_ptr<ColorMapObject, MapDeleter>;

ColourMap NewMap(const std::vector<std::uint32_t>& colours) {
    ColourMap map(GifMakeMapObject(static_cast<int>(colours.size()), nullptr));
    if (!map) throw std::bad_alloc();
    for (std::size_t i = 0; i < colours.size(); ++i) map->Colors[i] = GifColour(colours[i]);
    return map;
}

// The smallest table size of at least count entries: 2, 4 ... 256.
int TableSize(std::size_t count) {
    int size = 2;
    while (static_cast<std::size_t>(size) < count) size *= 2;
    return size;
}

int CodeSize(int tableSize) { return std::max(2, GifBitSize(tableSize)); }

// A frame as colour indexes a pixel, rows from the top, and the colour of
// each index; the transparent index has none.
struct IndexedFrame {
    LONG width = 0;
    LONG height = 0;
    std::vector<BYTE> pixels;
    std::vector<std::uint32_t> colours;  // the frame's table: 2, 4 ... 256 entries
    std::uint32_t transparentEntry = 0;  // the table's colour at the transparent index
};

IndexedFrame IndexPalettedFrame(const FrameView& frame) {
    IndexedFrame out;
    out.width = frame.Width();
    out.height = frame.Height();
    out.colours.resize(static_cast<std::size_t>(frame.TableSize()));
    for (int i = 0; i < frame.TableSize(); ++i) {
        RGBQUAD entry = frame.TableEntry(i);
        out.colours[i] = Colour(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
    }
    if (frame.TransparentIndex() >= 0) out.transparentEntry = std::exchange(out.colours[frame.TransparentIndex()], 0);
    const std::size_t width = static_cast<std::size_t>(frame.Width());
    out.pixels.resize(width * static_cast<std::size_t>(frame.Height()));
    for (LONG y = 0; y < frame.Height(); ++y) frame.IndexRow(y, out.pixels.data() + width * y);
    return out;
}

IndexedFrame IndexTrueColourFrame(const FrameView& frame) {
    const std::size_t width = static_cast<std::size_t>(frame.Width());
    const std::size_t count = width * static_cast<std::size_t>(frame.Height());
    std::vector<BYTE> rgba(count * 4);
    for (LONG y = 0; y < frame.Height(); ++y) frame.RgbaRow(y, rgba.data() + width * 4 * y);

    IndexedFrame out;
    out.width = frame.Width();
    out.height = frame.Height();
    out.pixels.resize(count);
    std::unordered_map<std::uint32_t, int> seen;
    std::vector<std::uint32_t> colours;
    bool exact = true;
    for (std::size_t i = 0; i < count && exact; ++i) {
        const BYTE* p = rgba.data() + 4 * i;
        auto [it, added] = seen.try_emplace(Colour(p[0], p[1], p[2]), static_cast<int>(colours.size()));
        if (added) colours.push_back(it->first);
        exact = colours.size() <= 256;
        out.pixels[i] = static_cast<BYTE>(it->second);
    }
    if (exact) {
        out.colours = colours;
        out.colours.resize(static_cast<std::size_t>(TableSize(colours.size())), Colour(0, 0, 0));
        return out;
    }
    std::vector<GifByteType> red(count), green(count), blue(count);
    for (std::size_t i = 0; i < count; ++i) {
        red[i] = rgba[4 * i];
        green[i] = rgba[4 * i + 1];
        blue[i] = rgba[4 * i + 2];
    }
    std::array<GifColorType, 256> table{};
    int size = 256;
    if (GifQuantizeBuffer(static_cast<unsigned>(frame.Width()), static_cast<unsigned>(frame.Height()), &size, red.data(),
                          green.data(), blue.data(), out.pixels.data(), table.data()) == GIF_ERROR)
        throw std::bad_alloc();
    out.colours.resize(256);
    for (int i = 0; i < 256; ++i) out.colours[i] = Colour(table[i].Red, table[i].Green, table[i].Blue);
    return out;
}

// Whether a pixel of this colour changes a place showing shown.
inline bool Changes(std::uint32_t colour, std::uint32_t shown) { return colour != 0 && colour != shown; }

// The same by global index: 1 where the index differs from the shown one (-1
// where nothing is shown, which every index differs from), else 0. Reckoned
// in bytes alone, which the compiler takes sixteen at a time.
inline BYTE IndexChanges(BYTE index, short shown) {
    const auto bits = static_cast<std::uint16_t>(shown);
    return (static_cast<BYTE>(index ^ static_cast<BYTE>(bits)) | static_cast<BYTE>(bits >> 8)) != 0 ? 1 : 0;
}

// How a frame's pixels are set against what the screen shows. By colour
// serves any frame. A frame whose colours the global table holds all compares
// each index's global index with the one shown, two bytes instead of four and
// no colour looked up; one whose table is the global table itself, none of
// it transparent, compares its indexes as they are.
enum class Match { ByColour, ByGlobalIndex, BySameIndex };

struct FrameMatch {
    Match match = Match::ByColour;
    std::array<short, 256> globalOf{};  // each index's colour's first global index, or -1
};

struct Rectangle {
    LONG left = 0, top = 0, width = 0, height = 0;
};

// How the pixels of a frame's rectangle are laid out before coding.
enum class Layout {
    Own,      // the frame's own pixels
    Changes,  // the changed pixels; each other one transparent or the colour it shows
};

// One way of writing a frame: a table, the transparent index, the coded data.
struct Coding {
    bool local = false;
    std::vector<std::uint32_t> localColours;
    int transparent = NO_TRANSPARENT_COLOR;
    std::vector<BYTE> data;

    std::size_t Cost() const { return data.size() + 3 * localColours.size(); }
};

// A way worth trying, laid out and waiting to be coded.
struct Candidate {
    bool local = false;
    std::vector<std::uint32_t> colours;  // the local table's
    int transparent = NO_TRANSPARENT_COLOR;
    int codeSize = 2;
    std::vector<BYTE> pixels, alternative;
};

// A frame between its planning, done in order, and its writing: the coding
// in between may run on another thread.
struct FrameTask {
    Rectangle box;
    std::uint32_t delay = 0;
    std::vector<Candidate> candidates;  // on a tie the earlier is kept
    Coding best;
};

// Codes each candidate and keeps the shortest in the task's best. A later
// candidate that only names the first one's values otherwise, as a smaller
// table does where it holds every colour the rectangle shows, takes the first
// one's strings, renumbered: the strings the coder would find for it differ
// little, and finding them is most of the work.
void CodeTask(FrameTask& task, GifLzwEncoder& lzw) {
    Coding trial;
    bool bestIsFirst = true;  // and so task.best holds the first one's strings
    for (std::size_t k = 0; k < task.candidates.size(); ++k) {
        Candidate& candidate = task.candidates[k];
        const Candidate& first = task.candidates[0];
        std::array<BYTE, 256> values;
        const bool renamed = k > 0 && bestIsFirst && candidate.codeSize <= first.codeSize &&
                             candidate.pixels.size() == first.pixels.size() &&
                             GifLzwEncoder::Relabels(first.pixels.data(), first.alternative.data(),
                                                     candidate.pixels.data(), candidate.alternative.data(),
                                                     first.pixels.size(), values);
        if (renamed)
            GifLzwEncoder::Renumber(task.best.data, first.codeSize, candidate.codeSize, values, trial.data);
        else
            lzw.Encode(candidate.pixels.data(), candidate.alternative.data(), candidate.pixels.size(),
                       candidate.codeSize, trial.data);
        trial.transparent = candidate.transparent;
        trial.local = candidate.local;
        trial.localColours = candidate.local ? std::move(candidate.colours) : std::vector<std::uint32_t>();
        if (k == 0 || trial.Cost() < task.best.Cost()) {
            std::swap(task.best, trial);
            bestIsFirst = k == 0;
        }
    }
    task.candidates.clear();
}

// A table for some of a frame's indexes: where each goes, what each output
// index shows, and the index left for transparency.
struct TableChoice {
    bool local = false;
    std::array<BYTE, 256> indexOf{};
    std::vector<std::uint32_t> colours;
    int transparent = NO_TRANSPARENT_COLOR;
    int codeSize = 2;
    std::array<short, 256> fromGlobal{};  // the output index of each global index's colour, or -1
    bool same = false;                    // whether each index the frame uses is its own
};

// What unchanged pixels may show instead of transparency: the table's index
// of their shown colour, transparent where it lacks that colour or nothing
// is shown.
class KeptColours {
public:
    KeptColours(const TableChoice& table, std::size_t globalSize) {
        const BYTE transparent = static_cast<BYTE>(std::max(table.transparent, 0));
        byShown_[0] = transparent_ = transparent;
        for (std::size_t i = 0; i < 256; ++i) {
            byShown_[i + 1] = table.fromGlobal[i] >= 0 ? static_cast<BYTE>(table.fromGlobal[i]) : transparent;
            same_ = same_ && (i >= globalSize || table.fromGlobal[i] == static_cast<short>(i));
        }
    }

    // By the shown colour's global index, or -1.
    BYTE operator()(short shownIndex) const { return byShown_[static_cast<std::size_t>(shownIndex + 1)]; }
    // Whether each shown colour's global index is its index in the table.
    bool Same() const { return same_; }

    void Fill(const short* shownIndex, LONG count, BYTE* out) const {
        LONG x = 0;
        if (same_) {
            // The global table itself: the shown index is the one. A block
            // goes through arrays of its own, which the compiler then takes
            // side by side.
            for (; x + kBlock <= count; x += kBlock) {
                short in[kBlock];
                BYTE kept[kBlock];
                std::memcpy(in, shownIndex + x, sizeof in);
                for (LONG k = 0; k < kBlock; ++k) kept[k] = in[k] < 0 ? transparent_ : static_cast<BYTE>(in[k]);
                std::memcpy(out + x, kept, sizeof kept);
            }
        }
        for (; x < count; ++x) out[x] = (*this)(shownIndex[x]);
    }

private:
    std::array<BYTE, 257> byShown_;  // by global index plus one
    BYTE transparent_;
    bool same_ = true;  // whether each global index is the table's own
};

class GifWriter final : public AnimationWriter {
public:
    explicit GifWriter(ByteSink& sink) : GifWriter(sink, FrameThreads()) {}
    GifWriter(ByteSink& sink, int threads)
        : AnimationWriter(sink), coders_(static_cast<std::size_t>(threads)), jobs_(threads) {}
    ~GifWriter() override {
        if (gif_) {
            int error = 0;
            EGifCloseFile(gif_, &error);
        }
    }

private:
    static int Output(GifFileType* gif, const GifByteType* bytes, int count) {
        auto* self = static_cast<GifWriter*>(gif->UserData);
        if (self->writeError_) return 0;
        try {
            self->sink_.Write(bytes, static_cast<std::size_t>(count));
        } catch (...) {
            self->writeError_ = std::current_exception();
            return 0;
        }
        return count;
    }

    // giflib answers GIF_ERROR for a failed write too; the sink's own
    // exception says more than "write failed".
    void Check(int result, int error) {
        if (writeError_) std::rethrow_exception(writeError_);
        if (result == GIF_ERROR) {
            if (error == E_GIF_ERR_NOT_ENOUGH_MEM) throw std::bad_alloc();
            const char* text = GifErrorString(error);
            throw HostError(std::string("Cannot write the GIF file: ") + (text ? text : "unknown error") + ".");
        }
    }
    void Check(int result) { Check(result, gif_ ? gif_->Error : 0); }

    void WriteStart() override {
        int error = 0;
        gif_ = EGifOpen(this, Output, &error);
        if (!gif_) Check(GIF_ERROR, error);
        // Extensions need the 89a version, which giflib only picks by itself
        // when it writes a whole file at once.
        EGifSetGifVersion(gif_, true);
        shown_.assign(static_cast<std::size_t>(canvas_.width) * static_cast<std::size_t>(canvas_.height), 0);
        shownIndex_.assign(shown_.size(), -1);
    }

    // The screen comes with the first frame, whose table it takes.
    void WriteScreen(const IndexedFrame& first) {
        global_.resize(first.colours.size());
        globalIndex_.clear();
        for (std::size_t i = 0; i < first.colours.size(); ++i) {
            global_[i] = first.colours[i] ? first.colours[i] : first.transparentEntry;
            globalIndex_.try_emplace(global_[i], static_cast<BYTE>(i));
        }
        ColourMap map = NewMap(global_);
        Check(EGifPutScreenDesc(gif_, canvas_.width, canvas_.height, 8, 0, map.get()));
        static const GifByteType application[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        static const GifByteType loopForever[] = {1, 0, 0};
        Check(EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE));
        Check(EGifPutExtensionBlock(gif_, sizeof application, application));
        Check(EGifPutExtensionBlock(gif_, sizeof loopForever, loopForever));
        Check(EGifPutExtensionTrailer(gif_));
        screenWritten_ = true;
    }

    FrameMatch MatchOf(const IndexedFrame& frame) const {
        FrameMatch match;
        bool inGlobal = true;
        bool same = frame.colours.size() <= global_.size();
        for (std::size_t i = 0; i < frame.colours.size(); ++i) {
            auto found = globalIndex_.find(frame.colours[i]);
            match.globalOf[i] = found != globalIndex_.end() ? found->second : -1;
            if (frame.colours[i] == 0) {
                same = false;
                continue;
            }
            inGlobal = inGlobal && match.globalOf[i] >= 0;
            same = same && match.globalOf[i] == static_cast<short>(i);
        }
        match.match = same ? Match::BySameIndex : inGlobal ? Match::ByGlobalIndex : Match::ByColour;
        return match;
    }

    // One row of the screen, from a place on it, as a frame's pixels are set
    // against it.
    template <Match M>
    class ScreenRow {
    public:
        ScreenRow(const GifWriter& writer, const IndexedFrame& frame, const FrameMatch& match, std::size_t at)
            : colours_(frame.colours.data()),
              globalOf_(match.globalOf.data()),
              global_(writer.global_.data()),
              shown_(writer.shown_.data() + at),
              shownIndex_(writer.shownIndex_.data() + at) {}

        // By colour or by global index; by same index, changes are found a
        // word of bits at a time.
        bool ChangesAt(const BYTE* row, LONG x) const {
            static_assert(M != Match::BySameIndex);
            if constexpr (M == Match::ByColour)
                return Changes(colours_[row[x]], shownIndex_[x] >= 0 ? global_[shownIndex_[x]] : shown_[x]);
            return colours_[row[x]] != 0 && globalOf_[row[x]] != shownIndex_[x];
        }

        // The shown colour's first global index, or -1.
        short ShownIndex(LONG x) const { return shownIndex_[x]; }
        const short* ShownIndexes(LONG x) const { return shownIndex_ + x; }

        // Calls found(first, end) for each run of pixels of the row that
        // change the screen, left to right.
        template <class Found>
        void ForEachChange(const BYTE* row, LONG width, Found&& found) const {
            if constexpr (M == Match::BySameIndex) {
                // Runs are often a pixel or two long: they are found in a
                // word of change bits at a time by counting bits, with no
                // branch a pixel.
                LONG start = -1;  // of the run still open
                for (LONG base = 0; base < width; base += kWord) {
                    const LONG count = std::min(kWord, width - base);
                    // Past the row's end, the bits say unchanged: a run
                    // open there ends with the row.
                    const std::uint64_t bits = ChangeBits(row, base, count);
                    for (int at = 0;;) {
                        const std::uint64_t rest = (start < 0 ? bits : ~bits) >> at;
                        if (rest == 0) break;
                        at += std::countr_zero(rest);
                        if (start < 0) {
                            start = base + at;
                        } else {
                            found(start, base + at);
                            start = -1;
                        }
                    }
                }
                if (start >= 0) found(start, width);
            } else {
                for (LONG x = 0; x < width;) {
                    while (x < width && !ChangesAt(row, x)) ++x;
                    if (x == width) break;
                    const LONG first = x;
                    while (x < width && ChangesAt(row, x)) ++x;
                    found(first, x);
                }
            }
        }

        // The first place from x before end that shows another colour than
        // the one of global index shown, or end.
        LONG FirstShowingOther(LONG x, LONG end, short shown) const {
            while (x + kBlock <= end && BlockShows(x, shown)) x += kBlock;
            while (x < end && shownIndex_[x] == shown) ++x;
            return x;
        }

    private:
        // Bit k: whether pixel from + k changes the screen (by same index),
        // for count pixels (at most a word's). The comparisons go into bytes
        // of their own, and eight bytes of 0 or 1 become eight bits in one
        // multiplication.
        std::uint64_t ChangeBits(const BYTE* row, LONG from, LONG count) const {
            BYTE changes[kWord] = {};
            if (count == kWord) {
                for (LONG k = 0; k < kWord; ++k) changes[k] = IndexChanges(row[from + k], shownIndex_[from + k]);
            } else {
                for (LONG k = 0; k < count; ++k) changes[k] = IndexChanges(row[from + k], shownIndex_[from + k]);
            }
            std::uint64_t bits = 0;
            for (int k = 0; k < kWord / 8; ++k) {
                std::uint64_t eight;  // changes[8 k] in the lowest byte
                std::memcpy(&eight, changes + 8 * k, 8);
                bits |= (eight * 0x0102040810204080u) >> 56 << (8 * k);
            }
            return bits;
        }
        // Whether every place of the block shows the colour of global index
        // shown.
        bool BlockShows(LONG x, short shown) const {
            short differs = 0;
            for (LONG k = 0; k < kBlock; ++k) differs |= static_cast<short>(shownIndex_[x + k] ^ shown);
            return differs == 0;
        }

        const std::uint32_t* colours_;
        const short* globalOf_;
        const std::uint32_t* global_;
        const std::uint32_t* shown_;
        const short* shownIndex_;
    };

    // The rectangle of pixels the frame changes on the screen, empty when it
    // changes none; the runs of changed pixels in each row, their count and
    // their indexes are kept in changed_ for the layouts.
    template <Match M>
    Rectangle ChangedRectangle(const IndexedFrame& frame, const FrameMatch& match) {
        changed_.runs.clear();
        changed_.rowStart.assign(1, 0);
        changed_.count = 0;
        // Stores only: a read-modify-write of the same entry pixel after
        // pixel would wait on itself.
        std::array<BYTE, 256> changes{};
        LONG left = frame.width, right = -1, top = frame.height, bottom = -1;
        for (LONG y = 0; y < frame.height; ++y) {
            const BYTE* row = frame.pixels.data() + static_cast<std::size_t>(y) * frame.width;
            const ScreenRow<M> screen(*this, frame, match, static_cast<std::size_t>(y) * canvas_.width);
            screen.ForEachChange(row, frame.width, [&](LONG first, LONG end) {
                changed_.runs.push_back(first);
                changed_.runs.push_back(end);
                changed_.count += static_cast<std::size_t>(end - first);
                for (LONG x = first; x < end; ++x) changes[row[x]] = 1;
            });
            const std::size_t begin = changed_.rowStart.back(), end = changed_.runs.size();
            changed_.rowStart.push_back(end);
            if (begin == end) continue;
            left = std::min(left, changed_.runs[begin]);
            right = std::max(right, changed_.runs[end - 1] - 1);
            top = std::min(top, y);
            bottom = y;
        }
        for (std::size_t i = 0; i < changes.size(); ++i) changed_.indexes[i] = changes[i] != 0;
        if (right < 0) return {};
        return {left, top, right - left + 1, bottom - top + 1};
    }

    // A table that holds the colours of the given frame indexes and, when
    // asked, a transparent entry; false when the global table cannot.
    bool GlobalChoice(const IndexedFrame& frame, const FrameMatch& match, const std::bitset<256>& used,
                      bool transparent, TableChoice& choice) const {
        choice = TableChoice{};
        choice.same = true;
        std::bitset<256> taken;
        for (std::size_t i = 0; i < frame.colours.size(); ++i) {
            if (!used[i]) continue;
            if (match.globalOf[i] < 0) return false;
            choice.indexOf[i] = static_cast<BYTE>(match.globalOf[i]);
            choice.same = choice.same && choice.indexOf[i] == i;
            taken.set(static_cast<std::size_t>(match.globalOf[i]));
        }
        if (transparent) {
            for (int i = static_cast<int>(global_.size()) - 1; i >= 0 && choice.transparent < 0; --i)
                if (!taken[static_cast<std::size_t>(i)]) choice.transparent = i;
            if (choice.transparent < 0) return false;
        }
        choice.colours = global_;
        choice.codeSize = CodeSize(static_cast<int>(global_.size()));
        for (std::size_t i = 0; i < global_.size(); ++i) choice.fromGlobal[i] = static_cast<short>(i);
        return true;
    }

    bool LocalChoice(const IndexedFrame& frame, const FrameMatch& match, const std::bitset<256>& used, bool transparent,
                     TableChoice& choice) const {
        choice = TableChoice{};
        choice.local = true;
        // Each colour once: one the global table holds is known by its first
        // global index, any other is looked for among the others.
        std::array<short, 256> localOfGlobal;
        localOfGlobal.fill(-1);
        std::array<std::uint32_t, 256> others;
        std::array<BYTE, 256> localOfOther;
        std::size_t otherCount = 0;
        for (std::size_t i = 0; i < frame.colours.size(); ++i) {
            if (!used[i]) continue;
            const short global = match.globalOf[i];
            short local = -1;
            if (global >= 0)
                local = localOfGlobal[static_cast<std::size_t>(global)];
            else
                for (std::size_t k = 0; k < otherCount && local < 0; ++k)
                    if (others[k] == frame.colours[i]) local = localOfOther[k];
            if (local < 0) {
                if (choice.colours.size() == 256) return false;
                local = static_cast<short>(choice.colours.size());
                choice.colours.push_back(frame.colours[i]);
                if (global >= 0) {
                    localOfGlobal[static_cast<std::size_t>(global)] = local;
                } else {
                    others[otherCount] = frame.colours[i];
                    localOfOther[otherCount++] = static_cast<BYTE>(local);
                }
            }
            choice.indexOf[i] = static_cast<BYTE>(local);
        }
        if (transparent) {
            if (choice.colours.size() == 256) return false;
            choice.transparent = static_cast<int>(choice.colours.size());
        }
        // Shown colours are known by their first global indexes alone.
        choice.fromGlobal = localOfGlobal;
        std::size_t size = static_cast<std::size_t>(TableSize(choice.colours.size() + (transparent ? 1 : 0)));
        choice.colours.resize(size, Colour(0, 0, 0));
        choice.codeSize = CodeSize(static_cast<int>(size));
        return true;
    }

    template <Match M>
    void LayOut(const IndexedFrame& frame, const FrameMatch& match, const Rectangle& box, Layout layout,
                const TableChoice& table, Candidate& candidate) const {
        candidate.pixels.resize(static_cast<std::size_t>(box.width) * static_cast<std::size_t>(box.height));
        candidate.alternative.resize(candidate.pixels.size());
        BYTE* own = candidate.pixels.data();
        BYTE* other = candidate.alternative.data();
        const std::uint32_t* colours = frame.colours.data();
        const BYTE transparent = static_cast<BYTE>(std::max(table.transparent, 0));
        const KeptColours keep(table, global_.size());
        // Unchanged pixels start out the way that makes runs: a stretch of
        // them between changed pixels that shows one colour keeps it; from
        // where it shows a second one, or one the table lacks, it is
        // transparent to its end. Their other value is left to the coder,
        // which takes it where it codes shorter. The stretches run on from
        // row to row, as the pixels are coded, and are taken whole, from one
        // change to the next: most of a rectangle is often unchanged.
        if constexpr (M == Match::BySameIndex) {
            if (layout == Layout::Changes && table.same && keep.Same()) {
                LayOutOwnIndexChanges(frame, box, transparent, own, other);
                return;
            }
        }
        std::size_t stretch = 0;  // where the stretch of unchanged pixels began
        bool clearing = false;    // whether it is transparent from there
        for (LONG y = 0; y < box.height; ++y) {
            const BYTE* row = frame.pixels.data() + static_cast<std::size_t>(box.top + y) * frame.width + box.left;
            const std::size_t at = static_cast<std::size_t>(box.top + y) * canvas_.width + box.left;
            const ScreenRow<M> screen(*this, frame, match, at);
            std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(box.width);
            if (layout == Layout::Own) {
                for (LONG x = 0; x < box.width; ++x, ++i)
                    own[i] = other[i] = colours[row[x]] ? table.indexOf[row[x]] : transparent;
                continue;
            }
            const std::size_t frameRow = static_cast<std::size_t>(box.top + y);
            const LONG* run = changed_.runs.data() + changed_.rowStart[frameRow];
            const LONG* const rowEnd = changed_.runs.data() + changed_.rowStart[frameRow + 1];
            for (LONG x = 0; x < box.width;) {
                const LONG change = run < rowEnd ? run[0] - box.left : box.width;
                if (!clearing) {
                    int kept = stretch < i ? own[stretch] : -1;  // the colour the stretch keeps so far
                    // A stretch that starts here keeps what its first pixel
                    // shows, where the table has that colour.
                    if (kept < 0 && x < change && keep(screen.ShownIndex(x)) != transparent) {
                        own[i] = static_cast<BYTE>(kept = keep(screen.ShownIndex(x)));
                        other[i++] = transparent;
                        ++x;
                    }
                    if (kept >= 0 && keep.Same()) {
                        // Where the kept colour is the shown one's global
                        // index, the places that show it are found blocks at
                        // a time.
                        const LONG to = screen.FirstShowingOther(x, change, static_cast<short>(kept));
                        std::fill(own + i, own + i + (to - x), static_cast<BYTE>(kept));
                        std::fill(other + i, other + i + (to - x), transparent);
                        i += static_cast<std::size_t>(to - x);
                        x = to;
                    }
                    for (; x < change; ++x, ++i) {
                        const BYTE shows = keep(screen.ShownIndex(x));
                        if (shows == transparent || (kept >= 0 && shows != kept)) break;
                        own[i] = static_cast<BYTE>(kept = shows);
                        other[i] = transparent;
                    }
                    if (x < change) {
                        for (std::size_t k = stretch; k < i; ++k) {
                            other[k] = own[k];
                            own[k] = transparent;
                        }
                        clearing = true;
                    }
                }
                if (clearing && x < change) {
                    std::fill(own + i, own + i + (change - x), transparent);
                    keep.Fill(screen.ShownIndexes(x), change - x, other + i);
                    i += static_cast<std::size_t>(change - x);
                    x = change;
                }
                if (change < box.width) {
                    const LONG unchanged = run[1] - box.left;
                    run += 2;
                    if (table.same)
                        std::memcpy(own + i, row + x, static_cast<std::size_t>(unchanged - x));
                    else
                        for (LONG k = x; k < unchanged; ++k) own[i + static_cast<std::size_t>(k - x)] = table.indexOf[row[k]];
                    std::memcpy(other + i, own + i, static_cast<std::size_t>(unchanged - x));
                    i += static_cast<std::size_t>(unchanged - x);
                    x = unchanged;
                    stretch = i;
                    clearing = false;
                }
            }
        }
    }

    // LayOut's changes where the frame, the table and the screen all use
    // the global table's own indexes. An unchanged pixel's index is then the
    // one it shows: every pixel's other value is its own index, and its
    // first value that index where it changes and transparency where not.
    // So the rectangle is laid out rows at a time as if every stretch showed
    // two colours; the few stretches that show one colour throughout then
    // keep it.
    void LayOutOwnIndexChanges(const IndexedFrame& frame, const Rectangle& box, BYTE transparent, BYTE* own,
                               BYTE* other) const {
        const std::size_t width = static_cast<std::size_t>(box.width);
        for (LONG y = 0; y < box.height; ++y) {
            const BYTE* row = frame.pixels.data() + static_cast<std::size_t>(box.top + y) * frame.width + box.left;
            const short* shown = shownIndex_.data() + static_cast<std::size_t>(box.top + y) * canvas_.width + box.left;
            BYTE* ownRow = own + static_cast<std::size_t>(y) * width;
            std::memcpy(other + static_cast<std::size_t>(y) * width, row, width);
            // A block goes through arrays of its own, which the compiler
            // then takes side by side.
            LONG x = 0;
            for (; x + kBlock <= box.width; x += kBlock) {
                BYTE index[kBlock], first[kBlock];
                short shows[kBlock];
                std::memcpy(index, row + x, sizeof index);
                std::memcpy(shows, shown + x, sizeof shows);
                for (LONG k = 0; k < kBlock; ++k) first[k] = IndexChanges(index[k], shows[k]) ? index[k] : transparent;
                std::memcpy(ownRow + x, first, sizeof first);
            }
            for (; x < box.width; ++x) ownRow[x] = IndexChanges(row[x], shown[x]) ? row[x] : transparent;
        }
        std::size_t stretch = 0;
        // The stretch from stretch to end, where it shows one colour the
        // whole way.
        auto keepOne = [&](std::size_t end) {
            if (stretch == end || other[stretch] == transparent) return;
            const BYTE kept = other[stretch];
            std::size_t k = stretch + 1;
            for (; k + kBlock <= end; k += kBlock) {
                BYTE differs = 0;
                for (LONG b = 0; b < kBlock; ++b) differs |= static_cast<BYTE>(other[k + b] ^ kept);
                if (differs) return;
            }
            for (; k < end; ++k)
                if (other[k] != kept) return;
            std::memset(own + stretch, kept, end - stretch);
            std::memset(other + stretch, transparent, end - stretch);
        };
        for (LONG y = 0; y < box.height; ++y) {
            const std::size_t frameRow = static_cast<std::size_t>(box.top + y);
            const std::size_t rowAt = static_cast<std::size_t>(y) * width;
            for (std::size_t r = changed_.rowStart[frameRow]; r < changed_.rowStart[frameRow + 1]; r += 2) {
                keepOne(rowAt + static_cast<std::size_t>(changed_.runs[r] - box.left));
                stretch = rowAt + static_cast<std::size_t>(changed_.runs[r + 1] - box.left);
            }
        }
        keepOne(width * static_cast<std::size_t>(box.height));
    }

    // Lays out the frame's rectangle for each table worth trying. A frame
    // after the first is coded by its changes; its own pixels are only the
    // way out when no table has room for a transparent entry beside the
    // changed colours.
    template <Match M>
    void PlanCoding(const IndexedFrame& frame, const FrameMatch& match, const Rectangle& box, bool first,
                    FrameTask& task) {
        // Where every pixel changes, the two layouts are the same.
        if (!first && changed_.count != Area(box) &&
            PlanTables<M>(frame, match, box, Layout::Changes, changed_.indexes, true, task))
            return;
        std::array<BYTE, 256> shows{};
        for (LONG y = 0; y < box.height; ++y) {
            const BYTE* row = frame.pixels.data() + static_cast<std::size_t>(box.top + y) * frame.width + box.left;
            for (LONG x = 0; x < box.width; ++x) shows[row[x]] = 1;
        }
        std::bitset<256> opaque;
        bool anyTransparent = false;
        for (std::size_t i = 0; i < frame.colours.size(); ++i) {
            if (!shows[i]) continue;
            if (frame.colours[i] == 0)
                anyTransparent = true;
            else
                opaque.set(i);
        }
        if (!PlanTables<M>(frame, match, box, Layout::Own, opaque, anyTransparent, task))
            throw HostError("Cannot write the GIF file: no colour table fits a frame.");
    }

    // The layout with the global table and with a local one, where either
    // holds its colours and the local one is smaller.
    template <Match M>
    bool PlanTables(const IndexedFrame& frame, const FrameMatch& match, const Rectangle& box, Layout layout,
                    const std::bitset<256>& used, bool transparent, FrameTask& task) {
        const bool globalFits = GlobalChoice(frame, match, used, transparent, globalChoice_);
        const bool localFits = LocalChoice(frame, match, used, transparent, localChoice_) &&
                               (!globalFits || localChoice_.colours.size() < global_.size());
        for (const TableChoice* table : {&globalChoice_, &localChoice_}) {
            if (!(table == &globalChoice_ ? globalFits : localFits)) continue;
            Candidate& candidate = task.candidates.emplace_back();
            candidate.local = table->local;
            if (table->local) candidate.colours = table->colours;
            candidate.transparent = table->transparent;
            candidate.codeSize = table->codeSize;
            LayOut<M>(frame, match, box, layout, *table, candidate);
        }
        return !task.candidates.empty();
    }

    void WriteImage(const Rectangle& box, std::uint32_t delay, const Coding& coding) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = static_cast<int>(std::min(DelayInHundredths(delay, canvas_.delayUnit), kLongestDelay));
        control.TransparentColor = coding.transparent;
        GifByteType extension[4];
        std::size_t length = EGifGCBToExtension(&control, extension);
        Check(EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension));
        ColourMap local;
        if (coding.local) local = NewMap(coding.localColours);
        // giflib drops the last local table without freeing it when the
        // next image has none.
        if (gif_->Image.ColorMap) {
            GifFreeMapObject(gif_->Image.ColorMap);
            gif_->Image.ColorMap = nullptr;
        }
        Check(EGifPutImageDesc(gif_, box.left, box.top, box.width, box.height, false, local.get()));
        const BYTE* block = coding.data.data();
        Check(EGifPutCode(gif_, 0, block));
        for (block += block[0] + 1; block[0] != 0; block += block[0] + 1) Check(EGifPutCodeNext(gif_, block));
        Check(EGifPutCodeNext(gif_, nullptr));
    }

    // Frames are planned here in order, against what the screen shows, and
    // coded by the jobs, several at once; each is written once it and every
    // frame before it are coded. What waits is bounded by its pixels, at most
    // two whole frames' a worker, rather than by a count of frames: a large
    // frame being coded must not keep the other workers from the small ones
    // behind it. The count is bounded too, for frames that change nothing.
    void WriteFrame(const FrameView& view) override {
        const IndexedFrame frame = view.Paletted() ? IndexPalettedFrame(view) : IndexTrueColourFrame(view);
        const bool first = !screenWritten_;
        if (first) WriteScreen(frame);
        const FrameMatch match = MatchOf(frame);
        switch (match.match) {
        case Match::ByColour: return PlanFrame<Match::ByColour>(view, frame, match, first);
        case Match::ByGlobalIndex: return PlanFrame<Match::ByGlobalIndex>(view, frame, match, first);
        case Match::BySameIndex: return PlanFrame<Match::BySameIndex>(view, frame, match, first);
        }
    }

    template <Match M>
    void PlanFrame(const FrameView& view, const IndexedFrame& frame, const FrameMatch& match, bool first) {
        FrameTask task;
        task.delay = view.Delay();
        task.box = first ? Rectangle{0, 0, frame.width, frame.height} : ChangedRectangle<M>(frame, match);
        if (task.box.width == 0) {
            // Nothing changes, but the frame must still be shown for its
            // delay: one transparent pixel.
            task.box = Rectangle{0, 0, 1, 1};
            Candidate& nothing = task.candidates.emplace_back();
            nothing.transparent = 0;
            nothing.codeSize = CodeSize(static_cast<int>(global_.size()));
            nothing.pixels.assign(1, 0);
            nothing.alternative.assign(1, 0);
        } else {
            PlanCoding<M>(frame, match, task.box, first, task);
            Show<M>(frame, match, task.box);
        }
        FrameTask& queued = tasks_.emplace_back(std::move(task));
        waitingPixels_ += Area(queued.box);
        jobs_.Add([this, &queued](int worker) { CodeTask(queued, coders_[static_cast<std::size_t>(worker)]); });
        const std::size_t workers = static_cast<std::size_t>(jobs_.Workers());
        const std::size_t mostPixels = 2 * workers * Area({0, 0, canvas_.width, canvas_.height});
        while (waitingPixels_ > mostPixels || tasks_.size() > 16 * workers || jobs_.OldestDone()) WriteOldest();
    }

    static std::size_t Area(const Rectangle& box) {
        return static_cast<std::size_t>(box.width) * static_cast<std::size_t>(box.height);
    }

    void WriteOldest() {
        jobs_.TakeOldest();
        const FrameTask& task = tasks_.front();
        WriteImage(task.box, task.delay, task.best);
        waitingPixels_ -= Area(task.box);
        tasks_.pop_front();
    }

    // What the screen shows once the frame's rectangle is drawn. A frame in
    // the global table's colours leaves only their indexes.
    template <Match M>
    void Show(const IndexedFrame& frame, const FrameMatch& match, const Rectangle& box) {
        const std::array<short, 256>& globalOf = match.globalOf;
        for (LONG y = 0; y < box.height; ++y) {
            const BYTE* row = frame.pixels.data() + static_cast<std::size_t>(box.top + y) * frame.width + box.left;
            const std::size_t at = static_cast<std::size_t>(box.top + y) * canvas_.width + box.left;
            std::uint32_t* shown = shown_.data() + at;
            short* shownIndex = shownIndex_.data() + at;
            if constexpr (M == Match::BySameIndex) {
                // Through a block of its own, which the compiler then knows
                // the stores do not touch, and so copies side by side.
                LONG x = 0;
                for (BYTE block[kBlock]; x + kBlock <= box.width; x += kBlock) {
                    std::memcpy(block, row + x, kBlock);
                    for (LONG k = 0; k < kBlock; ++k) shownIndex[x + k] = block[k];
                }
                std::copy(row + x, row + box.width, shownIndex + x);
                continue;
            }
            for (LONG x = 0; x < box.width; ++x) {
                const std::uint32_t colour = frame.colours[row[x]];
                if (!colour) continue;
                shownIndex[x] = globalOf[row[x]];
                if (M == Match::ByColour && shownIndex[x] < 0) shown[x] = colour;
            }
        }
    }

    void WriteEnd() override {
        while (jobs_.Pending() > 0) WriteOldest();
        if (!comment_.empty()) Check(EGifPutComment(gif_, comment_.c_str()));
        int error = 0;
        int result = EGifCloseFile(std::exchange(gif_, nullptr), &error);
        Check(result, error);
    }

    GifFileType* gif_ = nullptr;
    std::exception_ptr writeError_;
    bool screenWritten_ = false;
    std::vector<std::uint32_t> global_;                   // the global table's colours
    std::unordered_map<std::uint32_t, BYTE> globalIndex_;  // each colour's first global index
    // What the screen shows after the last frame: the colour's first global
    // index, or -1 with the colour (0: nothing yet) in shown_.
    std::vector<short> shownIndex_;
    std::vector<std::uint32_t> shown_;
    TableChoice globalChoice_, localChoice_;
    // The pixels the frame being planned changes: their runs, as x first and
    // end (those of row y from rowStart[y] to rowStart[y + 1]), their count
    // and their indexes.
    struct {
        std::vector<LONG> runs;
        std::vector<std::size_t> rowStart;
        std::size_t count = 0;
        std::bitset<256> indexes;
    } changed_;
    std::vector<GifLzwEncoder> coders_;  // one a worker
    std::deque<FrameTask> tasks_;        // planned and not yet written, oldest first
    std::size_t waitingPixels_ = 0;      // in their rectangles
    OrderedJobs jobs_;                   // last: its workers stop before what they use goes
};

}  // namespace

std::unique_ptr<AnimationWriter> MakeGifWriter(ByteSink& sink) { return std::make_unique<GifWriter>(sink); }
