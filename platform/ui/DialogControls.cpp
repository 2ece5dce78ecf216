#include "DialogControls.h"

#include "DialogTemplate.h"
#include "ListCtrl.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QTextDocument>
#include <QTextOption>

#include <initializer_list>

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
    // Every line is aligned on its own, as the edit control does it.
    QTextOption option = edit->document()->defaultTextOption();
    option.setAlignment(HorizontalAlignment(control));
    edit->document()->setDefaultTextOption(option);
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

// A template style and the list style it stands for.
struct ListStyleBit
{
    unsigned templateStyle;
    unsigned listStyle;
};

unsigned ListStyle(const ControlTemplate& control, std::initializer_list<ListStyleBit> bits)
{
    unsigned style = 0;
    for (const ListStyleBit& bit : bits)
    {
        style |= Has(control, bit.templateStyle) ? bit.listStyle : 0;
    }
    return style;
}

QWidget* CreateReportList(const ControlTemplate& control, QWidget* parent)
{
    auto* list = new CListCtrl(ListStyle(control, {{ControlStyle::SingleSelection, LVS_SINGLESEL},
                                                   {ControlStyle::NoSortHeader, LVS_NOSORTHEADER}}),
                               parent);
    list->SetExtendedStyle(ListStyle(control, {{ControlStyle::GridLines, LVS_EX_GRIDLINES},
                                               {ControlStyle::FullRowSelect, LVS_EX_FULLROWSELECT},
                                               {ControlStyle::OneClickActivate, LVS_EX_ONECLICKACTIVATE},
                                               {ControlStyle::UnderlineHot, LVS_EX_UNDERLINEHOT}}));
    if (!Has(control, ControlStyle::Border))
    {
        list->setFrameShape(QFrame::NoFrame);
    }
    int column = 0;
    for (const ListColumn& heading : control.columns)
    {
        list->InsertColumn(column++, QString::fromUtf8(heading.heading), heading.width);
    }
    return list;
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
    case ControlKind::ReportList:
        return CreateReportList(control, parent);
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
