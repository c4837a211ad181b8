#pragma once

#include "app/main_window.h"
#include "program_folder.h"
#include "widgets/db_grid.h"

#include <QApplication>
#include <QTest>

#include <memory>

namespace korimo::testing {

// Starts the program on a test folder: the main window is created (FormCreate) and shown
// (FormShow), as main() does.
inline std::unique_ptr<TFrm_Main> startProgram(const ProgramFolder& folder)
{
    auto w = std::make_unique<TFrm_Main>(folder.path());
    w->show();
    QApplication::setActiveWindow(w.get());
    return w;
}

// The centre of a grid cell, scrolled into view first as the user would.
inline QPoint cellCenter(DbGrid* grid, int row, int column)
{
    const QModelIndex index = grid->model()->index(row, column);
    grid->scrollTo(index);
    return grid->visualRect(index).center();
}

inline void clickCell(DbGrid* grid, int row, int column)
{
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCenter(grid, row, column));
}

} // namespace korimo::testing
