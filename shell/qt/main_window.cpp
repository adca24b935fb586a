// The main window's controls and handlers, and how the core's writes from
// worker threads reach it: each becomes an event served on the window thread,
// the synchronous ones while the worker waits, progress without waiting.
#include "shell/qt/main_window.h"

#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QWindow>

#include <atomic>
#include <cstdio>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/drop.h"
#include "core/failure_report.h"
#include "core/requests.h"
#include "core/tally.h"
#include "core/walk_team.h"
#include "core/window_port.h"
#include "shell/dialog_templates.h"
#include "shell/print/terminal_texts.h"
#include "shell/qt/about_box.h"
#include "shell/qt/dialog_units.h"
#include "shell/qt/file_urls.h"
#include "shell/qt/keep_above.h"
#include "shell/qt/result_field.h"
#include "text/number_format.h"
#include "text/summary.h"

namespace {

// One synchronous write of a worker, handed to the window thread. The worker
// fills it, posts it and sleeps until the window thread marks it done; both
// sides touch it only under write_mutex.
struct WindowWrite {
    int control;
    const char* text;  // null for enabling or disabling
    bool enabled;
    bool done;
};

std::mutex write_mutex;
std::condition_variable write_served;

const QEvent::Type window_write_event = static_cast<QEvent::Type>(QEvent::User + 1);
// Progress was posted: take it. The worker that posts it does not wait.
const QEvent::Type progress_event = static_cast<QEvent::Type>(QEvent::User + 2);

class WindowWriteEvent : public QEvent {
public:
    explicit WindowWriteEvent(WindowWrite* request) : QEvent(window_write_event), write(request) {}
    WindowWrite* write;
};

// The window that writes reach; touched on the window thread only.
QPointer<MainWindowWidget> current_window;

// The core's writes made before the first window exists, kept under
// write_mutex: the window program starts counting its command-line paths
// while Qt itself starts, and the window, once made, shows what was written.
// The four fields and the status line, in id order.
constexpr int early_text_slots = IDC_STATUS_LINE - IDC_FILES_FIELD + 1;

struct EarlyWrites {
    bool recording;
    bool written[early_text_slots];
    char texts[early_text_slots][summary_text_size];
    bool reset_enabled;  // the only control the core enables or disables
};

EarlyWrites early;

// Caller holds write_mutex.
void record_early(const WindowWrite& write)
{
    if (write.text == nullptr) {
        if (write.control == IDC_RESET_BUTTON) early.reset_enabled = write.enabled;
        return;
    }
    if (write.control < IDC_FILES_FIELD || write.control > IDC_STATUS_LINE) return;
    const int slot = write.control - IDC_FILES_FIELD;
    snprintf(early.texts[slot], summary_text_size, "%s", write.text);
    early.written[slot] = true;
}

void carry_out(const WindowWrite& write)
{
    if (current_window.isNull()) return;
    if (write.text != nullptr)
        current_window->show_control_text(write.control, write.text);
    else
        current_window->set_control_enabled(write.control, write.enabled);
}

// Receives the workers' writes and progress on the window thread. Made with
// the first window and kept for the rest of the process, so a worker's write
// always has a receiver, even once its window has gone.
class WindowThreadRelay : public QObject {
public:
    WindowThreadRelay()
    {
        progress_timer_.setSingleShot(true);
        progress_timer_.setInterval(progress_interval_ms);
        QObject::connect(&progress_timer_, &QTimer::timeout, this, &WindowThreadRelay::look_at_progress);
    }

    // The events, too, are read only under write_mutex: a worker made them,
    // and Qt's own hand-over is invisible to ThreadSanitizer.
    bool event(QEvent* event) override
    {
        std::unique_lock<std::mutex> hold(write_mutex);
        if (event->type() == progress_event) {
            hold.unlock();
            look_at_progress();
            return true;
        }
        if (event->type() != window_write_event) {
            hold.unlock();
            return QObject::event(event);
        }
        WindowWrite* write = static_cast<WindowWriteEvent*>(event)->write;
        carry_out(*write);
        write->done = true;
        hold.unlock();
        write_served.notify_all();
        return true;
    }

    // Shows the latest progress and, while a request runs, its counts so
    // far; looks again after the interval while either goes on. The counts
    // a request writes when it ends come after its last look.
    void look_at_progress()
    {
        if (current_window.isNull()) return;
        char text[progress_text_size];
        const bool fresh = take_progress(text);
        if (fresh) current_window->show_progress(text);
        Tally running;
        const bool counting = running_tally(&running);
        if (counting) show_summary(running);
        if (fresh || counting) progress_timer_.start();
    }

private:
    QTimer progress_timer_;
};

std::atomic<WindowThreadRelay*> relay{nullptr};
std::atomic<std::thread::id> window_thread{};

// Carries out a write on the window thread and returns when it is done, or
// keeps it for the window while none exists yet. The window thread itself
// (Reset, the first display) writes directly. When the
// window thread has stopped serving events the worker waits for ever; the
// program ends the process without waiting for its workers.
void write_to_window(const WindowWrite& request)
{
    std::unique_lock<std::mutex> hold(write_mutex);
    if (early.recording) {
        record_early(request);
        return;
    }
    // (Asking Qt for the current thread would make it adopt every worker.)
    if (std::this_thread::get_id() == window_thread.load(std::memory_order_acquire)) {
        hold.unlock();
        carry_out(request);
        return;
    }
    WindowWrite write = request;
    auto* event = new WindowWriteEvent(&write);
    write.done = false;
    hold.unlock();  // hands the write and its event over to the window thread
    QCoreApplication::postEvent(relay.load(std::memory_order_acquire), event);
    hold.lock();
    write_served.wait(hold, [&write] { return write.done; });
}

// Items the requests could not read since the last "Ready".
std::atomic<uint32_t> unreadable_items{0};

void report_to_window(ScanFailure failure, const char* path, size_t path_len, const char* name, int error)
{
    unreadable_items.fetch_add(1, std::memory_order_relaxed);
    write_failure_line(failure, path, path_len, name, error);
}

// The status line's one synchronous write is a request's "Ready", made after
// its last walk: every item it could not read has been reported by then.
void write_text(void*, int control, const char* text)
{
    const uint32_t unreadable =
        control == IDC_STATUS_LINE ? unreadable_items.exchange(0, std::memory_order_relaxed) : 0;
    if (unreadable == 0) {
        write_to_window(WindowWrite{control, text, false, false});
        return;
    }
    char count[grouped_text_size];
    format_grouped(count, unreadable);
    char status[summary_text_size];
    snprintf(status, sizeof status, "%s - %s %s could not be read", text, count, unreadable == 1 ? "item" : "items");
    write_to_window(WindowWrite{control, status, false, false});
}

void write_enabled(void*, int control, bool enabled)
{
    write_to_window(WindowWrite{control, nullptr, enabled, false});
}

// Wakes the window thread and returns at once. Before there is a window,
// the window looks when it is made.
void progress_posted(void*)
{
    const std::lock_guard<std::mutex> hold(write_mutex);
    if (early.recording) return;
    QCoreApplication::postEvent(relay.load(std::memory_order_acquire), new QEvent(progress_event));
}

const WindowPort qt_window_port = {nullptr, write_text, write_enabled, progress_posted};

// Makes `window` the one writes reach and shows what was written before it
// existed; returns false when nothing was counted early.
bool take_over_early_writes(MainWindowWidget* window)
{
    {
        const std::lock_guard<std::mutex> hold(write_mutex);
        if (!early.recording) return false;
        early.recording = false;
        for (int slot = 0; slot < early_text_slots; ++slot)
            if (early.written[slot]) window->show_control_text(IDC_FILES_FIELD + slot, early.texts[slot]);
        // Disabled while a request still uses the Tally: Reset stays sound.
        window->set_control_enabled(IDC_RESET_BUTTON, early.reset_enabled);
        current_window = window;
    }
    relay.load(std::memory_order_acquire)->look_at_progress();
    return true;
}

QPushButton* make_button(QWidget* parent, const QRect& place, const char* text)
{
    auto* button = new QPushButton(dialog_text(text), parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setGeometry(place);
    return button;
}

// A close box and nothing else, as the Windows dialog has: no maximize or
// minimize button that a desktop could offer.
constexpr Qt::WindowFlags window_flags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// The core writes to the window from now on; the command-line paths are
// counted.
void begin_counting()
{
    store_window_port(&qt_window_port);
    refresh_summary();
    if (argument_list.count > 1) start_argument_request();
}

}  // namespace

void count_arguments_before_window()
{
    {
        const std::lock_guard<std::mutex> hold(write_mutex);
        early = EarlyWrites{};
        early.recording = true;
        early.reset_enabled = true;
    }
    begin_counting();
}

void report_failures_to_window()
{
    store_failure_report(report_to_window);
}

MainWindowWidget::MainWindowWidget(QWidget* parent) : QWidget(parent, window_flags)
{
    setWindowTitle(QString::fromUtf8(main_window_template.title));
    setAttribute(Qt::WA_AlwaysShowToolTips);
    const DialogUnits units = dialog_units_fitting(font(), main_window_template);
    own_size_ = dialog_size(units, main_window_template.width, main_window_template.height);
    setFixedSize(own_size_);

    // Template order, which is also the tab order.
    QLabel* label = nullptr;
    for (const DialogControl& record : main_window_template.controls) {
        const QRect place = dialog_rect(units, record);
        QWidget* made = nullptr;  // a control the window addresses by id
        switch (record.kind) {
        case ControlKind::label:
            label = make_text(this, place, record.text, Qt::AlignRight);
            break;
        case ControlKind::field: {
            auto* field = new ResultField(this);
            field->setGeometry(place);
            field->installEventFilter(this);
            made = field;
            // The label names its field, and its text lines up with the field's.
            if (label == nullptr) break;
            label->setBuddy(field);
            label->move(label->x(), place.y() + field->text_top() - label->contentsMargins().top());
            label = nullptr;
            break;
        }
        case ControlKind::check_box:
            made = new QCheckBox(dialog_text(record.text), this);
            made->setGeometry(place);
            break;
        case ControlKind::push_button:
            made = make_button(this, place, record.text);
            break;
        case ControlKind::status_line: {
            auto* status = new QLabel(dialog_text(record.text), this);
            status->setTextFormat(Qt::PlainText);
            status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            status->setGeometry(place);
            made = status;
            break;
        }
        default:
            break;
        }
        if (made != nullptr) controls_[record.id - IDC_ABOUT_BUTTON] = made;
    }
    on_top_check_ = static_cast<QCheckBox*>(control(IDC_ON_TOP_CHECK));
    reset_button_ = static_cast<QPushButton*>(control(IDC_RESET_BUTTON));
    status_line_ = static_cast<QLabel*>(control(IDC_STATUS_LINE));
    for (const Tooltip& tooltip : main_window_tooltips)
        control(tooltip.control)->setToolTip(QString::fromUtf8(tooltip.text));

    if (relay.load(std::memory_order_acquire) == nullptr) {
        window_thread.store(std::this_thread::get_id(), std::memory_order_release);
        relay.store(new WindowThreadRelay, std::memory_order_release);
    }
    if (keep_above_support() == KeepAbove::impossible) {
        on_top_check_->setEnabled(false);
        on_top_check_->setToolTip(QStringLiteral("Wayland lets no window keep itself above the others"));
    } else {
        on_top_check_->setChecked(true);
        keep_above(this, true);
    }

    connect(on_top_check_, &QCheckBox::toggled, this, [this](bool on_top) { keep_above(this, on_top); });
    connect(static_cast<QPushButton*>(control(IDC_ABOUT_BUTTON)), &QPushButton::clicked, this,
            &MainWindowWidget::show_about_box);
    // Reset is pressable only while no worker uses the Tally: each worker
    // disables it before its first use and enables it after its last.
    connect(reset_button_, &QPushButton::clicked, this, [] {
        reset_tally();
        refresh_summary();
    });
    connect(static_cast<QPushButton*>(control(IDC_QUIT_BUTTON)), &QPushButton::clicked, this, &QWidget::close);

    // Held down, none of them repeats: a held Ctrl+Q quits once, a held
    // Ctrl+V counts once.
    const auto add_key = [this](const QKeySequence& key, auto act) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this, act);
    };
    add_key(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
    add_key(QKeySequence::Copy, [this] { copy_results(); });
    add_key(QKeySequence::Paste, [this] { paste_paths(); });

    if (!take_over_early_writes(this)) {
        current_window = this;
        begin_counting();
    }
    setAcceptDrops(true);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

MainWindowWidget::~MainWindowWidget()
{
    end_window();
}

QWidget* MainWindowWidget::control(int id) const
{
    if (id < IDC_ABOUT_BUTTON || id > IDC_STATUS_LINE) return nullptr;
    return controls_[id - IDC_ABOUT_BUTTON];
}

void MainWindowWidget::show_control_text(int id, const char* text)
{
    const QString value = QString::fromUtf8(text);
    if (id == IDC_STATUS_LINE) {
        progress_.clear();
        has_progress_ = false;
        status_line_->setText(value);
        // A request has ended: screen readers present a change of the
        // window's description wherever the focus is, and without a sound.
        if (accessibleDescription() != value) {
            setAccessibleDescription(value);
        } else {
            QAccessibleEvent ended(this, QAccessible::DescriptionChanged);
            QAccessible::updateAccessibility(&ended);
        }
    } else if (auto* field = qobject_cast<ResultField*>(control(id))) {
        field->setText(value);
        field->setCursorPosition(0);  // show the start of a long text
    }
}

void MainWindowWidget::set_control_enabled(int id, bool enabled)
{
    if (QWidget* widget = control(id)) widget->setEnabled(enabled);
}

void MainWindowWidget::show_progress(const char* text)
{
    progress_ = QString::fromUtf8(text);
    has_progress_ = true;
    show_waiting_drops();
}

// The folder being entered, then how many drops wait while a scan runs
// (Reset is disabled then); the folder is cut in the middle where both would
// not fit.
void MainWindowWidget::show_waiting_drops()
{
    const uint32_t waiting = reset_button_->isEnabled() ? 0 : requests_waiting();
    if (waiting == 0) {
        // The top-level folder's own text is empty, and shown so.
        if (has_progress_) status_line_->setText(progress_);
        return;
    }
    const QString note = waiting == 1 ? QStringLiteral("  (1 drop waiting)")
                                      : QStringLiteral("  (%1 drops waiting)").arg(waiting);
    const QFontMetrics metrics = status_line_->fontMetrics();
    const int room = status_line_->contentsRect().width() - metrics.horizontalAdvance(note);
    status_line_->setText(metrics.elidedText(progress_, Qt::ElideMiddle, qMax(room, 0)) + note);
}

// A field with no text selected leaves Ctrl+C to the window, which copies
// every result; the native window's state changes are the desktop's answers.
bool MainWindowWidget::eventFilter(QObject* watched, QEvent* event)
{
    // Followed once the platform is done with its own handling of the change:
    // asked within it, a change back would go unsent.
    if (watched == windowHandle() && event->type() == QEvent::WindowStateChange && event->spontaneous()) {
        QMetaObject::invokeMethod(this, &MainWindowWidget::follow_window_state, Qt::QueuedConnection);
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
        if (auto* field = qobject_cast<ResultField*>(watched); field != nullptr && !field->hasSelectedText())
            return true;
    return QWidget::eventFilter(watched, event);
}

void MainWindowWidget::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // A key held down in the About box goes on repeating here once the
        // box has closed: only a fresh press quits.
        if (!event->isAutoRepeat()) close();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        break;  // no default button
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void MainWindowWidget::closeEvent(QCloseEvent* event)
{
    event->accept();
    end_window();
}

void MainWindowWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (watching_window_state_ || windowHandle() == nullptr) return;
    watching_window_state_ = true;
    // A desktop may maximize the window all the same (Qt's own title bar on
    // Wayland offers it, and there the window must then fill the screen or be
    // cut off): the size is freed the moment that is asked for, before the
    // desktop answers.
    connect(windowHandle(), &QWindow::windowStateChanged, this, [this](Qt::WindowState state) {
        if (state == Qt::WindowMaximized || state == Qt::WindowFullScreen)
            setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    });
    windowHandle()->installEventFilter(this);
}

// The desktop's answers: once it has maximized the window (or made it fill
// the screen), the window asks to be itself again, and once it is, it takes
// its own fixed size back.
void MainWindowWidget::follow_window_state()
{
    const Qt::WindowStates state = windowHandle()->windowStates();
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        repaint();  // the desktop's size is shown, and taken, before the change back is asked
        windowHandle()->setWindowStates(state & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    }
    else if (!(state & Qt::WindowMinimized) && maximumSize() != own_size_)
        setFixedSize(own_size_);
}

namespace {

// A drag is taken only when it carries a local file or folder, and then as a
// copy (or a link), never as a move: a file manager that saw its items moved
// might remove them.
bool take_drag(QDropEvent* event, bool has_local_file)
{
    if (!has_local_file) {
        event->ignore();
        return false;
    }
    if (event->possibleActions() & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    else if (event->possibleActions() & Qt::LinkAction)
        event->setDropAction(Qt::LinkAction);
    else
        return false;
    event->accept();
    return true;
}

}  // namespace

void MainWindowWidget::dragEnterEvent(QDragEnterEvent* event)
{
    drag_has_local_file_ = !local_paths(event->mimeData()).empty();
    take_drag(event, drag_has_local_file_);
}

void MainWindowWidget::dragMoveEvent(QDragMoveEvent* event)
{
    take_drag(event, drag_has_local_file_);
}

// Every local file or folder becomes one item, in the drop's order; other
// URIs are skipped.
void MainWindowWidget::dropEvent(QDropEvent* event)
{
    const std::vector<QByteArray> paths = local_paths(event->mimeData());
    if (take_drag(event, !paths.empty())) count_paths(paths);
}

void MainWindowWidget::count_paths(const std::vector<QByteArray>& paths)
{
    std::vector<const char*> texts;
    texts.reserve(paths.size());
    for (const QByteArray& path : paths) texts.push_back(path.constData());
    if (Drop* drop = make_drop(texts.data(), static_cast<uint32_t>(texts.size()))) start_drop_request(drop);
    show_waiting_drops();
}

// Files copied in a file manager, under the same rules as a drop.
void MainWindowWidget::paste_paths()
{
    const std::vector<QByteArray> paths = local_paths(QGuiApplication::clipboard()->mimeData());
    if (!paths.empty()) count_paths(paths);
}

// The four results as `heapwise --print` prints them.
void MainWindowWidget::copy_results()
{
    QByteArray texts[4];
    const char* lines[4];
    for (int i = 0; i < 4; ++i) {
        texts[i] = static_cast<ResultField*>(control(IDC_FILES_FIELD + i))->text().toUtf8();
        lines[i] = texts[i].constData();
    }
    QGuiApplication::clipboard()->setText(QString::fromUtf8(result_lines(lines)));
}

void MainWindowWidget::show_about_box()
{
    AboutBox box(this);
    box.exec();
}

void MainWindowWidget::end_window()
{
    if (ended_) return;
    ended_ = true;
    if (current_window == this) {
        current_window = nullptr;
        store_window_port(nullptr);
    }
    emit ended();
}
