#pragma once

// Guards for writing a whole table into the editable grid at once.

#include "EditFlexGrid.h"

#include <QAbstractItemModel>
#include <QSignalBlocker>

// Keeps the grid from repainting while a whole table is written.
class RedrawOff
{
public:
    explicit RedrawOff(CEditFlexGrid& grid)
        : m_grid(grid)
        , m_previous(grid.GetRedraw())
    {
        m_grid.SetRedraw(false);
    }
    ~RedrawOff() { m_grid.SetRedraw(m_previous); }

    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;

private:
    CEditFlexGrid& m_grid;
    bool m_previous;
};

// Many cell writes, the fixed column's included, with one notification of the
// view at the end: the grid tells its header of every fixed cell written, which
// for a whole table costs more than the writing. No rows may come or go meanwhile.
class BatchCellWrites
{
public:
    explicit BatchCellWrites(CEditFlexGrid& grid)
        : m_redrawOff(grid)
        , m_model(grid.model())
        , m_blocker(m_model)
    {
    }
    ~BatchCellWrites()
    {
        m_blocker.unblock();
        const int rows = m_model->rowCount();
        if (rows > 0)
        {
            emit m_model->headerDataChanged(Qt::Vertical, 0, rows - 1);
        }
    }

    BatchCellWrites(const BatchCellWrites&) = delete;
    BatchCellWrites& operator=(const BatchCellWrites&) = delete;

private:
    RedrawOff m_redrawOff;
    QAbstractItemModel* m_model;
    QSignalBlocker m_blocker;
};
