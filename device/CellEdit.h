#pragma once

// The grid's in-place editor, laid over the edited cell. Enter and Escape go to
// the grid as key presses; the arrow, Home and End keys stay in the editor.
// Losing the focus to another control of the application sends Enter to the
// grid, so that leaving the editor commits; losing it to the grid itself (a
// click on another cell) or to no window of the application (another program
// became active, a menu opened) does nothing.

#include <QColor>
#include <QLineEdit>

class CCellEdit : public QLineEdit
{
    Q_OBJECT

public:
    // `grid` receives the editor's Enter and Escape.
    CCellEdit(QWidget* grid, QWidget* parent);

    void SetColors(const QColor& text, const QColor& background);
    QColor GetTextColor() const;
    QColor GetBackgroundColor() const;
    void SetCell(long row, long col);
    long GetRow() const;
    long GetCol() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

private:
    void PostKeyToGrid(int key) const;

    QWidget* m_grid;
    QColor m_textColor{0, 0, 0};
    QColor m_backgroundColor{0, 0, 0};
    long m_row = -1;
    long m_col = -1;
};
