#include "tests/cli/cli_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <gif_lib.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <webp/demux.h>

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

}  // namespace cli_testing
