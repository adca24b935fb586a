// The main window on Qt: the four result fields, the status line, On Top,
// About, Reset and Quit, the drop target and the clipboard keys, and the
// core's events drawn there (shell/qt/scan_bridge.h brings them to the
// window's thread).
#pragma once

#include <QElapsedTimer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "resources/control_ids.h"

struct Tally;
class QByteArray;
class QCheckBox;
class QLabel;
class QPushButton;

class MainWindowWidget : public QWidget {
    Q_OBJECT

public:
    // Builds the window (not yet shown) and makes it the one the core's
    // events reach (attach_window): shows the Tally's texts and starts the
    // argument request when the argument list names a path (or, after
    // count_arguments_before_window, shows what that request has told so
    // far), checks On Top and keeps the window above others where the
    // platform lets it, and accepts drops. Call on the thread that runs the
    // event loop.
    explicit MainWindowWidget(QWidget* parent = nullptr);
    ~MainWindowWidget() override;

    // The control with main-window id `id` (IDC_*), or null.
    QWidget* control(int id) const;

    // The core's events, on the window thread only. A request has started:
    // Reset is disabled until it finishes. It has finished: the status line
    // says "Ready" (and how many items could not be read), which is announced
    // to assistive technology, the fields show `counts`, and Reset is enabled.
    void show_request_started();
    void show_request_finished(const Tally& counts, uint32_t unreadable);
    // The four fields show `counts`: a request's running counts, or Reset's.
    void show_counts(const Tally& counts);
    // The folder being entered, its path relative to the top-level item
    // (UTF-8); the status line shows it shortened, with how many drops wait
    // for the scan.
    void show_progress(const char* rel);

signals:
    // Quit, Escape or the close box ended the window: it is hidden, and the
    // core's writes no longer reach it.
    void ended();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void count_paths(const std::vector<QByteArray>& paths);
    void paste_paths();
    void copy_results();
    void show_status(const QString& text);
    void show_waiting_drops();
    void follow_window_state();
    void follow_held_escape(const QKeyEvent* event);
    void show_about_box();
    void end_window();

    // By id, from IDC_ABOUT_BUTTON to IDC_STATUS_LINE (null where no control has it).
    QWidget* controls_[IDC_STATUS_LINE - IDC_ABOUT_BUTTON + 1] = {};
    QCheckBox* on_top_check_;
    QPushButton* reset_button_;
    QLabel* status_line_;
    QSize own_size_;
    QString progress_;  // the folder the status line names, while a scan runs
    bool has_progress_ = false;  // a scan has shown one since the last "Ready"
    bool counting_ = false;      // a request has started and not finished
    bool drag_has_local_file_ = false;
    bool watching_window_state_ = false;
    bool ended_ = false;
    // The About box closed on an Escape that has not come up yet, last
    // pressed or repeated at escape_seen_; since then it was released (not
    // as a repeat) at escape_released_at_, in the platform's event time.
    bool escape_still_held_ = false;
    bool escape_released_ = false;
    quint64 escape_released_at_ = 0;
    QElapsedTimer escape_seen_;
};
