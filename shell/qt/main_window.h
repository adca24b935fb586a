// The main window on Qt: the four result fields, the status line, On Top,
// About, Reset and Quit, the drop target and the clipboard keys. Workers
// write to it through the core's window port; each write is carried out on
// the window's thread.
#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

#include <vector>

#include "resources/control_ids.h"

class QByteArray;
class QCheckBox;
class QLabel;
class QPushButton;

// Starts counting the argument list's paths before the first window (and Qt
// itself) exists, so the walk overlaps the program's start: the core's writes
// are kept, and the first window shows them when it is made instead of
// starting the request itself. Call at most once, before any window is made.
void count_arguments_before_window();

// Makes the window program's failure report the core's: each item a scan
// could not read is named on standard error as the terminal mode names it,
// and the status line's "Ready" at the end of the request that met it says
// how many there were. Safe for walkers on several threads at once.
void report_failures_to_window();

class MainWindowWidget : public QWidget {
    Q_OBJECT

public:
    // Builds the window (not yet shown) and makes it the core's main window:
    // shows the Tally's texts and starts the argument request when the
    // argument list names a path (or, after count_arguments_before_window,
    // shows what that request has written so far), checks On Top and keeps
    // the window above others where the platform lets it, and accepts drops.
    // Only one window is the core's at a time; call on the thread that runs
    // the event loop.
    explicit MainWindowWidget(QWidget* parent = nullptr);
    ~MainWindowWidget() override;

    // The control with main-window id `id` (IDC_*), or null.
    QWidget* control(int id) const;

    // The core's writes, on the window thread only: a field's or the status
    // line's text (UTF-8), and enabling a control. The status line's text
    // ends a request: it is announced to assistive technology.
    void show_control_text(int id, const char* text);
    void set_control_enabled(int id, bool enabled);

    // The folder being entered (UTF-8), on the window thread only; the status
    // line shows it with how many drops wait for the scan.
    void show_progress(const char* text);

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
    void show_waiting_drops();
    void follow_window_state();
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
    bool drag_has_local_file_ = false;
    bool watching_window_state_ = false;
    bool ended_ = false;
};
