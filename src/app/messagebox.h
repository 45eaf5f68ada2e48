#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <utility>

class QWidget;

// One message box of the tool, described as data so that every box goes through one place:
// showMessageBox. Tests install a hook that records the box and answers it; a run on the
// offscreen platform (no one can see or click) logs the box and takes its default answer.
struct SMessageBox
{
    SMessageBox() = default;
    SMessageBox(QMessageBox::Icon icon_, QWidget* parent_, QString title_, QString text_,
                QMessageBox::StandardButtons buttons_ = QMessageBox::Ok,
                QMessageBox::StandardButton defaultButton_ = QMessageBox::NoButton,
                QString informativeText_ = QString())
        : icon(icon_), parent(parent_), title(std::move(title_)), text(std::move(text_)),
          buttons(buttons_), defaultButton(defaultButton_),
          informativeText(std::move(informativeText_))
    {}

    QMessageBox::Icon icon = QMessageBox::Information;
    QWidget* parent = nullptr;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QString informativeText; // shown below the text, e.g. the system's error text
};

using MessageBoxHook = std::function<QMessageBox::StandardButton(const SMessageBox&)>;

// Shows the box modally and returns the button that closed it.
QMessageBox::StandardButton showMessageBox(const SMessageBox& box);
// Replaces the real boxes (an empty hook restores them); returns the hook it replaced.
MessageBoxHook setMessageBoxHook(MessageBoxHook hook);
