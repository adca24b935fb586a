// The main window on the offscreen platform: the template's layout kept with
// any font, texts, tab order, tooltips and what screen readers hear, On Top,
// maximizing, Reset, the ways to quit, drops and the clipboard keys, what
// could not be read, drops while scans run, the command-line paths and the
// About box, with the core's real workers counting real folders.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontMetrics>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "core/failure_report.h"
#include "core/requests.h"
#include "core/scan_events.h"
#include "core/tally.h"
#include "resources/control_ids.h"
#include "shell/dialog_templates.h"
#include "shell/qt/about_box.h"
#include "shell/qt/main_window.h"
#include "shell/qt/scan_bridge.h"
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

// A request has ended: its "Ready" may say what it could not read.
bool scan_finished(const MainWindowWidget& window)
{
    return window.control(IDC_RESET_BUTTON)->isEnabled() && text_of(window, IDC_STATUS_LINE).startsWith("Ready");
}

// The first row of `image` within `area` that holds a dark pixel: the top of
// the text drawn there.
int first_ink_row(const QImage& image, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128) return y;
    return -1;
}

// The request has ended with `status` and the files field showing `files`.
bool scan_finished_with(const MainWindowWidget& window, const QString& status, const QString& files)
{
    return window.control(IDC_RESET_BUTTON)->isEnabled() && text_of(window, IDC_STATUS_LINE) == status &&
           text_of(window, IDC_FILES_FIELD) == files;
}

QLabel* label_with_text(const QWidget& window, const QString& text)
{
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->text() == text) return label;
    return nullptr;
}

// The widget a record of the main window's template became.
const QWidget* widget_for(const MainWindowWidget& window, const DialogControl& record)
{
    if (record.kind == ControlKind::label) return label_with_text(window, QString::fromUtf8(record.text));
    return window.control(record.id);
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

    // With any font the window keeps the template's layout: it cannot be
    // resized and opens centred; every control lies inside it, clear of the
    // others, left of (right of, right to left) or above another where the
    // template puts it so; every label shows its whole text, aligned towards
    // its field; a larger font gives a larger window.
    void controls_keep_the_templates_layout()
    {
        QSize sizes[2];
        const int point_sizes[2] = {9, 14};
        for (int turn = 0; turn < 4; ++turn) {
            const int f = turn % 2;
            const bool mirrored = turn >= 2;
            QApplication::setLayoutDirection(mirrored ? Qt::RightToLeft : Qt::LeftToRight);
            QFont font = QApplication::font();
            font.setPointSize(point_sizes[f]);
            QApplication::setFont(font);
            MainWindowWidget window;
            sizes[f] = window.size();
            QCOMPARE(window.minimumSize(), window.maximumSize());
            const QPoint centre = window.screen()->availableGeometry().center();
            QVERIFY((window.geometry().center() - centre).manhattanLength() <= 2);

            const auto& records = main_window_template.controls;
            for (size_t i = 0; i < records.size(); ++i) {
                const QWidget* a = widget_for(window, records[i]);
                QVERIFY2(a != nullptr, records[i].text);
                const QRect place = a->geometry();
                QVERIFY(window.rect().contains(place));
                for (size_t k = i + 1; k < records.size(); ++k) {
                    const QRect other = widget_for(window, records[k])->geometry();
                    const DialogControl &ra = records[i], &rb = records[k];
                    QVERIFY2(!place.intersects(other), qPrintable(QString("controls %1 and %2").arg(i).arg(k)));
                    const QRect& left = mirrored ? other : place;
                    const QRect& right = mirrored ? place : other;
                    if (ra.x + ra.width <= rb.x) QVERIFY(left.right() < right.left());
                    if (rb.x + rb.width <= ra.x) QVERIFY(right.right() < left.left());
                    if (ra.y + ra.height <= rb.y) QVERIFY(place.bottom() < other.top());
                    if (rb.y + rb.height <= ra.y) QVERIFY(other.bottom() < place.top());
                }
                if (records[i].kind != ControlKind::label) continue;
                const auto* label = static_cast<const QLabel*>(a);
                QVERIFY(label->alignment() & (mirrored ? Qt::AlignLeft : Qt::AlignRight));
                QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
            }
        }
        QVERIFY(sizes[1].width() > sizes[0].width() && sizes[1].height() > sizes[0].height());
        QApplication::setFont(QFont());
        QApplication::setLayoutDirection(Qt::LeftToRight);
    }

    // With any font, each label's text stands on the same line as the text
    // of the field it names.
    void labels_line_up_with_their_fields()
    {
        const char* labels[] = {"File Count:", "Folder Count:", "Total Size:", "Max Path:"};
        for (int point_size : {9, 14}) {
            QFont font = QApplication::font();
            font.setPointSize(point_size);
            QApplication::setFont(font);
            MainWindowWidget window;
            for (int i = 0; i < 4; ++i)  // the same glyphs
                qobject_cast<QLineEdit*>(window.control(field_ids[i]))->setText(labels[i]);
            QImage image(window.size(), QImage::Format_RGB32);  // drawn on this thread alone
            window.render(&image);
            for (int i = 0; i < 4; ++i) {
                const QRect field = window.control(field_ids[i])->geometry().marginsRemoved(QMargins(4, 4, 4, 4));
                const int label_top = first_ink_row(image, label_with_text(window, labels[i])->geometry());
                QVERIFY(label_top >= 0);
                QCOMPARE(label_top, first_ink_row(image, field));
            }
        }
        QApplication::setFont(QFont());
    }

    // A screen reader hears the window as a dialog, and each field by its
    // label's name, as read-only text.
    void fields_are_named_and_read_only()
    {
        MainWindowWidget window;
        QCOMPARE(QAccessible::queryAccessibleInterface(&window)->role(), QAccessible::Dialog);
        const char* labels[] = {"File Count:", "Folder Count:", "Total Size:", "Max Path:"};
        for (int i = 0; i < 4; ++i) {
            QAccessibleInterface* field = QAccessible::queryAccessibleInterface(window.control(field_ids[i]));
            QVERIFY(field != nullptr);
            QCOMPARE(field->text(QAccessible::Name), QString(labels[i]));
            QVERIFY(field->state().readOnly);
            QVERIFY(!field->state().editable);
            QCOMPARE(field->text(QAccessible::Value), text_of(window, field_ids[i]));
        }
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

    // Tab reaches the fields, the check box and the buttons in template
    // order; the status line takes no focus.
    void tab_order_follows_the_template()
    {
        MainWindowWidget window;
        std::vector<int> order;
        for (const DialogControl& record : main_window_template.controls)
            if (record.kind == ControlKind::field || record.kind == ControlKind::check_box ||
                record.kind == ControlKind::push_button)
                order.push_back(record.id);
        std::vector<int> met;
        QWidget* widget = window.control(order.front());
        do {
            if (widget->focusPolicy() & Qt::TabFocus) {
                for (int id : order)
                    if (window.control(id) == widget) met.push_back(id);
            }
            widget = widget->nextInFocusChain();
        } while (widget != window.control(order.front()) && met.size() <= order.size());
        QCOMPARE(met, order);
        QCOMPARE(window.control(IDC_STATUS_LINE)->focusPolicy(), Qt::NoFocus);
    }

    // Each control of the tooltip table has its tooltip; the others have none.
    void tooltips_come_from_the_table()
    {
        MainWindowWidget window;
        for (const DialogControl& record : main_window_template.controls) {
            if (record.kind == ControlKind::label) continue;
            QString expected;
            for (const Tooltip& tooltip : main_window_tooltips)
                if (tooltip.control == record.id) expected = QString::fromUtf8(tooltip.text);
            QCOMPARE(window.control(record.id)->toolTip(), expected);
        }
        QVERIFY(window.testAttribute(Qt::WA_AlwaysShowToolTips));
    }

    // Checked at the start and above others; clearing it lets others cover
    // the window, checking it again raises it; the window stays shown, keeps
    // its native window and the focus stays on the box.
    void on_top_follows_its_box()
    {
        MainWindowWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* check = qobject_cast<QCheckBox*>(window.control(IDC_ON_TOP_CHECK));
        QVERIFY(check->isChecked());
        QVERIFY(check->isEnabled());
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
        const QWindow* native = window.windowHandle();
        const WId id = window.winId();
        const QPoint place = window.pos();
        check->setFocus();

        for (bool on_top : {false, true}) {
            QTest::keyClick(check, Qt::Key_Space);
            QCOMPARE(check->isChecked(), on_top);
            QCOMPARE(bool(window.windowFlags() & Qt::WindowStaysOnTopHint), on_top);
            QVERIFY(window.isVisible());
            QCOMPARE(window.pos(), place);
            QCOMPARE(window.windowHandle(), native);
            QCOMPARE(window.winId(), id);
            QCOMPARE(QApplication::focusWidget(), check);
        }
    }

    // The window asks for no maximize or minimize button; a desktop that
    // maximizes it all the same (as Qt's own title bar on Wayland does) has
    // it back at its own fixed size.
    void maximizing_gives_the_window_its_own_size_back()
    {
        MainWindowWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!(window.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint)));
        QVERIFY(window.windowFlags() & Qt::WindowCloseButtonHint);
        const QSize own = window.size();
        window.windowHandle()->setWindowStates(Qt::WindowMaximized);
        QTRY_COMPARE_WITH_TIMEOUT(window.windowHandle()->windowStates(), Qt::WindowNoState, test_deadline_ms);
        QTRY_COMPARE_WITH_TIMEOUT(window.size(), own, test_deadline_ms);
        QCOMPARE(window.minimumSize(), own);
        QCOMPARE(window.maximumSize(), own);
    }

    // Reset zeroes the counts and shows the zero texts; the status line stays.
    void reset_zeroes_the_fields_only()
    {
        MainWindowWidget window;
        QVERIFY(drop_urls(&window, {QUrl::fromLocalFile(tree_)}));
        QTRY_VERIFY_WITH_TIMEOUT(scan_finished(window) && text_of(window, IDC_FILES_FIELD) == "3  (H)",
                                 test_deadline_ms);
        window.show_progress("/sub");
        QTest::mouseClick(qobject_cast<QPushButton*>(window.control(IDC_RESET_BUTTON)), Qt::LeftButton);
        QCOMPARE(field_texts(window), zero_texts);
        QCOMPARE(tally.file_count, 0u);
        QCOMPARE(text_of(window, IDC_STATUS_LINE), QString("/sub"));
    }

    // Quit, Escape (wherever the focus is), Alt+Q, Ctrl+Q and the close box
    // end the window; Enter does nothing, not even on a focused button.
    void ways_to_quit_and_enter_ignored()
    {
        enum Way { quit_button, escape_in_field, escape_on_button, alt_q, ctrl_q, close_box };
        for (Way way : {quit_button, escape_in_field, escape_on_button, alt_q, ctrl_q, close_box}) {
            MainWindowWidget window;
            QSignalSpy ended(&window, &MainWindowWidget::ended);
            window.show();
            QVERIFY(QTest::qWaitForWindowActive(&window));
            Tally seven{};
            seven.file_count = 7;
            window.show_counts(seven);
            for (int id : {IDC_FILES_FIELD, IDC_RESET_BUTTON, IDC_QUIT_BUTTON}) {
                window.control(id)->setFocus();
                QTest::keyClick(window.control(id), Qt::Key_Return);
                QTest::keyClick(window.control(id), Qt::Key_Enter);
            }
            // Escape held down elsewhere (in the About box) goes on repeating
            // here once the box has closed: that is no press to quit.
            QKeyEvent held(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(window.control(IDC_QUIT_BUTTON), &held);
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
            case ctrl_q:
                window.control(IDC_PATH_FIELD)->setFocus();
                QTest::keyClick(window.control(IDC_PATH_FIELD), Qt::Key_Q, Qt::ControlModifier);
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

    // Escape held down in the About box closes the box alone, however the
    // platform repeats it: as presses, or as a release and a press of the
    // same time, which on X11 may both come as fresh. Once the key has come
    // up, Escape quits. After OK, the first one quits.
    void escape_held_in_the_about_box_closes_the_box_alone()
    {
        for (const bool by_escape : {true, false}) {
            MainWindowWidget window;
            QSignalSpy ended(&window, &MainWindowWidget::ended);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            const auto escape = [&window](QEvent::Type type, quint64 time, bool repeated) {
                QKeyEvent key(type, Qt::Key_Escape, Qt::NoModifier, QString(), repeated);
                key.setTimestamp(time);
                QApplication::sendEvent(window.windowHandle(), &key);
            };
            QTimer::singleShot(0, &window, [&] {  // in the box's own event loop
                auto* box = qobject_cast<AboutBox*>(QApplication::activeModalWidget());
                if (!by_escape) return box->button(IDC_OK_BUTTON)->click();
                QTest::keyPress(box, Qt::Key_Escape);
            });
            qobject_cast<QPushButton*>(window.control(IDC_ABOUT_BUTTON))->click();
            if (by_escape) {
                for (const quint64 time : {500, 533}) {
                    escape(QEvent::KeyRelease, time, time != 500);
                    escape(QEvent::KeyPress, time, time != 500);
                }
                escape(QEvent::KeyPress, 566, true);
                QCOMPARE(ended.count(), 0);
                escape(QEvent::KeyRelease, 600, false);
            }
            escape(QEvent::KeyPress, 900, false);
            QCOMPARE(ended.count(), 1);
        }
    }

    // Every local file URI is one item, in order; other URIs are skipped.
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
    }

    // A drag is taken only when it carries a local file, so the pointer says
    // no to web links and plain text. File URIs naming this machine (no host,
    // "localhost" or its own name) are local, and each names its path byte for
    // byte, even one whose name is not UTF-8.
    void drops_are_taken_for_local_files_named_byte_for_byte()
    {
        MainWindowWidget window;
        QMimeData links;
        links.setUrls({QUrl("https://heapwise.example.org/x"), QUrl("file://elsewhere.example.org/tmp")});
        QMimeData text_only;
        text_only.setText(tree_);
        for (const QMimeData* data : {&links, &text_only}) {
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&window, &enter);
            QVERIFY(!enter.isAccepted());
        }

        const QByteArray folder = QFile::encodeName(scratch_.filePath("bytes"));
        QVERIFY(make_folder(scratch_.filePath("bytes")));
        const QByteArray latin1_name = folder + "/caf\xE9.txt";  // "café.txt" in Latin-1
        const int file = open(latin1_name.constData(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(file >= 0);
        QCOMPARE(write(file, "1234567", 7), 7);
        close(file);
        const QByteArray encoded = folder.toPercentEncoding("/");
        QMimeData files;
        files.setData("text/uri-list", "file://localhost" + encoded + "/caf%E9.txt\r\n# a comment\r\n"
                                       "file://" + QSysInfo::machineHostName().toUtf8() +
                                           QFile::encodeName(loose_).toPercentEncoding("/") + "\r\n");
        QVERIFY(drop_data(&window, files));
        QTRY_VERIFY_WITH_TIMEOUT(scan_finished(window) && text_of(window, IDC_FILES_FIELD) != "0", test_deadline_ms);
        QCOMPARE(text_of(window, IDC_FILES_FIELD), QString("2"));
        QCOMPARE(text_of(window, IDC_SIZE_FIELD), QString("107 bytes  (0.1 KB)"));
        QCOMPARE(text_of(window, IDC_PATH_FIELD), QString("0 / %1").arg(latin1_name.size()));
        // Qt cannot remove a name that is not UTF-8 with the scratch folder.
        unlink(latin1_name.constData());
    }

    // Ctrl+V counts files copied in a file manager (text/uri-list); Ctrl+C
    // with no text selected copies the four results as the terminal mode
    // prints them, and with a selection copies the selection.
    void clipboard_keys()
    {
        MainWindowWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* copied = new QMimeData;
        copied->setData("text/uri-list", QUrl::fromLocalFile(tree_).toEncoded() + "\r\n");
        QGuiApplication::clipboard()->setMimeData(copied);
        QWidget* field = window.control(IDC_FILES_FIELD);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(scan_finished(window) && text_of(window, IDC_FILES_FIELD) == "3  (H)",
                                 test_deadline_ms);

        QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), printed_output({tree_}));
        window.control(IDC_RESET_BUTTON)->setFocus();
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(window.control(IDC_RESET_BUTTON), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), printed_output({tree_}));

        auto* size = qobject_cast<QLineEdit*>(window.control(IDC_SIZE_FIELD));
        size->setFocus();
        size->setSelection(0, 3);
        QTest::keyClick(size, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("135"));
    }

    // A request's "Ready" says how many items it could not read (each named
    // on standard error, as the program test checks); the next request counts
    // its own. A screen reader learns of each end from the window's
    // description, told after the fields' new texts.
    void unreadable_items_are_counted_and_each_end_is_told()
    {
        report_failures_to_window();
        MainWindowWidget window;
        QAccessibleInterface* self = QAccessible::queryAccessibleInterface(&window);
        QVERIFY(self->text(QAccessible::Description).isEmpty());
        QVERIFY(drop_urls(&window, {QUrl::fromLocalFile(missing_path), QUrl::fromLocalFile(tree_),
                                    QUrl::fromLocalFile(scratch_.filePath("not there"))}));
        QTRY_VERIFY_WITH_TIMEOUT(scan_finished_with(window, "Ready - 2 items could not be read", "3  (H)"),
                                 test_deadline_ms);
        QCOMPARE(field_texts(window), printed_texts({tree_}));
        QCOMPARE(self->text(QAccessible::Description), QString("Ready - 2 items could not be read"));
        QVERIFY(drop_urls(&window, {QUrl::fromLocalFile(loose_)}));
        QTRY_VERIFY_WITH_TIMEOUT(scan_finished_with(window, "Ready", "4  (H)"), test_deadline_ms);
        QCOMPARE(self->text(QAccessible::Description), QString("Ready"));
        // The new counts are in the fields before the end is told.
        QStringList told_when_counted;
        connect(static_cast<QLineEdit*>(window.control(IDC_FILES_FIELD)), &QLineEdit::textChanged, &window,
                [&] { told_when_counted.append(self->text(QAccessible::Description)); });
        Tally seven{};
        seven.file_count = 7;
        window.show_request_finished(seven, 1);
        QCOMPARE(told_when_counted, QStringList{"Ready"});
        QCOMPARE(self->text(QAccessible::Description), QString("Ready - 1 item could not be read"));
        store_failure_report(nullptr);
    }

    // Drops arriving while a scan runs wait for it and are counted after it;
    // meanwhile the status line names a folder of the running scan and how
    // many drops wait.
    void drops_while_a_scan_runs()
    {
        MainWindowWidget window;
        ScanHold hold;
        QVERIFY(drop_urls(&window, {QUrl::fromLocalFile(wide_), QUrl::fromLocalFile(missing_path)}));
        // The first worker walked its folders and stopped at the missing
        // path, holding scan_lock: Reset disabled, the folders counted so far
        // shown (all of them, once every walker has entered its last).
        QTRY_VERIFY_WITH_TIMEOUT(hold.held(), test_deadline_ms);
        QTRY_VERIFY_WITH_TIMEOUT(names_a_folder_of_wide(text_of(window, IDC_STATUS_LINE)), test_deadline_ms);
        QVERIFY(!window.control(IDC_RESET_BUTTON)->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(text_of(window, IDC_FOLDERS_FIELD), printed_texts({wide_})[1], test_deadline_ms);
        QCOMPARE(text_of(window, IDC_FILES_FIELD), QString("0"));
        QVERIFY(drop_urls(&window, {QUrl::fromLocalFile(tree_)}));
        QVERIFY(drop_urls(&window, {QUrl::fromLocalFile(loose_)}));
        // Each drop shows at once that it was taken and waits.
        QVERIFY(text_of(window, IDC_STATUS_LINE).startsWith("/"));
        QVERIFY2(text_of(window, IDC_STATUS_LINE).endsWith("(2 drops waiting)"),
                 qPrintable(text_of(window, IDC_STATUS_LINE)));
        // A folder of any length leaves the note whole within the status line.
        const auto* status = static_cast<QLabel*>(window.control(IDC_STATUS_LINE));
        QByteArray folder = "/";
        for (int length = 1; length <= 150; ++length) {
            folder.append("Wi"[length % 2]);
            window.show_progress(folder.constData());
            QVERIFY2(status->text().endsWith("  (2 drops waiting)"), qPrintable(status->text()));
            QVERIFY2(status->sizeHint().width() <= status->width(), qPrintable(status->text()));
        }
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
    // while it runs keeps Reset disabled and shows its progress and running
    // counts until it ends.
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
        QTRY_VERIFY_WITH_TIMEOUT(names_a_folder_of_wide(text_of(window, IDC_STATUS_LINE)), test_deadline_ms);
        QTRY_COMPARE_WITH_TIMEOUT(text_of(window, IDC_FOLDERS_FIELD), printed_texts({wide_})[1], test_deadline_ms);
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
