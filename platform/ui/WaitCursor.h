#pragma once

// Shows the wait cursor for its lifetime; nested ones stack, and the cursor that
// was there before comes back when the outermost one ends.

class CWaitCursor
{
public:
    CWaitCursor();
    ~CWaitCursor();

    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};
