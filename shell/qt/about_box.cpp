// The About box's controls, placed from its template in dialog units.
#include "shell/qt/about_box.h"

#include <QDesktopServices>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include "resources/control_ids.h"
#include "resources/version.h"
#include "shell/qt/dialog_units.h"

namespace {

// The template's size, in dialog units.
constexpr int box_width = 200;
constexpr int box_height = 130;

constexpr int ok_id = 1;

QLabel* make_text(QWidget* parent, const QRect& rect, const QString& text, Qt::Alignment alignment)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment | Qt::AlignTop);
    label->setGeometry(rect);
    return label;
}

}  // namespace

QIcon heapwise_icon()
{
    QIcon icon;
    for (const char* size : {"16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256"})
        icon.addFile(QStringLiteral(":/icons/%1/apps/heapwise.png").arg(QLatin1String(size)));
    return icon;
}

AboutBox::AboutBox(QWidget* owner) : QDialog(owner)
{
    setWindowTitle(QStringLiteral("Heapwise"));
    setModal(true);
    const DialogUnits units = dialog_units_fitting(
        font(), {{"Heapwise v" HEAPWISE_VERSION, 140}, {HEAPWISE_COPYRIGHT_1, 140}, {HEAPWISE_COPYRIGHT_2, 140},
                 {"Simple tool to count files and find max folder depth.", 180},
                 {"For more information please visit:", 180}});
    setFixedSize(dialog_size(units, box_width, box_height));

    // The icon keeps its own size, 32 pixels, at the template's corner.
    auto* icon = new QLabel(this);
    const QRect icon_rect = dialog_rect(units, 10, 6, 32, 32);
    icon->setGeometry(icon_rect.x(), icon_rect.y(), 32, 32);
    icon->setPixmap(heapwise_icon().pixmap(32, 32));

    make_text(this, dialog_rect(units, 50, 5, 140, 28),
              QStringLiteral("Heapwise v" HEAPWISE_VERSION "\n" HEAPWISE_COPYRIGHT_1 "\n" HEAPWISE_COPYRIGHT_2),
              Qt::AlignRight);

    auto* rule = new QFrame(this);
    rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    const QRect rule_rect = dialog_rect(units, 10, 35, 180, 1);
    rule->setGeometry(rule_rect.x(), rule_rect.y(), rule_rect.width(), qMax(rule_rect.height(), 2));

    make_text(this, dialog_rect(units, 10, 50, 180, 30),
              QStringLiteral("Simple tool to count files and find max folder depth.\n"
                             "For more information please visit:"),
              Qt::AlignHCenter);

    address_button_ = new QPushButton(QStringLiteral(HEAPWISE_WEB_ADDRESS), this);
    address_button_->setGeometry(dialog_rect(units, 40, 80, 120, 14));
    ok_button_ = new QPushButton(QStringLiteral("OK"), this);
    ok_button_->setGeometry(dialog_rect(units, 75, 110, 50, 14));
    ok_button_->setDefault(true);

    // Opens the page in the user's browser; the box stays open.
    connect(address_button_, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(QStringLiteral(HEAPWISE_WEB_ADDRESS))); });
    connect(ok_button_, &QPushButton::clicked, this, &QDialog::accept);

    const QScreen* screen = owner != nullptr ? owner->screen() : this->screen();
    if (screen != nullptr) move(screen->availableGeometry().center() - rect().center());
}

QPushButton* AboutBox::button(int id) const
{
    if (id == IDC_ADDRESS_BUTTON) return address_button_;
    if (id == ok_id) return ok_button_;
    return nullptr;
}
