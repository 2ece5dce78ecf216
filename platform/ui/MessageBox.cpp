#include "MessageBox.h"

#include "MessageBoxPresenter.h"

namespace
{

MessageBoxIcon IconOf(UINT flags)
{
    switch (flags & MB_ICONMASK)
    {
    case MB_ICONSTOP:
        return MessageBoxIcon::Stop;
    case MB_ICONQUESTION:
        return MessageBoxIcon::Question;
    case MB_ICONEXCLAMATION:
        return MessageBoxIcon::Exclamation;
    case MB_ICONINFORMATION:
        return MessageBoxIcon::Information;
    default:
        return MessageBoxIcon::None;
    }
}

} // namespace

QString AfxGetAppName()
{
    return QStringLiteral("Ostrel");
}

int MessageBox(QWidget* parent, const QString& text, const QString& caption, UINT flags)
{
    MessageBoxRequest request{parent, text, caption.isEmpty() ? AfxGetAppName() : caption, IconOf(flags),
                              MessageBoxButtons::Ok, IDOK};
    if ((flags & MB_TYPEMASK) == MB_YESNO)
    {
        request.buttons = MessageBoxButtons::YesNo;
        request.defaultButton = (flags & MB_DEFMASK) == MB_DEFBUTTON2 ? IDNO : IDYES;
    }
    const int answer = PresentMessageBox(request);
    if (request.buttons == MessageBoxButtons::YesNo)
    {
        return answer == IDYES ? IDYES : IDNO;
    }
    return IDOK;
}

int AfxMessageBox(const QString& text, UINT flags)
{
    return MessageBox(nullptr, text, AfxGetAppName(), flags);
}

SaveChoice AskToSaveChanges(QWidget* parent, const QString& text)
{
    const MessageBoxRequest request{parent, text, AfxGetAppName(), MessageBoxIcon::Exclamation,
                                    MessageBoxButtons::SaveDiscardCancel, IDYES};
    switch (PresentMessageBox(request))
    {
    case IDYES:
        return SaveChoice::Save;
    case IDNO:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}
