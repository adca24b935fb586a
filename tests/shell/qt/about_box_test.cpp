// The About box on the offscreen platform: its controls placed from dialog
// units (mirrored right to left), its texts, the address button opening the
// maker's page while the box stays open (or saying it could not), and OK,
// Escape and the close box closing it.
#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWidget>

#include "resources/control_ids.h"
#include "resources/version.h"
#include "shell/qt/about_box.h"
#include "shell/qt/dialog_units.h"

// Stands in for the browser: the address handler for https.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class AboutBoxTest : public QObject {
    Q_OBJECT

private slots:
    void controls_are_placed_in_dialog_units()
    {
        QWidget owner;
        AboutBox box(&owner);
        // 200 units across are 50 times the horizontal base unit: at least the
        // font's average character width, more where a text line needs it.
        QCOMPARE(box.width() % 50, 0);
        const DialogUnits units = {box.width() / 50, box.fontMetrics().height()};
        QVERIFY(units.base_x >= dialog_units(box.font()).base_x);
        QCOMPARE(box.size(), dialog_size(units, 200, 130));
        QCOMPARE(box.minimumSize(), box.maximumSize());
        const QPoint centre = owner.screen()->availableGeometry().center();
        QVERIFY((box.geometry().center() - centre).manhattanLength() <= 2);
        QCOMPARE(box.button(IDC_ADDRESS_BUTTON)->geometry(), dialog_rect(units, 40, 80, 120, 14));
        QCOMPARE(box.button(1)->geometry(), dialog_rect(units, 75, 110, 50, 14));

        const QList<QLabel*> labels = box.findChildren<QLabel*>();
        QCOMPARE(labels.size(), 3);  // icon, name and copyright, sentence
        const QLabel* icon = labels[0];
        QCOMPARE(icon->pos(), dialog_rect(units, 10, 6, 32, 32).topLeft());
        QCOMPARE(icon->pixmap().deviceIndependentSize().toSize(), QSize(32, 32));
        QCOMPARE(labels[1]->geometry(), dialog_rect(units, 50, 5, 140, 28));
        QCOMPARE(labels[2]->geometry(), dialog_rect(units, 10, 50, 180, 30));
        for (const QLabel* label : {labels[1], labels[2]}) {
            const QStringList lines = label->text().split(u'\n');
            for (const QString& line : lines) QVERIFY2(label->fontMetrics().horizontalAdvance(line) <= label->width(), qPrintable(line));
            QVERIFY(lines.size() * label->fontMetrics().lineSpacing() <= label->height() + label->fontMetrics().leading());
        }

        const QList<QFrame*> frames = box.findChildren<QFrame*>(Qt::FindDirectChildrenOnly);
        const QFrame* rule = nullptr;
        for (const QFrame* frame : frames)
            if (frame->frameShape() == QFrame::HLine) rule = frame;
        QVERIFY(rule != nullptr);
        QCOMPARE(rule->frameShadow(), QFrame::Sunken);
        QCOMPARE(rule->geometry().topLeft(), dialog_rect(units, 10, 35, 180, 1).topLeft());
        QCOMPARE(rule->width(), dialog_rect(units, 10, 35, 180, 1).width());
    }

    // Right to left the icon takes the other corner, and the address still
    // reads left to right: its button looks as it does left to right.
    void right_to_left_mirrors_the_layout_not_the_address()
    {
        QWidget owner;
        QImage addresses[2];
        for (int mirrored = 0; mirrored < 2; ++mirrored) {
            QApplication::setLayoutDirection(mirrored ? Qt::RightToLeft : Qt::LeftToRight);
            AboutBox box(&owner);
            const QLabel* icon = box.findChildren<QLabel*>()[0];
            QCOMPARE(icon->x() > box.width() / 2, mirrored == 1);
            addresses[mirrored] = box.button(IDC_ADDRESS_BUTTON)->grab().toImage();
        }
        QApplication::setLayoutDirection(Qt::LeftToRight);
        QCOMPARE(addresses[1], addresses[0]);
    }

    void texts()
    {
        QWidget owner;
        AboutBox box(&owner);
        QCOMPARE(box.windowTitle(), QString("Heapwise"));
        QVERIFY(box.isModal());
        QCOMPARE(box.parentWidget(), &owner);
        const QList<QLabel*> labels = box.findChildren<QLabel*>();
        QCOMPARE(labels[1]->text(), QString("Heapwise v" HEAPWISE_VERSION "\n" HEAPWISE_COPYRIGHT_1 "\n" HEAPWISE_COPYRIGHT_2));
        QVERIFY(labels[1]->alignment() & Qt::AlignRight);
        QCOMPARE(labels[2]->text(), QString("Simple tool to count files and find max folder depth.\n"
                                            "For more information please visit:"));
        QVERIFY(labels[2]->alignment() & Qt::AlignHCenter);
        QCOMPARE(box.button(IDC_ADDRESS_BUTTON)->text(), QString(HEAPWISE_WEB_ADDRESS));
        QCOMPARE(box.button(1)->text(), QString("OK"));
        QVERIFY(box.button(1)->isDefault());
        // What a screen reader meets: a named image and a separator.
        QAccessibleInterface* icon = QAccessible::queryAccessibleInterface(labels[0]);
        QCOMPARE(icon->role(), QAccessible::Graphic);
        QCOMPARE(icon->text(QAccessible::Name), QString("Heapwise"));
        for (QFrame* frame : box.findChildren<QFrame*>(Qt::FindDirectChildrenOnly))
            if (frame->frameShape() == QFrame::HLine)
                QCOMPARE(QAccessible::queryAccessibleInterface(frame)->role(), QAccessible::Separator);
    }

    // The page opens each time the button is pressed, and the box stays:
    // through the desktop's opener (xdg-open) where there is one, through Qt
    // elsewhere. Where the opener fails, as with no browser, a message says
    // so, with the address to copy.
    void address_button_opens_the_page()
    {
        QTemporaryDir bin;
        const QByteArray path = qgetenv("PATH");
        const QString address = HEAPWISE_WEB_ADDRESS, opened = bin.filePath("opened");
        for (const QString exit_code : {"", "0", "3"}) {
            QFile opener(bin.filePath("xdg-open"));
            opener.remove();
            if (!exit_code.isEmpty() && opener.open(QIODevice::WriteOnly))
                opener.write(QString("#!/bin/sh\necho \"$*\" >>'%1'\nexit %2\n").arg(opened, exit_code).toUtf8());
            opener.close();
            opener.setPermissions(opener.permissions() | QFile::ExeOwner);
            QFile::remove(opened);
            qputenv("PATH", bin.path().toUtf8());
            UrlCatcher browser;
            QDesktopServices::setUrlHandler("https", &browser, "open");
            QWidget owner;
            AboutBox box(&owner);
            box.open();
            QVERIFY(QTest::qWaitForWindowExposed(&box));
            QTest::mouseClick(box.button(IDC_ADDRESS_BUTTON), Qt::LeftButton);
            QTest::mouseClick(box.button(IDC_ADDRESS_BUTTON), Qt::LeftButton);
            QDesktopServices::unsetUrlHandler("https");
            qputenv("PATH", path);
            QCOMPARE(browser.opened.size(), exit_code.isEmpty() ? 2 : 0);
            for (const QUrl& url : browser.opened) QCOMPARE(url, QUrl(address));
            QTRY_COMPARE(QFileInfo(opened).size(), exit_code.isEmpty() ? 0 : 2 * (address.size() + 1));
            QTest::qWait(100);  // the opener's end reaches the box
            QTRY_COMPARE(box.findChildren<QMessageBox*>().size(), exit_code == "3" ? 2 : 0);
            for (QMessageBox* message : box.findChildren<QMessageBox*>())
                QVERIFY(message->text().contains(address) && message->textInteractionFlags() & Qt::TextSelectableByMouse);
            QVERIFY(box.isVisible());
        }
    }

    void ok_escape_and_close_box_close_it()
    {
        enum Way { ok, enter, escape, close_box };
        for (Way way : {ok, enter, escape, close_box}) {
            QWidget owner;
            owner.show();
            AboutBox box(&owner);
            QSignalSpy finished(&box, &QDialog::finished);
            box.open();
            QVERIFY(QTest::qWaitForWindowActive(&box));
            switch (way) {
            case ok:
                QTest::mouseClick(box.button(1), Qt::LeftButton);
                break;
            case enter:  // with the focus on OK, the default button
                box.button(1)->setFocus();
                QTest::keyClick(box.button(1), Qt::Key_Return);
                break;
            case escape:
                QTest::keyClick(&box, Qt::Key_Escape);
                break;
            case close_box:
                box.close();
                break;
            }
            QCOMPARE(finished.count(), 1);
            QVERIFY(!box.isVisible());
            QVERIFY(owner.isVisible());
        }
    }
};

QTEST_MAIN(AboutBoxTest)
#include "about_box_test.moc"
