// The About box's controls, made from its template (resources/dialogs.h) and
// placed in dialog units.
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

QIcon heapwise_icon()
{
    QIcon icon;
    for (const char* size : {"16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256"})
        icon.addFile(QStringLiteral(":/icons/%1/apps/heapwise.png").arg(QLatin1String(size)));
    return icon;
}

AboutBox::AboutBox(QWidget* owner) : QDialog(owner)
{
    setWindowTitle(QString::fromUtf8(about_box_template.title));
    setModal(true);
    const DialogUnits units = dialog_units_fitting(font(), about_box_template);
    setFixedSize(dialog_size(units, about_box_template.width, about_box_template.height));

    for (const DialogControl& control : about_box_template.controls) {
        const QRect place = dialog_rect(units, control);
        switch (control.kind) {
        case ControlKind::icon: {
            // The icon keeps its own size, 32 pixels, at the template's corner.
            auto* icon = new QLabel(this);
            icon->setGeometry(place.x(), place.y(), 32, 32);
            icon->setPixmap(heapwise_icon().pixmap(32, 32));
            break;
        }
        case ControlKind::right_text:
            make_text(this, place, control.text, Qt::AlignRight);
            break;
        case ControlKind::centred_text:
            make_text(this, place, control.text, Qt::AlignHCenter);
            break;
        case ControlKind::rule: {
            auto* rule = new QFrame(this);
            rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);
            rule->setGeometry(place.x(), place.y(), place.width(), qMax(place.height(), 2));
            break;
        }
        case ControlKind::push_button:
        case ControlKind::default_button: {
            auto* button = new QPushButton(dialog_text(control.text), this);
            button->setGeometry(place);
            button->setDefault(control.kind == ControlKind::default_button);
            if (control.id == IDC_ADDRESS_BUTTON) address_button_ = button;
            if (control.id == IDC_OK_BUTTON) ok_button_ = button;
            break;
        }
        default:
            break;
        }
    }

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
    if (id == IDC_OK_BUTTON) return ok_button_;
    return nullptr;
}
