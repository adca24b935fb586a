// The About box on Qt: the icon, the name and version with the copyright
// lines, what the program is for, the maker's address and OK.
#pragma once

#include <QDialog>
#include <QIcon>

class QPushButton;

// The program's icon in every size it is drawn in, compiled into the program.
QIcon heapwise_icon();

class AboutBox : public QDialog {
    Q_OBJECT

public:
    // A modal box over `owner`, centred on its screen; run it with exec().
    explicit AboutBox(QWidget* owner);

    // The address button (IDC_ADDRESS_BUTTON) or OK (IDC_OK_BUTTON), or null.
    QPushButton* button(int id) const;
    // Whether Escape closed the box (it may still be held down).
    bool closed_by_escape() const { return closed_by_escape_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void open_page();
    void show_page_not_opened();

    QPushButton* address_button_ = nullptr;
    QPushButton* ok_button_ = nullptr;
    bool closed_by_escape_ = false;
};
