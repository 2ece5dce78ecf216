#include "GridUndo.h"

#include "MSFlexGrid.h"

#include <QUndoStack>

#include <utility>

GridSelection GridSelection::Of(const CMSFlexGrid& grid)
{
    return {grid.GetRow(), grid.GetCol(), grid.GetRowSel(), grid.GetColSel()};
}

void GridSelection::ApplyTo(CMSFlexGrid& grid) const
{
    grid.SetRow(row);
    grid.SetCol(col);
    grid.SetRowSel(rowSel);
    grid.SetColSel(colSel);
}

CTableChangeCommand::CTableChangeCommand(CMSFlexGrid& grid, long first, long count, CellBlock other,
                                         GridSelection selectionBefore, GridSelection selectionAfter,
                                         const QString& text, bool applied)
    : QUndoCommand(text)
    , m_grid(grid)
    , m_first(first)
    , m_count(count)
    , m_other(std::move(other))
    , m_selectionBefore(selectionBefore)
    , m_selectionAfter(selectionAfter)
    , m_done(applied)
{
}

void CTableChangeCommand::Swap()
{
    const long count = m_other.Rows();
    m_other = m_grid.ReplaceRowBlock(m_first, m_count, std::move(m_other));
    m_count = count;
}

void CTableChangeCommand::undo()
{
    Swap();
    m_selectionBefore.ApplyTo(m_grid);
}

void CTableChangeCommand::redo()
{
    if (std::exchange(m_done, false))
    {
        return;
    }
    Swap();
    m_selectionAfter.ApplyTo(m_grid);
}

TableChange::TableChange(CMSFlexGrid& grid, long first, long count)
    : m_grid(grid)
    , m_first(first)
    , m_before(grid.GetRowBlock(first, count))
    , m_selection(GridSelection::Of(grid))
{
}

bool TableChange::Finish(QUndoStack& stack, long count, const QString& text)
{
    if (m_grid.GetRowBlock(m_first, count) == m_before)
    {
        return false;
    }
    stack.push(new CTableChangeCommand(m_grid, m_first, count, std::move(m_before), m_selection,
                                       GridSelection::Of(m_grid), text, true));
    return true;
}

void PushTableChange(QUndoStack& stack, CMSFlexGrid& grid, long first, long count, CellBlock after,
                     const QString& text)
{
    const GridSelection selection = GridSelection::Of(grid);
    stack.push(new CTableChangeCommand(grid, first, count, std::move(after), selection, selection, text, false));
}

CAppliedCommand::CAppliedCommand(const QString& text, Apply apply)
    : QUndoCommand(text)
    , m_apply(std::move(apply))
{
}

void CAppliedCommand::undo()
{
    m_apply(false);
}

void CAppliedCommand::redo()
{
    if (!std::exchange(m_done, false))
    {
        m_apply(true);
    }
}
