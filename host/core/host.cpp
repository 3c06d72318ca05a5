#include "host/core/host.h"

#include <unistd.h>

#include <cstring>
#include <new>
#include <vector>

#include "host/core/decode/picture_decoder.h"
#include "host/core/host_error.h"
#include "host/core/limits.h"
#include "image/packed_dib.h"

static_assert(((kInterfaceVersion >> 8) & 0xFF) >= kMinimumHostVersionByte);

namespace {

// Hosts alive, oldest first; the callback reaches the last.
std::vector<Host*>& LiveHosts() {
    static std::vector<Host*> hosts;
    return hosts;
}

std::string Number(std::uint64_t n) { return std::to_string(n); }

std::string Frames(std::uint64_t n) { return Number(n) + (n == 1 ? " frame" : " frames"); }

}  // namespace

struct Host::OpenTask {
    std::unique_ptr<ReceivedAnimation> animation;
    std::optional<OutputFile> file;
    std::unique_ptr<AnimationWriter> writer;  // after the file it writes into, so it ends first
};

void WriteAnimation(const ReceivedAnimation& animation, AnimationFormat format, ByteSink& sink) {
    std::unique_ptr<AnimationWriter> writer = MakeAnimationWriter(format, sink);
    writer->Begin({static_cast<LONG>(animation.task.width), static_cast<LONG>(animation.task.height), animation.delayUnit});
    for (const ReceivedFrame& frame : animation.frames) {
        GlobalLockGuard<BYTE> bits(frame.image.get());
        writer->AddFrame(FrameView(bits.get(), GlobalSize(frame.image.get()), frame.delay, frame.transparentIndex));
    }
    writer->SetComment(animation.comment);
    writer->Finish();
}

Host::Host(HostOptions options, HostServices& services)
    : options_(std::move(options)), services_(services), format_(FormatForPath(options_.outputPath)) {
    if (options_.buttonStyle > 3)
        throw HostError("Button style " + Number(options_.buttonStyle) + " does not exist; styles are 0 to 3.");
    context_.size = sizeof(HostContext);
    context_.version = kInterfaceVersion;
    context_.buttonStyle = options_.buttonStyle;
    context_.callback = &Host::Callback;
    context_.flags = options_.personality == HostPersonality::Gif ? kHundredthsFlag : kTrueColourFlag;
    LiveHosts().push_back(this);
}

Host::~Host() {
    task_.reset();
    std::erase(LiveHosts(), this);
}

DelayUnit Host::Delays() const {
    return options_.personality == HostPersonality::Gif ? DelayUnit::Hundredths : DelayUnit::Milliseconds;
}

void Host::LoadPlugin() {
    if (plugin_) return;
    auto plugin = std::make_unique<PluginLibrary>(options_.pluginPath.empty() ? DefaultPluginPath() : options_.pluginPath);
    PluginInfoRecord info{};
    info.size = sizeof info;
    if (!plugin->GetPluginParams()(&info)) throw HostError("The plug-in " + plugin->Path() + " did not describe itself.");
    info.name[sizeof info.name - 1] = '\0';
    info.notice[sizeof info.notice - 1] = '\0';
    info_ = info;
    plugin_ = std::move(plugin);
}

int Host::RunPlugin(HWND parent) {
    LoadPlugin();
    return plugin_->DoBuild()(parent, &context_);
}

std::int64_t Host::Callback(void* task, std::uint32_t code, std::int64_t a, void* b) {
    return LiveHosts().empty() ? 0 : LiveHosts().back()->Answer(task, code, a, b);
}

void Host::Tell(MessageKind kind, const std::string& text) noexcept {
    try {
        services_.Report(kind, text);
    } catch (...) {
        // A front end that cannot show a message must not take the plug-in down.
    }
}

std::int64_t Host::Answer(void*, std::uint32_t code, std::int64_t a, void* b) {
    // Nothing may leave here as an exception: the caller is the plug-in.
    try {
        switch (code) {
        case kRequestNewAnimation:
            return NewAnimation(b, false);
        case kRequestNewTestAnimation:
            return NewAnimation(b, true);
        case kRequestAddFrame:
            return AddFrame(b);
        case kRequestComment:
            return Comment(static_cast<const char*>(b));
        case kRequestFinish:
            return FinishAnimation(a != 0);
        case kRequestChooseImageFile:
            return ChooseImageFile(reinterpret_cast<HWND>(a), static_cast<char*>(b));
        case kRequestDecodeImage:
            return DecodeImage(static_cast<const char*>(b));
        case kRequestShowHelp:
            return ShowHelp(static_cast<const char*>(b));
        case kRequestStatusText:
            services_.ShowStatus(b ? static_cast<const char*>(b) : "");
            return 1;
        case kRequestChooseColour:
            return ChooseColour(b);
        case kRequestProgress:
            services_.ShowProgress(a, reinterpret_cast<std::intptr_t>(b));
            return 1;
        case kRequestBuildPressed:
            services_.BuildPressed();
            return 1;
        default:
            return 0;
        }
    } catch (const HostError& error) {
        Tell(MessageKind::Error, error.what());
    } catch (const std::bad_alloc&) {
        Tell(MessageKind::Error, "Out of memory.");
    } catch (const std::exception& error) {
        Tell(MessageKind::Error, error.what());
    } catch (...) {
        Tell(MessageKind::Error, "An unknown error stopped the request.");
    }
    return 0;
}

std::int64_t Host::NewAnimation(const void* record, bool test) {
    if (task_) {
        task_.reset();
        Tell(MessageKind::Error, "The animation in progress was abandoned: the plug-in started a new one.");
    }
    if (!record) throw HostError("Animation refused: the plug-in sent no task record.");
    TaskRecord task;
    std::memcpy(&task, record, sizeof task.size + sizeof task.version);
    if (task.size != sizeof(TaskRecord) || task.version != kInterfaceVersion)
        throw HostError("Animation refused: the task record has size " + Number(task.size) + " and version " +
                        Number(task.version) + ", not " + Number(sizeof(TaskRecord)) + " and " +
                        Number(kInterfaceVersion) + ".");
    std::memcpy(&task, record, sizeof task);
    if (!((task.bitsPerPixel >= 1 && task.bitsPerPixel <= 8) || task.bitsPerPixel == 24))
        throw HostError("Animation refused: " + Number(task.bitsPerPixel) +
                        " bits per pixel is not a depth of 1 to 8 or 24.");
    if (task.width == 0 || task.height == 0 || task.width > kMaxPictureSide || task.height > kMaxPictureSide)
        throw HostError("Animation refused: " + Number(task.width) + " x " + Number(task.height) +
                        " pixels is outside 1 to " + Number(kMaxPictureSide) + " pixels a side.");
    if (task.frameCount == 0) throw HostError("Animation refused: it announces no frames.");

    auto open = std::make_unique<OpenTask>();
    open->animation = std::make_unique<ReceivedAnimation>();
    open->animation->task = task;
    open->animation->test = test;
    open->animation->delayUnit = Delays();
    if (!test) open->file.emplace(OutputFile::Replacing(options_.outputPath));
    else if (!options_.testOutputPath.empty()) open->file.emplace(OutputFile::Replacing(options_.testOutputPath));
    else open->file.emplace(OutputFile::Temporary("lumafex-test-", FormatExtension(format_)));
    open->writer = MakeAnimationWriter(format_, *open->file);
    open->writer->Begin({static_cast<LONG>(task.width), static_cast<LONG>(task.height), Delays()});
    task_ = std::move(open);
    return 1;
}

std::int64_t Host::AddFrame(const void* record) {
    if (!task_) throw HostError("Frame refused: no animation has been started.");
    if (!record) throw HostError("Frame refused: the plug-in sent no image record.");
    ImageRecord image;
    std::memcpy(&image, record, sizeof image.size + sizeof image.version);
    if (image.size != sizeof(ImageRecord) || image.version != kInterfaceVersion)
        throw HostError("Frame refused: the image record has size " + Number(image.size) + " and version " +
                        Number(image.version) + ", not " + Number(sizeof(ImageRecord)) + " and " +
                        Number(kInterfaceVersion) + ".");
    std::memcpy(&image, record, sizeof image);

    ReceivedAnimation& animation = *task_->animation;
    const TaskRecord& task = animation.task;
    const std::size_t received = animation.frames.size();
    const std::string which = "Frame " + Number(image.frameIndex) + " refused: ";
    if (image.frameIndex != received)
        throw HostError(which + "frame " + Number(received) + " was expected next.");
    if (received >= task.frameCount)
        throw HostError(which + "the animation announced only " + Frames(task.frameCount) + ".");

    const SIZE_T blockSize = image.image ? GlobalSize(image.image) : 0;
    GlobalLockGuard<BYTE> bits(blockSize ? image.image : nullptr);
    if (!bits || !PackedDibFits(bits.get(), blockSize))
        throw HostError(which + "its picture is not a complete device-independent bitmap.");
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bits.get());
    const int announced = DibBitsForDepthCode(static_cast<int>(task.bitsPerPixel));
    // True colour delivers frames as rendered while the task still names the
    // palette's depth; a true-colour host takes them.
    bool depthFits = header->biBitCount == announced ||
                     (header->biBitCount == 24 && options_.personality == HostPersonality::TrueColour);
    if (!depthFits)
        throw HostError(which + "it has " + Number(header->biBitCount) + " bits per pixel where the animation announced " +
                        Number(announced) + ".");
    if (static_cast<std::uint32_t>(header->biWidth) > task.width || static_cast<std::uint32_t>(header->biHeight) > task.height)
        throw HostError(which + "its " + Number(header->biWidth) + " x " + Number(header->biHeight) +
                        " pixels exceed the announced " + Number(task.width) + " x " + Number(task.height) + ".");
    try {
        FrameView check(bits.get(), blockSize, image.delay, image.transparentIndex);
    } catch (const HostError& error) {
        throw HostError(which + error.what() + ".");
    }

    // The plug-in frees its pictures after the animation ends; the host keeps its own.
    ReceivedFrame frame;
    frame.image.reset(CopyGlobalBlock(image.image));
    if (!frame.image) throw HostError(which + "out of memory.");
    frame.delay = image.delay;
    frame.transparentIndex = header->biBitCount <= 8 ? image.transparentIndex : -1;
    {
        GlobalLockGuard<BYTE> copy(frame.image.get());
        if (!copy) throw HostError(which + "out of memory.");
        task_->writer->AddFrame(FrameView(copy.get(), blockSize, WrittenDelay(frame.delay), frame.transparentIndex));
    }
    animation.frames.push_back(std::move(frame));
    return 1;
}

std::uint32_t Host::WrittenDelay(std::uint32_t delay) const {
    const unsigned minimum = options_.minimumDelay;
    if (minimum == 0 || DelayInHundredths(delay, Delays()) >= minimum) return delay;
    return Delays() == DelayUnit::Hundredths ? minimum : minimum * 10;
}

std::int64_t Host::Comment(const char* text) {
    if (!task_) throw HostError("Comment ignored: no animation has been started.");
    task_->animation->comment = text ? text : "";
    task_->writer->SetComment(task_->animation->comment);
    return 1;
}

std::int64_t Host::FinishAnimation(bool keep) {
    if (!task_) {
        if (keep) throw HostError("Nothing to finish: no animation has been started.");
        return 0;
    }
    std::unique_ptr<OpenTask> task = std::move(task_);
    const bool test = task->animation->test;
    outcome_ = BuildOutcome{};
    outcome_.test = test;
    outcome_.frames = static_cast<unsigned>(task->animation->frames.size());
    if (!keep) {
        Tell(MessageKind::Information, std::string(test ? "The test animation" : "The animation") +
                                           " was abandoned; nothing was written.");
        return 1;
    }
    task->writer->Finish();
    task->file->Commit();
    outcome_.written = true;
    outcome_.path = task->file->Path();
    last_ = std::move(task->animation);
    const std::string frames = Frames(outcome_.frames);
    if (test)
        Tell(MessageKind::Information, "Test animation written to " + outcome_.path + " (" + frames + ").");
    else
        Tell(MessageKind::Information, "Wrote " + outcome_.path + " (" + frames + ").");
    return 1;
}

std::int64_t Host::ChooseImageFile(HWND owner, char* buffer) {
    if (!buffer) return 0;
    std::string path;
    if (!services_.ChooseImageFile(owner, path)) return 0;
    if (path.empty()) return 0;
    if (path.size() >= MAX_PATH)
        throw HostError("The path " + path + " is too long for the plug-in (" + Number(MAX_PATH - 1) +
                        " characters at most).");
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return 1;
}

std::int64_t Host::DecodeImage(const char* path) {
    if (!path || !*path) throw HostError("No picture file was named.");
    return reinterpret_cast<std::intptr_t>(DecodePictureFile(path));
}

std::int64_t Host::ShowHelp(const char* request) {
    std::string text = request ? request : "";
    std::size_t hash = text.find('#');
    std::string name = text.substr(0, hash);
    std::string anchor = hash == std::string::npos ? std::string() : text.substr(hash + 1);
    // The plug-in names a document, never a place: only the last part counts.
    std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    if (name.empty()) throw HostError("The plug-in asked for help without naming a document.");
    std::string folder = options_.helpFolder;
    if (folder.empty()) {
        std::string plugin = plugin_                       ? plugin_->Path()
                             : !options_.pluginPath.empty() ? options_.pluginPath
                                                            : DefaultPluginPath();
        std::size_t end = plugin.find_last_of('/');
        folder = end == std::string::npos ? "." : plugin.substr(0, end);
    }
    std::string document = folder + "/" + name;
    if (access(document.c_str(), R_OK) != 0) throw HostError("The help document " + document + " cannot be found.");
    return services_.ShowHelp(document, anchor) ? 1 : 0;
}

std::int64_t Host::ChooseColour(void* record) {
    if (!record) throw HostError("Colour choice refused: the plug-in sent no colour request.");
    auto* request = static_cast<ColourRequest*>(record);
    if (request->size != sizeof(ColourRequest) || request->version != kInterfaceVersion)
        throw HostError("Colour choice refused: the request has size " + Number(request->size) + " and version " +
                        Number(request->version) + ", not " + Number(sizeof(ColourRequest)) + " and " +
                        Number(kInterfaceVersion) + ".");
    COLORREF colour = request->colour & 0x00FFFFFF;
    if (!services_.ChooseColour(request->owner, colour, request->triples)) return 0;
    request->colour = colour & 0x00FFFFFF;
    return 1;
}
