// The main window's controls and handlers, and the core's events drawn in
// its fields and status line.
#include "shell/qt/main_window.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

#include <cstring>

#include "core/drop.h"
#include "core/requests.h"
#include "core/scan_events.h"
#include "core/tally.h"
#include "shell/dialog_templates.h"
#include "shell/print/terminal_texts.h"
#include "shell/qt/about_box.h"
#include "shell/qt/dialog_units.h"
#include "shell/qt/file_urls.h"
#include "shell/qt/keep_above.h"
#include "shell/qt/result_field.h"
#include "shell/qt/scan_bridge.h"
#include "text/summary.h"

namespace {

QPushButton* make_button(QWidget* parent, const QRect& place, const char* text)
{
    auto* button = new QPushButton(dialog_text(text), parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    place_control(button, place);
    return button;
}

// A close box and nothing else, as the Windows dialog has: no maximize or
// minimize button that a desktop could offer.
// Desktops let the delay before a held key repeats be set up to two seconds.
constexpr qint64 longest_repeat_delay_ms = 2500;

constexpr Qt::WindowFlags window_flags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// A dialog to assistive technology, as it is to the desktop, not a plain
// filler.
QAccessibleInterface* main_window_accessible(const QString& class_name, QObject* object)
{
    if (class_name != QLatin1String("MainWindowWidget") || !object->isWidgetType()) return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Dialog);
}

}  // namespace

MainWindowWidget::MainWindowWidget(QWidget* parent) : QWidget(parent, window_flags)
{
    static const bool installed = (QAccessible::installFactory(main_window_accessible), true);
    (void)installed;
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
            place_control(field, place);
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
            place_control(made, place);
            break;
        case ControlKind::push_button:
            made = make_button(this, place, record.text);
            break;
        case ControlKind::status_line: {
            auto* status = new QLabel(dialog_text(record.text), this);
            status->setTextFormat(Qt::PlainText);
            status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            status->setAlignment(window_alignment(this, Qt::AlignLeft | Qt::AlignVCenter));
            // The indent a framed label takes anyway, made explicit: the
            // room for a shortened path leaves it out.
            status->setIndent(status->fontMetrics().horizontalAdvance(u'x') / 2);
            place_control(status, place);
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
    // Reset is pressable only while no worker uses the Tally: it is disabled
    // from a request's start to its end.
    connect(reset_button_, &QPushButton::clicked, this, [] { reset_counts(); });
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

    attach_window(this);
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

void MainWindowWidget::show_request_started()
{
    counting_ = true;
    reset_button_->setEnabled(false);
}

void MainWindowWidget::show_request_finished(const Tally& counts, uint32_t unreadable)
{
    // The counts first: a screen reader announces "Ready" once they are there.
    show_counts(counts);
    char text[summary_text_size];
    ready_text(text, unreadable);
    show_status(QString::fromUtf8(text));
    counting_ = false;
    reset_button_->setEnabled(true);
}

// The end of a request: screen readers present a change of the window's
// description wherever the focus is, and without a sound.
void MainWindowWidget::show_status(const QString& text)
{
    progress_.clear();
    has_progress_ = false;
    status_line_->setText(text);
    if (accessibleDescription() != text) {
        setAccessibleDescription(text);
    } else {
        QAccessibleEvent ended(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&ended);
    }
}

void MainWindowWidget::show_counts(const Tally& counts)
{
    void (*const texts[4])(char*, const Tally&) = {files_text, folders_text, total_size_text, longest_path_text};
    char text[summary_text_size];
    for (int i = 0; i < 4; ++i) {
        texts[i](text, counts);
        auto* field = static_cast<ResultField*>(control(IDC_FILES_FIELD + i));
        field->setText(QString::fromUtf8(text));
        field->setCursorPosition(0);  // show the start of a long text
    }
}

void MainWindowWidget::show_progress(const char* rel)
{
    char text[status_text_size];
    status_text(text, rel, strlen(rel));
    progress_ = QString::fromUtf8(text);
    has_progress_ = true;
    show_waiting_drops();
}

// The folder being entered, then how many drops wait while a scan runs; the
// folder is cut in the middle where it would not fit beside them.
void MainWindowWidget::show_waiting_drops()
{
    const uint32_t waiting = counting_ ? requests_waiting() : 0;
    // The top-level folder's own text is empty, and shown so.
    if (waiting == 0 && !has_progress_) return;
    QString note;
    if (waiting == 1)
        note = QStringLiteral("  (1 drop waiting)");
    else if (waiting > 1)
        note = QStringLiteral("  (%1 drops waiting)").arg(waiting);
    const QFontMetrics metrics = status_line_->fontMetrics();
    const int room = status_line_->contentsRect().width() - 2 * status_line_->margin() - status_line_->indent() -
                     metrics.horizontalAdvance(note);
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
    if (watched == windowHandle() && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease))
        follow_held_escape(static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
        if (auto* field = qobject_cast<ResultField*>(watched); field != nullptr && !field->hasSelectedText())
            return true;
    return QWidget::eventFilter(watched, event);
}

void MainWindowWidget::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // Not while the Escape that closed the About box is held down
        // (follow_held_escape).
        if (!escape_still_held_ && !event->isAutoRepeat()) close();
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

// An Escape held down in the About box goes on repeating here once the box
// has closed, whatever control has the focus. Where the platform repeats a
// key as a release and a press, they come with the same time, and may both
// come as fresh (on X11, where Qt did not see the press yet when it looked
// ahead from the release): the key has come up once a release is followed by
// a press at another time. Where its release went to another window, a pause
// longer than any repeat delay tells.
void MainWindowWidget::follow_held_escape(const QKeyEvent* event)
{
    if (event->key() != Qt::Key_Escape || !escape_still_held_) return;
    if (event->type() == QEvent::KeyRelease) {
        escape_released_ = !event->isAutoRepeat();
        escape_released_at_ = event->timestamp();
        return;
    }
    const bool pressed_again =
        escape_released_ && (event->timestamp() == 0 || event->timestamp() != escape_released_at_);
    if (pressed_again || escape_seen_.elapsed() > longest_repeat_delay_ms) escape_still_held_ = false;
    escape_released_ = false;
    escape_seen_.start();
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
    // Told as the box closes: the key's repeats may arrive before exec returns.
    connect(&box, &QDialog::finished, this, [this, &box] {
        escape_still_held_ = box.closed_by_escape();
        escape_released_ = false;
        escape_seen_.start();
    });
    box.exec();
}

void MainWindowWidget::end_window()
{
    if (ended_) return;
    ended_ = true;
    detach_window(this);
    emit ended();
}
