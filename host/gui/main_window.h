// The host window: a picture to animate, the plug-in's dialog, and a player
// for the animation it delivers (play/pause, step, a frame list with delays),
// saved as GIF, APNG or WebP.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <vector>

#include "host/core/host.h"
#include "host/gui/gui_services.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace luma::qt {
class QtDriver;
}

class MainWindow : public QMainWindow {
public:
    MainWindow(luma::qt::QtDriver& driver, HostOptions options);
    ~MainWindow() override;

    // The picture handed to the plug-in when its dialog opens next.
    void SetPicture(const QString& path);
    void OpenPicture();
    void RunPlugin();
    void SaveAs();
    // Writes the last animation in the format the path's extension names;
    // false (and a message) when it cannot.
    bool SaveTo(const QString& path);

    // What the player shows.
    int FrameCount() const { return static_cast<int>(frames_.size()); }
    int CurrentFrame() const { return current_; }
    bool Playing() const;
    // How long the frame on show stays while playing, in milliseconds (-1 when paused).
    int ShowingFor() const;
    const Host& host() const { return *host_; }
    GuiServices& services() { return services_; }

    // Takes the last animation the host received into the player.
    void ShowAnimation(const ReceivedAnimation& animation);
    void ShowFrame(int index);
    void Step(int by);
    void TogglePlay();
    unsigned FrameDelay(int index) const { return frames_.at(static_cast<size_t>(index)).delayMs; }
    QListWidget* FrameList() const { return list_; }

private:
    struct Frame {
        QImage image;
        unsigned delayMs;
    };
    void ScheduleNext();

    luma::qt::QtDriver& driver_;
    GuiServices services_;
    std::unique_ptr<Host> host_;
    QString picture_;
    bool pictureOffered_ = false;
    std::vector<Frame> frames_;
    int current_ = -1;
    std::string lastTestPath_;  // the test run last shown

    QLabel* view_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* play_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTimer* timer_ = nullptr;
};

// A received frame as a picture (transparent index as transparent pixels).
QImage FrameImage(const ReceivedFrame& frame);
