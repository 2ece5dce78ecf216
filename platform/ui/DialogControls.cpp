#include "DialogControls.h"

#include "DialogTemplate.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace
{

const char* const ControlIdProperty = "ostrelControlId";

bool Has(const ControlTemplate& control, unsigned style)
{
    return (control.style & style) != 0;
}

Qt::Alignment HorizontalAlignment(const ControlTemplate& control)
{
    if (Has(control, ControlStyle::Centre))
    {
        return Qt::AlignHCenter;
    }
    if (Has(control, ControlStyle::Right))
    {
        return Qt::AlignRight;
    }
    return Qt::AlignLeft;
}

QWidget* CreateMultilineEdit(const ControlTemplate& control, const QString& text, QWidget* parent)
{
    auto* edit = new QPlainTextEdit(text, parent);
    edit->setReadOnly(Has(control, ControlStyle::ReadOnly));
    // Tab moves on to the next control, as in every dialog.
    edit->setTabChangesFocus(true);
    edit->setVerticalScrollBarPolicy(Has(control, ControlStyle::VScroll) ? Qt::ScrollBarAlwaysOn
                                                                         : Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy(Has(control, ControlStyle::HScroll) ? Qt::ScrollBarAlwaysOn
                                                                           : Qt::ScrollBarAlwaysOff);
    const bool scrollsSideways = Has(control, ControlStyle::HScroll) || Has(control, ControlStyle::AutoHScroll);
    edit->setLineWrapMode(scrollsSideways ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    if (!Has(control, ControlStyle::Border))
    {
        edit->setFrameShape(QFrame::NoFrame);
    }
    return edit;
}

QWidget* CreateEdit(const ControlTemplate& control, const QString& text, QWidget* parent)
{
    if (Has(control, ControlStyle::Multiline))
    {
        return CreateMultilineEdit(control, text, parent);
    }
    auto* edit = new QLineEdit(text, parent);
    edit->setReadOnly(Has(control, ControlStyle::ReadOnly));
    edit->setFrame(Has(control, ControlStyle::Border));
    edit->setAlignment(HorizontalAlignment(control) | Qt::AlignVCenter);
    if (Has(control, ControlStyle::DigitsOnly))
    {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    return edit;
}

QWidget* CreateWidget(const ControlTemplate& control, QWidget* parent)
{
    const QString text = QString::fromUtf8(control.text ? control.text : "");
    switch (control.kind)
    {
    case ControlKind::Label:
    {
        auto* label = new QLabel(text, parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(HorizontalAlignment(control) | Qt::AlignTop);
        return label;
    }
    case ControlKind::Edit:
        return CreateEdit(control, text, parent);
    case ControlKind::Button:
    case ControlKind::DefaultButton:
    {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(true);
        button->setDefault(control.kind == ControlKind::DefaultButton);
        return button;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(text, parent);
    case ControlKind::GroupBox:
        return new QGroupBox(text, parent);
    case ControlKind::List:
        return new QListWidget(parent);
    case ControlKind::Grid:
        break;
    }
    return new QWidget(parent);
}

} // namespace

QWidget* CreateDialogControl(const ControlTemplate& control, QWidget* parent)
{
    QWidget* widget = CreateWidget(control, parent);
    SetDlgCtrlID(widget, control.id);
    return widget;
}

int GetDlgCtrlID(const QWidget* control)
{
    return control ? control->property(ControlIdProperty).toInt() : 0;
}

void SetDlgCtrlID(QWidget* control, int id)
{
    control->setProperty(ControlIdProperty, id);
}
