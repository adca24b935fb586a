// The main window under load, with the core's real workers: bursts of drops
// while scans run, Reset between bursts, and the window quitting while
// workers walk or wait, round after round. Nothing may crash or hang (the
// threaded build runs it under ThreadSanitizer), every request must end with
// "Ready", and the counts must be the sum of the drops since the last Reset.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "core/requests.h"
#include "core/tally.h"
#include "resources/control_ids.h"
#include "shell/qt/main_window.h"
#include "tests/shell/qt/qt_test_support.h"
#include "text/number_format.h"
#include "text/summary.h"

namespace {

// What one drop of a tree adds.
struct TreeCounts {
    uint32_t files;
    uint32_t folders;
    uint64_t bytes;
};

struct Expected {
    uint32_t files = 0;
    uint32_t folders = 0;
    uint64_t bytes = 0;

    void add(const TreeCounts& tree)
    {
        files += tree.files;
        folders += tree.folders;
        bytes += tree.bytes;
    }
};

QString field_text(const MainWindowWidget& window, int id)
{
    return qobject_cast<QLineEdit*>(window.control(id))->text();
}

QString status_text(const MainWindowWidget& window)
{
    return qobject_cast<QLabel*>(window.control(IDC_STATUS_LINE))->text();
}

}  // namespace

class WindowStressTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir scratch_;
    QString trees_[2];
    TreeCounts counts_[2] = {{8, 4, 80}, {2, 2, 10}};

    // The Tally holds `expected`, and the window shows "Ready", Reset
    // enabled and the Tally's four texts.
    static bool shows(const MainWindowWidget& window, const Expected& expected)
    {
        if (tally.file_count != expected.files || tally.folder_count != expected.folders ||
            tally.total_bytes != expected.bytes) {
            qWarning("tally: %u files, %u folders, %llu bytes; expected %u, %u, %llu", tally.file_count,
                     tally.folder_count, static_cast<unsigned long long>(tally.total_bytes), expected.files,
                     expected.folders, static_cast<unsigned long long>(expected.bytes));
            return false;
        }
        char files[summary_text_size], folders[summary_text_size], size[summary_text_size], path[summary_text_size];
        files_text(files, tally);
        folders_text(folders, tally);
        total_size_text(size, tally);
        longest_path_text(path, tally);
        return status_text(window) == "Ready" && window.control(IDC_RESET_BUTTON)->isEnabled() &&
               field_text(window, IDC_FILES_FIELD) == files && field_text(window, IDC_FOLDERS_FIELD) == folders &&
               field_text(window, IDC_SIZE_FIELD) == size && field_text(window, IDC_PATH_FIELD) == path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(scratch_.isValid());
        // 4 folders, 8 files of 10 bytes.
        trees_[0] = scratch_.filePath("a");
        for (const char* folder : {"", "/s1", "/s2", "/s3"})
            for (const char* file : {"/f", "/g"}) QVERIFY(make_file(trees_[0] + folder + file, 10));
        // 2 folders, 2 files (one hidden) of 10 bytes in all.
        trees_[1] = scratch_.filePath("b");
        QVERIFY(make_file(trees_[1] + "/.hidden", 3));
        QVERIFY(make_file(trees_[1] + "/sub/file", 7));
        load_number_format();
    }

    void drops_resets_and_quits_round_after_round()
    {
        constexpr int rounds = 150;
        int drops = 0;
        for (int round = 0; round < rounds; ++round) {
            reset_tally();
            auto window = std::make_unique<MainWindowWidget>();
            Expected expected;

            // A burst: the first drop's worker runs, the others wait for it.
            const int burst = 1 + round % 4;
            for (int i = 0; i < burst; ++i, ++drops) {
                QVERIFY(drop_urls(window.get(), {QUrl::fromLocalFile(trees_[(round + i) % 2])}));
                expected.add(counts_[(round + i) % 2]);
            }
            QVERIFY(wait_for_all_workers());
            QVERIFY2(shows(*window, expected), qPrintable(QString("round %1, after the burst").arg(round)));

            // Reset between requests zeroes the counts; the next drop counts
            // from nothing.
            if (round % 3 == 0) {
                QTest::mouseClick(qobject_cast<QPushButton*>(window->control(IDC_RESET_BUTTON)), Qt::LeftButton);
                expected = Expected{};
                QVERIFY(shows(*window, expected));
                QVERIFY(drop_urls(window.get(), {QUrl::fromLocalFile(trees_[1])}));
                ++drops;
                expected.add(counts_[1]);
                QVERIFY(wait_for_all_workers());
                QVERIFY2(shows(*window, expected), qPrintable(QString("round %1, after Reset").arg(round)));
            }

            // Quit while one request walks and others wait: the window goes,
            // the workers finish their requests and write nowhere.
            for (int i = 0; i < 3; ++i, ++drops) {
                QVERIFY(drop_urls(window.get(), {QUrl::fromLocalFile(trees_[i % 2])}));
                expected.add(counts_[i % 2]);
            }
            QTest::keyClick(window.get(), Qt::Key_Escape);
            window.reset();
            QVERIFY(wait_for_all_workers());
            QCOMPARE(tally.file_count, expected.files);
            QCOMPARE(tally.folder_count, expected.folders);
            QCOMPARE(tally.total_bytes, expected.bytes);
        }
        qInfo("%d rounds, %d drops", rounds, drops);
    }
};

QTEST_MAIN(WindowStressTest)
#include "window_stress_test.moc"
