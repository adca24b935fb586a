// A result field of the main window: read-only text that can be selected and
// copied, named for assistive technology by the label before it, and
// presented to it as read-only rather than as something to edit.
#pragma once

#include <QLineEdit>

class ResultField : public QLineEdit {
    Q_OBJECT

public:
    explicit ResultField(QWidget* parent);

    // Where the field's line of text begins vertically, in the field's own
    // pixels: a label beside it is placed so that the two texts line up.
    int text_top() const;
};
