#include "host/gui/main_window.h"

#include <algorithm>
#include <climits>

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "dialog/main_dialog.h"
#include "host/core/host_error.h"
#include "host/core/output_file.h"
#include "host/core/write/animation_writer.h"
#include "host/gui/dialog_robot.h"
#include "luma/qt_driver.h"
#include "plugin/guards.h"

namespace {

// Qt's parent owns what this makes.
template <typename T, typename... Args>
T* Make(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...).release();
}

}  // namespace

QImage FrameImage(const ReceivedFrame& frame) {
    GlobalLockGuard<BYTE> bits(frame.image.get());
    if (!bits) return {};
    FrameView view(bits.get(), GlobalSize(frame.image.get()), frame.delay, frame.transparentIndex);
    QImage image(view.Width(), view.Height(), QImage::Format_RGBA8888);
    for (LONG y = 0; y < view.Height(); ++y) view.RgbaRow(y, image.scanLine(static_cast<int>(y)));
    return image;
}

MainWindow::MainWindow(luma::qt::QtDriver& driver, HostOptions options) : driver_(driver) {
    setWindowTitle("Lumafex");
    host_ = std::make_unique<Host>(std::move(options), services_);

    auto* central = Make<QWidget>();
    auto* layout = Make<QHBoxLayout>(central);
    auto* scroll = Make<QScrollArea>();
    view_ = Make<QLabel>();
    view_->setAlignment(Qt::AlignCenter);
    view_->setMinimumSize(320, 240);
    view_->setText("Open a picture, then run the plug-in (Animation > Effects...).");
    scroll->setWidget(view_);
    scroll->setWidgetResizable(true);
    layout->addWidget(scroll, 1);

    auto* side = Make<QVBoxLayout>();
    list_ = Make<QListWidget>();
    list_->setMinimumWidth(180);
    side->addWidget(list_, 1);
    auto* buttons = Make<QHBoxLayout>();
    auto* back = Make<QPushButton>("<");
    play_ = Make<QPushButton>("Play");
    auto* forward = Make<QPushButton>(">");
    back->setToolTip("Previous frame");
    forward->setToolTip("Next frame");
    buttons->addWidget(back);
    buttons->addWidget(play_);
    buttons->addWidget(forward);
    side->addLayout(buttons);
    layout->addLayout(side);
    setCentralWidget(central);

    timer_ = Make<QTimer>(this);
    timer_->setSingleShot(true);
    // A frame never leaves before its delay is over.
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, [this] {
        Step(1);
        ScheduleNext();
    });
    connect(back, &QPushButton::clicked, this, [this] { Step(-1); });
    connect(forward, &QPushButton::clicked, this, [this] { Step(1); });
    connect(play_, &QPushButton::clicked, this, [this] { TogglePlay(); });
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row != current_) ShowFrame(row);
    });

    QMenu* file = menuBar()->addMenu("&File");
    file->addAction("&Open picture...", QKeySequence::Open, this, [this] { OpenPicture(); });
    file->addAction("&Save animation as...", QKeySequence::SaveAs, this, [this] { SaveAs(); });
    file->addSeparator();
    file->addAction("&Quit", QKeySequence::Quit, this, [this] { close(); });
    QMenu* animation = menuBar()->addMenu("&Animation");
    animation->addAction("&Effects...", QKeySequence(Qt::CTRL | Qt::Key_E), this, [this] { RunPlugin(); });
    auto* tools = addToolBar("Main");
    tools->addAction("Open picture", this, [this] { OpenPicture(); });
    tools->addAction("Effects...", this, [this] { RunPlugin(); });
    tools->addAction("Save as...", this, [this] { SaveAs(); });

    progress_ = Make<QProgressBar>();
    progress_->setMaximumWidth(200);
    progress_->hide();
    statusBar()->addPermanentWidget(progress_);
    services_.status = [this](const QString& text) { statusBar()->showMessage(text); };
    progress_->setFormat("%v/%m");
    services_.progress = [this](std::int64_t index, std::int64_t count) {
        if (count <= 0 || count > INT_MAX) {
            progress_->hide();
            return;
        }
        // The plug-in names the frame it is at; the bar counts it as done,
        // so the last frame fills it.
        progress_->setRange(0, static_cast<int>(count));
        progress_->setValue(static_cast<int>(std::clamp<std::int64_t>(index + 1, 0, count)));
        progress_->show();
    };
    resize(900, 600);
}

MainWindow::~MainWindow() = default;

void MainWindow::SetPicture(const QString& path) {
    picture_ = path;
    pictureOffered_ = false;
    QImage image(path);
    if (!image.isNull() && frames_.empty()) view_->setPixmap(QPixmap::fromImage(image));
    statusBar()->showMessage("Picture: " + path);
}

void MainWindow::OpenPicture() {
    QString path = QFileDialog::getOpenFileName(this, "Open a picture", QFileInfo(picture_).path(),
                                                "Pictures (*.png *.jpg *.jpeg *.gif *.webp *.bmp);;All files (*)");
    if (!path.isEmpty()) SetPicture(path);
}

bool MainWindow::Playing() const { return timer_->isActive(); }

int MainWindow::ShowingFor() const { return timer_->isActive() ? timer_->interval() : -1; }

void MainWindow::RunPlugin() {
    timer_->stop();
    DialogRobot robot(driver_);
    if (!picture_.isEmpty() && !pictureOffered_) {
        // The picture opened here becomes the plug-in's, as if chosen with its Select... button.
        services_.fileChoices.push_back(picture_.toStdString());
        robot.Then(0, "hand over the picture", [&robot] { return robot.Click(kSelectPictureButton); });
        pictureOffered_ = true;
    }
    // Test runs play at once, the dialog staying open.
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [this] {
        const ReceivedAnimation* last = host_->LastAnimation();
        const BuildOutcome& outcome = host_->LastOutcome();
        if (last && last->test && outcome.written && outcome.path != lastTestPath_) {
            lastTestPath_ = outcome.path;
            ShowAnimation(*last);
        }
    });
    watcher.start(100);
    robot.Start();
    try {
        host_->RunPlugin(nullptr);
    } catch (const HostError& error) {
        QMessageBox::warning(this, "Lumafex", error.what());
    }
    watcher.stop();
    services_.fileChoices.clear();
    progress_->hide();
    const ReceivedAnimation* last = host_->LastAnimation();
    if (last && !last->test && host_->LastOutcome().written) ShowAnimation(*last);
}

void MainWindow::ShowAnimation(const ReceivedAnimation& animation) {
    timer_->stop();
    frames_.clear();
    list_->clear();
    for (std::size_t i = 0; i < animation.frames.size(); ++i) {
        const ReceivedFrame& frame = animation.frames[i];
        QImage image;
        try {
            image = FrameImage(frame);
        } catch (const HostError&) {
            continue;
        }
        unsigned delay = static_cast<unsigned>(DelayInMilliseconds(frame.delay, animation.delayUnit));
        frames_.push_back(Frame{image, delay});
        list_->addItem(QString("Frame %1  %2 ms").arg(i + 1).arg(delay));
    }
    current_ = -1;
    if (!frames_.empty()) {
        ShowFrame(0);
        TogglePlay();
    }
    statusBar()->showMessage(QString("%1 animation: %2 frames").arg(animation.test ? "Test" : "Built").arg(frames_.size()));
}

void MainWindow::ShowFrame(int index) {
    if (index < 0 || index >= FrameCount()) return;
    current_ = index;
    view_->setPixmap(QPixmap::fromImage(frames_[static_cast<size_t>(index)].image));
    if (list_->currentRow() != index) list_->setCurrentRow(index);
}

void MainWindow::Step(int by) {
    if (frames_.empty()) return;
    int count = FrameCount();
    ShowFrame(((current_ + by) % count + count) % count);
}

void MainWindow::TogglePlay() {
    if (timer_->isActive() || frames_.empty()) {
        timer_->stop();
        play_->setText("Play");
        return;
    }
    play_->setText("Pause");
    ScheduleNext();
}

void MainWindow::ScheduleNext() {
    if (frames_.empty() || current_ < 0) return;
    // A frame without a delay still shows for a moment, as browsers do.
    timer_->start(static_cast<int>(std::max(frames_[static_cast<size_t>(current_)].delayMs, 20u)));
}

void MainWindow::SaveAs() {
    const ReceivedAnimation* animation = host_->LastAnimation();
    if (!animation || animation->frames.empty()) {
        QMessageBox::information(this, "Lumafex", "There is no animation to save yet.");
        return;
    }
    QString selected;
    QString path = QFileDialog::getSaveFileName(this, "Save the animation", "animation.gif",
                                                "GIF (*.gif);;APNG (*.png *.apng);;WebP (*.webp)", &selected);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty())
        path += selected.startsWith("APNG") ? ".png" : selected.startsWith("WebP") ? ".webp" : ".gif";
    SaveTo(path);
}

bool MainWindow::SaveTo(const QString& path) {
    const ReceivedAnimation* animation = host_->LastAnimation();
    if (!animation || animation->frames.empty()) return false;
    try {
        OutputFile file = OutputFile::Replacing(path.toStdString());
        WriteAnimation(*animation, FormatForPath(path.toStdString()), file);
        file.Commit();
        statusBar()->showMessage("Saved " + path);
        return true;
    } catch (const HostError& error) {
        statusBar()->showMessage(error.what());
        if (!services_.unattended) QMessageBox::warning(this, "Lumafex", error.what());
        return false;
    }
}
