// The Qt driver: widgets mirroring windows, the wait of idle message loops,
// the real-time clock, popup menus, file dialogs, beeps and the wait cursor.
#include "luma/qt_driver.h"

#include <commdlg.h>

#include <strings.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "qt/widgets.h"

namespace luma::qt {
namespace {

enum class Kind { Picture, Button, CheckBox, Label, Edit, Combo };

std::string ClassOf(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::string TextOf(HWND hwnd) {
    int n = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(n > 0 ? n : 0) + 1, '\0');
    int got = GetWindowTextA(hwnd, text.data(), n + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

Kind KindOf(HWND hwnd) {
    std::string cls = ClassOf(hwnd);
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    if (!(style & WS_CHILD)) return Kind::Picture;
    if (strcasecmp(cls.c_str(), "Button") == 0) {
        if (style & (BS_BITMAP | BS_ICON)) return Kind::Picture;
        switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
        case BS_DEFPUSHBUTTON: return Kind::Button;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE: return (style & BS_PUSHLIKE) ? Kind::Picture : Kind::CheckBox;
        default: return Kind::Picture;
        }
    }
    if (strcasecmp(cls.c_str(), "Edit") == 0) return (style & ES_MULTILINE) ? Kind::Picture : Kind::Edit;
    if (strcasecmp(cls.c_str(), "Static") == 0) {
        switch (style & SS_TYPEMASK) {
        case SS_LEFT:
        case SS_CENTER:
        case SS_RIGHT:
        case SS_SIMPLE:
        case SS_LEFTNOWORDWRAP: return Kind::Label;
        default: return Kind::Picture;
        }
    }
    if (strcasecmp(cls.c_str(), "ComboBox") == 0 && (style & 3) == CBS_DROPDOWNLIST) return Kind::Combo;
    return Kind::Picture;
}

// A label shows "&" as the mnemonic of the next letter, "&&" as itself.
QString LabelText(const std::string& text, bool prefix) {
    if (!prefix) return QString::fromStdString(text);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') out += '&', ++i;
            continue;
        }
        out += text[i];
    }
    return QString::fromStdString(out);
}

QRect GeometryOf(HWND hwnd) {
    if ((GetWindowLongA(hwnd, GWL_STYLE) & (WS_CHILD | WS_POPUP)) != WS_CHILD) {
        RECT client{};
        GetClientRect(hwnd, &client);
        return QRect(0, 0, client.right, client.bottom);
    }
    RECT r{};
    GetWindowRect(hwnd, &r);
    POINT origin = WidgetOrigin(GetParent(hwnd));
    return QRect(r.left - origin.x, r.top - origin.y, r.right - r.left, r.bottom - r.top);
}

// Qt's parent owns what this makes.
template <typename T, typename... Args>
T* MakeChild(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...).release();
}

QColor SysColour(int index) {
    COLORREF c = GetSysColor(index);
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

// The platform's colour scheme, so native controls match what the plug-in
// paints around them (a disabled label stays readable on the dialog's face).
QPalette ClassicPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, SysColour(COLOR_3DFACE));
    palette.setColor(QPalette::WindowText, SysColour(COLOR_WINDOWTEXT));
    palette.setColor(QPalette::Base, SysColour(COLOR_WINDOW));
    palette.setColor(QPalette::AlternateBase, SysColour(COLOR_3DFACE));
    palette.setColor(QPalette::Text, SysColour(COLOR_WINDOWTEXT));
    palette.setColor(QPalette::Button, SysColour(COLOR_3DFACE));
    palette.setColor(QPalette::ButtonText, SysColour(COLOR_BTNTEXT));
    palette.setColor(QPalette::Highlight, SysColour(COLOR_HIGHLIGHT));
    palette.setColor(QPalette::HighlightedText, SysColour(COLOR_HIGHLIGHTTEXT));
    palette.setColor(QPalette::Light, SysColour(COLOR_3DHILIGHT));
    palette.setColor(QPalette::Dark, SysColour(COLOR_3DSHADOW));
    palette.setColor(QPalette::Shadow, SysColour(COLOR_3DDKSHADOW));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, SysColour(COLOR_GRAYTEXT));
    palette.setColor(QPalette::Disabled, QPalette::Base, SysColour(COLOR_3DFACE));
    return palette;
}

void AddMenuItems(QMenu& menu, const std::vector<PopupMenuItem>& items) {
    for (const PopupMenuItem& item : items) {
        if (item.separator) {
            menu.addSeparator();
        } else if (!item.submenu.empty()) {
            QMenu* sub = menu.addMenu(QString::fromStdString(item.text));
            AddMenuItems(*sub, item.submenu);
        } else {
            std::string text = item.text;
            std::string shortcut;
            if (auto tab = text.find('\t'); tab != std::string::npos) {
                shortcut = text.substr(tab + 1);
                text.erase(tab);
            }
            QAction* action = menu.addAction(QString::fromStdString(text));
            if (!shortcut.empty()) action->setText(action->text() + '\t' + QString::fromStdString(shortcut));
            action->setData(item.id);
            action->setEnabled(!item.grayed);
            action->setCheckable(item.checked);
            action->setChecked(item.checked);
        }
    }
}

}  // namespace

struct QtDriver::Impl {
    QtDriver& driver;
    QElapsedTimer clock;
    WidgetHooks hooks;

    struct Mirror {
        Kind kind = Kind::Picture;
        QPointer<QWidget> widget;
        bool topLevel = false;
    };
    std::map<HWND, Mirror> mirrors;

    std::deque<std::function<void()>> steps;
    std::vector<QEventLoop*> loops;  // the waits in progress, innermost last
    std::vector<HWND> modals;
    bool applying = false;  // a platform change is being shown: widgets' signals are not the user's
    bool waitCursor = false;
    int running = 0;  // steps being run: the platform is busy with the user's last action
    // Timers started for later work die with the driver.
    QObject context;

    explicit Impl(QtDriver& d) : driver(d) {
        clock.start();
        hooks.focused = [this](HWND hwnd, bool usersChoice) {
            if (applying) return;
            if (!usersChoice) {
                // A window coming to the front keeps the platform's focus
                // control when that one has a widget to show it.
                HWND focus = GetFocus();
                QWidget* other = focus && focus != hwnd ? Widget(focus) : nullptr;
                auto it = mirrors.find(focus);
                if (other && it != mirrors.end() && it->second.kind != Kind::Picture &&
                    GetAncestor(focus, GA_ROOT) == GetAncestor(hwnd, GA_ROOT)) {
                    applying = true;
                    other->setFocus(Qt::OtherFocusReason);
                    applying = false;
                    return;
                }
            }
            driver.Deliver([hwnd] {
                if (IsWindow(hwnd) && GetFocus() != hwnd) SetFocus(hwnd);
            });
        };
        hooks.mouse = [this](HWND hwnd, UINT msg, QPoint at) {
            POINT origin = WidgetOrigin(hwnd);
            POINT screen{origin.x + at.x(), origin.y + at.y()};
            MouseAction action = msg == WM_LBUTTONDOWN ? MouseAction::kLeftDown
                                 : msg == WM_LBUTTONUP ? MouseAction::kLeftUp
                                                       : MouseAction::kMove;
            driver.Deliver([action, screen] { InjectMouse(action, screen); });
        };
        hooks.closeRequested = [this](HWND hwnd) {
            driver.Deliver([hwnd] {
                if (IsWindow(hwnd)) PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
            });
        };
    }

    QWidget* Widget(HWND hwnd) {
        auto it = mirrors.find(hwnd);
        return it == mirrors.end() ? nullptr : it->second.widget.data();
    }

    QWidget* Ensure(HWND hwnd) {
        if (QWidget* w = Widget(hwnd)) return w;
        if (!IsWindow(hwnd)) return nullptr;
        LONG style = GetWindowLongA(hwnd, GWL_STYLE);
        bool topLevel = (style & (WS_CHILD | WS_POPUP)) != WS_CHILD;
        QWidget* parent = nullptr;
        if (!topLevel) {
            parent = Ensure(GetParent(hwnd));
            if (!parent) return nullptr;
        }
        Mirror mirror;
        mirror.kind = KindOf(hwnd);
        mirror.topLevel = topLevel;
        QWidget* widget = topLevel ? MakeTopLevel(hwnd) : MakeChildWidget(hwnd, mirror.kind, parent);
        mirror.widget = widget;
        mirrors[hwnd] = mirror;
        Apply(hwnd, ~0u);
        return widget;
    }

    QWidget* MakeTopLevel(HWND hwnd) {
        // Deleted when its window is destroyed (Forget), or with its owner's widget.
        auto* view = MakeChild<PictureView>(hwnd, hooks, nullptr);
        HWND owner = GetWindow(hwnd, GW_OWNER);
        Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
        if (QWidget* ownerWidget = owner ? Widget(GetAncestor(owner, GA_ROOT)) : nullptr) {
            view->setParent(ownerWidget->window(), flags);
        } else {
            view->setWindowFlags(flags);
        }
        view->setPalette(ClassicPalette());
        // The host's own windows wait while the plug-in's dialog is open.
        view->setWindowModality(Qt::ApplicationModal);
        return view;
    }

    QWidget* MakeChildWidget(HWND hwnd, Kind kind, QWidget* parent) {
        QFont font("Arial");
        font.setPixelSize(11);
        QWidget* widget = nullptr;
        switch (kind) {
        case Kind::Button: {
            auto* button = MakeChild<NativeButton>(hwnd, hooks, parent);
            QObject::connect(button, &QPushButton::clicked, [this, hwnd] { Click(hwnd); });
            widget = button;
            break;
        }
        case Kind::CheckBox: {
            auto* box = MakeChild<NativeCheckBox>(hwnd, hooks, parent);
            QObject::connect(box, &QCheckBox::clicked, [this, hwnd] { Click(hwnd); });
            widget = box;
            break;
        }
        case Kind::Label: {
            auto* label = MakeChild<NativeLabel>(hwnd, hooks, parent);
            label->setFocusPolicy(Qt::NoFocus);
            label->setAttribute(Qt::WA_TransparentForMouseEvents,
                                !(GetWindowLongA(hwnd, GWL_STYLE) & SS_NOTIFY));
            widget = label;
            break;
        }
        case Kind::Edit: {
            auto* edit = MakeChild<NativeEdit>(hwnd, hooks, parent);
            QObject::connect(edit, &QLineEdit::textEdited, [this, hwnd](const QString& text) {
                if (applying) return;
                std::string value = text.toStdString();
                driver.Deliver([hwnd, value] {
                    if (IsWindow(hwnd) && TextOf(hwnd) != value) SetWindowTextA(hwnd, value.c_str());
                });
            });
            widget = edit;
            break;
        }
        case Kind::Combo: {
            auto* combo = MakeChild<NativeCombo>(hwnd, hooks, parent);
            combo->setMaxVisibleItems(20);
            combo->opened = [this, hwnd] {
                if (!applying) driver.Deliver([hwnd] { NotifyParent(hwnd, CBN_DROPDOWN); });
            };
            combo->closed = [this, hwnd, combo] {
                if (applying) return;
                combo->fromList = true;
                // Qt closes the list before it reports the chosen item; the
                // window hears of the choice first, as Windows tells it.
                QTimer::singleShot(0, &context, [this, hwnd, guard = QPointer<NativeCombo>(combo)] {
                    if (guard) guard->fromList = false;
                    driver.Deliver([hwnd] {
                        if (IsWindow(hwnd)) NotifyParent(hwnd, CBN_CLOSEUP);
                    });
                });
            };
            QObject::connect(combo, &QComboBox::activated, [this, hwnd, combo](int index) {
                if (applying) return;
                bool fromList = combo->fromList || combo->view()->isVisible();
                driver.Deliver([hwnd, index, fromList] {
                    if (!IsWindow(hwnd)) return;
                    if (SendMessageA(hwnd, CB_GETCURSEL, 0, 0) != index) {
                        SendMessageA(hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
                        NotifyParent(hwnd, CBN_SELCHANGE);
                    }
                    if (fromList && IsWindow(hwnd)) NotifyParent(hwnd, CBN_SELENDOK);
                });
            });
            widget = combo;
            break;
        }
        case Kind::Picture:
            widget = MakeChild<PictureView>(hwnd, hooks, parent);
            break;
        }
        if (kind != Kind::Picture) widget->setFont(font);
        return widget;
    }

    // The control's notification to its parent, as the control class sends it.
    static void NotifyParent(HWND hwnd, UINT code) {
        HWND parent = GetParent(hwnd);
        if (!parent) return;
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
    }

    void Click(HWND hwnd) {
        if (applying) return;
        driver.Deliver([hwnd] {
            if (IsWindow(hwnd) && IsWindowEnabled(hwnd)) SendMessageA(hwnd, BM_CLICK, 0, 0);
        });
    }

    // Shows the window's state on its widget; nothing goes back to the window.
    void Apply(HWND hwnd, unsigned changes) {
        auto it = mirrors.find(hwnd);
        if (it == mirrors.end() || !it->second.widget) return;
        Mirror& m = it->second;
        QWidget* widget = m.widget;
        bool wasApplying = applying;
        applying = true;
        QSignalBlocker block(widget);
        LONG style = GetWindowLongA(hwnd, GWL_STYLE);
        if (changes & kTextChanged) {
            std::string text = TextOf(hwnd);
            switch (m.kind) {
            case Kind::Button: static_cast<QPushButton*>(widget)->setText(QString::fromStdString(text)); break;
            case Kind::CheckBox: static_cast<QCheckBox*>(widget)->setText(QString::fromStdString(text)); break;
            case Kind::Label:
                static_cast<QLabel*>(widget)->setText(LabelText(text, !(style & SS_NOPREFIX)));
                break;
            case Kind::Edit: {
                auto* edit = static_cast<QLineEdit*>(widget);
                if (edit->text().toStdString() != text) edit->setText(QString::fromStdString(text));
                break;
            }
            case Kind::Combo: break;
            case Kind::Picture:
                if (m.topLevel) widget->setWindowTitle(QString::fromStdString(text));
                widget->update();
                break;
            }
        }
        if (changes & (kStyleChanged | kTextChanged)) {
            if (m.kind == Kind::Label) {
                auto* label = static_cast<QLabel*>(widget);
                Qt::Alignment align = Qt::AlignTop | Qt::AlignLeft;
                if ((style & SS_TYPEMASK) == SS_CENTER) align = Qt::AlignTop | Qt::AlignHCenter;
                if ((style & SS_TYPEMASK) == SS_RIGHT) align = Qt::AlignTop | Qt::AlignRight;
                label->setAlignment(align);
                label->setWordWrap((style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP && (style & SS_TYPEMASK) != SS_SIMPLE);
            }
            if (m.kind == Kind::Edit) {
                auto* edit = static_cast<QLineEdit*>(widget);
                edit->setReadOnly(style & ES_READONLY);
                edit->setAlignment((style & ES_RIGHT) ? Qt::AlignRight : (style & ES_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft);
                int limit = static_cast<int>(SendMessageA(hwnd, EM_GETLIMITTEXT, 0, 0));
                if (limit > 0) edit->setMaxLength(limit);
            }
            if (m.kind == Kind::Button) static_cast<QPushButton*>(widget)->setDefault((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
        }
        if (changes & kGeometryChanged) {
            QRect g = GeometryOf(hwnd);
            if (m.topLevel) {
                widget->setFixedSize(g.size());
            } else {
                widget->setGeometry(g);
            }
            ForgetBackgrounds(hwnd);
        }
        if (changes & kEnabledChanged) widget->setEnabled(!(style & WS_DISABLED));
        if (changes & kCheckChanged && m.kind == Kind::CheckBox) {
            LRESULT check = SendMessageA(hwnd, BM_GETCHECK, 0, 0);
            auto* box = static_cast<QCheckBox*>(widget);
            box->setTristate((style & BS_TYPEMASK) == BS_3STATE || (style & BS_TYPEMASK) == BS_AUTO3STATE);
            box->setCheckState(check == BST_CHECKED ? Qt::Checked : check == BST_INDETERMINATE ? Qt::PartiallyChecked : Qt::Unchecked);
        }
        if (changes & kItemsChanged && m.kind == Kind::Combo) {
            auto* combo = static_cast<QComboBox*>(widget);
            combo->clear();
            int count = static_cast<int>(SendMessageA(hwnd, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                LRESULT length = SendMessageA(hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
                std::string item(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
                SendMessageA(hwnd, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
                item.resize(std::strlen(item.c_str()));
                combo->addItem(QString::fromStdString(item));
            }
            changes |= kSelectionChanged;
        }
        if (changes & kSelectionChanged && m.kind == Kind::Combo) {
            auto* combo = static_cast<QComboBox*>(widget);
            combo->setCurrentIndex(static_cast<int>(SendMessageA(hwnd, CB_GETCURSEL, 0, 0)));
        }
        if (changes & kOrderChanged && !m.topLevel) Restack(GetParent(hwnd));
        if (changes & kVisibilityChanged) {
            bool shown = (style & WS_VISIBLE) != 0;
            if (m.topLevel && shown && !widget->isVisible()) {
                widget->show();
                widget->raise();
                widget->activateWindow();
            } else {
                widget->setVisible(shown);
            }
        }
        if (changes & kFocusChanged && m.kind != Kind::Picture) {
            if (GetFocus() == hwnd && !widget->hasFocus())
                widget->setFocus(Qt::OtherFocusReason);
            else if (GetFocus() != hwnd && widget->hasFocus())
                widget->clearFocus();
        }
        applying = wasApplying;
    }

    // The platform keeps children top first; Qt draws later siblings on top.
    void Restack(HWND parent) {
        std::vector<HWND> order;
        for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) order.push_back(child);
        for (auto it = order.rbegin(); it != order.rend(); ++it)
            if (QWidget* w = Widget(*it)) w->raise();
    }

    void ForgetBackgrounds(HWND parent) {
        for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            auto it = mirrors.find(child);
            if (it == mirrors.end() || !it->second.widget) continue;
            QWidget* w = it->second.widget;
            switch (it->second.kind) {
            case Kind::Button: static_cast<NativeButton*>(w)->ForgetBackground(); break;
            case Kind::CheckBox: static_cast<NativeCheckBox*>(w)->ForgetBackground(); break;
            case Kind::Label: static_cast<NativeLabel*>(w)->ForgetBackground(); break;
            case Kind::Edit: static_cast<NativeEdit*>(w)->ForgetBackground(); break;
            case Kind::Combo: static_cast<NativeCombo*>(w)->ForgetBackground(); break;
            case Kind::Picture: continue;
            }
            w->update();
        }
    }

    void Forget(HWND hwnd) {
        auto it = mirrors.find(hwnd);
        if (it == mirrors.end()) return;
        QPointer<QWidget> widget = it->second.widget;
        mirrors.erase(it);
        if (!widget) return;
        widget->hide();
        // Children go before their parents; whatever is still inside goes with it.
        std::unique_ptr<QWidget> doomed(widget.data());
    }

    void Wake() {
        if (!loops.empty()) loops.back()->quit();
    }

    void RunSteps() {
        ++running;
        struct Done {
            int& count;
            ~Done() { --count; }
        } done{running};
        while (!steps.empty()) {
            std::function<void()> step = std::move(steps.front());
            steps.pop_front();
            step();
        }
    }
};

QtDriver::QtDriver() : impl_(std::make_unique<Impl>(*this)) {}

QtDriver::~QtDriver() {
    std::vector<QPointer<QWidget>> tops;
    for (const auto& [hwnd, mirror] : impl_->mirrors)
        if (mirror.topLevel) tops.push_back(mirror.widget);
    impl_->mirrors.clear();
    for (QPointer<QWidget>& top : tops)
        if (top) std::unique_ptr<QWidget> doomed(top.data());
}

void QtDriver::WindowCreated(HWND hwnd) {
    HWND parent = GetParent(hwnd);
    bool child = (GetWindowLongA(hwnd, GWL_STYLE) & (WS_CHILD | WS_POPUP)) == WS_CHILD;
    // A child made while its parent is still being created waits for the parent.
    if (child && parent && !impl_->Widget(parent)) {
        if (impl_->Ensure(parent) == nullptr) return;
    }
    impl_->Ensure(hwnd);
}

void QtDriver::WindowDestroyed(HWND hwnd) { impl_->Forget(hwnd); }

void QtDriver::WindowChanged(HWND hwnd, unsigned changes) {
    if (!impl_->Widget(hwnd)) return;
    impl_->Apply(hwnd, changes);
}

void QtDriver::WindowPainted(HWND hwnd, const RECT& area) {
    auto it = impl_->mirrors.find(hwnd);
    if (it == impl_->mirrors.end() || !it->second.widget) return;
    QWidget* widget = it->second.widget;
    if (it->second.kind == Kind::Picture) {
        QRect shown(area.left, area.top, area.right - area.left, area.bottom - area.top);
        if (it->second.topLevel) {
            RECT window{};
            GetWindowRect(hwnd, &window);
            POINT origin = WidgetOrigin(hwnd);
            shown.translate(window.left - origin.x, window.top - origin.y);
        }
        widget->update(shown);
    }
    // A parent that painted may have a new background under its native controls.
    impl_->ForgetBackgrounds(hwnd);
}

unsigned long long QtDriver::Now() { return static_cast<unsigned long long>(impl_->clock.elapsed()); }

WaitResult QtDriver::WaitForInput(HWND modal, std::optional<unsigned long long> deadline) {
    if (!impl_->steps.empty()) {
        impl_->RunSteps();
        return WaitResult::kReady;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (deadline) {
        unsigned long long now = Now();
        timer.start(static_cast<int>(*deadline > now ? std::min<unsigned long long>(*deadline - now, 1u << 30) : 0));
    }
    impl_->loops.push_back(&loop);
    impl_->modals.push_back(modal);
    loop.exec();
    impl_->modals.pop_back();
    impl_->loops.pop_back();
    impl_->RunSteps();
    return WaitResult::kReady;
}

void QtDriver::Deliver(std::function<void()> step) {
    impl_->steps.push_back(std::move(step));
    if (!impl_->loops.empty()) {
        impl_->Wake();
        return;
    }
    // No message loop waits: run it once the current Qt event is done.
    QTimer::singleShot(0, &impl_->context, [this] {
        // A loop that waits, or one that will once the platform is done with
        // the step in progress, runs what is queued.
        if (!impl_->loops.empty() || impl_->running) return;
        impl_->RunSteps();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    });
}

bool QtDriver::Waiting() const { return !impl_->loops.empty(); }

HWND QtDriver::WaitingModal() const { return impl_->modals.empty() ? nullptr : impl_->modals.back(); }

QWidget* QtDriver::WidgetOf(HWND hwnd) const { return impl_->Widget(hwnd); }

HWND QtDriver::WindowOf(const QWidget* widget) const {
    for (const auto& [hwnd, mirror] : impl_->mirrors)
        if (mirror.widget == widget) return hwnd;
    return nullptr;
}

UINT QtDriver::PopupMenu(const PopupMenuRequest& request) {
    QMenu menu;
    AddMenuItems(menu, request.items);
    QPoint at(request.where.x, request.where.y);
    if (HWND owner = request.owner) {
        if (QWidget* widget = impl_->Widget(owner)) {
            POINT origin = WidgetOrigin(owner);
            at = widget->mapToGlobal(QPoint(request.where.x - origin.x, request.where.y - origin.y));
        }
    }
    QAction* chosen = menu.exec(at);
    return chosen ? chosen->data().toUInt() : 0;
}

std::optional<FileDialogAnswer> QtDriver::FileDialog(const FileDialogRequest& request) {
    QWidget* owner = request.owner ? impl_->Widget(GetAncestor(request.owner, GA_ROOT)) : nullptr;
    QFileDialog dialog(owner, QString::fromStdString(request.title), QString::fromStdString(request.initialDir));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile
                       : (request.flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                             : QFileDialog::AnyFile);
    if (request.save && !(request.flags & OFN_OVERWRITEPROMPT)) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    QStringList filters;
    for (const auto& [description, pattern] : request.filters) {
        QString patterns = QString::fromStdString(pattern);
        patterns.replace(';', ' ');
        filters << QString::fromStdString(description) + " (" + patterns + ")";
    }
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        int index = request.filterIndex - 1;
        if (index >= 0 && index < filters.size()) dialog.selectNameFilter(filters[index]);
    }
    if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (!request.initialFile.empty()) dialog.selectFile(QString::fromStdString(request.initialFile));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    FileDialogAnswer answer;
    answer.path = dialog.selectedFiles().first().toStdString();
    answer.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return answer;
}

void QtDriver::Beep(UINT) { QApplication::beep(); }

void QtDriver::CursorChanged(HCURSOR cursor) {
    bool wait = cursor && cursor == LoadCursorA(nullptr, IDC_WAIT);
    if (wait == impl_->waitCursor) return;
    impl_->waitCursor = wait;
    if (wait) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // Previews and builds run without a message loop: show the cursor now.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

SIZE QtDriver::ScreenSize() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return SIZE{1024, 768};
    QSize size = screen->size();
    return SIZE{size.width(), size.height()};
}

ScopedQtDriver::ScopedQtDriver() : driver_(std::make_unique<QtDriver>()) { SetDriver(driver_.get()); }

ScopedQtDriver::~ScopedQtDriver() { SetDriver(nullptr); }

}  // namespace luma::qt
