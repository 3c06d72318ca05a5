#include "host/gui/gui_services.h"

#include <QApplication>
#include <QColorDialog>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTextBrowser>
#include <QUrl>

#include <memory>

namespace {

QWidget* ActiveWindow() { return QApplication::activeWindow(); }

}  // namespace

bool GuiServices::ChooseImageFile(HWND, std::string& path) {
    if (!fileChoices.empty()) {
        path = fileChoices.front();
        fileChoices.pop_front();
        return !path.empty();
    }
    if (unattended) return false;
    QString chosen = QFileDialog::getOpenFileName(ActiveWindow(), "Choose a picture", QString(),
                                                  "Pictures (*.png *.jpg *.jpeg *.gif *.webp *.bmp);;All files (*)");
    if (chosen.isEmpty()) return false;
    path = chosen.toStdString();
    return true;
}

bool GuiServices::ChooseColour(HWND, COLORREF& colour, const BYTE* swatches) {
    if (unattended) return false;
    QColorDialog dialog(QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour)), ActiveWindow());
    if (swatches) {
        // The first of the plug-in's suggestions fill the custom colour slots.
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            QColorDialog::setCustomColor(i, QColor(swatches[3 * i], swatches[3 * i + 1], swatches[3 * i + 2]));
    }
    if (dialog.exec() != QDialog::Accepted) return false;
    QColor chosen = dialog.selectedColor();
    colour = RGB(chosen.red(), chosen.green(), chosen.blue());
    return true;
}

bool GuiServices::ShowHelp(const std::string& document, const std::string& anchor) {
    helpShown.emplace_back(document, anchor);
    if (!QFileInfo::exists(QString::fromStdString(document))) return false;
    if (unattended) return true;
    if (!help_) {
        // A window of the plug-in's modal dialog, so it can be read and
        // scrolled while the dialog stays open; it goes when the dialog does.
        auto viewer = std::make_unique<QTextBrowser>(QApplication::activeModalWidget());
        viewer->setWindowFlag(Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle("Lumafex help");
        viewer->resize(720, 560);
        viewer->setOpenExternalLinks(true);
        help_ = viewer.release();  // deletes itself when closed
    }
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(document));
    if (!anchor.empty()) url.setFragment(QString::fromStdString(anchor));
    help_->setSource(url);
    if (!anchor.empty()) help_->scrollToAnchor(QString::fromStdString(anchor));
    help_->show();
    help_->raise();
    return true;
}

void GuiServices::ShowStatus(const std::string& text) {
    if (status) status(QString::fromStdString(text));
}

void GuiServices::ShowProgress(std::int64_t index, std::int64_t count) {
    if (progress) progress(index, count);
    // Builds run without a message loop: let the bar move.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void GuiServices::Report(MessageKind kind, const std::string& text) {
    messages.emplace_back(kind, text);
    if (status) status(QString::fromStdString(text));
    if (unattended || kind != MessageKind::Error) return;
    QMessageBox::warning(ActiveWindow(), "Lumafex", QString::fromStdString(text));
}
