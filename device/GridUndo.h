#pragma once

// Changes of a grid's rows as undo steps. A command records the rows a change
// touched as they were and as they became, with the selection before and
// after, so that undoing or redoing it takes as long as copying those rows.

#include "CellBlock.h"

#include <QString>
#include <QUndoCommand>

#include <functional>

class CMSFlexGrid;
class QUndoStack;

struct GridSelection
{
    long row = 0;
    long col = 0;
    long rowSel = 0;
    long colSel = 0;

    static GridSelection Of(const CMSFlexGrid& grid);
    void ApplyTo(CMSFlexGrid& grid) const;
};

class CTableChangeCommand : public QUndoCommand
{
public:
    // `count` rows from `first` are in the grid; `other` are the rows that undo
    // (when the change is made already) or the first redo puts in their place.
    // Each of undo and redo swaps the two, so it copies no more than the rows
    // taken out, and nothing for a whole table.
    CTableChangeCommand(CMSFlexGrid& grid, long first, long count, CellBlock other, GridSelection selectionBefore,
                        GridSelection selectionAfter, const QString& text, bool applied);

    void undo() override;
    void redo() override;

private:
    void Swap();

    CMSFlexGrid& m_grid;
    long m_first;
    long m_count;
    CellBlock m_other;
    GridSelection m_selectionBefore;
    GridSelection m_selectionAfter;
    bool m_done;
};

// Pushes the step that makes `count` rows from `first` into `after`, which
// makes the change; the selection stays.
void PushTableChange(QUndoStack& stack, CMSFlexGrid& grid, long first, long count, CellBlock after,
                     const QString& text);

// Watches `count` rows from `first` while the caller changes them; Finish,
// given how many rows are there now, pushes the change as one step, or nothing
// when the rows are as they were.
class TableChange
{
public:
    TableChange(CMSFlexGrid& grid, long first, long count);

    // True when a step was pushed.
    bool Finish(QUndoStack& stack, long count, const QString& text);

private:
    CMSFlexGrid& m_grid;
    long m_first;
    CellBlock m_before;
    GridSelection m_selection;
};

// A change of something else than the table, made already: `apply(false)`
// undoes it, `apply(true)` makes it again.
class CAppliedCommand : public QUndoCommand
{
public:
    using Apply = std::function<void(bool redo)>;
    CAppliedCommand(const QString& text, Apply apply);

    void undo() override;
    void redo() override;

private:
    Apply m_apply;
    bool m_done = true;
};
