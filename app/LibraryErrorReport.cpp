#include "LibraryErrorReport.h"

#include "LibraryError.h"
#include "MessageBox.h"
#include "TamrixError.h"

void ReportLibraryError(QWidget* owner, const TvxKyyCalcDLLError& error)
{
    MessageBox(owner, FormatLibraryError(error), QString(), MB_OK | MB_ICONSTOP);
}

bool RunLibraryAction(QWidget* owner, const std::function<void()>& action)
{
    try
    {
        action();
        return true;
    }
    catch (const TvxKyyCalcDLLError& error)
    {
        ReportLibraryError(owner, error);
    }
    return false;
}
