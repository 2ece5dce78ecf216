#pragma once

#include <QCoreApplication>

// Delivers what is pending for the widgets, and what handling it posts in turn.
inline void Settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::sendPostedEvents(), QCoreApplication::processEvents();
}
