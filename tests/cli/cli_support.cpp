#include "tests/cli/cli_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <gif_lib.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <webp/demux.h>
#include <zlib.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace cli_testing {

namespace {

// Long enough for a build under the sanitizers; a program still running by
// then has hung.
constexpr auto kLongestRun = std::chrono::seconds(600);

bool OpensTheDialog(const std::vector<std::string>& arguments) {
    for (const std::string& a : arguments)
        if (a == "effects" || a == "--help" || a == "-h" || a == "--version") return false;
    return true;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::uint32_t BigU32(const BYTE* p) { return (std::uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
std::uint16_t BigU16(const BYTE* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

std::string ProgramPath() { return LUMAFEX_PROGRAM; }

std::string PluginFolder() {
    std::string plugin = LUMAFEX_PLUGIN_PATH;
    return plugin.substr(0, plugin.find_last_of('/'));
}

Session::Session() = default;

Outcome Session::Run(std::vector<std::string> arguments, bool withConfig) const {
    return Start(std::move(arguments), withConfig, false);
}

Outcome Session::RunOnTerminal(std::vector<std::string> arguments) const {
    return Start(std::move(arguments), true, true);
}

Outcome Session::Start(std::vector<std::string> arguments, bool withConfig, bool terminal) const {
    if (withConfig && OpensTheDialog(arguments)) {
        arguments.push_back("--config-dir");
        arguments.push_back(config_.Path());
    }
    std::vector<std::string> texts = {ProgramPath()};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& t : texts) argv.push_back(t.data());
    argv.push_back(nullptr);

    // The user's own folders are never touched: everything lives in the session's.
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        for (const char* name : {"HOME=", "XDG_CONFIG_HOME=", "XDG_DOCUMENTS_DIR=", "TMPDIR=", "LUMAFEX_PLUGIN="})
            if (entry.rfind(name, 0) == 0) entry.clear();
        if (!entry.empty()) environment.push_back(entry);
    }
    environment.push_back("HOME=" + home_.Path());
    environment.push_back("XDG_CONFIG_HOME=" + home_.Path() + "/.config");
    environment.push_back("TMPDIR=" + work_.Path());
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    const std::string outPath = home_ / "stdout.txt";
    const std::string errPath = home_ / "stderr.txt";
    const std::string workPath = work_.Path();
    Outcome outcome;
    int master = -1, slave = -1;
    if (terminal && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        ADD_FAILURE() << "no terminal to be had";
        return outcome;
    }
    pid_t child = fork();
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        return outcome;
    }
    if (child == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = terminal ? slave : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(workPath.c_str()) != 0) _exit(127);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    std::string shown;  // what reached the terminal
    if (terminal) {
        close(slave);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    auto drain = [&] {
        char buffer[4096];
        for (ssize_t n; terminal && (n = read(master, buffer, sizeof buffer)) > 0;) shown.append(buffer, static_cast<std::size_t>(n));
    };
    const auto deadline = std::chrono::steady_clock::now() + kLongestRun;
    int status = 0;
    for (;;) {
        drain();
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "lumafex did not finish";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    drain();
    if (terminal) close(master);
    if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
    outcome.out = ReadText(outPath);
    outcome.err = terminal ? shown : ReadText(errPath);
    return outcome;
}

std::map<std::string, std::string> Session::Configuration() const {
    std::map<std::string, std::string> keys;
    std::ifstream in(config_ / "Vellumark/lumaplug.ini");
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t equals = line.find(" = ");
        if (line.empty() || line[0] == ';' || equals == std::string::npos) continue;
        keys[line.substr(0, equals)] = line.substr(equals + 3);
    }
    return keys;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

GifFacts ReadGif(const std::string& path) {
    GifFacts facts;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) return facts;
    if (DGifSlurp(gif) == GIF_OK) {
        facts.read = true;
        facts.width = gif->SWidth;
        facts.height = gif->SHeight;
        facts.frames = gif->ImageCount;
        for (int i = 0; i < gif->ImageCount; ++i) {
            GraphicsControlBlock control{};
            DGifSavedExtensionToGCB(gif, i, &control);
            facts.delays.push_back(control.DelayTime);
            if (control.TransparentColor != NO_TRANSPARENT_COLOR) ++facts.transparentFrames;
            const SavedImage& image = gif->SavedImages[i];
            for (int e = 0; e < image.ExtensionBlockCount; ++e) {
                const ExtensionBlock& block = image.ExtensionBlocks[e];
                if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                    std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 && e + 1 < image.ExtensionBlockCount) {
                    const ExtensionBlock& data = image.ExtensionBlocks[e + 1];
                    facts.loops = data.ByteCount >= 3 && data.Bytes[0] == 1 && data.Bytes[1] == 0 && data.Bytes[2] == 0;
                }
            }
        }
        for (int e = 0; e < gif->ExtensionBlockCount; ++e)
            if (gif->ExtensionBlocks[e].Function == COMMENT_EXT_FUNC_CODE)
                facts.comment.append(reinterpret_cast<const char*>(gif->ExtensionBlocks[e].Bytes),
                                     static_cast<std::size_t>(gif->ExtensionBlocks[e].ByteCount));
    }
    DGifCloseFile(gif, &error);
    return facts;
}

AnimationFacts ReadApng(const std::string& path) {
    AnimationFacts facts;
    std::vector<BYTE> bytes = host_testing::ReadFile(path);
    if (bytes.empty()) return facts;
    host_testing::Rgba first = host_testing::ReadPng(bytes);
    facts.width = first.width;
    facts.height = first.height;
    int announced = -1;
    for (const host_testing::PngChunk& chunk : host_testing::PngChunks(bytes)) {
        if (!chunk.crcGood) return facts;
        if (chunk.type == "acTL" && chunk.data.size() == 8) announced = static_cast<int>(BigU32(chunk.data.data()));
        if (chunk.type == "fcTL" && chunk.data.size() == 26) {
            ++facts.frames;
            const int numerator = BigU16(chunk.data.data() + 20);
            const int denominator = BigU16(chunk.data.data() + 22);
            facts.delays.push_back(numerator * 1000 / (denominator ? denominator : 100));
        }
    }
    facts.read = announced == facts.frames && facts.frames > 0;
    return facts;
}

AnimationFacts ReadWebP(const std::string& path) {
    AnimationFacts facts;
    std::vector<BYTE> bytes = host_testing::ReadFile(path);
    WebPData data{bytes.data(), bytes.size()};
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return facts;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder) return facts;
    WebPAnimInfo info;
    if (WebPAnimDecoderGetInfo(decoder, &info)) {
        facts.width = static_cast<int>(info.canvas_width);
        facts.height = static_cast<int>(info.canvas_height);
        int previous = 0;
        bool ok = true;
        while (ok && WebPAnimDecoderHasMoreFrames(decoder)) {
            uint8_t* canvas = nullptr;
            int timestamp = 0;
            ok = WebPAnimDecoderGetNext(decoder, &canvas, &timestamp);
            if (!ok) break;
            facts.delays.push_back(timestamp - previous);
            previous = timestamp;
            ++facts.frames;
        }
        facts.read = ok && facts.frames == static_cast<int>(info.frame_count);
    }
    WebPAnimDecoderDelete(decoder);
    return facts;
}

namespace {

using Canvas = std::vector<BYTE>;

void Normalise(Canvas& canvas) {
    for (std::size_t i = 0; i + 3 < canvas.size(); i += 4)
        if (canvas[i + 3] == 0) canvas[i] = canvas[i + 1] = canvas[i + 2] = 0;
}

void ClearArea(Canvas& canvas, int canvasWidth, int left, int top, int width, int height) {
    for (int y = top; y < top + height; ++y)
        std::memset(canvas.data() + (static_cast<std::size_t>(y) * canvasWidth + left) * 4, 0, static_cast<std::size_t>(width) * 4);
}

bool Inside(int canvasWidth, int canvasHeight, int left, int top, int width, int height) {
    return left >= 0 && top >= 0 && width > 0 && height > 0 && left + width <= canvasWidth && top + height <= canvasHeight;
}

void PutBig32(std::vector<BYTE>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<BYTE>(v >> shift));
}

void PutChunk(std::vector<BYTE>& out, const std::string& type, const BYTE* data, std::size_t size) {
    PutBig32(out, static_cast<std::uint32_t>(size));
    const std::size_t start = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data, data + size);
    PutBig32(out, static_cast<std::uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

// APNG: one frame's control chunk and the image data that follows it.
struct ApngFrame {
    std::vector<BYTE> control;
    std::vector<std::vector<BYTE>> data;  // IDAT contents, or fdAT without its sequence number
};

// One frame as a PNG file of its own, so that libpng decodes it.
std::vector<BYTE> StandalonePng(const std::vector<BYTE>& header, const std::vector<host_testing::PngChunk>& extras,
                                const ApngFrame& frame) {
    static const BYTE kSignature[] = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<BYTE> png(kSignature, kSignature + 8);
    std::vector<BYTE> ihdr = header;
    std::copy(frame.control.begin() + 4, frame.control.begin() + 12, ihdr.begin());  // width, height
    PutChunk(png, "IHDR", ihdr.data(), ihdr.size());
    for (const host_testing::PngChunk& chunk : extras) PutChunk(png, chunk.type, chunk.data.data(), chunk.data.size());
    for (const std::vector<BYTE>& data : frame.data) PutChunk(png, "IDAT", data.data(), data.size());
    PutChunk(png, "IEND", nullptr, 0);
    return png;
}

}  // namespace

Playback PlayGif(const std::string& path) {
    Playback play;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) {
        play.error = GifErrorString(error);
        return play;
    }
    if (DGifSlurp(gif) != GIF_OK) {
        play.error = GifErrorString(gif->Error);
        DGifCloseFile(gif, &error);
        return play;
    }
    play.width = gif->SWidth;
    play.height = gif->SHeight;
    Canvas canvas(static_cast<std::size_t>(play.width) * play.height * 4, 0);
    play.read = true;
    for (int i = 0; i < gif->ImageCount && play.read; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const GifImageDesc& place = image.ImageDesc;
        const ColorMapObject* map = place.ColorMap ? place.ColorMap : gif->SColorMap;
        GraphicsControlBlock control{};
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, i, &control);
        if (!map || place.Interlace || !Inside(play.width, play.height, place.Left, place.Top, place.Width, place.Height)) {
            play.error = "frame " + std::to_string(i) + " has no table, is interlaced or lies off the screen";
            play.read = false;
            break;
        }
        const Canvas before = canvas;
        for (int y = 0; y < place.Height; ++y)
            for (int x = 0; x < place.Width; ++x) {
                const int index = image.RasterBits[static_cast<std::size_t>(y) * place.Width + x];
                if (index == control.TransparentColor) continue;
                if (index >= map->ColorCount) {
                    play.error = "frame " + std::to_string(i) + " uses an index beyond its table";
                    play.read = false;
                    break;
                }
                BYTE* p = canvas.data() + (static_cast<std::size_t>(place.Top + y) * play.width + place.Left + x) * 4;
                p[0] = map->Colors[index].Red;
                p[1] = map->Colors[index].Green;
                p[2] = map->Colors[index].Blue;
                p[3] = 255;
            }
        play.canvases.push_back(canvas);
        play.delays.push_back(control.DelayTime * 10);
        if (control.DisposalMode == DISPOSE_BACKGROUND)
            ClearArea(canvas, play.width, place.Left, place.Top, place.Width, place.Height);
        else if (control.DisposalMode == DISPOSE_PREVIOUS)
            canvas = before;
    }
    DGifCloseFile(gif, &error);
    for (Canvas& c : play.canvases) Normalise(c);
    return play;
}

Playback PlayApng(const std::string& path) {
    Playback play;
    const std::vector<BYTE> bytes = host_testing::ReadFile(path);
    std::vector<BYTE> header;
    std::vector<host_testing::PngChunk> extras;  // PLTE and tRNS
    std::vector<ApngFrame> frames;
    int announced = -1;
    for (const host_testing::PngChunk& chunk : host_testing::PngChunks(bytes)) {
        if (!chunk.crcGood) {
            play.error = "the " + chunk.type + " chunk fails its check";
            return play;
        }
        if (chunk.type == "IHDR") header = chunk.data;
        else if (chunk.type == "PLTE" || chunk.type == "tRNS") extras.push_back(chunk);
        else if (chunk.type == "acTL" && chunk.data.size() == 8) announced = static_cast<int>(BigU32(chunk.data.data()));
        else if (chunk.type == "fcTL" && chunk.data.size() == 26) frames.push_back({chunk.data, {}});
        else if (chunk.type == "IDAT" && frames.size() == 1) frames.back().data.push_back(chunk.data);
        else if (chunk.type == "fdAT" && chunk.data.size() > 4 && !frames.empty())
            frames.back().data.emplace_back(chunk.data.begin() + 4, chunk.data.end());
    }
    if (header.size() != 13 || frames.empty() || announced != static_cast<int>(frames.size())) {
        play.error = "no header, no frames or a frame count that differs from acTL";
        return play;
    }
    play.width = static_cast<int>(BigU32(header.data()));
    play.height = static_cast<int>(BigU32(header.data() + 4));
    Canvas canvas(static_cast<std::size_t>(play.width) * play.height * 4, 0);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const BYTE* control = frames[i].control.data();
        const int width = static_cast<int>(BigU32(control + 4)), height = static_cast<int>(BigU32(control + 8));
        const int left = static_cast<int>(BigU32(control + 12)), top = static_cast<int>(BigU32(control + 16));
        const int numerator = BigU16(control + 20), denominator = BigU16(control + 22);
        const BYTE dispose = control[24], blend = control[25];
        if (!Inside(play.width, play.height, left, top, width, height) || frames[i].data.empty()) {
            play.error = "frame " + std::to_string(i) + " lies off the canvas or has no data";
            return play;
        }
        const host_testing::Rgba picture = host_testing::ReadPng(StandalonePng(header, extras, frames[i]));
        if (picture.width != width || picture.height != height) {
            play.error = "frame " + std::to_string(i) + " does not decode to its size";
            return play;
        }
        const Canvas before = canvas;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const BYTE* source = picture.pixels.data() + (static_cast<std::size_t>(y) * width + x) * 4;
                BYTE* p = canvas.data() + (static_cast<std::size_t>(top + y) * play.width + left + x) * 4;
                const int alpha = source[3];
                if (blend == 0 || alpha == 255) {
                    std::memcpy(p, source, 4);
                } else if (alpha != 0) {
                    // Over, as the format defines it, with straight alpha.
                    const int under = p[3] * (255 - alpha) / 255;
                    const int out = alpha + under;
                    for (int c = 0; c < 3; ++c) p[c] = static_cast<BYTE>((source[c] * alpha + p[c] * under) / out);
                    p[3] = static_cast<BYTE>(out);
                }
            }
        play.canvases.push_back(canvas);
        play.delays.push_back(numerator * 1000 / (denominator ? denominator : 100));
        if (dispose == 1) ClearArea(canvas, play.width, left, top, width, height);
        else if (dispose == 2) canvas = before;
    }
    for (Canvas& c : play.canvases) Normalise(c);
    play.read = true;
    return play;
}

Playback PlayWebP(const std::string& path) {
    Playback play;
    const std::vector<BYTE> bytes = host_testing::ReadFile(path);
    WebPData data{bytes.data(), bytes.size()};
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) return play;
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder) {
        play.error = "libwebp does not take the file";
        return play;
    }
    WebPAnimInfo info{};
    bool ok = WebPAnimDecoderGetInfo(decoder, &info);
    play.width = static_cast<int>(info.canvas_width);
    play.height = static_cast<int>(info.canvas_height);
    int previous = 0;
    while (ok && WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* canvas = nullptr;
        int timestamp = 0;
        ok = WebPAnimDecoderGetNext(decoder, &canvas, &timestamp);
        if (!ok) break;
        play.canvases.emplace_back(canvas, canvas + static_cast<std::size_t>(play.width) * play.height * 4);
        play.delays.push_back(timestamp - previous);
        previous = timestamp;
    }
    WebPAnimDecoderDelete(decoder);
    play.read = ok && play.canvases.size() == info.frame_count;
    if (!play.read) play.error = "a frame could not be decoded";
    for (Canvas& c : play.canvases) Normalise(c);
    return play;
}

}  // namespace cli_testing
