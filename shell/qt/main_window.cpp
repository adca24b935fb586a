// The main window's controls and handlers, and how the core's writes from
// worker threads reach it: each becomes an event served on the window thread,
// the synchronous ones while the worker waits, progress without waiting.
#include "shell/qt/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <cstdio>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/drop.h"
#include "core/requests.h"
#include "core/tally.h"
#include "core/window_port.h"
#include "resources/control_ids.h"
#include "shell/dialog_templates.h"
#include "shell/qt/about_box.h"
#include "shell/qt/dialog_units.h"
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
struct EarlyWrites {
    bool recording;
    bool written[5];  // the four fields and the status line, in id order
    char texts[5][summary_text_size];
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

    // Shows the latest progress, then looks again after the interval while
    // there is more.
    void look_at_progress()
    {
        char text[progress_text_size];
        if (current_window.isNull() || !take_progress(text)) return;
        current_window->show_control_text(IDC_STATUS_LINE, text);
        progress_timer_.start();
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

void write_text(void*, int control, const char* text)
{
    write_to_window(WindowWrite{control, text, false, false});
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
        for (int slot = 0; slot < 5; ++slot)
            if (early.written[slot]) window->show_control_text(IDC_FILES_FIELD + slot, early.texts[slot]);
        // Disabled while a request still uses the Tally: Reset stays sound.
        window->set_control_enabled(IDC_RESET_BUTTON, early.reset_enabled);
        current_window = window;
    }
    relay.load(std::memory_order_acquire)->look_at_progress();
    return true;
}

QLabel* make_label(QWidget* parent, const QRect& place, const char* text)
{
    auto* label = new QLabel(dialog_text(text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    label->setGeometry(place);
    return label;
}

QLineEdit* make_field(QWidget* parent, const QRect& place)
{
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setAcceptDrops(false);
    field->setGeometry(place);
    return field;
}

QPushButton* make_button(QWidget* parent, const QRect& place, const char* text)
{
    auto* button = new QPushButton(dialog_text(text), parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setGeometry(place);
    return button;
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
    store_window_port(&qt_window_port);
    refresh_summary();
    if (argument_list.count > 1) start_argument_request();
}

MainWindowWidget::MainWindowWidget(QWidget* parent) : QWidget(parent, Qt::Dialog)
{
    setWindowTitle(QString::fromUtf8(main_window_template.title));
    setAttribute(Qt::WA_AlwaysShowToolTips);
    const DialogUnits units = dialog_units_fitting(font(), main_window_template);
    setFixedSize(dialog_size(units, main_window_template.width, main_window_template.height));

    // Template order, which is also the tab order.
    for (const DialogControl& record : main_window_template.controls) {
        const QRect place = dialog_rect(units, record);
        switch (record.kind) {
        case ControlKind::label:
            make_label(this, place, record.text);
            break;
        case ControlKind::field:
            controls_[record.id - IDC_ABOUT_BUTTON] = make_field(this, place);
            break;
        case ControlKind::check_box: {
            auto* check = new QCheckBox(dialog_text(record.text), this);
            check->setGeometry(place);
            controls_[record.id - IDC_ABOUT_BUTTON] = check;
            break;
        }
        case ControlKind::push_button:
            controls_[record.id - IDC_ABOUT_BUTTON] = make_button(this, place, record.text);
            break;
        case ControlKind::status_line: {
            auto* status = new QLabel(dialog_text(record.text), this);
            status->setTextFormat(Qt::PlainText);
            status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            status->setGeometry(place);
            controls_[record.id - IDC_ABOUT_BUTTON] = status;
            break;
        }
        default:
            break;
        }
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
    on_top_check_->setChecked(true);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);

    connect(on_top_check_, &QCheckBox::toggled, this, &MainWindowWidget::keep_on_top);
    connect(static_cast<QPushButton*>(control(IDC_ABOUT_BUTTON)), &QPushButton::clicked, this,
            &MainWindowWidget::show_about_box);
    // Reset is pressable only while no worker uses the Tally: each worker
    // disables it before its first use and enables it after its last.
    connect(reset_button_, &QPushButton::clicked, this, [] {
        reset_tally();
        refresh_summary();
    });
    connect(static_cast<QPushButton*>(control(IDC_QUIT_BUTTON)), &QPushButton::clicked, this, &QWidget::close);

    if (!take_over_early_writes(this)) {
        current_window = this;
        store_window_port(&qt_window_port);
        refresh_summary();
        if (argument_list.count > 1) start_argument_request();
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
        status_line_->setText(value);
    } else if (auto* field = qobject_cast<QLineEdit*>(control(id))) {
        field->setText(value);
        field->setCursorPosition(0);  // show the start of a long text
    }
}

void MainWindowWidget::set_control_enabled(int id, bool enabled)
{
    if (QWidget* widget = control(id)) widget->setEnabled(enabled);
}

void MainWindowWidget::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
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

namespace {

// A drop is taken as a copy (or a link), never as a move: a file manager
// that saw its items moved might remove them.
bool take_drop(QDropEvent* event)
{
    if (!event->mimeData()->hasUrls()) return false;
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
    take_drop(event);
}

void MainWindowWidget::dragMoveEvent(QDragMoveEvent* event)
{
    take_drop(event);
}

// Every local file or folder becomes one item, in the drop's order; other
// URLs are skipped. A drop left with no item still runs its request.
void MainWindowWidget::dropEvent(QDropEvent* event)
{
    if (!take_drop(event)) return;
    std::vector<QByteArray> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()));
    std::vector<const char*> texts;
    texts.reserve(paths.size());
    for (const QByteArray& path : paths) texts.push_back(path.constData());
    if (Drop* drop = make_drop(texts.data(), static_cast<uint32_t>(texts.size()))) start_drop_request(drop);
}

// Changing the flag hides the window; showing it again puts it back in place.
void MainWindowWidget::keep_on_top(bool on_top)
{
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on_top);
    if (visible) show();
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
