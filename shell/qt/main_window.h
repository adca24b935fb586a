// The main window on Qt: the four result fields, the status line, On Top,
// About, Reset and Quit, and the drop target. Workers write to it through the
// core's window port; each write is carried out on the window's thread.
#pragma once

#include <QWidget>

#include "resources/control_ids.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Starts counting the argument list's paths before the first window (and Qt
// itself) exists, so the walk overlaps the program's start: the core's writes
// are kept, and the first window shows them when it is made instead of
// starting the request itself. Call at most once, before any window is made.
void count_arguments_before_window();

class MainWindowWidget : public QWidget {
    Q_OBJECT

public:
    // Builds the window (not yet shown) and makes it the core's main window:
    // shows the Tally's texts and starts the argument request when the
    // argument list names a path (or, after count_arguments_before_window,
    // shows what that request has written so far), checks On Top and keeps
    // the window above others, and accepts drops. Only one window is the core's at a time; call
    // on the thread that runs the event loop.
    explicit MainWindowWidget(QWidget* parent = nullptr);
    ~MainWindowWidget() override;

    // The control with main-window id `id` (IDC_*), or null.
    QWidget* control(int id) const;

    // The core's writes, on the window thread only: a field's or the status
    // line's text (UTF-8), and enabling a control.
    void show_control_text(int id, const char* text);
    void set_control_enabled(int id, bool enabled);

signals:
    // Quit, Escape or the close box ended the window: it is hidden, and the
    // core's writes no longer reach it.
    void ended();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void keep_on_top(bool on_top);
    void show_about_box();
    void end_window();

    // By id, from IDC_ABOUT_BUTTON to IDC_STATUS_LINE (null where no control has it).
    QWidget* controls_[IDC_STATUS_LINE - IDC_ABOUT_BUTTON + 1] = {};
    QCheckBox* on_top_check_;
    QPushButton* reset_button_;
    QLabel* status_line_;
    bool ended_ = false;
};
