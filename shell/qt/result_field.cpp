// The result field and what it tells assistive technology. Qt presents a
// read-only line edit as editable text too; the field's own interface
// presents it as read-only, keeps its label as its name and its text readable
// and selectable.
#include "shell/qt/result_field.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

class ResultFieldAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ResultFieldAccessible(QLineEdit* field) : QAccessibleWidget(field, QAccessible::EditableText) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.selectableText = true;
        return state;
    }

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Value ? field()->text() : QAccessibleWidget::text(kind);
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    void selection(int index, int* start, int* end) const override
    {
        *start = *end = 0;
        if (index != 0 || !field()->hasSelectedText()) return;
        *start = field()->selectionStart();
        *end = field()->selectionEnd();
    }
    int selectionCount() const override { return field()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override
    {
        if (index == 0) field()->deselect();
    }
    void setSelection(int index, int start, int end) override
    {
        if (index == 0) field()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return field()->cursorPosition(); }
    void setCursorPosition(int position) override { field()->setCursorPosition(position); }
    QString text(int start, int end) const override { return field()->text().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(field()->text().size()); }

    // Measured from the cursor, the one place whose position the field tells.
    QRect characterRect(int offset) const override
    {
        const QString text = field()->text();
        if (offset < 0 || offset >= text.size()) return {};
        const QFontMetrics metrics = field()->fontMetrics();
        const QRect cursor = field()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const int x = cursor.x() + metrics.horizontalAdvance(text.left(offset)) -
                      metrics.horizontalAdvance(text.left(field()->cursorPosition()));
        const QRect rect(x, cursor.y(), metrics.horizontalAdvance(text.at(offset)), metrics.height());
        return rect.translated(field()->mapToGlobal(QPoint(0, 0)));
    }

    int offsetAtPoint(const QPoint& point) const override
    {
        return field()->cursorPositionAt(field()->mapFromGlobal(point));
    }

    void scrollToSubstring(int start, int end) override
    {
        field()->setCursorPosition(end);
        field()->setCursorPosition(start);
    }

    QString attributes(int offset, int* start, int* end) const override
    {
        *start = *end = offset;
        return {};
    }

private:
    QLineEdit* field() const { return static_cast<QLineEdit*>(widget()); }
};

QAccessibleInterface* result_field_accessible(const QString& class_name, QObject* object)
{
    if (class_name != QLatin1String("ResultField") || !object->isWidgetType()) return nullptr;
    return new ResultFieldAccessible(static_cast<QLineEdit*>(object));
}

}  // namespace

ResultField::ResultField(QWidget* parent) : QLineEdit(parent)
{
    static const bool installed = (QAccessible::installFactory(result_field_accessible), true);
    (void)installed;
    setReadOnly(true);
    setAcceptDrops(false);
}

// As the line edit places its text: centred in its contents.
int ResultField::text_top() const
{
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    const QRect contents =
        style()->subElementRect(QStyle::SE_LineEditContents, &panel, this).marginsRemoved(textMargins());
    return contents.y() + (contents.height() - fontMetrics().height() + 1) / 2;
}
