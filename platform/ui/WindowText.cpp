#include "WindowText.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QWidget>

QString GetWindowText(const QWidget* window)
{
    if (window == nullptr)
    {
        return {};
    }
    if (window->isWindow())
    {
        return window->windowTitle();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(window))
    {
        return edit->text();
    }
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(window))
    {
        // A multi-line edit ends its lines with CR LF.
        return edit->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    }
    if (const auto* label = qobject_cast<const QLabel*>(window))
    {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(window))
    {
        return button->text();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(window))
    {
        return group->title();
    }
    return window->windowTitle();
}

void SetWindowText(QWidget* window, const QString& text)
{
    if (window == nullptr)
    {
        return;
    }
    if (window->isWindow())
    {
        window->setWindowTitle(text);
    }
    else if (auto* edit = qobject_cast<QLineEdit*>(window))
    {
        edit->setText(text);
    }
    else if (auto* edit = qobject_cast<QPlainTextEdit*>(window))
    {
        edit->setPlainText(text);
    }
    else if (auto* label = qobject_cast<QLabel*>(window))
    {
        label->setText(text);
    }
    else if (auto* button = qobject_cast<QAbstractButton*>(window))
    {
        button->setText(text);
    }
    else if (auto* group = qobject_cast<QGroupBox*>(window))
    {
        group->setTitle(text);
    }
    else
    {
        window->setWindowTitle(text);
    }
}
