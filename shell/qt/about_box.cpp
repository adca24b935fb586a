// The About box's controls, made from its template (resources/dialogs.h) and
// placed in dialog units.
#include "shell/qt/about_box.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDesktopServices>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>

#include "resources/control_ids.h"
#include "resources/version.h"
#include "shell/qt/dialog_units.h"

namespace {

// The rule under the name is a separator to assistive technology, not an
// unnamed frame.
QAccessibleInterface* rule_accessible(const QString& class_name, QObject* object)
{
    if (class_name != QLatin1String("QFrame") || !object->isWidgetType()) return nullptr;
    auto* frame = static_cast<QFrame*>(object);
    if (frame->frameShape() != QFrame::HLine) return nullptr;
    return new QAccessibleWidget(frame, QAccessible::Separator);
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
    static const bool installed = (QAccessible::installFactory(rule_accessible), true);
    (void)installed;
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
            place_control(icon, QRect(place.x(), place.y(), 32, 32));
            icon->setPixmap(heapwise_icon().pixmap(32, 32));
            icon->setAccessibleName(windowTitle());
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
            place_control(rule, QRect(place.x(), place.y(), place.width(), qMax(place.height(), 2)));
            break;
        }
        case ControlKind::push_button:
        case ControlKind::default_button: {
            auto* button = new QPushButton(dialog_text(control.text), this);
            place_control(button, place);
            button->setDefault(control.kind == ControlKind::default_button);
            if (control.id == IDC_ADDRESS_BUTTON) address_button_ = button;
            if (control.id == IDC_OK_BUTTON) ok_button_ = button;
            break;
        }
        default:
            break;
        }
    }

    // The address reads left to right in a right-to-left window too: its
    // final slash stays at its end.
    address_button_->setAccessibleName(address_button_->text());
    if (layoutDirection() == Qt::RightToLeft) address_button_->setText(address_button_->text() + QChar(0x200E));
    connect(address_button_, &QPushButton::clicked, this, &AboutBox::open_page);
    connect(ok_button_, &QPushButton::clicked, this, &QDialog::accept);

    const QScreen* screen = owner != nullptr ? owner->screen() : this->screen();
    if (screen != nullptr) move(screen->availableGeometry().center() - rect().center());
}

// Opens the page in the user's browser; the box stays open. Where the
// desktop's opener (xdg-open) fails, as it does with no browser installed, a
// message says so and shows the address to copy.
void AboutBox::open_page()
{
    const QUrl page(QStringLiteral(HEAPWISE_WEB_ADDRESS));
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(page)) show_page_not_opened();
        return;
    }
    // Not the box's: the browser xdg-open starts may keep it running after
    // the box has closed, and deleting it would end them both.
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    const QPointer<AboutBox> box(this);
    connect(process, &QProcess::finished, process, [box, process](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        if ((status != QProcess::NormalExit || code != 0) && box) box->show_page_not_opened();
    });
    connect(process, &QProcess::errorOccurred, process, [box, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        process->deleteLater();
        if (box) box->show_page_not_opened();
    });
    process->start(opener, {page.toString()});
}

void AboutBox::show_page_not_opened()
{
    auto* message = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                    QStringLiteral("No browser could open the page. Its address is:\n%1")
                                        .arg(QStringLiteral(HEAPWISE_WEB_ADDRESS)),
                                    QMessageBox::Ok, this);
    message->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    message->setAttribute(Qt::WA_DeleteOnClose);
    message->open();
}

void AboutBox::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Cancel)) closed_by_escape_ = true;
    QDialog::keyPressEvent(event);
}

QPushButton* AboutBox::button(int id) const
{
    if (id == IDC_ADDRESS_BUTTON) return address_button_;
    if (id == IDC_OK_BUTTON) return ok_button_;
    return nullptr;
}
