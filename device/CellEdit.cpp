#include "CellEdit.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>

CCellEdit::CCellEdit(QWidget* grid, QWidget* parent)
    : QLineEdit(parent)
    , m_grid(grid)
{
    setFrame(true);
    hide();
}

void CCellEdit::SetColors(const QColor& text, const QColor& background)
{
    m_textColor = text;
    m_backgroundColor = background;
    QPalette colors = palette();
    colors.setColor(QPalette::Text, text);
    colors.setColor(QPalette::Base, background);
    setPalette(colors);
    update();
}

QColor CCellEdit::GetTextColor() const
{
    return m_textColor;
}

QColor CCellEdit::GetBackgroundColor() const
{
    return m_backgroundColor;
}

void CCellEdit::SetCell(long row, long col)
{
    m_row = row;
    m_col = col;
}

long CCellEdit::GetRow() const
{
    return m_row;
}

long CCellEdit::GetCol() const
{
    return m_col;
}

void CCellEdit::keyPressEvent(QKeyEvent* event)
{
    switch (event->key())
    {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // Taken here, so that the dialog's default and cancel buttons never see them.
        PostKeyToGrid(event->key());
        event->accept();
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        // A one-line editor has nowhere to go; the keys must not move the grid's cell.
        event->accept();
        return;
    default:
        QLineEdit::keyPressEvent(event);
        break;
    }
}

void CCellEdit::keyReleaseEvent(QKeyEvent* event)
{
    QLineEdit::keyReleaseEvent(event);
    event->accept();
}

void CCellEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    // Another program became active or a menu opened: the focus went to no window
    // of ours, and the edit stays as it is.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || reason == Qt::MenuBarFocusReason)
    {
        return;
    }
    const QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr || !isVisible())
    {
        return;
    }
    // A click into the grid commits through the grid's LeaveCell.
    if (focus == m_grid || m_grid->isAncestorOf(focus))
    {
        return;
    }
    PostKeyToGrid(Qt::Key_Return);
}

bool CCellEdit::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride)
    {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key())
        {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
            event->accept();
            return true;
        default:
            break;
        }
    }
    return QLineEdit::event(event);
}

void CCellEdit::PostKeyToGrid(int key) const
{
    QCoreApplication::postEvent(m_grid, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
}
