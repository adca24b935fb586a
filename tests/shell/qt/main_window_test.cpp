// The main window on the offscreen platform: its controls placed from dialog
// units, texts, tab order and tooltips, On Top, Reset, the ways to quit,
// drops while scans run, the command-line paths and the About box, with the
// core's real workers counting real folders.
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>
#include <vector>

#include "core/requests.h"
#include "core/tally.h"
#include "core/window_port.h"
#include "resources/control_ids.h"
#include "shell/qt/about_box.h"
#include "shell/qt/main_window.h"
#include "tests/shell/qt/qt_test_support.h"
#include "tests/support/scan_hold.h"
#include "text/number_format.h"

namespace {

const int field_ids[4] = {IDC_FILES_FIELD, IDC_FOLDERS_FIELD, IDC_SIZE_FIELD, IDC_PATH_FIELD};

QString text_of(const MainWindowWidget& window, int id)
{
    QWidget* control = window.control(id);
    if (auto* field = qobject_cast<QLineEdit*>(control)) return field->text();
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    return {};
}

QList<QString> field_texts(const MainWindowWidget& window)
{
    QList<QString> texts;
    for (int id : field_ids) texts.append(text_of(window, id));
    return texts;
}

const QList<QString> zero_texts = {"0", "0  (depth 0 / 0)", "0 bytes  (0.0 KB)", "0 / 0"};

// The relative text of a folder of `wide_`: "/7" or "/7/x".
bool names_a_folder_of_wide(const QString& status)
{
    static const QRegularExpression folder(QStringLiteral("^/\\d+(/x)?$"));
    return folder.match(status).hasMatch();
}

bool scan_finished(const MainWindowWidget& window)
{
    return window.control(IDC_RESET_BUTTON)->isEnabled() && text_of(window, IDC_STATUS_LINE) == "Ready";
}

QLabel* label_with_text(const QWidget& window, const QString& text)
{
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->text() == text) return label;
    return nullptr;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir scratch_;
    QString tree_;   // 3 files (one hidden) in 2 folders, 135 bytes
    QString loose_;  // a file of 100 bytes
    QString wide_;   // 801 folders: a scan long enough to be caught running

private slots:
    void initTestCase()
    {
        QVERIFY(scratch_.isValid());
        tree_ = scratch_.filePath("tree");
        QVERIFY(make_file(tree_ + "/a", 10));
        QVERIFY(make_file(tree_ + "/.hidden", 20));
        QVERIFY(make_file(tree_ + "/sub/c", 105));
        loose_ = scratch_.filePath("loose");
        QVERIFY(make_file(loose_, 100));
        wide_ = scratch_.filePath("wide");
        for (int i = 0; i < 400; ++i) QVERIFY(make_folder(wide_ + QString("/%1/x").arg(i)));
        load_number_format();
    }

    void init() { reset_tally(); }

    void cleanup()
    {
        QVERIFY(wait_for_all_workers());
        store_argument_list(0, nullptr, nullptr);
        release_argument_list();
    }

    // Each control sits where the template puts it, converted with the
    // window font's average character width / 4 and height / 8 (the width
    // raised where a label would not fit), and every label text shows whole.
    void controls_are_placed_in_dialog_units()
    {
        for (int point_size : {9, 14}) {
            QFont font = QApplication::font();
            font.setPointSize(point_size);
            QApplication::setFont(font);
            MainWindowWidget window;
            const QFontMetrics metrics(window.font());
            int base_x = (metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
            // ...widened, when the font is wide, until every label fits.
            for (const char* text : {"File Count:", "Folder Count:", "Total Size:", "Max Path:"})
                while ((43 * base_x + 2) / 4 < metrics.horizontalAdvance(text)) ++base_x;
            const int base_y = metrics.height();
            auto rect = [&](int x, int y, int w, int h) {
                auto to_x = [&](int units) { return (units * base_x + 2) / 4; };
                auto to_y = [&](int units) { return (units * base_y + 4) / 8; };
                return QRect(to_x(x), to_y(y), to_x(w), to_y(h));
            };
            QCOMPARE(window.size(), rect(0, 0, 185, 107).size());
            QCOMPARE(window.minimumSize(), window.maximumSize());  // not resizable
            const QPoint centre = window.screen()->availableGeometry().center();
            QVERIFY((window.geometry().center() - centre).manhattanLength() <= 2);

            const struct {
                int id;
                QRect rect;
            } controls[] = {
                {IDC_FILES_FIELD, rect(50, 5, 130, 12)},   {IDC_FOLDERS_FIELD, rect(50, 23, 130, 12)},
                {IDC_SIZE_FIELD, rect(50, 41, 130, 12)},   {IDC_PATH_FIELD, rect(50, 59, 130, 12)},
                {IDC_ON_TOP_CHECK, rect(5, 75, 40, 14)},   {IDC_ABOUT_BUTTON, rect(50, 75, 40, 14)},
                {IDC_RESET_BUTTON, rect(95, 75, 40, 14)},  {IDC_QUIT_BUTTON, rect(140, 75, 40, 14)},
                {IDC_STATUS_LINE, rect(5, 93, 175, 10)},
            };
            for (const auto& control : controls) QCOMPARE(window.control(control.id)->geometry(), control.rect);
            const struct {
                const char* text;
                int y;
            } labels[] = {{"File Count:", 6}, {"Folder Count:", 24}, {"Total Size:", 42}, {"Max Path:", 60}};
            for (const auto& expected : labels) {
                QLabel* label = label_with_text(window, expected.text);
                QVERIFY2(label != nullptr, expected.text);
                QCOMPARE(label->geometry(), rect(5, expected.y, 43, 12));
                QVERIFY(label->alignment() & Qt::AlignRight);
                QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
            }
        }
        QApplication::setFont(QFont());
    }

    // Title, kinds and texts; the fields read-only but selectable; the
    // accelerators; the zero texts and "Ready" at the start.
    void texts_and_kinds()
    {
        MainWindowWidget window;
        QCOMPARE(window.windowTitle(), QString("Heapwise - Drop Files to Count"));
        QCOMPARE(field_texts(window), zero_texts);
        for (int id : field_ids) {
            auto* field = qobject_cast<QLineEdit*>(window.control(id));
            QVERIFY(field != nullptr);
            QVERIFY(field->isReadOnly());
            QCOMPARE(field->focusPolicy(), Qt::StrongFocus);
            field->selectAll();
            QCOMPARE(field->selectedText(), field->text());
        }
        auto* check = qobject_cast<QCheckBox*>(window.control(IDC_ON_TOP_CHECK));
        QVERIFY(check != nullptr);
        QCOMPARE(check->text(), QString("On &Top"));
        QCOMPARE(check->shortcut(), QKeySequence(Qt::ALT | Qt::Key_T));
        const struct {
            int id;
            const char* text;
            QKeyCombination key;
        } buttons[] = {{IDC_ABOUT_BUTTON, "&About", Qt::ALT | Qt::Key_A},
                       {IDC_RESET_BUTTON, "&Reset", Qt::ALT | Qt::Key_R},
                       {IDC_QUIT_BUTTON, "&Quit", Qt::ALT | Qt::Key_Q}};
        for (const auto& expected : buttons) {
            auto* button = qobject_cast<QPushButton*>(window.control(expected.id));
            QVERIFY(button != nullptr);
            QCOMPARE(button->text(), QString(expected.text));
            QCOMPARE(button->shortcut(), QKeySequence(expected.key));
            QVERIFY(!button->isDefault());
            QVERIFY(!button->autoDefault());
        }
        auto* status = qobject_cast<QLabel*>(window.control(IDC_STATUS_LINE));
        QVERIFY(status != nullptr);
        QCOMPARE(status->text(), QString("Ready"));
        QCOMPARE(status->frameShadow(), QFrame::Sunken);
        QCOMPARE(status->textFormat(), Qt::PlainText);  // "&" in a path is shown as it is
    }

    void tab_order_follows_the_template()
    {
        MainWindowWidget window;
        const std::vector<int> order = {IDC_FILES_FIELD, IDC_FOLDERS_FIELD, IDC_SIZE_FIELD, IDC_PATH_FIELD,
                                        IDC_ON_TOP_CHECK, IDC_ABOUT_BUTTON, IDC_RESET_BUTTON, IDC_QUIT_BUTTON};
        std::vector<int> met;
        QWidget* widget = window.control(IDC_FILES_FIELD);
        do {
            if (widget->focusPolicy() & Qt::TabFocus) {
                for (int id : order)
                    if (window.control(id) == widget) met.push_back(id);
            }
            widget = widget->nextInFocusChain();
        } while (widget != window.control(IDC_FILES_FIELD) && met.size() <= order.size());
        QCOMPARE(met, order);
        QCOMPARE(window.control(IDC_STATUS_LINE)->focusPolicy(), Qt::NoFocus);
    }

    void tooltips()
    {
        MainWindowWidget window;
        QCOMPARE(window.control(IDC_FILES_FIELD)->toolTip(), QString("R = Read-Only, S = System, H = Hidden"));
        QCOMPARE(window.control(IDC_FOLDERS_FIELD)->toolTip(),
                 QString("Depth is max relative / absolute folder nesting depth"));
        QCOMPARE(window.control(IDC_PATH_FIELD)->toolTip(),
                 QString("Max relative / absolute path length in characters"));
        QCOMPARE(window.control(IDC_ON_TOP_CHECK)->toolTip(), QString("Keep Heapwise window on top"));
        QCOMPARE(window.control(IDC_RESET_BUTTON)->toolTip(), QString("Reset all counts"));
        for (int id : {IDC_SIZE_FIELD, IDC_ABOUT_BUTTON, IDC_QUIT_BUTTON, IDC_STATUS_LINE})
            QVERIFY(window.control(id)->toolTip().isEmpty());
        QVERIFY(window.testAttribute(Qt::WA_AlwaysShowToolTips));
    }

    // Checked at the start and above others; clearing it lets others cover
    // the window, checking it again raises it; the window stays shown.
    void on_top_follows_its_box()
    {
        MainWindowWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* check = qobject_cast<QCheckBox*>(window.control(IDC_ON_TOP_CHECK));
        QVERIFY(check->isChecked());
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(window.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
        const QPoint place = window.pos();

        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(!check->isChecked());
        QVERIFY(!(window.windowHandle()->flags() & Qt::WindowStaysOnTopHint));
        QVERIFY(window.isVisible());
        QCOMPARE(window.pos(), place);

        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(check->isChecked());
        QVERIFY(window.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
        QVERIFY(window.isVisible());
    }

    // Reset zeroes the counts and shows the zero texts; the status line stays.
    void reset_zeroes_the_fields_only()
    {
        MainWindowWidget window;
        QVERIFY(drop_urls(&window, {QUrl::fromLocalFile(tree_)}));
        QTRY_VERIFY_WITH_TIMEOUT(scan_finished(window) && text_of(window, IDC_FILES_FIELD) == "3  (H)",
                                 test_deadline_ms);
        window.show_control_text(IDC_STATUS_LINE, "sub");
        QTest::mouseClick(qobject_cast<QPushButton*>(window.control(IDC_RESET_BUTTON)), Qt::LeftButton);
        QCOMPARE(field_texts(window), zero_texts);
        QCOMPARE(tally.file_count, 0u);
        QCOMPARE(text_of(window, IDC_STATUS_LINE), QString("sub"));
    }

    // Quit, Escape (wherever the focus is), Alt+Q and the close box end the
    // window; Enter does nothing, not even on a focused button.
    void ways_to_quit_and_enter_ignored()
    {
        enum Way { quit_button, escape_in_field, escape_on_button, alt_q, close_box };
        for (Way way : {quit_button, escape_in_field, escape_on_button, alt_q, close_box}) {
            MainWindowWidget window;
            QSignalSpy ended(&window, &MainWindowWidget::ended);
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            window.show_control_text(IDC_FILES_FIELD, "7");
            for (int id : {IDC_FILES_FIELD, IDC_RESET_BUTTON, IDC_QUIT_BUTTON}) {
                window.control(id)->setFocus();
                QTest::keyClick(window.control(id), Qt::Key_Return);
                QTest::keyClick(window.control(id), Qt::Key_Enter);
            }
            QVERIFY(window.isVisible());
            QCOMPARE(ended.count(), 0);
            QCOMPARE(text_of(window, IDC_FILES_FIELD), QString("7"));  // Reset was not pressed

            switch (way) {
            case quit_button:
                QTest::mouseClick(qobject_cast<QPushButton*>(window.control(IDC_QUIT_BUTTON)), Qt::LeftButton);
                break;
            case escape_in_field:
                window.control(IDC_PATH_FIELD)->setFocus();
                QTest::keyClick(window.control(IDC_PATH_FIELD), Qt::Key_Escape);
                break;
            case escape_on_button:
                window.control(IDC_ABOUT_BUTTON)->setFocus();
                QTest::keyClick(window.control(IDC_ABOUT_BUTTON), Qt::Key_Escape);
                break;
            case alt_q:
                QTest::keyClick(&window, Qt::Key_Q, Qt::AltModifier);
                break;
            case close_box:
                window.close();
                break;
            }
            // A mnemonic clicks its button after a short animation.
            QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, test_deadline_ms);
            QVERIFY(!window.isVisible());
        }
    }

    // Every local URL is one item, in order; other URLs are skipped. Only
    // drags carrying URLs are taken.
    void drop_counts_local_files_and_folders()
    {
        MainWindowWidget window;
        // Proposed as a move (Shift in some file managers), taken as a copy.
        QVERIFY(drop_urls(&window,
                          {QUrl::fromLocalFile(tree_), QUrl("https://heapwise.example.org/x"), QUrl::fromLocalFile(loose_)},
                          Qt::MoveAction));
        QTRY_VERIFY_WITH_TIMEOUT(scan_finished(window) && text_of(window, IDC_FILES_FIELD) != "0", test_deadline_ms);
        QCOMPARE(field_texts(window), printed_texts({tree_, loose_}));
        QCOMPARE(text_of(window, IDC_FILES_FIELD), QString("4  (H)"));
        QCOMPARE(text_of(window, IDC_SIZE_FIELD), QString("235 bytes  (0.2 KB)"));

        QMimeData text_only;
        text_only.setText(tree_);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text_only, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QVERIFY(!enter.isAccepted());
    }

    // A drop of nothing local still runs: "Ready", fresh texts, Reset enabled.
    void drop_without_local_files_still_runs()
    {
        MainWindowWidget window;
        window.show_control_text(IDC_FILES_FIELD, "stale");
        window.show_control_text(IDC_STATUS_LINE, "sub");
        window.set_control_enabled(IDC_RESET_BUTTON, false);
        QVERIFY(drop_urls(&window, {QUrl("https://heapwise.example.org/"), QUrl("sftp://host/folder")}));
        QTRY_VERIFY_WITH_TIMEOUT(scan_finished(window), test_deadline_ms);
        QCOMPARE(field_texts(window), zero_texts);
    }

    // Drops arriving while a scan runs wait for it and are counted after it;
    // meanwhile the status line names a folder of the running scan.
    void drops_while_a_scan_runs()
    {
        MainWindowWidget window;
        ScanHold hold;
        QVERIFY(drop_urls(&window, {QUrl::fromLocalFile(wide_), QUrl::fromLocalFile(missing_path)}));
        // The first worker walked its folders and stopped at the missing
        // path, holding scan_lock: Reset disabled, no results yet.
        QTRY_VERIFY_WITH_TIMEOUT(hold.held(), test_deadline_ms);
        QTRY_VERIFY_WITH_TIMEOUT(names_a_folder_of_wide(text_of(window, IDC_STATUS_LINE)), test_deadline_ms);
        QVERIFY(!window.control(IDC_RESET_BUTTON)->isEnabled());
        QCOMPARE(text_of(window, IDC_FILES_FIELD), QString("0"));
        QVERIFY(drop_urls(&window, {QUrl::fromLocalFile(tree_)}));
        QVERIFY(drop_urls(&window, {QUrl::fromLocalFile(loose_)}));
        hold.release();
        QVERIFY(wait_for_all_workers());
        // Nothing of those scans lands after their "Ready".
        QTest::qWait(5 * progress_interval_ms);
        QVERIFY(scan_finished(window));
        QCOMPARE(field_texts(window), printed_texts({wide_, missing_path, tree_, loose_}));
        QCOMPARE(text_of(window, IDC_FILES_FIELD), QString("4  (H)"));
    }

    // The paths after the program's name are counted once, as the terminal
    // mode counts them.
    void command_line_paths_are_counted()
    {
        static QByteArray program = "heapwise";
        static QByteArray first = QFile::encodeName(tree_);
        static QByteArray second = QFile::encodeName(loose_);
        static char* args[] = {program.data(), first.data(), second.data(), nullptr};
        store_argument_list(3, args, nullptr);
        MainWindowWidget window;
        QTRY_VERIFY_WITH_TIMEOUT(scan_finished(window) && text_of(window, IDC_FILES_FIELD) != "0", test_deadline_ms);
        QCOMPARE(field_texts(window), printed_texts({tree_, loose_}));
        release_argument_list();
    }

    // The window program counts its paths before its window exists: a window
    // made after that request ended shows its results at once, and one made
    // while it runs keeps Reset disabled and shows its progress until it ends.
    void paths_counted_before_the_window_exists()
    {
        static QByteArray program = "heapwise";
        static QByteArray first = QFile::encodeName(tree_);
        static QByteArray second = QFile::encodeName(loose_);
        static QByteArray wide = QFile::encodeName(wide_);
        static char* args[] = {program.data(), first.data(), second.data(), nullptr};
        store_argument_list(3, args, nullptr);
        count_arguments_before_window();
        QVERIFY(wait_for_all_workers());
        {
            MainWindowWidget window;
            QVERIFY(scan_finished(window));
            QCOMPARE(field_texts(window), printed_texts({tree_, loose_}));
        }
        release_argument_list();

        reset_tally();
        static char* held_args[] = {program.data(), wide.data(), const_cast<char*>(missing_path), nullptr};
        store_argument_list(3, held_args, nullptr);
        ScanHold hold;
        count_arguments_before_window();
        QTRY_VERIFY_WITH_TIMEOUT(hold.held(), test_deadline_ms);
        MainWindowWidget window;
        QVERIFY(!window.control(IDC_RESET_BUTTON)->isEnabled());
        QCOMPARE(field_texts(window), zero_texts);
        QTRY_VERIFY_WITH_TIMEOUT(names_a_folder_of_wide(text_of(window, IDC_STATUS_LINE)), test_deadline_ms);
        hold.release();
        QVERIFY(wait_for_all_workers());
        QVERIFY(scan_finished(window));
        QCOMPARE(field_texts(window), printed_texts({wide_, missing_path}));
        release_argument_list();
    }

    // The window ends while one request walks and another waits: no write
    // reaches it any more, and the workers finish (or keep walking) safely
    // even once it is destroyed.
    void quit_while_a_scan_runs_and_requests_wait()
    {
        auto window = std::make_unique<MainWindowWidget>();
        QSignalSpy ended(window.get(), &MainWindowWidget::ended);
        window->show();
        ScanHold hold;
        QVERIFY(drop_urls(window.get(), {QUrl::fromLocalFile(wide_), QUrl::fromLocalFile(missing_path)}));
        QTRY_VERIFY_WITH_TIMEOUT(hold.held(), test_deadline_ms);
        QVERIFY(drop_urls(window.get(), {QUrl::fromLocalFile(wide_)}));
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QCOMPARE(ended.count(), 1);
        const QString status = text_of(*window, IDC_STATUS_LINE);
        hold.release();
        QCoreApplication::processEvents();  // a few writes are served, and dropped
        QCOMPARE(text_of(*window, IDC_STATUS_LINE), status);
        window.reset();
        QVERIFY(wait_for_all_workers());
        QCOMPARE(tally.folder_count, 2u * 801u);  // both requests ran to their end
    }

    // The About box is modal over the window, and worker writes keep
    // arriving while it is open.
    void about_box_over_a_running_window()
    {
        MainWindowWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        bool box_seen = false;
        bool counted_while_open = false;
        // Looks for the box from inside its own event loop.
        QTimer look;
        look.setInterval(10);
        connect(&look, &QTimer::timeout, &window, [&] {
            auto* box = qobject_cast<AboutBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            look.stop();
            box_seen = box->isModal() && box->parentWidget() == &window;
            if (drop_urls(&window, {QUrl::fromLocalFile(tree_)}))
                counted_while_open = QTest::qWaitFor(
                    [&] { return scan_finished(window) && text_of(window, IDC_FILES_FIELD) == "3  (H)"; },
                    test_deadline_ms);
            box->button(1)->click();
        });
        look.start();
        QTest::mouseClick(qobject_cast<QPushButton*>(window.control(IDC_ABOUT_BUTTON)), Qt::LeftButton);
        QVERIFY(box_seen);
        QVERIFY(counted_while_open);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(window.isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
